#include "Lib3/LSources/CoreUI/LKeyboard.h"

#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/TextEncoding.h"

namespace {

LKeyboard* gKeyboard = nullptr;

uint8_t UpperByte(uint8_t c) {
    return (c >= 'a' && c <= 'z') ? uint8_t(c - 'a' + 'A') : c;
}

uint8_t FirstByte(const std::string& s) {
    return s.empty() ? 0 : uint8_t(s[0]);
}

}  // namespace

LKeyboard::LKeyboard() : LHandler(nullptr) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!gKeyboard) gKeyboard = this;
}

LKeyboard::~LKeyboard() {
    if (gKeyboard == this) gKeyboard = nullptr;
}

LKeyboard* LKeyboard::Get() {
    return gKeyboard;
}

LMessage LKeyboard::Handle(const LMessage& msg) {
    if (msg.sender == this && (msg.Is(LKeyboard_Down) || msg.Is(LKeyboard_Char) || msg.Is(LKeyboard_Up))) {
        mHandled = false;
        return LMessage();
    }
    return LHandler::Handle(msg);
}

void LKeyboard::Fill(const plat::Event& event) {
    PLAT_DCHECK_MAIN_THREAD();
    mModifiers = event.modifierFlags;
    if (event.type != plat::EventType::kKeyDown && event.type != plat::EventType::kKeyUp) return;
    mChar = FirstByte(event.characters);
    mKeyCode = event.keyCode;
    // Shift with back-tab arrives as tab.
    if (mChar == 25 && (mModifiers & plat::kShiftKeyMask)) mChar = 9;
    const auto* bytes = reinterpret_cast<const uint8_t*>(event.characters.data());
    size_t pos = 0;
    uint32_t cp = 0;
    mUnicode = plat::DecodeUtf8Char(bytes, event.characters.size(), pos, cp) ? cp : 0;
    mBaseChar = FirstByte(event.charactersIgnoringModifiers);
    mEvent = event;
    mHandled = true;
}

uint8_t LKeyboard::UpperChar() const {
    return UpperByte(mChar);
}

uint8_t LKeyboard::BaseKeyLetter() const {
    return UpperByte(mBaseChar);
}

uint32_t LKeyboard::GetNaviKey() const {
    switch (mUnicode) {
        case 0xF700:
            return kNaviUp;
        case 0xF701:
            return kNaviDown;
        case 0xF702:
            return kNaviLeft;
        case 0xF703:
            return kNaviRight;
        case 3:
        case 10:
        case 13:
            return kNaviEnter;
        default:
            return 0;
    }
}

uint8_t LKeyboard::KeyEquivalentChar() const {
    return (mChar >= 32 && mChar <= 126) ? mChar : 0;
}
