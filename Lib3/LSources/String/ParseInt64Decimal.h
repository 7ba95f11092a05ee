#pragma once

#include <cstdint>

// Reads a signed decimal: skips bytes 1 to 32, takes an optional '+' or '-', then needs at least
// one digit. On success stores the value (wrapping modulo 2^64, no overflow check), moves text
// past the digits and returns true; on failure returns false and leaves text and value alone.
[[nodiscard]] bool ParseInt64Decimal(const unsigned char*& text, int64_t& value);
[[nodiscard]] bool ParseInt64Decimal(const char*& text, int64_t& value);
