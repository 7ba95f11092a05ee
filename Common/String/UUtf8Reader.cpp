#include "Common/String/UUtf8Reader.h"

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Platform/Foundation/TextEncoding.h"

int UUtf8Reader::Read(LCharIn& in, uint32_t& codePoint) {
    unsigned char c;
    if (!in.Get(c)) return kExhausted;
    if (c < 0x80) {
        codePoint = c;
        return kOk;
    }
    // The lead byte says how many continuation bytes to take; the codec judges the sequence.
    size_t length;
    if (c >= 0xC0 && c <= 0xDF)
        length = 2;
    else if (c >= 0xE0 && c <= 0xEF)
        length = 3;
    else if (c >= 0xF0 && c <= 0xF7)
        length = 4;
    else
        return kMalformed;
    uint8_t bytes[4] = {c};
    for (size_t i = 1; i < length; ++i) {
        if (!in.Get(c)) return kMalformed;
        if ((c & 0xC0) != 0x80) {
            in.Unget();
            return kMalformed;
        }
        bytes[i] = c;
    }
    size_t pos = 0;
    return plat::DecodeUtf8Char(bytes, length, pos, codePoint) ? kOk : kMalformed;
}
