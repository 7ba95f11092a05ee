#include "Lib3/LSources/Mac/LScrapData.h"

#include <cstdlib>
#include <cstring>
#include <new>

LScrapFlavor::~LScrapFlavor() {
    std::free(bytes);
}

bool LScrapData::AddFlavor(const LString& typeName, uint32_t typeCode, const void* bytes, uint32_t size,
                           uint32_t flags) {
    if (size && !bytes) return false;
    LScrapFlavor* item = new (std::nothrow) LScrapFlavor;
    if (!item) return false;
    if (size) {
        item->bytes = static_cast<uint8_t*>(std::malloc(size));
        if (!item->bytes) {
            delete item;
            return false;
        }
        std::memcpy(item->bytes, bytes, size);
    }
    item->typeName = typeName;
    item->typeCode = typeCode;
    item->size = size;
    item->flags = flags;
    fItems.Append(item);
    return true;
}
