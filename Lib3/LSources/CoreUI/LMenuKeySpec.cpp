#include "Lib3/LSources/CoreUI/LMenuKeySpec.h"

#include "Lib3/LSources/CoreString/LStrBuf.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"

namespace {

uint8_t Upper(uint8_t c) {
    return (c >= 'a' && c <= 'z') ? uint8_t(c - 32) : c;
}

bool IsLetter(uint8_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The key of the current event as a key-equivalent character: the typed character, else the key's
// base character (Control turns letters into control codes).
uint8_t KeyOf(const LKeyboard& kb) {
    uint8_t c = kb.Char();
    if (!LMenuKeySpec::IsPrintable(c)) c = kb.BaseChar();
    return Upper(c);
}

}  // namespace

bool LMenuKeySpec::ParseKeySpec(const char* text, SMenuKeySpec* out) {
    if (!text || !*text) return false;
    uint32_t mods = SMenuKeySpec::kCommand;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    for (; *p >= 'a' && *p <= 'z'; ++p) {
        switch (*p) {
            case 'c':
                mods |= SMenuKeySpec::kControl;
                break;
            case 'o':
                mods |= SMenuKeySpec::kOption;
                break;
            case 's':
                mods |= SMenuKeySpec::kShift;
                break;
            case 'n':
                mods &= ~uint32_t(SMenuKeySpec::kCommand);
                break;
            default:
                break;
        }
    }
    if (!*p || !IsPrintable(*p)) return false;
    if (out) {
        out->key = *p;
        out->modifiers = mods;
    }
    return true;
}

bool LMenuKeySpec::HasMenuModifiers(const LKeyboard& kb) {
    return kb.IsControlDown() || kb.IsOptionDown() || kb.IsCommandDown();
}

bool LMenuKeySpec::WriteKeySpec(const LKeyboard& kb, LStrBuf& out) {
    const uint8_t c = KeyOf(kb);
    if (!IsPrintable(c)) return false;
    if (kb.IsControlDown()) out.Append("c");
    if (kb.IsOptionDown()) out.Append("o");
    if (kb.IsShiftDown() && IsLetter(c)) out.Append("s");
    if (!kb.IsCommandDown()) out.Append("n");
    out.Append(c);
    return true;
}

bool LMenuKeySpec::WriteEventKeyText(const LKeyboard& kb, LStrBuf& out) {
    SMenuKeySpec spec;
    spec.key = KeyOf(kb);
    if (kb.IsShiftDown() && IsLetter(spec.key)) spec.modifiers |= SMenuKeySpec::kShift;
    if (kb.IsControlDown()) spec.modifiers |= SMenuKeySpec::kControl;
    if (kb.IsOptionDown()) spec.modifiers |= SMenuKeySpec::kOption;
    if (kb.IsCommandDown()) spec.modifiers |= SMenuKeySpec::kCommand;
    return WriteKeyText(spec, out);
}

bool LMenuKeySpec::WriteKeyText(const SMenuKeySpec& spec, LStrBuf& out) {
    if (!IsPrintable(spec.key)) return false;
    if (spec.modifiers & SMenuKeySpec::kControl) out.Append("^");
    if (spec.modifiers & SMenuKeySpec::kOption) out.Append("\xE2\x8C\xA5");
    if (spec.modifiers & SMenuKeySpec::kShift) out.Append("\xE2\x87\xA7");
    if (spec.modifiers & SMenuKeySpec::kCommand) out.Append("\xE2\x8C\x98");
    if (spec.key == ' ')
        out.Append("Space");
    else
        out.Append(spec.key);
    return true;
}

uint32_t LMenuKeySpec::ItemModifiers(const SMenuKeySpec& spec) {
    uint32_t m = 0;
    if (spec.modifiers & SMenuKeySpec::kShift) m |= 1;
    if (spec.modifiers & SMenuKeySpec::kOption) m |= 2;
    if (spec.modifiers & SMenuKeySpec::kControl) m |= 4;
    if (!(spec.modifiers & SMenuKeySpec::kCommand)) m |= 8;
    return m;
}
