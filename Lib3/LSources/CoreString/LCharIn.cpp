#include "Lib3/LSources/CoreString/LCharIn.h"

#include <cstring>

#include "Lib3/LSources/String/UString.h"

uint32_t LCharIn::Get(unsigned char* bytes, uint32_t n) {
    uint32_t count = 0;
    while (count < n && Get(bytes[count])) ++count;
    return count;
}

LCStrCharIn::LCStrCharIn(const char* text) {
    Setup(reinterpret_cast<const unsigned char*>(text), UString::LengthOf(text));
}

void LCStrCharIn::Setup(const unsigned char* text, uint32_t length) {
    if (!text || length == 0) {
        text = reinterpret_cast<const unsigned char*>("");
        length = 0;
    }
    fStart = fCursor = text;
    fEnd = text + length;
}

bool LCStrCharIn::Get(unsigned char& c) {
    if (fCursor < fEnd && *fCursor != 0) {
        c = *fCursor++;
        return true;
    }
    c = 0;
    return false;
}

void LCStrCharIn::Unget() {
    if (fCursor > fStart) --fCursor;
}

uint32_t LCStrCharIn::Get(unsigned char* bytes, uint32_t n) {
    const uint32_t count = n < Remaining() ? n : Remaining();
    if (count) std::memcpy(bytes, fCursor, count);
    fCursor += count;
    return count;
}
