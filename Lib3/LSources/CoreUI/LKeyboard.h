#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Platform/AppKit/Event.h"

L_MESSAGE_ID(LKeyboard_Down);
L_MESSAGE_ID(LKeyboard_Char);
L_MESSAGE_ID(LKeyboard_Up);

// The keyboard record that the window bridge fills from each key event, sender of the key messages.
// The character byte is the first byte of the key's UTF-8 text (a lead byte for non-ASCII keys); the
// Unicode character is the key's first code point. One instance, made at start-up. Main thread only.
class LKeyboard : public LHandler {
public:
    enum : uint32_t { kNaviLeft = 1, kNaviRight = 2, kNaviUp = 3, kNaviDown = 4, kNaviEnter = 5 };

    LKeyboard();
    ~LKeyboard() override;

    static LKeyboard* Get();

    // A key message that comes back here went up its whole chain untaken: the key is declined (the
    // handled flag cleared), as the application root declines it.
    LMessage Handle(const LMessage& msg) override;

    // Modifiers from every event; the rest from key-down and key-up events.
    void Fill(const plat::Event& event);

    uint8_t Char() const { return mChar; }
    uint16_t KeyCode() const { return mKeyCode; }
    uint32_t Modifiers() const { return mModifiers; }
    uint32_t Unicode() const { return mUnicode; }
    uint8_t BaseChar() const { return mBaseChar; }
    const plat::Event& CurrentEvent() const { return mEvent; }
    bool Handled() const { return mHandled; }
    void SetHandled(bool handled) { mHandled = handled; }

    bool IsShiftDown() const { return mModifiers & plat::kShiftKeyMask; }
    bool IsControlDown() const { return mModifiers & plat::kControlKeyMask; }
    bool IsOptionDown() const { return mModifiers & plat::kAlternateKeyMask; }
    bool IsCommandDown() const { return mModifiers & plat::kCommandKeyMask; }
    // The character byte in C-locale upper case.
    uint8_t UpperChar() const;
    // The base character in upper case.
    uint8_t BaseKeyLetter() const;
    // 1 left, 2 right, 3 up, 4 down (the arrow keys), 5 Enter or Return, else 0.
    uint32_t GetNaviKey() const;
    // The character as a key equivalent: printable ASCII only, else 0.
    uint8_t KeyEquivalentChar() const;

private:
    uint8_t mChar = 0;
    uint16_t mKeyCode = 0;
    uint32_t mModifiers = 0;
    bool mHandled = false;
    plat::Event mEvent;
    uint32_t mUnicode = 0;
    uint8_t mBaseChar = 0;
};
