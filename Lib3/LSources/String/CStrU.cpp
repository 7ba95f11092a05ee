#include "Lib3/LSources/String/CStrU.h"

#include <cstring>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/UCharIn.h"
#include "Lib3/LSources/String/UString.h"
#include "Lib3/LSources/String/UUtf8.h"
#include "Platform/Foundation/Bytes.h"
#include "Platform/Foundation/TextEncoding.h"

namespace {

// Text shorter than four characters is padded with blanks.
uint32_t PackFcc(const unsigned char* text) {
    return plat::FourCCFromText(reinterpret_cast<const char*>(text));
}

}  // namespace

LString CStrU::LStringFromCString(const char* text, uint32_t length) {
    if (!text || length == 0) return LString();
    LVariStr<64> utf8;
    for (uint32_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        (void)UUtf8::Append(utf8, plat::MacRomanToUnicode(c));  // Mac Roman maps into the BMP, no surrogates
    }
    return LString(utf8);
}

LString CStrU::LStringFromCString(const char* text) {
    return LStringFromCString(text, UString::LengthOf(text));
}

LString CStrU::LStringFromAsciiString(const char* text) {
    return LString(text);
}

LString CStrU::LStringFromFcc(uint32_t code) {
    char text[5];
    plat::FourCCToText(code, text);
    unsigned char bytes[4];
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0) break;
        if (c == ' ' && n == 0) continue;
        bytes[n++] = c;
    }
    return LString(bytes, n);
}

uint32_t CStrU::FccFromString(const unsigned char* text) {
    if (UString::IsEmpty(text)) return 0;
    return PackFcc(text);
}

uint32_t CStrU::FccFromStringOrBlanks(const unsigned char* text) {
    if (UString::IsEmpty(text)) return 0x20202020;
    return PackFcc(text);
}

const unsigned char* CStrU::NextRChar(const unsigned char* text) {
    if (!text || !*text) return text;
    ++text;
    while ((*text & 0xC0) == 0x80) ++text;
    return text;
}

void CStrU::NormalizeEOL(const unsigned char* text, LStrBuf& out, const unsigned char* eol) {
    if (!text) return;
    // Runs without a line end go out whole; a line end is one byte or a pair of different ones.
    const unsigned char* run = text;
    const unsigned char* p = text;
    for (;; ++p) {
        const unsigned char c = *p;
        if (c == 0) break;
        if (!UCharIn::IsLineEnd(c)) continue;
        out.Append(run, static_cast<uint32_t>(p - run));
        out.Append(eol);
        if (UCharIn::IsLineEnd(p[1]) && p[1] != c) ++p;
        run = p + 1;
    }
    out.Append(run, static_cast<uint32_t>(p - run));
}

LString CStrU::NormalizeEOL(const LString& text, const unsigned char* eol) {
    // LF line ends stay as they are: without a CR (and a NUL, which ends the text) nothing changes.
    const unsigned char* t = text.Text();
    if (eol && eol[0] == '\n' && eol[1] == 0 && !std::memchr(t, '\r', text.Length()) &&
        !std::memchr(t, 0, text.Length()))
        return text;
    LVariStr<64> out;
    NormalizeEOL(text.Text(), out, eol);
    if (out.Length() == text.Length() && UString::IsEqual(out.Text(), text.Text())) return text;
    return LString(out);
}
