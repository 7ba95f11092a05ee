#include "Platform/AppKit/TextRanges.h"

#include "Platform/Foundation/TextEncoding.h"

namespace plat {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

// The byte length of the UTF-8 character starting with `lead` (1 for a stray byte).
size_t CharLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

std::string SanitizeText(std::string_view text, bool singleLine) {
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    size_t pos = 0;
    while (pos < text.size()) {
        uint32_t cp = 0;
        size_t start = pos;
        if (!DecodeUtf8Char(bytes, text.size(), pos, cp)) {
            out += kReplacement;
            pos = start + 1;
            continue;
        }
        if (cp == 0) continue;
        if (singleLine && (cp == '\r' || cp == '\n' || cp == 0x2028 || cp == 0x2029)) {
            if (cp == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
            out += ' ';
            continue;
        }
        out.append(text.data() + start, pos - start);
    }
    return out;
}

size_t Utf16Length(std::string_view utf8) {
    size_t n = 0;
    for (size_t i = 0; i < utf8.size();) {
        size_t len = CharLength(static_cast<unsigned char>(utf8[i]));
        n += len == 4 ? 2 : 1;
        i += len;
    }
    return n;
}

size_t Utf8OffsetForUtf16(std::string_view utf8, size_t offset16) {
    size_t units = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        size_t len = CharLength(static_cast<unsigned char>(utf8[i]));
        size_t w = len == 4 ? 2 : 1;
        if (units + w > offset16) return i;
        units += w;
        i += len;
    }
    return utf8.size();
}

size_t Utf16OffsetForUtf8(std::string_view utf8, size_t offset8) {
    size_t units = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        size_t len = CharLength(static_cast<unsigned char>(utf8[i]));
        if (i + len > offset8) break;
        units += len == 4 ? 2 : 1;
        i += len;
    }
    return units;
}

TextRange ClipRange(TextRange range, size_t length16) {
    size_t loc = range.location > length16 ? length16 : range.location;
    size_t room = length16 - loc;
    return {loc, range.length > room ? room : range.length};
}

}  // namespace plat
