#include "Lib3/LSources/String/UUtf8.h"

#include "Lib3/LSources/CoreString/LStrBuf.h"
#include "Platform/Foundation/TextEncoding.h"

bool UUtf8::IsValid(const unsigned char* text, uint32_t length) {
    if (!text) return length == 0;
    uint32_t i = 0;
    while (i < length) {
        unsigned char b = text[i++];
        uint32_t extra;
        if (b < 0x80) {
            continue;
        } else if (b < 0xC0) {
            return false;
        } else if (b < 0xE0) {
            extra = 1;
        } else if (b < 0xF0) {
            extra = 2;
        } else if (b < 0xF8) {
            extra = 3;
        } else {
            return false;
        }
        if (length - i < extra) return false;
        for (uint32_t k = 0; k < extra; ++k) {
            if ((text[i++] & 0xC0) != 0x80) return false;
        }
    }
    return true;
}

bool UUtf8::Append(LStrBuf& out, uint32_t cp) {
    unsigned char b[4];
    size_t n = plat::EncodeUtf8Char(cp, b);
    if (n == 0) return false;
    out.Append(b, static_cast<uint32_t>(n));
    return true;
}

bool UUtf8::Decode(const unsigned char* text, uint32_t length, uint32_t& pos, uint32_t& cp) {
    size_t at = pos;
    if (!plat::DecodeUtf8Char(text, length, at, cp)) return false;
    pos = static_cast<uint32_t>(at);
    return true;
}
