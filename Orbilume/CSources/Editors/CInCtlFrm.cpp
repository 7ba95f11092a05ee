#include "Orbilume/CSources/Editors/CInCtlFrm.h"

#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/CTextSlot.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LRectFrame.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Editors/CInCtlPrm.h"
#include "Orbilume/CSources/Editors/CInCtlPrmNote.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kName = "INCTLFRM";
constexpr const char* kMenuName = "INCTLSEL";
constexpr const char* kTypeCommand = "cType";
constexpr const char* kRangeCommand = "cRange";
constexpr float kRangeLimit = 1e9f;

// The editor of an input type (1 "dmx" .. 10 "loc"); none for "spect", "loc" and unknown types.
CInCtlPrm* MakeEditor(uint32_t type, LHandler* upper, LPane* owner) {
    switch (type) {
        case 1:
            return new CInCtlPrmDmx(upper, owner, false);
        case 2:
            return new CInCtlPrmDmx(upper, owner, true);
        case 3:
            return new CInCtlPrmMidiCc(upper, owner);
        case 4:
            return new CInCtlPrmMidiNote(upper, owner);
        case 5:
            return new CInCtlPrmMidiVel(upper, owner);
        case 6:
            return new CInCtlPrmOsc(upper, owner);
        case 8:
            return new CInCtlPrmColor(upper, owner, false);
        case 9:
            return new CInCtlPrmColor(upper, owner, true);
        default:
            return nullptr;
    }
}

LMenuItem* ItemAt(LMenu* menu, uint32_t index) {
    LMenuItem* item = menu ? menu->FirstItem() : nullptr;
    for (uint32_t i = 0; item && i < index; ++i) item = menu->NextItem(item);
    return item;
}

}  // namespace

LMenu* CInCtlFrm::sMenu = nullptr;
uint32_t CInCtlFrm::sFrames = 0;

CInCtlFrm::CInCtlFrm(LHandler* upper, LPane* owner, const LString& key, bool rangeCapable)
    : LFrame(upper, owner), fKey(key), fRangeCapable(rangeCapable) {
    PLAT_DCHECK_MAIN_THREAD();
    if (sFrames++ == 0) sMenu = new LMenu(nullptr, SRsrcRequest(kMenuName));
    // Children in layout order: 1 type slot, 2 range frame, then the editor while there is one.
    fSlot = new CTextSlot(this, 0);
    fRange = new LFrame(this, this);
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    // The range frame: 1 "max" label, 2 its field, 3 "min" label, 4 its field.
    for (uint32_t i = 0; i < 2; ++i) {
        auto* label = new LTextPane(fRange, 0);
        (void)label->SetText(strings.GetString(1 + i));
        auto* field = new CNumVol(fRange, 3, 0);
        field->SetRange(-kRangeLimit, kRangeLimit, 0.001f);
        field->SetValue(i == 0 ? 1 : 0);
        (i == 0 ? fMax : fMin) = field;
    }
    LLayoutParts range;
    if (LoadLayout(SRsrcRequest("INCTLRNGF"), range)) fRange->SetLayout(range, kDescriptionMode);
    fRange->ChangeState(kHide);
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    LMenuItem* none = ItemAt(sMenu, 0);
    (void)fSlot->SetText(none ? none->BaseText() : LString());
}

CInCtlFrm::~CInCtlFrm() {
    if (--sFrames == 0) {
        delete sMenu;
        sMenu = nullptr;
    }
}

bool CInCtlFrm::RangeShown() const {
    return (fRange->State() & kShown) != 0;
}

void CInCtlFrm::Apply(CRecord* set) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecordRef ref(&set);
    const int type = set ? UCtlAttr::GetInCtlType(ref) : 0;
    const uint32_t t = type >= 1 && type < int(kTypeCount) ? uint32_t(type) : 0;
    const bool typeChanged = t != fType;
    if (typeChanged) {
        delete fEditor;
        fEditor = nullptr;
        fType = t;
        fEditor = MakeEditor(t, this, this);
        LMenuItem* item = ItemAt(sMenu, t);
        (void)fSlot->SetText(item ? item->BaseText() : LString());
    }
    if (fEditor) fEditor->Apply(set);
    const bool wasShown = RangeShown();
    const bool shown = RangeCapableType() && set && UCtlAttr::GetInCtlRange(ref);
    // The stored bounds show in the fields (absent ones leave them as they are).
    const LString max = set ? UCtlAttr::GetInCtlMax(ref) : LString();
    const LString min = set ? UCtlAttr::GetInCtlMin(ref) : LString();
    if (!max.IsEmpty()) fMax->SetValue(CNumVol::ParseValue(max.CStr(), max.Length()));
    if (!min.IsEmpty()) fMin->SetValue(CNumVol::ParseValue(min.CStr(), min.Length()));
    fRange->ChangeState(shown ? kShow : kHide);
    if (typeChanged || shown != wasShown) Dispatch(LMessage(LPane_Pref, this, Upper()));
}

LMenu* CInCtlFrm::PrepareMenu() {
    uint32_t i = 0;
    for (LMenuItem* item = sMenu ? sMenu->FirstItem() : nullptr; item; item = sMenu->NextItem(item), ++i) {
        if (item->HasCommand(kRangeCommand)) {
            item->SetEnabled(RangeCapableType());
            item->SetMarked(RangeShown());
        } else if (item->HasCommand(kTypeCommand)) {
            item->SetEnabled(true);
            item->SetMarked(i == fType);
        }
    }
    return sMenu;
}

void CInCtlFrm::Choose(LMenuItem* item) {
    if (!item || !sMenu) return;
    if (item->HasCommand(kRangeCommand)) {
        Note("range", RangeShown() ? LString() : LString("1"));
        return;
    }
    if (!item->HasCommand(kTypeCommand)) return;
    const int32_t index = sMenu->IndexOfItem(item);
    const char* word = UCtlAttr::InCtlTypeName(index);
    Note("type", word ? LString(word) : LString());
}

void CInCtlFrm::Note(const char* key, const LString& value) {
    CInCtlPrmNote note{LString(key), value};
    Dispatch(LMessage(CInCtlPrmNote_Note, &note, this));
}

LMessage CInCtlFrm::Handle(const LMessage& msg) {
    if (msg.Is(CInCtlPrmNote_Note) && msg.sender) {
        static_cast<CInCtlPrmNote*>(msg.sender)->path.push_back(fKey);
        return Upper() ? msg.Retarget(Upper()) : LMessage();
    }
    // The pop-up's readying pass starts with every item disabled: the shared menu readied for this
    // frame, the bar synced at once.
    if (msg.Is(LMenuBar_Ready) && msg.sender && sMenu && static_cast<LMenuBar*>(msg.sender)->Contains(sMenu)) {
        (void)PrepareMenu();
        return msg.Retarget(msg.sender);
    }
    if (msg.Is(CTextSlot_Click) && msg.sender == fSlot) {
        LMenu* menu = PrepareMenu();
        if (!menu) return LMessage();
        CLRect screen = fSlot->Bounds();
        if (plat::Window* window = fSlot->GetWindow()) {
            const CLPoint origin = fSlot->GetOriginIn(nullptr);
            const plat::Point at =
                window->ConvertToScreen({double(screen.left + origin.x), double(screen.top + origin.y)});
            screen = {int32_t(at.x), int32_t(at.y), int32_t(at.x) + screen.Width(),
                      int32_t(at.y) + screen.Height()};
        }
        LHandlerWatch self(this);
        LMenuItem* chosen = LMenu::PopupMenuAt(this, menu, screen);
        if (self.IsGone()) return LMessage();
        Choose(chosen);
        return LMessage();
    }
    if (msg.Is(CNumVol_Fix) && (msg.sender == fMax || msg.sender == fMin)) {
        Note(msg.sender == fMax ? "max" : "min", static_cast<CNumVol*>(msg.sender)->GetText());
        return LMessage();
    }
    return LFrame::Handle(msg);
}

void CInCtlFrm::Draw(LDrawContext& ctx) {
    LRoundRectStroke stroke;
    stroke.rect = Bounds();
    stroke.colour = LColor::Grey(1);
    stroke.cornerWidth = 10;
    stroke.cornerHeight = 10;
    stroke.Draw(ctx);
    LFrame::Draw(ctx);
}
