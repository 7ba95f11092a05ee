#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The platform's text conversions: UTF-8, UTF-16 (host order) and the legacy single-byte
// encoding, which is Mac Roman.
namespace plat {

enum class TextEncoding { kUtf8, kUtf16, kMacRoman };

// One strict UTF-8 character at `pos`; advances `pos` past it. False (nothing moved) at the end or
// for a malformed, overlong, surrogate or out-of-range sequence.
bool DecodeUtf8Char(const uint8_t* bytes, size_t length, size_t& pos, uint32_t& cp);
// Writes the UTF-8 form of `cp`; returns its length, 0 for a surrogate or a value above 0x10FFFF.
size_t EncodeUtf8Char(uint32_t cp, uint8_t out[4]);

// True when the whole text is strict UTF-8.
bool IsValidUtf8(std::string_view text);
// The text as strict UTF-8: each byte that starts no valid character becomes U+FFFD.
std::string ValidUtf8(std::string_view text);

// Strict UTF-8: overlong forms, surrogates and values above 0x10FFFF are refused (false; `out`
// then holds what was decoded before the error).
bool DecodeUtf8(const uint8_t* bytes, size_t length, std::u16string& out);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
void EncodeUtf8(const char16_t* units, size_t count, std::string& out);

void DecodeMacRoman(const uint8_t* bytes, size_t length, std::u16string& out);

// Characters Mac Roman cannot hold become `loss`; returns false when any did.
bool EncodeMacRoman(const char16_t* units, size_t count, std::string& out, char loss = '?');

// The Unicode character of one Mac Roman byte.
char16_t MacRomanToUnicode(uint8_t byte);

}  // namespace plat
