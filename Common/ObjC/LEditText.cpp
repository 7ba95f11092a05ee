#include "Common/ObjC/LEditText.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "Common/ObjC/CEditText.h"
#include "Common/ObjC/CMacCursor.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LScrollBar.h"
#include "Platform/AppKit/Theme.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/TextEncoding.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"

namespace {

constexpr int32_t kIBeam = 2;
constexpr uint32_t kTextBackground = 6;
constexpr uint32_t kAnyModifier =
    plat::kShiftKeyMask | plat::kControlKeyMask | plat::kAlternateKeyMask | plat::kCommandKeyMask;

// Set while "LEditText_Down" travels: cleared when it comes back to the field unhandled.
uint8_t gKeyTaken = 0;

std::string Stars(const LString& text) {
    std::string out;
    for (uint32_t i = 0; i < text.Length(); ++i)
        if ((text.Text()[i] & 0xC0) != 0x80) out += '*';
    return out;
}

}  // namespace

LEditText::LEditText(LPane* owner, uint32_t mode, uint32_t options)
    : LPane(owner, owner),
      fOptions(options),
      fMode(mode),
      fStyle(1),
      fBackground(LColor::System(kTextBackground)) {
    SetOwnBackgroundBit(true);
    BuildScrollBars();
}

LEditText::~LEditText() {
    // Dropping the focus tells the upper handler ("LEditText_Unfocused").
    ChangeState(kHide);
    fEditor.reset();
    fVBar.reset();
    fHBar.reset();
}

void LEditText::BuildScrollBars() {
    const bool bars = fOptions & kScrollBars;
    const bool wantV = bars && (fMode == kMultiLine || fMode == kWrapped);
    const bool wantH = bars && fMode == kMultiLine;
    if (!wantV) fVBar.reset();
    if (!wantH) fHBar.reset();
    if (wantV && !fVBar) fVBar = std::make_unique<LScrollBar>(this, LStdCtlSpec{}, true, true);
    if (wantH && !fHBar) fHBar = std::make_unique<LScrollBar>(this, LStdCtlSpec{}, false, true);
    PlaceScrollBars();
}

int32_t LEditText::VBarWidth() const {
    return fVBar ? fVBar->Bounds().Width() : 0;
}

int32_t LEditText::HBarHeight() const {
    return fHBar ? fHBar->Bounds().Height() : 0;
}

CLRect LEditText::TextRect() const {
    const CLRect& b = Bounds();
    const int32_t f = FrameInset(), h = HMargin() + f, v = VMargin() + f;
    return {b.left + h, b.top + v, b.right - (h + VBarWidth()), b.bottom - (v + HBarHeight())};
}

CLRect LEditText::InnerFrameRect() const {
    const CLRect& b = Bounds();
    const int32_t f = FrameInset();
    return {b.left + f, b.top + f, b.right - f - VBarWidth(), b.bottom - f - HBarHeight()};
}

CLRect LEditText::OuterFrameRect() const {
    CLRect r = InnerFrameRect();
    const CLRect& b = Bounds();
    if (fVBar) r.right = b.right;
    if (fHBar) r.bottom = b.bottom;
    return r;
}

// Focus and the editor.

bool LEditText::CanTakeFocus() {
    if (fReadOnly) return false;
    const uint32_t s = State();
    if ((s & (kShown | kChainShown)) != (kShown | kChainShown) || (s & (kLocked | kChainLocked)))
        return false;
    LPanePort port(this);
    CLRect inner = InnerFrameRect();
    inner.Shift(port.origin.x, port.origin.y);
    CRgn want(inner);
    CRgn seen = port.clip;
    seen &= want;
    return seen == want;
}

CEditText* LEditText::CreateEditor() {
    auto* editor = new CEditText(this, InnerFrameRect(), TextRect(), &LEditText::CharacterFilter, fMode,
                                 fStyle, (fOptions & kPassword) != 0, fLocked, false);
    editor->SetBackgroundColor(fBackground);
    if (!(fTextColor.Data() == nullptr)) editor->SetTextColor(fTextColor);
    editor->SetText(fText);
    return editor;
}

void LEditText::ReleaseEditor(CEditText* editor) {
    if (!editor) return;
    fText = editor->GetText();
    delete editor;
}

void LEditText::MakeEditor() {
    if (fReadOnly || (State() & (kLocked | kChainLocked)) || fEditor) return;
    const int32_t x = fHBar ? fHBar->GetValue() : 0;
    const int32_t y = fVBar ? fVBar->GetValue() : 0;
    fEditor.reset(CreateEditor());
    // Outside a window there is nothing to edit in.
    if (fEditor && !fEditor->Field()) fEditor.reset();
    if (!fEditor) return;
    ActivateEditor();
    fEditor->SetScrollPosition(x, y);
    UpdateScrollBars();
}

void LEditText::ActivateEditor() {
    if (fEditor && IsFocusedInKeyWindow()) fEditor->Focus(true);
}

void LEditText::Release(bool tell) {
    if (!fEditor) return;
    fEditor->Complete();
    CEditText* editor = fEditor.release();
    ReleaseEditor(editor);
    if (!tell) return;
    InvalidateText();
    Unfocused();
}

void LEditText::DropFocus() {
    ChangeState(kUnfocus);
}

void LEditText::ReplaceEditor() {
    if (!fEditor) return;
    if (!CanTakeFocus()) {
        DropFocus();
        return;
    }
    fEditor->SetRects(InnerFrameRect(), TextRect());
}

// Text and settings.

LString LEditText::GetText() const {
    return fEditor ? fEditor->GetText() : fText;
}

void LEditText::SetText(const LString& text) {
    if (fEditor) {
        fText = fEditor->GetText();
        if (text == fText) return;
        fEditor->SetText(text);
        fText = text;
        UpdateScrollBars();
        return;
    }
    if (text == fText) return;
    fText = text;
    InvalidateText();
    UpdateScrollBars();
}

void LEditText::SetMode(uint32_t mode) {
    if (mode == fMode) return;
    DropFocus();
    fMode = mode;
    BuildScrollBars();
    InvalidateText();
}

void LEditText::SetLocked(bool locked) {
    fLocked = locked;
    if (locked) DropFocus();
}

void LEditText::SetReadOnly(bool readOnly) {
    fReadOnly = readOnly;
    if (readOnly) DropFocus();
    InvalidateFrameArea();
    Invalidate(CRgn(Bounds()), CRgn(Bounds()));
}

void LEditText::SetTextStyle(const LTextStyleH& style) {
    if (Equal(style, fStyle)) return;
    fStyle = style;
    if (fEditor) {
        StateChanged(kUnfocus);
        StateChanged(kFocus);
    } else {
        InvalidateText();
    }
}

void LEditText::SetBackgroundColor(const LColor& colour) {
    fBackground = colour;
    if (fEditor) fEditor->SetBackgroundColor(colour);
    InvalidateText();
}

void LEditText::SetTextColor(const LColor& colour) {
    fTextColor = colour;
    if (fEditor && colour.Data()) fEditor->SetTextColor(colour);
    InvalidateText();
}

void LEditText::Activate() {
    if (!IsFocusedInKeyWindow()) {
        Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
        return;
    }
    SelectAll();
}

void LEditText::SelectAll() {
    if (fEditor) fEditor->SelectAll();
}

bool LEditText::HasSelection() const {
    return fEditor && fEditor->HasSelection();
}

bool LEditText::TakeFocus(int32_t, bool) {
    if (CanTakeFocus()) Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
    if ((State() & kFocused) && fEditor) fEditor->SelectAll();
    return false;
}

// The filter and the reports.

bool LEditText::CharacterFilter(LPane* owner, int32_t flag, LString& replacement) {
    if (flag) return true;
    auto* self = static_cast<LEditText*>(owner);
    const auto* bytes = replacement.Text();
    const size_t n = replacement.Length();
    std::string accepted;
    accepted.reserve(std::min<size_t>(n, 64));
    size_t pos = 0;
    while (pos < n) {
        const size_t start = pos;
        uint32_t cp = 0;
        if (!plat::DecodeUtf8Char(bytes, n, pos, cp)) {
            pos = start + 1;
            continue;
        }
        if (self->AcceptChar(cp)) accepted.append(reinterpret_cast<const char*>(bytes) + start, pos - start);
    }
    // A deletion (nothing to insert) passes; a text filtered down to nothing is refused.
    if (n == 0) return true;
    LString result(accepted.data(), uint32_t(accepted.size()));
    if (!(result == replacement)) replacement = result;
    return !accepted.empty();
}

bool LEditText::AcceptChar(uint32_t) {
    return true;
}

void LEditText::TextChanged() {
    Dispatch(LMessage(LEditText_Change, this, Upper()));
}

void LEditText::Unfocused() {
    Dispatch(LMessage(LEditText_Unfocused, this, Upper()));
}

// Messages.

LMessage LEditText::Handle(const LMessage& msg) {
    if (fEditor && fEditor->HandleEditMessage(msg)) return LMessage();
    if (msg.Is(LKeyboard_Down) && fEditor) return HandleKey(msg);
    if (msg.Is(LEditText_Down) && msg.sender == this) {
        gKeyTaken = 0;
        return LMessage();
    }
    if (fEditor && msg.sender == fEditor.get()) {
        if (msg.Is(CEditText_Change)) {
            TextChanged();
            UpdateScrollBars();
            return LMessage();
        }
        if (msg.Is(CEditText_Scroll)) {
            UpdateScrollBars();
            return LMessage();
        }
    }
    if (msg.Is(LScrollBar_Change) && msg.sender && (msg.sender == fVBar.get() || msg.sender == fHBar.get())) {
        if (fEditor)
            fEditor->SetScrollPosition(fHBar ? fHBar->GetValue() : 0, fVBar ? fVBar->GetValue() : 0);
        else
            InvalidateText();
        return LMessage();
    }
    if (msg.Is(LPane_Constructing) && msg.sender && msg.sender != this) {
        auto* child = static_cast<LPane*>(msg.sender);
        const uint32_t s = State();
        if ((s & (kEnabled | kChainEnabled)) == (kEnabled | kChainEnabled)) child->ChangeState(kChainEnable);
        if ((s & (kShown | kChainShown)) == (kShown | kChainShown)) child->ChangeState(kChainShow);
        if (s & kKeyWindow) child->ChangeState(kKeyOn);
        return LMessage();
    }
    LMessage mouse = HandleMouse(msg);
    if (mouse.IsEmpty()) return mouse;
    return LPane::Handle(msg);
}

LMessage LEditText::HandleKey(const LMessage& msg) {
    auto* kb = static_cast<LKeyboard*>(msg.sender);
    if (!kb) return LPane::Handle(msg);
    const uint32_t navi = kb->GetNaviKey();
    const uint8_t ch = kb->Char();
    const bool modifier = kb->Modifiers() & kAnyModifier;
    const bool multi = fMode == kMultiLine || fMode == kWrapped;
    bool editorSees = false;
    if (navi == LKeyboard::kNaviLeft || navi == LKeyboard::kNaviRight)
        editorSees = modifier || !fEditor->AllSelected();
    else if (navi == LKeyboard::kNaviUp || navi == LKeyboard::kNaviDown)
        editorSees = modifier || (multi && !fEditor->AllSelected());
    else if (ch == 13 || ch == 3)
        editorSees = multi;
    else if (ch == 8 || ch == 127)
        editorSees = true;
    else if (ch == 9)
        editorSees = fMode == kMultiLine;
    if (editorSees) {
        kb->SetHandled(false);
        return LMessage();
    }
    gKeyTaken = 1;
    LHandlerWatch watch(this);
    Dispatch(LMessage(LEditText_Down, this, Upper()));
    if (watch.IsGone()) return LMessage();
    if (gKeyTaken) {
        gKeyTaken = 0;
        kb->SetHandled(true);
        return LMessage();
    }
    LMessage mouse = HandleMouse(msg);
    if (mouse.IsEmpty()) return mouse;
    return LPane::Handle(msg);
}

CLPoint LEditText::LocalMouse() const {
    LMouse* mouse = LMouse::Get();
    CLPoint p = mouse ? mouse->Location() : CLPoint{};
    LPanePort port(const_cast<LEditText*>(this));
    if (port.window) {
        const plat::Point content = port.window->ConvertFromScreen({double(p.x), double(p.y)});
        p = {int32_t(content.x) - port.origin.x, int32_t(content.y) - port.origin.y};
    }
    return p;
}

LMessage LEditText::HandleMouse(const LMessage& msg) {
    if (fReadOnly || (State() & (kLocked | kChainLocked))) return msg;
    if (msg.Is(LMouse_Cursor)) {
        if (!TextRect().Contain(LocalMouse())) return msg;
        CMacCursor::SetStandard(kIBeam);
        return LMessage();
    }
    if (msg.Is(LMouse_Click)) {
        if (!TextRect().Contain(LocalMouse())) return msg;
        if (!CanTakeFocus()) return LMessage();
        LHandlerWatch watch(this);
        Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
        if (watch.IsGone()) return LMessage();
        if (fEditor) {
            fEditor->MouseDown();
            InvalidateText();
        }
        return LMessage();
    }
    if (msg.Is(LMouse_Wheel)) {
        LMouse* mouse = LMouse::Get();
        if (!mouse) return msg;
        const int32_t dx = mouse->WheelX(), dy = mouse->WheelY();
        LScrollBar* bar = std::abs(dy) >= std::abs(dx) ? fVBar.get() : fHBar.get();
        const int32_t d = std::abs(dy) >= std::abs(dx) ? dy : dx;
        if (!bar) return msg;
        const int32_t old = bar->GetValue();
        bar->SetValue(old - d);
        if (bar->GetValue() != old) Dispatch(LMessage(LScrollBar_Change, bar, this));
        return LMessage();
    }
    return msg;
}

// State and geometry.

void LEditText::StateChanged(uint32_t op) {
    LPane::StateChanged(op);
    auto passOn = [this](uint32_t o) {
        if (fVBar) fVBar->ChangeState(o);
        if (fHBar) fHBar->ChangeState(o);
    };
    switch (op) {
        case kShow:
        case kHide:
            InvalidateFrameArea();
            passOn(op == kShow ? kChainShow : kChainHide);
            break;
        case kChainShow:
        case kChainEnable:
        case kChainDisable:
            passOn(op);
            break;
        case kChainHide:
            Release(false);
            passOn(op);
            break;
        case kMoved:
            ReplaceEditor();
            passOn(op);
            break;
        case kFocus:
            InvalidateFrameArea();
            if (!fEditor && CanTakeFocus()) MakeEditor();
            break;
        case kUnfocus:
            InvalidateFrameArea();
            if (fEditor) Release(true);
            break;
        case kKeyOn:
        case kKeyOff:
            if (State() & kFocused) {
                InvalidateFrameArea();
                passOn(op);
            }
            break;
        case kRelayout:
            DropFocus();
            UpdateScrollBars();
            Invalidate(CRgn(Bounds()), CRgn(Bounds()));
            break;
        default:
            break;
    }
    if (fEditor && IsFocusedInKeyWindow()) ActivateEditor();
}

void LEditText::PlaceScrollBars() {
    const CLRect& b = Bounds();
    const int32_t f = FrameInset();
    const int32_t vw = fVBar ? fVBar->SystemScrollerWidth() : 0;
    const int32_t hh = fHBar ? fHBar->SystemScrollerWidth() : 0;
    if (fVBar) fVBar->SetBounds({b.right - f - vw, b.top + f, b.right - f, b.bottom - f - hh});
    if (fHBar) fHBar->SetBounds({b.left + f, b.bottom - f - hh, b.right - f - vw, b.bottom - f});
}

void LEditText::BoundsChanged(const CLRect& old) {
    LPane::BoundsChanged(old);
    const CLRect& b = Bounds();
    if ((b.Width() != old.Width() || b.Height() != old.Height()) && (fVBar || fHBar)) {
        PlaceScrollBars();
        UpdateScrollBars();
    }
    ReplaceEditor();
    if ((State() & (kShown | kChainShown)) == (kShown | kChainShown) && GetWindow()) {
        CLRect o = old, n = b;
        o.Inset(-1, -1);
        n.Inset(-1, -1);
        CRgn area(o);
        area |= CRgn(n);
        Invalidate(area, area);
    }
}

void LEditText::UpdateScrollBars() {
    if (!fVBar && !fHBar) return;
    Extent content;
    if (fEditor) {
        const plat::Size s = fEditor->DocumentSize();
        content = {int32_t(s.width + 0.999), int32_t(s.height + 0.999)};
    } else {
        LPanePort port(this);
        LDrawContext measure(port);
        content = MeasureText(measure);
    }
    const CLRect t = TextRect();
    const plat::Font* font = fStyle.Font();
    const int32_t line = font ? int32_t(font->LineHeight() + 0.999) : 16;
    const CLPoint scroll = fEditor ? fEditor->GetScrollPosition() : CLPoint{};
    if (fVBar) {
        const int32_t value = fEditor ? scroll.y : fVBar->GetValue();
        fVBar->SetRange(value, 0, std::max(content.height - t.Height(), 0), std::max(t.Height() - line, 1));
    }
    if (fHBar) {
        const int32_t value = fEditor ? scroll.x : fHBar->GetValue();
        fHBar->SetRange(value, 0, std::max(content.width - t.Width() + 2, 0), std::max(t.Width() - line, 1));
    }
}

void LEditText::InvalidateFrameArea() {
    if (fOptions & kNoFrame) return;
    CLRect outer = OuterFrameRect();
    CLRect grown = outer;
    grown.Inset(-kFrameShapeWidth, -kFrameShapeWidth);
    CRgn ring(grown);
    CLRect inner = outer;
    inner.Inset(1, 1);
    ring -= CRgn(inner);
    Invalidate(ring, ring);
}

void LEditText::InvalidateText() {
    const CRgn r(TextRect());
    Invalidate(r, fReadOnly ? r : CRgn());
}

bool LEditText::IntersectsRegion(const CRgn& region) {
    if (fOptions & kNoFrame) return LPane::IntersectsRegion(region);
    if (!(State() & kShown)) return false;
    CLRect r = OuterFrameRect();
    r.Inset(-kFrameShapeWidth, -kFrameShapeWidth);
    CRgn area(r);
    area &= region;
    return !area.IsEmpty();
}

LPane* LEditText::FindPaneAt(const CLPoint& p) {
    if (fVBar && fVBar->Bounds().Contain(p)) return fVBar.get();
    if (fHBar && fHBar->Bounds().Contain(p)) return fHBar.get();
    return TextRect().Contain(p) ? this : nullptr;
}

// Measuring and drawing.

LEditText::Extent LEditText::MeasureText(LDrawContext&) {
    LTextBox box;
    box.SetStyle(fStyle);
    LString text = GetText();
    if (fOptions & kPassword) {
        const std::string stars = Stars(text);
        text = LString(stars.data(), uint32_t(stars.size()));
    }
    box.SetText(text);
    box.SetMode(fMode == kWrapped ? LTextBox::kWrapped : LTextBox::kMultiLine);
    Extent e;
    e.width = box.Width();
    e.height = fMode == kWrapped ? box.HeightForWidth(TextRect().Width()) : box.TextHeight();
    return e;
}

void LEditText::DrawText(LDrawContext& ctx, const CLRect& r) {
    fDrawer.SetStyle(fStyle);
    fDrawer.SetColor(fTextColor);
    fDrawer.SetMode(fMode == kMultiLine ? LTextBox::kMultiLine
                    : fMode == kWrapped ? LTextBox::kWrapped
                                        : LTextBox::kTopLine);
    if (fOptions & kPassword) {
        const std::string stars = Stars(fText);
        fDrawer.SetText(LString(stars.data(), uint32_t(stars.size())));
    } else {
        fDrawer.SetText(fText);
    }
    fDrawer.SetRect(r);
    fDrawer.Draw(ctx);
}

void LEditText::Draw(LDrawContext& ctx) {
    const CLRect outer = OuterFrameRect();
    const CLRect inner = InnerFrameRect();
    if (!fReadOnly && !(fOptions & kNoFrame)) {
        ctx.ApplyPending();
        if (plat::DrawContext* native = ctx.Native()) {
            plat::GStateScope state(*native);
            plat::theme::DrawFieldFrame(
                *native,
                {double(outer.left), double(outer.top), double(outer.Width()), double(outer.Height())},
                IsFocusedInKeyWindow());
        }
    }
    CRgn innerRgn(inner);
    innerRgn &= ctx.Clip();
    if (!innerRgn.IsEmpty()) {
        const CLRect text = TextRect();
        if (fEditor) {
            if (!fReadOnly) {
                CRgn between(inner);
                between -= CRgn(text);
                LPaint(between, fBackground).Fill(ctx);
            }
        } else {
            if (!fReadOnly) LPaint(CRgn(inner), fBackground).Fill(ctx);
            const int32_t sx = fHBar ? fHBar->GetValue() : 0;
            const int32_t sy = fVBar ? fVBar->GetValue() : 0;
            CLRect moved = text;
            moved.Shift(2 - sx, -sy);
            if (fMode != kSingleLine)
                moved.bottom = std::max(moved.bottom, moved.top + MeasureText(ctx).height);
            LClipScope clip(ctx, text);
            DrawText(ctx, moved);
        }
    }
    if (fVBar) fVBar->Draw(ctx);
    if (fHBar) fHBar->Draw(ctx);
}

// Preferred sizes.

int32_t LEditText::PreferredWidth(LDrawContext& ctx, int32_t kind) {
    const int32_t f = FrameInset(), hm = HMargin();
    const int32_t vbar = fVBar ? fVBar->SystemScrollerWidth() : 0;
    switch (kind) {
        case -13: {
            LTextBox box;
            box.SetStyle(fStyle);
            return box.WidthOf("M");
        }
        case -11:
        case -1:
            return 2 + hm + f;
        case -2:
            return 2 * (hm + f) + 2 + vbar;
        default:
            if (kind < 0) return LPane::PreferredWidth(ctx, kind);
            return MeasureText(ctx).width + 2 * (hm + f) + 3 + vbar;
    }
}

int32_t LEditText::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    const int32_t f = FrameInset(), vm = VMargin();
    const int32_t hbar = fHBar ? fHBar->SystemScrollerWidth() : 0;
    switch (kind) {
        case -12:
        case -10: {
            LTextBox box;
            box.SetStyle(fStyle);
            return box.LineHeight() + vm + f;
        }
        case -11:
        case -1:
            return vm + f;
        case -2:
            return 2 * (vm + f) + hbar;
        default:
            if (kind < 0) return LPane::PreferredHeight(ctx, kind);
            return MeasureText(ctx).height + 2 * (vm + f) + hbar;
    }
}
