#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreString/LString.h"

// One typed item of clipboard data, holding its own copy of the bytes.
class LScrapFlavor : public SSLink {
public:
    ~LScrapFlavor() override;

    LString typeName;
    uint32_t typeCode = 0;
    uint8_t* bytes = nullptr;
    uint32_t size = 0;
    uint32_t flags = 0;
};

// Clipboard data: a list of typed items.
class LScrapData {
public:
    LScrapData() = default;
    LScrapData(const LScrapData&) = delete;
    LScrapData& operator=(const LScrapData&) = delete;
    virtual ~LScrapData() { fItems.DeleteAll(); }

    // Appends an item with a copy of the bytes; false when memory ran out.
    [[nodiscard]] bool AddFlavor(const LString& typeName, uint32_t typeCode, const void* bytes, uint32_t size,
                                 uint32_t flags);
    const LSLinkBase& Items() const { return fItems; }

private:
    LSLinkBase fItems;
};
