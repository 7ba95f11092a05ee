#include "Common/ObjC/LNumEdit.h"

#include "Lib3/LSources/CoreUI/LKeyboard.h"

namespace {
constexpr uint32_t kNumberStyle = 3;
}

LNumEdit::LNumEdit(LPane* owner, bool decimalsOn, uint32_t options)
    : CAsciiEditText(owner, kSingleLine, options), fDecimalsOn(decimalsOn ? 1 : 0) {
    SetTextStyle(LTextStyleH(kNumberStyle));
}

LNumEdit::~LNumEdit() {
    // Drop the focus while this class still answers: a dirty field enters its value.
    ChangeState(kHide);
}

bool LNumEdit::AcceptChar(uint32_t ch) {
    return (ch >= '0' && ch <= '9') || ch == '-' || (ch == '.' && fDecimalsOn == 1);
}

LString LNumEdit::Sanitized(const LString& text, bool decimalsOn) {
    const unsigned char* t = text.Text();
    uint32_t n = 0;
    bool point = false;
    for (; n < text.Length(); ++n) {
        const unsigned char c = t[n];
        if (c >= '0' && c <= '9') continue;
        if (c == '-' && n == 0) continue;
        if (c == '.' && decimalsOn && !point) {
            point = true;
            continue;
        }
        break;
    }
    return n == text.Length() ? text : LString(text.CStr(), n);
}

void LNumEdit::TextChanged() {
    fDirty = true;
    LEditText::TextChanged();
}

void LNumEdit::Unfocused() {
    if (fDirty) {
        fDirty = false;
        Dispatch(LMessage(LNumEdit_Enter, this, Upper()));
    }
    LEditText::Unfocused();
}

LMessage LNumEdit::HandleNumKey(const LMessage& msg) {
    auto* kb = static_cast<LKeyboard*>(msg.sender);
    const uint32_t navi = kb ? kb->GetNaviKey() : 0;
    if (navi >= LKeyboard::kNaviLeft && navi <= LKeyboard::kNaviDown) return msg.Retarget(Upper());
    if (kb && (kb->Char() == 13 || kb->Char() == 3)) {
        SelectAll();
        if (fDirty) {
            fDirty = false;
            return LMessage(LNumEdit_Enter, this, Upper());
        }
    }
    return LEditText::Handle(msg);
}

LMessage LNumEdit::Handle(const LMessage& msg) {
    if (msg.Is(LEditText_Change) && msg.sender == this) {
        const LString text = GetText();
        const LString cut = Sanitized(text, fDecimalsOn == 1);
        if (!(cut == text)) SetText(cut);
        return LEditText::Handle(msg);
    }
    if (msg.Is(LKeyboard_Down)) return HandleNumKey(msg);
    if (msg.Is(LNumEdit_Enter) && msg.sender == this) {
        if (!(State() & kFocused)) return LMessage();
        LKeyboard* kb = LKeyboard::Get();
        if (!kb) return LMessage();
        return LEditText::Handle(LMessage(LKeyboard_Down, kb, this));
    }
    return CAsciiEditText::Handle(msg);
}
