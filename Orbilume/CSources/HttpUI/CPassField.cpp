#include "Orbilume/CSources/HttpUI/CPassField.h"

CPassField::CPassField(LPane* owner, uint32_t options) : LEditText(owner, kSingleLine, options | kPassword) {}

bool CPassField::IsLetterOrDigit(uint32_t ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
}

std::string CPassField::LettersAndDigits(const std::string& text) {
    std::string out;
    for (char c : text)
        if (IsLetterOrDigit(uint8_t(c))) out += c;
    return out;
}

bool CPassField::AcceptChar(uint32_t ch) {
    return fSettingText || IsLetterOrDigit(ch);
}

void CPassField::TextChanged() {
    if (!fSettingText) {
        const LString text = GetText();
        const std::string kept = LettersAndDigits(std::string(text.CStr(), text.Length()));
        if (kept.size() != text.Length()) SetTextByProgram(LString(kept.data(), uint32_t(kept.size())));
    }
    LEditText::TextChanged();
}

void CPassField::SetTextByProgram(const LString& text) {
    fSettingText = true;
    SetText(text);
    fSettingText = false;
}
