#pragma once

#include <cstdint>

#include "Common/ObjC/CAsciiEditText.h"

// The user entered a number: Return or Enter after typing, or the focus left a changed field.
L_MESSAGE_ID(LNumEdit_Enter);

// A one-line numeric field: digits, a leading minus and, with decimals on, one decimal point.
// It remembers whether the user typed since the last entry (dirty) and reports the entry with
// "LNumEdit_Enter". Arrow keys go to the upper handler. Main thread only.
class LNumEdit : public CAsciiEditText {
public:
    LNumEdit(LPane* owner, bool decimalsOn, uint32_t options);
    ~LNumEdit() override;

    LMessage Handle(const LMessage& msg) override;
    bool AcceptChar(uint32_t ch) override;
    void TextChanged() override;
    void Unfocused() override;

    bool IsDirty() const { return fDirty; }
    void SetDirty(bool dirty) { fDirty = dirty; }
    bool DecimalsOn() const { return fDecimalsOn == 1; }
    void SetDecimalsOn(bool on) { fDecimalsOn = on ? 1 : 0; }

    // The text cut before the first character a number cannot hold there.
    static LString Sanitized(const LString& text, bool decimalsOn);

protected:
    // The key handling of the numeric field ("LKeyboard_Down").
    LMessage HandleNumKey(const LMessage& msg);

private:
    uint32_t fDecimalsOn;
    bool fDirty = false;
};
