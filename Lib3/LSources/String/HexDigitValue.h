#pragma once

// Value of a hexadecimal digit. Defined for '0'-'9', 'A'-'F' and 'a'-'f' only: callers test the
// byte with isxdigit first.
constexpr int HexDigitValue(unsigned char c) {
    return (c >= '0' && c <= '9') ? c - '0' : ((c & 0xFF) + 9) & 15;
}
