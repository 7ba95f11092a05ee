#include "Platform/Foundation/XmlPropertyListReader.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "Platform/Foundation/PropertyListDate.h"
#include "Platform/Foundation/TextEncoding.h"

namespace plat {

namespace {

constexpr double kSecondsFrom1970To2001 = 978307200;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) ++i;
    return s.substr(i);
}

bool OnlySpace(std::string_view s) {
    return TrimLeft(s).empty();
}

int DigitValue(char c, int base) {
    int v = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'z' ? c - 'a' + 10
            : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                                   : 99;
    return v < base ? v : -1;
}

// An optional sign, then a number as strtoull reads it with base 0 (saturating), then only space.
bool ParseInteger(std::string_view s, int64_t& out) {
    s = TrimLeft(s);
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    size_t i = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && DigitValue(s[2], 16) >= 0) {
        base = 16;
        i = 2;
    } else if (!s.empty() && s[0] == '0') {
        base = 8;
    }
    const size_t start = i;
    uint64_t value = 0;
    bool overflow = false;
    for (; i < s.size(); ++i) {
        const int d = DigitValue(s[i], base);
        if (d < 0) break;
        if (value > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) overflow = true;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (i == start || !OnlySpace(s.substr(i))) return false;
    if (overflow) value = UINT64_MAX;
    out = static_cast<int64_t>(negative ? 0 - value : value);
    return true;
}

bool ParseReal(std::string_view s, double& out) {
    s = TrimLeft(s);
    size_t end = s.size();
    while (end > 0 && IsSpace(s[end - 1])) --end;
    if (end == 0) return false;
    const auto r = std::from_chars(s.data(), s.data() + end, out);
    if (r.ec == std::errc() && r.ptr == s.data() + end) return true;
    // Signs, hexadecimal and out-of-range numbers as the C library reads them.
    const std::string copy(s.substr(0, end));
    char* stop = nullptr;
    out = std::strtod(copy.c_str(), &stop);
    return stop == copy.c_str() + copy.size();
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// "YYYY-MM-DDTHH:MM:SSZ" as seconds since 1970; days past the end of a month run on into the next.
bool ParseDate(std::string_view s, double& seconds) {
    if (s.size() >= 32) return false;
    if (s.size() < 20 || !OnlySpace(s.substr(20))) return false;
    static constexpr char kPattern[] = "dddd-dd-ddTdd:dd:ddZ";
    for (size_t i = 0; i < 20; ++i) {
        if (kPattern[i] == 'd' ? (s[i] < '0' || s[i] > '9') : s[i] != kPattern[i]) return false;
    }
    auto num = [&](size_t at, size_t n) {
        int v = 0;
        for (size_t i = 0; i < n; ++i) v = v * 10 + (s[at + i] - '0');
        return v;
    };
    const int year = num(0, 4), month = num(5, 2), day = num(8, 2);
    const int hour = num(11, 2), minute = num(14, 2), second = num(17, 2);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 61)
        return false;
    const int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), 1) + day - 1;
    seconds = static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second);
    return true;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Base64 with any amount of space between characters; padding only at the very end.
bool DecodeBase64(std::string_view s, ByteArray& out) {
    out.clear();
    out.reserve(s.size() / 4 * 3);
    uint32_t quad[4];
    int n = 0, padding = 0;
    for (char c : s) {
        if (IsSpace(c)) continue;
        int v;
        if (c == '=') {
            if (n < 2) return false;
            ++padding;
            v = 0;
        } else {
            v = Base64Value(c);
            if (v < 0 || padding) return false;
        }
        quad[n++] = static_cast<uint32_t>(v);
        if (n == 4) {
            const uint32_t w = quad[0] << 18 | quad[1] << 12 | quad[2] << 6 | quad[3];
            out.push_back(static_cast<uint8_t>(w >> 16));
            if (padding < 2) out.push_back(static_cast<uint8_t>(w >> 8));
            if (padding < 1) out.push_back(static_cast<uint8_t>(w));
            n = 0;
            if (padding) padding = 3;  // nothing may follow
        }
    }
    return n == 0;
}

}  // namespace

XmlPropertyListReader::XmlPropertyListReader(const uint8_t* data, size_t size,
                                             const PropertyListLimits& limits)
    : fPos(reinterpret_cast<const char*>(data)),
      fEnd(reinterpret_cast<const char*>(data) + size),
      fLimits(limits) {}

bool XmlPropertyListReader::Account(uint64_t bytes) {
    if (bytes > fLimits.maxExpandedBytes - fBytes) return false;
    fBytes += bytes;
    return true;
}

// Moves past the end marker, searched from fPos; with quotes, text in double quotes is passed over.
bool XmlPropertyListReader::SkipUntil(std::string_view end, bool quotes) {
    for (const char* p = fPos; p < fEnd; ++p) {
        if (quotes && *p == '"') {
            p = static_cast<const char*>(std::memchr(p + 1, '"', static_cast<size_t>(fEnd - p - 1)));
            if (!p) return false;
            continue;
        }
        if (static_cast<size_t>(fEnd - p) >= end.size() && std::memcmp(p, end.data(), end.size()) == 0) {
            fPos = p + end.size();
            return true;
        }
    }
    return false;
}

// Space, comments, processing instructions and DOCTYPE declarations between elements.
bool XmlPropertyListReader::SkipMisc() {
    for (;;) {
        while (fPos < fEnd && IsSpace(*fPos)) ++fPos;
        const size_t left = static_cast<size_t>(fEnd - fPos);
        if (left < 2 || fPos[0] != '<') return true;
        if (fPos[1] == '?') {
            ++fPos;
            if (!SkipUntil("?>", true)) return false;
        } else if (fPos[1] != '!') {
            return true;
        } else if (left > 4 && std::memcmp(fPos, "<!--", 4) == 0) {
            fPos += 4;
            if (!SkipUntil("-->", false)) return false;
        } else if (left > 9 && std::memcmp(fPos, "<!DOCTYPE", 9) == 0) {
            fPos += 9;
            for (;; ++fPos) {
                if (fPos >= fEnd) return false;
                if (*fPos == '"') {
                    fPos = static_cast<const char*>(
                        std::memchr(fPos + 1, '"', static_cast<size_t>(fEnd - fPos - 1)));
                    if (!fPos) return false;
                } else if (*fPos == '>') {
                    ++fPos;
                    break;
                } else if (*fPos == '[') {
                    if (!SkipUntil("]>", true)) return false;
                    break;
                }
            }
        } else {
            return false;
        }
    }
}

// At '<': the element name up to space or '>', attributes passed over (double quotes may hold '>').
bool XmlPropertyListReader::ReadTag(Tag& tag) {
    const char* p = ++fPos;
    while (fPos < fEnd && !IsSpace(*fPos) && *fPos != '<' && *fPos != '>') ++fPos;
    if (fPos >= fEnd) return false;
    size_t length = static_cast<size_t>(fPos - p);
    while (fPos < fEnd && *fPos != '>') {
        if (*fPos == '<') return false;
        if (*fPos == '"') {
            fPos = static_cast<const char*>(std::memchr(fPos + 1, '"', static_cast<size_t>(fEnd - fPos - 1)));
            if (!fPos) return false;
        }
        ++fPos;
    }
    if (fPos >= fEnd) return false;
    tag.empty = fPos[-1] == '/';
    if (tag.empty) length = std::min(length, static_cast<size_t>(fPos - p - 1));
    ++fPos;
    tag.closing = length > 0 && p[0] == '/';
    tag.name = std::string_view(p, length);
    if (tag.closing) tag.name.remove_prefix(1);
    return true;
}

bool XmlPropertyListReader::AppendDecoded(const char* begin, const char* end, std::string& out) const {
    for (;;) {
        const char* amp = static_cast<const char*>(std::memchr(begin, '&', static_cast<size_t>(end - begin)));
        // A '&' that ends a run of text stays as it is.
        if (!amp || amp + 1 == end) {
            out.append(begin, static_cast<size_t>(end - begin));
            return true;
        }
        out.append(begin, static_cast<size_t>(amp - begin));
        const char* semi = static_cast<const char*>(std::memchr(amp, ';', static_cast<size_t>(end - amp)));
        if (!semi) return false;
        const std::string_view body(amp + 1, static_cast<size_t>(semi - amp - 1));
        if (body == "amp") {
            out += '&';
        } else if (body == "lt") {
            out += '<';
        } else if (body == "gt") {
            out += '>';
        } else if (body == "quot") {
            out += '"';
        } else if (body == "apos") {
            out += '\'';
        } else if (body.size() >= 2 && body.size() <= 8 && body[0] == '#') {
            const bool hex = body[1] == 'x' || body[1] == 'X';
            const int base = hex ? 16 : 10;
            const std::string_view digits = body.substr(hex ? 2 : 1);
            if (digits.empty()) return false;
            uint32_t cp = 0;
            for (char c : digits) {
                const int d = DigitValue(c, base);
                if (d < 0) return false;
                cp = cp * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
            }
            if (cp == 0 || cp > 0x10FFFF) return false;
            // Surrogates are written as they come and replaced with the rest of invalid UTF-8.
            char b[4];
            size_t n;
            if (cp >= 0x10000) {
                b[0] = static_cast<char>(0xF0 | (cp >> 18));
                b[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                b[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                b[3] = static_cast<char>(0x80 | (cp & 0x3F));
                n = 4;
            } else if (cp >= 0x800) {
                b[0] = static_cast<char>(0xE0 | (cp >> 12));
                b[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                b[2] = static_cast<char>(0x80 | (cp & 0x3F));
                n = 3;
            } else if (cp >= 0x80) {
                b[0] = static_cast<char>(0xC0 | (cp >> 6));
                b[1] = static_cast<char>(0x80 | (cp & 0x3F));
                n = 2;
            } else {
                b[0] = static_cast<char>(cp);
                n = 1;
            }
            out.append(b, n);
        } else {
            return false;
        }
        begin = semi + 1;
    }
}

bool XmlPropertyListReader::ReadText(std::string_view name, bool entities, std::string& out, int* parts) {
    out.clear();
    int count = 0;
    for (;;) {
        const char* lt = static_cast<const char*>(std::memchr(fPos, '<', static_cast<size_t>(fEnd - fPos)));
        if (!lt || fEnd - lt < 2) return false;
        if (lt > fPos) {
            ++count;
            if (!entities)
                out.append(fPos, static_cast<size_t>(lt - fPos));
            else if (!AppendDecoded(fPos, lt, out))
                return false;
        }
        fPos = lt;
        const size_t left = static_cast<size_t>(fEnd - lt);
        if (lt[1] == '/') {
            // The closing tag: its name, optional space, '>'.
            if (left <= 2 + name.size() || std::memcmp(lt + 2, name.data(), name.size()) != 0) return false;
            fPos = lt + 2 + name.size();
            while (fPos < fEnd && IsSpace(*fPos)) ++fPos;
            if (fPos >= fEnd || *fPos != '>') return false;
            ++fPos;
            if (parts) *parts = count;
            return true;
        }
        if (left > 4 && std::memcmp(lt, "<!--", 4) == 0) {
            ++count;
            fPos = lt + 4;
            if (!SkipUntil("-->", false)) return false;
        } else if (left > 11 && std::memcmp(lt, "<![CDATA[", 9) == 0) {
            ++count;
            fPos = lt + 9;
            const char* begin = fPos;
            if (!SkipUntil("]]>", false)) return false;
            out.append(begin, static_cast<size_t>(fPos - 3 - begin));
        } else {
            return false;
        }
    }
}

bool XmlPropertyListReader::ReadArray(uint32_t depth, Value& out) {
    ValueArray a;
    for (;;) {
        if (!SkipMisc() || fPos >= fEnd || *fPos != '<') return false;
        Tag tag;
        if (!ReadTag(tag)) return false;
        if (tag.closing) {
            if (tag.name != "array") return false;
            break;
        }
        a.emplace_back();
        if (!ReadValue(tag, depth + 1, a.back())) return false;
    }
    if (!Account(uint64_t{a.size()} * sizeof(Value))) return false;
    out = Value(std::move(a));
    return true;
}

bool XmlPropertyListReader::ReadDictionary(uint32_t depth, Value& out) {
    Dictionary d;
    std::string key;
    for (;;) {
        if (!SkipMisc() || fPos >= fEnd || *fPos != '<') return false;
        Tag tag;
        if (!ReadTag(tag)) return false;
        if (tag.closing) {
            if (tag.name != "dict") return false;
            break;
        }
        if (tag.name != "key" || tag.empty || !ReadText("key", true, key)) return false;
        if (!Account(key.size() + sizeof(Value))) return false;
        if (!SkipMisc() || fPos >= fEnd || *fPos != '<' || !ReadTag(tag)) return false;
        Value v;
        if (!ReadValue(tag, depth + 1, v)) return false;
        if (IsValidUtf8(key))
            d.Set(key, std::move(v));
        else
            d.Set(ValidUtf8(key), std::move(v));
    }
    out = Value(std::move(d));
    return true;
}

bool XmlPropertyListReader::ReadValue(const Tag& tag, uint32_t depth, Value& out) {
    if (tag.closing || depth > fLimits.maxDepth || ++fNodes > fLimits.maxNodes) return false;
    const std::string_view name = tag.name;
    std::string text;
    if (name == "string") {
        if (!tag.empty && !ReadText(name, true, text)) return false;
        if (!Account(text.size())) return false;
        out = IsValidUtf8(text) ? Value(std::move(text)) : Value(ValidUtf8(text));
        return true;
    }
    if (name == "dict") {
        if (tag.empty) {
            out = Value(Dictionary{});
            return true;
        }
        return ReadDictionary(depth, out);
    }
    if (name == "array") {
        if (tag.empty) {
            out = Value(ValueArray{});
            return true;
        }
        return ReadArray(depth, out);
    }
    if (name == "true" || name == "false") {
        if (!tag.empty && (!ReadText(name, false, text) || !OnlySpace(text))) return false;
        out = Value(name == "true");
        return true;
    }
    // Numbers, dates and data: one run of text, no comments or CDATA.
    int parts = 0;
    if (!tag.empty && (!ReadText(name, false, text, &parts) || parts > 1)) return false;
    if (name == "integer") {
        int64_t v = 0;
        if (!tag.empty && !OnlySpace(text) && !ParseInteger(text, v)) return false;
        out = Value(v);
        return true;
    }
    if (name == "real") {
        double v = 0;
        if (!tag.empty && !OnlySpace(text) && !ParseReal(text, v)) return false;
        out = Value(v);
        return true;
    }
    if (name == "date") {
        // An empty element is the reference date itself; empty text is the start of 1970.
        double seconds = 0;
        if (!tag.empty) {
            const std::string_view t = TrimLeft(text);
            if (!t.empty() && !ParseDate(t, seconds)) return false;
        }
        out = Value(PropertyListDateValue(tag.empty ? 0 : seconds - kSecondsFrom1970To2001));
        return true;
    }
    if (name == "data") {
        ByteArray bytes;
        if (!tag.empty && !DecodeBase64(text, bytes)) return false;
        if (!Account(bytes.size())) return false;
        out = Value(std::move(bytes));
        return true;
    }
    return false;
}

bool XmlPropertyListReader::Read(Value& out) {
    if (std::memchr(fPos, 0, static_cast<size_t>(fEnd - fPos))) return false;
    bool inPlist = false, seenPlist = false, haveRoot = false, done = false;
    Value root;
    for (;;) {
        if (!SkipMisc()) return false;
        if (fPos >= fEnd) break;
        if (*fPos != '<') return false;
        Tag tag;
        if (!ReadTag(tag)) return false;
        if (tag.name == "plist") {
            if (tag.closing) {
                if (!inPlist) return false;
                inPlist = false;
                done = true;
                continue;
            }
            if (tag.empty || seenPlist || haveRoot) return false;
            seenPlist = inPlist = true;
            continue;
        }
        if (done || haveRoot || !ReadValue(tag, 1, root)) return false;
        haveRoot = true;
        done = !inPlist;
    }
    if (!haveRoot || inPlist) return false;
    out = std::move(root);
    return true;
}

}  // namespace plat
