#include "Orbilume/CSources/UsbDmx/CDmxRequest.h"

#include <cstring>

void CDmxRequest::SetSize(uint32_t size) {
    if (size < 1) size = 1;
    if (size > kMaxSize) size = kMaxSize;
    if (size > fSize) std::memset(fData + fSize, 0, size - fSize);
    fSize = size;
}
