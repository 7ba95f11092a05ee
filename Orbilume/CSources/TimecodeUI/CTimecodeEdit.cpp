#include "Orbilume/CSources/TimecodeUI/CTimecodeEdit.h"

#include <algorithm>
#include <cmath>

#include "Common/ObjC/CEditText.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LTextBox.h"
#include "Platform/AppKit/TextView.h"
#include "Platform/Foundation/Check.h"

namespace {

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

}  // namespace

CTimecodeEdit::CTimecodeEdit(LPane* owner, uint32_t rateCode, bool isSigned, uint32_t options)
    : CNumVol(owner, 0, options), fCode(rateCode), fSigned(isSigned) {
    PLAT_DCHECK_MAIN_THREAD();
    const float limit = isSigned ? float(kSecondsPerDay - 1) : float(kSecondsPerDay);
    SetRange(-limit, limit, 1);
    StoreValue(0);
}

CTimecodeEdit::~CTimecodeEdit() = default;

// Text.

std::string CTimecodeEdit::CountText(int64_t count, uint32_t unitsPerSecond, uint32_t rateCode,
                                     bool isSigned) {
    Timecode tc;
    tc.Init(rateCode);
    if (unitsPerSecond == 0) count = 0;
    const bool negative = count < 0;
    if (negative) {
        if (isSigned) {
            count = -count;
        } else {
            const int64_t day = int64_t(unitsPerSecond) * kSecondsPerDay;
            count = ((count % day) + day) % day;
        }
    }
    // FromCount wraps the day itself; keep the count within 32 bits first.
    if (unitsPerSecond != 0) count %= int64_t(unitsPerSecond) * kSecondsPerDay;
    tc.FromCount(uint32_t(count), unitsPerSecond);
    if (!isSigned) return tc.Format();
    const bool minus = negative && tc.ToCount(1000) != 0;
    return (minus ? "-" : " ") + tc.Format();
}

bool CTimecodeEdit::IsTyping() const {
    return IsFocusedInKeyWindow() && Editor() && !Editor()->HasSelection();
}

void CTimecodeEdit::ShowText(const std::string& text) {
    SetText(LString(text.c_str()));
}

int32_t CTimecodeEdit::GetCount(uint32_t unitsPerSecond) const {
    Timecode tc;
    tc.Init(fCode);
    const int sign = tc.Parse(Str(GetText()));
    const int64_t count = int64_t(tc.ToCount(unitsPerSecond));
    return int32_t(std::clamp<int64_t>(sign * count, INT32_MIN, INT32_MAX));
}

int64_t CTimecodeEdit::GetTypedCount(uint32_t unitsPerSecond) const {
    int sign = 1;
    const uint64_t ms = Timecode::ParseMilliseconds(Str(GetText()), fCode, &sign);
    // At most about 3.6e12 ms: the product stays far inside 64 bits for any practical unit.
    const int64_t units = int64_t(ms / 1000 * unitsPerSecond + ms % 1000 * unitsPerSecond / 1000);
    return sign * units;
}

Timecode CTimecodeEdit::GetTimecode() const {
    Timecode tc;
    tc.Init(fCode);
    (void)tc.Parse(Str(GetText()));
    return tc;
}

void CTimecodeEdit::SetCount(int64_t count, uint32_t unitsPerSecond) {
    if (IsTyping()) return;
    ShowText(CountText(count, unitsPerSecond, fCode, fSigned));
    Refresh();
}

void CTimecodeEdit::SetTimecode(const Timecode& tc) {
    if (IsTyping()) return;
    Timecode shown = tc;
    shown.SetRate(fCode);
    ShowText((fSigned ? " " : "") + shown.Format());
    Refresh();
}

// The value in seconds.

float CTimecodeEdit::GetValue() {
    return float(double(GetCount(kUnitsPerSecond)) / kUnitsPerSecond);
}

void CTimecodeEdit::StoreValue(float seconds) {
    if (!std::isfinite(seconds)) seconds = 0;
    const double units = std::round(double(seconds) * kUnitsPerSecond);  // halves away from zero
    const double day = double(kSecondsPerDay) * kUnitsPerSecond;
    ShowText(CountText(int64_t(std::clamp(units, -day, day)), kUnitsPerSecond, fCode, fSigned));
}

// Fields.

uint32_t CTimecodeEdit::FieldAtIndex(uint32_t index) const {
    if (fSigned) {
        if (index == 0) return kHours;
        --index;
    }
    const uint32_t last = fCode == 1 ? kSeconds : kFrames;
    return std::min(index / 3 + 1, last);
}

uint32_t CTimecodeEdit::FieldAt(const CLPoint& local) {
    const LString t = GetText();
    const uint32_t len = t.Length();
    if (len == 0) return kNoField;
    LTextBox box;
    box.SetStyle(TextStyle());
    LPanePort port(this);
    LDrawContext measure(port);
    const int64_t x = int64_t(local.x) - (Bounds().left + PreferredWidth(measure, -11));
    std::string prefix;
    uint32_t i = 0;
    for (; i < len; ++i) {
        prefix.push_back(t.CStr()[i]);
        if (box.WidthOf(prefix.c_str()) > x) break;
    }
    return FieldAtIndex(std::min(i, len - 1));
}

double CTimecodeEdit::FieldStep(uint32_t rateCode, uint32_t field) {
    switch (field) {
        case kHours:
            return 3600;
        case kMinutes:
            return 60;
        case kSeconds:
            return 1;
        case kFrames:
            switch (rateCode) {
                case 1:
                    return 0;
                case 24:
                    return 1.0 / 24;
                case 25:
                    return 1.0 / 25;
                case 29:
                    return 1001.0 / 30000;
                case 100:
                    return 1.0 / 100;
                default:
                    return 1.0 / 30;
            }
        default:
            return 1;
    }
}

void CTimecodeEdit::UseFieldStep(uint32_t field) {
    SetRange(Minimum(), Maximum(), float(FieldStep(fCode, field)));
}

int32_t CTimecodeEdit::SetDirection(const CLPoint& local) {
    // A click while focused picks the field that the click and the drag that may follow step.
    if (IsFocusedInKeyWindow()) {
        fField = FieldAt(local);
        UseFieldStep(fField);
    }
    return CNumVol::SetDirection(local);
}

double CTimecodeEdit::WheelStep(const CLPoint& local) {
    return FieldStep(fCode, FieldAt(local));
}

void CTimecodeEdit::Refresh() {
    CEditText* editor = Editor();
    if (!editor) return;
    if (fField == kNoField) {
        editor->SelectAll();
        return;
    }
    const uint32_t start = 3 * fField - 3 + (fSigned ? 1 : 0);
    const uint32_t len = GetText().Length();
    editor->SetSelection(std::min(start, len), std::min<uint32_t>(2, len - std::min(start, len)));
}

// Input.

bool CTimecodeEdit::AcceptChar(uint32_t ch) {
    if (ch == ':' || ch == ' ') CutAfterSelection();
    return (ch >= '0' && ch <= '9') || ch == ':' || ch == ' ' || ch == '.' || ch == '-';
}

void CTimecodeEdit::CutAfterSelection() {
    // A separator typed ends the text after the selection; the character then goes in.
    CEditText* editor = Editor();
    plat::TextView* view = editor ? editor->CurrentEditor() : nullptr;
    if (!view) return;
    const plat::TextRange sel = view->SelectedRange();
    const size_t length = view->String().size();  // the field holds ASCII only
    if (sel.End() >= length) return;
    view->ReplaceCharacters({sel.End(), length - sel.End()}, "");
    view->SetSelectedRange(sel);
}

int32_t CTimecodeEdit::StepKey() {
    LKeyboard* kb = LKeyboard::Get();
    if (!kb || !kb->IsControlDown()) return 0;
    const uint32_t navi = kb->GetNaviKey();
    if (navi != LKeyboard::kNaviUp && navi != LKeyboard::kNaviDown) return 0;
    const float delta = (kb->IsShiftDown() ? 1.0f : 60.0f) * (navi == LKeyboard::kNaviUp ? 1 : -1);
    const LString before = GetText();
    StoreValue(Clamp(GetValue() + delta));
    Refresh();
    return GetText() == before ? 2 : 1;
}

void CTimecodeEdit::StateChanged(uint32_t op) {
    if (op == kUnfocus) fField = kNoField;
    CNumVol::StateChanged(op);
}

LMessage CTimecodeEdit::Handle(const LMessage& msg) {
    // The number field's own clean-up of typed text would cut at the first ':'.
    if (msg.Is(LEditText_Change) && msg.sender == this) return LEditText::Handle(msg);
    return CNumVol::Handle(msg);
}
