#pragma once

#include <cstdint>

namespace UMacStr {

// Copies a C string into a length-prefixed string in a buffer of bufferSize bytes: at most
// bufferSize - 1 (and at most 255) bytes follow the count byte. Nothing is written into an empty
// buffer; a null string copies as the empty string.
void CtoP(const char* text, unsigned char* buffer, unsigned int bufferSize);

}  // namespace UMacStr
