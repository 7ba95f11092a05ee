#include "Platform/Foundation/TextEncoding.h"

namespace plat {
namespace {

// Apple's mapping of 0x80-0xFF (0xDB is the euro sign, 0xF0 the private-use Apple logo).
constexpr char16_t kMacRomanHigh[128] = {
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

// Older mappings (iconv's MACINTOSH) that also encode to these bytes.
struct Alias {
    char16_t unit;
    uint8_t byte;
};
constexpr Alias kMacRomanAliases[] = {{0x0394, 0xC6}, {0xE01E, 0xF0}, {0x2126, 0xBD}, {0x00A4, 0xDB}};

int EncodeMacRomanUnit(char16_t u) {
    if (u < 0x80) return u;
    for (int i = 0; i < 128; ++i) {
        if (kMacRomanHigh[i] == u) return 0x80 + i;
    }
    for (const Alias& a : kMacRomanAliases) {
        if (a.unit == u) return a.byte;
    }
    return -1;
}

void AppendUtf8(uint32_t cp, std::string& out) {
    uint8_t b[4];
    out.append(reinterpret_cast<const char*>(b), EncodeUtf8Char(cp, b));
}

}  // namespace

bool DecodeUtf8Char(const uint8_t* bytes, size_t length, size_t& pos, uint32_t& cp) {
    if (pos >= length) return false;
    uint8_t b = bytes[pos];
    uint32_t c;
    size_t extra;
    uint32_t min;
    if (b < 0x80) {
        cp = b;
        ++pos;
        return true;
    } else if (b >= 0xC2 && b <= 0xDF) {
        c = b & 0x1F, extra = 1, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        c = b & 0x0F, extra = 2, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        c = b & 0x07, extra = 3, min = 0x10000;
    } else {
        return false;
    }
    if (length - pos <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
        uint8_t t = bytes[pos + k];
        if ((t & 0xC0) != 0x80) return false;
        c = (c << 6) | (t & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    cp = c;
    pos += extra + 1;
    return true;
}

bool IsValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    uint32_t cp;
    for (size_t i = 0; i < s.size();) {
        if (p[i] < 0x80) {
            ++i;
        } else if (!DecodeUtf8Char(p, s.size(), i, cp)) {
            return false;
        }
    }
    return true;
}

std::string ValidUtf8(std::string_view s) {
    const char* chars = s.data();
    const size_t length = s.size();
    if (IsValidUtf8(s)) return std::string(s);
    std::string out;
    const auto* p = reinterpret_cast<const uint8_t*>(chars);
    uint32_t cp;
    for (size_t i = 0; i < length;) {
        size_t start = i;
        if (DecodeUtf8Char(p, length, i, cp)) {
            out.append(chars + start, i - start);
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

size_t EncodeUtf8Char(uint32_t cp, uint8_t out[4]) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    if (cp < 0x80) {
        out[0] = static_cast<uint8_t>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<uint8_t>(0xC0 | (cp >> 6));
        out[1] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<uint8_t>(0xE0 | (cp >> 12));
        out[1] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<uint8_t>(0xF0 | (cp >> 18));
    out[1] = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    return 4;
}

bool DecodeUtf8(const uint8_t* bytes, size_t length, std::u16string& out) {
    size_t i = 0;
    uint32_t cp;
    while (i < length) {
        if (!DecodeUtf8Char(bytes, length, i, cp)) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return true;
}

void EncodeUtf8(const char16_t* units, size_t count, std::string& out) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00), out);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendUtf8(0xFFFD, out);
        } else {
            AppendUtf8(u, out);
        }
    }
}

char16_t MacRomanToUnicode(uint8_t byte) {
    return byte < 0x80 ? byte : kMacRomanHigh[byte - 0x80];
}

void DecodeMacRoman(const uint8_t* bytes, size_t length, std::u16string& out) {
    out.reserve(out.size() + length);
    for (size_t i = 0; i < length; ++i) out += MacRomanToUnicode(bytes[i]);
}

bool EncodeMacRoman(const char16_t* units, size_t count, std::string& out, char loss) {
    bool exact = true;
    for (size_t i = 0; i < count; ++i) {
        int b = EncodeMacRomanUnit(units[i]);
        if (b < 0) {
            exact = false;
            out += loss;
            // A surrogate pair is one character: one loss byte.
            if (units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
                units[i + 1] <= 0xDFFF)
                ++i;
        } else {
            out += static_cast<char>(b);
        }
    }
    return exact;
}

}  // namespace plat
