#include "Lib3/LSources/String/CStrU.h"

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
        UUtf8::Append(utf8, plat::MacRomanToUnicode(c));
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
    LCStrCharIn in(text, UString::LengthOf(text));
    UCharIn::LineRest(in, out);
    while (UCharIn::LineNext(in)) {
        out.Append(eol);
        UCharIn::LineRest(in, out);
    }
}

LString CStrU::NormalizeEOL(const LString& text, const unsigned char* eol) {
    LVariStr<64> out;
    NormalizeEOL(text.Text(), out, eol);
    if (out.Length() == text.Length() && UString::IsEqual(out.Text(), text.Text())) return text;
    return LString(out);
}
