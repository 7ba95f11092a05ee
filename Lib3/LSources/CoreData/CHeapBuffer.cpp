#include "Lib3/LSources/CoreData/CHeapBuffer.h"

#include <cstdlib>

CHeapBuffer::CHeapBuffer(uint32_t size) {
    if (size == 0) return;
    mData = static_cast<uint8_t*>(std::malloc(size));
    if (mData) mSize = size;
}

CHeapBuffer::~CHeapBuffer() {
    std::free(mData);
}
