#include "Common/String/UUtf8Reader.h"

#include "Lib3/LSources/CoreString/LCharIn.h"

int UUtf8Reader::Read(LCharIn& in, uint32_t& codePoint) {
    unsigned char c;
    if (!in.Get(c)) return kExhausted;
    if (c < 0x80) {
        codePoint = c;
        return kOk;
    }
    int more;
    uint32_t value;
    uint32_t minimum;
    if (c >= 0xC0 && c <= 0xDF) {
        more = 1;
        value = c & 0x1F;
        minimum = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        more = 2;
        value = c & 0x0F;
        minimum = 0x800;
    } else if (c >= 0xF0 && c <= 0xF7) {
        more = 3;
        value = c & 0x07;
        minimum = 0x10000;
    } else {
        return kMalformed;
    }
    for (int i = 0; i < more; ++i) {
        if (!in.Get(c)) return kMalformed;
        if ((c & 0xC0) != 0x80) {
            in.Unget();
            return kMalformed;
        }
        value = (value << 6) | (c & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return kMalformed;
    codePoint = value;
    return kOk;
}
