#include "Lib3/LSources/CoreUI/UMacStr.h"

#include <cstring>

namespace UMacStr {

void CtoP(const char* text, unsigned char* buffer, unsigned int bufferSize) {
    if (!buffer || bufferSize == 0) return;
    unsigned int limit = bufferSize - 1 < 255 ? bufferSize - 1 : 255;
    size_t length = text ? std::strlen(text) : 0;
    unsigned int count = length < limit ? static_cast<unsigned int>(length) : limit;
    buffer[0] = static_cast<unsigned char>(count);
    if (count) std::memcpy(buffer + 1, text, count);
}

}  // namespace UMacStr
