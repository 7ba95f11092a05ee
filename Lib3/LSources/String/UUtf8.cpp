#include "Lib3/LSources/String/UUtf8.h"

#include "Lib3/LSources/CoreString/LStrBuf.h"

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
    uint32_t n;
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp < 0x80) {
        b[0] = static_cast<unsigned char>(cp);
        n = 1;
    } else if (cp < 0x800) {
        b[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        b[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        n = 2;
    } else if (cp < 0x10000) {
        b[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        b[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        b[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        n = 3;
    } else {
        b[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
        b[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
        b[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        b[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        n = 4;
    }
    out.Append(b, n);
    return true;
}

bool UUtf8::Decode(const unsigned char* text, uint32_t length, uint32_t& pos, uint32_t& cp) {
    if (pos >= length) return false;
    unsigned char b = text[pos];
    uint32_t extra;
    uint32_t min;
    if (b < 0x80) {
        cp = b;
        ++pos;
        return true;
    } else if (b >= 0xC2 && b <= 0xDF) {
        cp = b & 0x1F, extra = 1, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        cp = b & 0x0F, extra = 2, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        cp = b & 0x07, extra = 3, min = 0x10000;
    } else {
        return false;
    }
    if (length - pos <= extra) return false;
    for (uint32_t k = 1; k <= extra; ++k) {
        unsigned char c = text[pos + k];
        if ((c & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    pos += extra + 1;
    return true;
}
