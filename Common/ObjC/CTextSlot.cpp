#include "Common/ObjC/CTextSlot.h"

#include "Common/ObjC/CClipboardHolder.h"
#include "Lib3/LSources/CoreUI/CBevelFrame.h"
#include "Lib3/LSources/CoreUI/LColorSpec.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/Mac/LTextScrap.h"

namespace {
constexpr uint32_t kTextBackground = 6;
constexpr uint32_t kSelectionColour = 3;
}  // namespace

CTextSlot::CTextSlot(LPane* owner, uint8_t options)
    : LTextPane(owner, 0), fBackground(LColor::System(kTextBackground)), fOptions(options) {
    SetTextStyle(LTextStyleH(1));
    ChangeState(kUnlock);
    SetOwnBackgroundBit(true);
}

void CTextSlot::SetBackground(const LColor& colour) {
    if (fBackground.IsSame(colour)) return;
    fBackground = colour;
    SetOwnBackgroundBit(colour.Data() != nullptr);
    if (IsVisible()) Invalidate(CRgn(Bounds()), CRgn(Bounds()));
}

void CTextSlot::Copy() {
    // Copying nothing must not wipe what the clipboard holds.
    if (Text().IsEmpty()) return;
    if (CClipboardHolder* holder = CClipboardHolder::Get()) holder->Clear();
    LTextScrap(Text()).Put();
}

void CTextSlot::Clear() {
    SetText(LString());
    Changed();
}

void CTextSlot::Paste() {
    LTextScrap scrap;
    if (!scrap.Read() || scrap.Text().IsEmpty()) return;
    SetText(scrap.Text());
    Changed();
}

LMessage CTextSlot::Handle(const LMessage& msg) {
    const bool editable = fOptions & kEditable;
    if (msg.Is(LMenuBar_Ready) && msg.sender && IsUsable()) {
        auto* bar = static_cast<LMenuBar*>(msg.sender);
        if (editable && LTextScrap().Available()) bar->EnableCommand("LStdCmd_Paste");
        if (!Text().IsEmpty()) {
            bar->EnableCommand("LStdCmd_Copy");
            if (editable) bar->EnableCommand("LStdCmd_Cut");
            if (CanDelete()) bar->EnableCommand("LStdCmd_Delete");
        }
        return LTextPane::Handle(msg);
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender && IsUsable()) {
        auto* item = static_cast<LMenuItem*>(msg.sender);
        if (editable && item->HasCommand("LStdCmd_Cut")) {
            Copy();
            Clear();
            return LMessage();
        }
        if (item->HasCommand("LStdCmd_Copy")) {
            Copy();
            return LMessage();
        }
        if (editable && item->HasCommand("LStdCmd_Paste")) {
            Paste();
            return LMessage();
        }
        if (CanDelete() && item->HasCommand("LStdCmd_Delete")) {
            Clear();
            return LMessage();
        }
        return LTextPane::Handle(msg);
    }
    if (msg.Is(LKeyboard_Char) && msg.sender) {
        // Backspace arrives as DEL from the keyboard.
        const uint8_t ch = static_cast<LKeyboard*>(msg.sender)->Char();
        if ((ch == 8 || ch == 127) && CanDelete()) {
            Clear();
            return LMessage();
        }
        return LTextPane::Handle(msg);
    }
    if (msg.Is(LMouse_Click)) {
        SendReqFocusIfClickFocus();
        return LMessage(CTextSlot_Click, this, Upper());
    }
    if (msg.Is(CTextSlot_Click) && msg.sender == this) {
        if (CanDelete()) Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
        return LMessage();
    }
    return LTextPane::Handle(msg);
}

CRgn CTextSlot::FrameArea() const {
    CLRect r = Bounds();
    r.Inset(-1, -1);
    return CRgn(r);
}

void CTextSlot::StateChanged(uint32_t op) {
    if (op == kFocus) SetTextColor(LColorSpec::MakeIndexed(1));
    if (op == kUnfocus) SetTextColor(LColorSpec::MakeIndexed(0));
    switch (op) {
        case kShow:
        case kHide:
        case kEnable:
        case kDisable:
        case kChainEnable:
        case kChainDisable:
        case kFocus:
        case kUnfocus:
            if (Owner() && (State() & kChainShown)) Owner()->Invalidate(FrameArea(), FrameArea());
            break;
        default:
            break;
    }
    LTextPane::StateChanged(op);
}

bool CTextSlot::IntersectsRegion(const CRgn& region) {
    if (!(State() & kShown)) return false;
    CRgn area = FrameArea();
    area &= region;
    return !area.IsEmpty();
}

void CTextSlot::Draw(LDrawContext& ctx) {
    const CLRect b = Bounds();
    if (!(fOptions & kBorderless)) {
        CLRect ring = b;
        ring.Inset(-1, -1);
        CBevelFrame(ring, LColor::Grey(2), LColor::Grey(4)).Draw(ctx);
    }
    if (State() & kFocused)
        LPaint(CRgn(b), LColor::System(kSelectionColour)).Fill(ctx);
    else if (fBackground.Data())
        LPaint(CRgn(b), fBackground).Fill(ctx);
    LTextPane::Draw(ctx);
}
