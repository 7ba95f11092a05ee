#pragma once

#include <cstdint>
#include <string>

#include "Common/ObjC/LEditText.h"

// The operation panel's password field: a secure one-line field that takes letters and digits
// only, whatever is typed or pasted; after each change the text is rebuilt from its letters and
// digits. While the program sets the text the filter is off. Main thread only.
class CPassField : public LEditText {
public:
    static constexpr const char* kPlaceholder = "(You have a password.)";

    explicit CPassField(LPane* owner, uint32_t options = 0);

    bool AcceptChar(uint32_t ch) override;
    void TextChanged() override;
    // Sets the text without the filter.
    void SetTextByProgram(const LString& text);
    // Whether a password is stored: the empty field then shows the placeholder.
    void SetHasPassword(bool has) { fHasPassword = has; }
    // The text the empty field shows, empty when none.
    const char* Placeholder() const { return fHasPassword && GetText().IsEmpty() ? kPlaceholder : ""; }

    static bool IsLetterOrDigit(uint32_t ch);
    static std::string LettersAndDigits(const std::string& text);

private:
    bool fSettingText = false;
    bool fHasPassword = false;
};
