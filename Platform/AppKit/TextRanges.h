#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

// A range of a text in UTF-16 units, the units every caller of the text system sees.
struct TextRange {
    size_t location = 0;
    size_t length = 0;
    size_t End() const { return location + length; }
    bool operator==(const TextRange&) const = default;
};

// Text from outside made fit for a field: invalid UTF-8 becomes U+FFFD, NUL characters go, and for a
// single-line field every line break (CR LF, CR, LF, U+2028, U+2029) becomes one blank.
std::string SanitizeText(std::string_view text, bool singleLine);

// Mapping between UTF-16 units and UTF-8 bytes of valid UTF-8 text.
size_t Utf16Length(std::string_view utf8);
// A UTF-16 offset as a byte offset: past the end gives the text's length; inside a surrogate pair,
// the character's start.
size_t Utf8OffsetForUtf16(std::string_view utf8, size_t offset16);
// A byte offset as a UTF-16 offset: inside a character, the character's start; past the end, the length.
size_t Utf16OffsetForUtf8(std::string_view utf8, size_t offset8);
// The range clipped to a text of `length16` units (overflowing lengths included).
TextRange ClipRange(TextRange range, size_t length16);

}  // namespace plat
