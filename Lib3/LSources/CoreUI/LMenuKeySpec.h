#pragma once

#include <cstdint>

class LKeyboard;
class LStrBuf;

// A key equivalent as a record: the key character and modifier bits 1 Shift, 2 Control, 4 Option,
// 8 Command.
struct SMenuKeySpec {
    enum : uint32_t { kShift = 1, kControl = 2, kOption = 4, kCommand = 8 };
    uint8_t key = 0;
    uint32_t modifiers = 0;
};

// Key equivalents in their stored form: lower-case modifier letters ("c" Control, "o" Option, "s"
// Shift, "n" no Command; others ignored), then one printable key character (32 to 126). Command is
// implied unless "n" is given.
class LMenuKeySpec {
public:
    // False on an empty text, a missing key character or one outside 32 to 126.
    static bool ParseKeySpec(const char* text, SMenuKeySpec* out);
    // Control, Option or Command held.
    static bool HasMenuModifiers(const LKeyboard& keyboard);
    // The current key as stored text ("c", "o", "s" for letters only, "n" without Command, then the
    // key upper-cased); nothing written and false when the key is not printable.
    static bool WriteKeySpec(const LKeyboard& keyboard, LStrBuf& out);
    // The current key in display form.
    static bool WriteEventKeyText(const LKeyboard& keyboard, LStrBuf& out);
    // "^" Control, "⌥" Option, "⇧" Shift, "⌘" Command, then "Space" or the character; false when the
    // character is not printable.
    static bool WriteKeyText(const SMenuKeySpec& spec, LStrBuf& out);
    // The modifiers of a spec record in the native item format (1 Shift, 2 Option, 4 Control, 8 no
    // Command).
    static uint32_t ItemModifiers(const SMenuKeySpec& spec);
    static bool IsPrintable(uint32_t c) { return c >= 32 && c <= 126; }
};
