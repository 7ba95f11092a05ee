#include "Lib3/LSources/String/CStrU.h"

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/UCharIn.h"
#include "Lib3/LSources/String/UString.h"

namespace {

// Mac Roman bytes 0x80-0xFF as Unicode code points.
constexpr uint16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
    0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
    0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

void AppendUtf8(LStrBuf& out, uint32_t cp) {
    if (cp < 0x80) {
        out.Append(static_cast<unsigned char>(cp));
    } else if (cp < 0x800) {
        const unsigned char b[2] = {static_cast<unsigned char>(0xC0 | (cp >> 6)),
                                    static_cast<unsigned char>(0x80 | (cp & 0x3F))};
        out.Append(b, 2);
    } else {
        const unsigned char b[3] = {static_cast<unsigned char>(0xE0 | (cp >> 12)),
                                    static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)),
                                    static_cast<unsigned char>(0x80 | (cp & 0x3F))};
        out.Append(b, 3);
    }
}

uint32_t PackFcc(const unsigned char* text) {
    uint32_t code = 0;
    bool ended = false;
    for (int i = 0; i < 4; ++i) {
        if (!ended && !text[i]) ended = true;
        code = (code << 8) | (ended ? ' ' : text[i]);
    }
    return code;
}

}  // namespace

LString CStrU::LStringFromCString(const char* text, uint32_t length) {
    if (!text || length == 0) return LString();
    LVariStr<64> utf8;
    for (uint32_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        AppendUtf8(utf8, c < 0x80 ? c : kMacRomanHigh[c - 0x80]);
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
    unsigned char bytes[4];
    uint32_t n = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned char c = static_cast<unsigned char>(code >> shift);
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
