#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// Collation options, as bits of the options word.
enum : uint32_t {
    kCollateCaseInsensitive = 1u << 3,
    kCollatePunctuationSignificant = 1u << 15,
};

// Compares two UTF-16 texts with the default (root) collation: negative, 0 or positive. Without
// kCollatePunctuationSignificant, punctuation and blanks are ignored at the first levels.
int Collate(const char16_t* a, size_t na, const char16_t* b, size_t nb, uint32_t options);

// The sort key of a text under the same collation: two keys compare bytewise (memcmp, then length)
// as Collate compares their texts. For sorting many texts.
std::string CollationKey(const char16_t* text, size_t length, uint32_t options);

}  // namespace plat
