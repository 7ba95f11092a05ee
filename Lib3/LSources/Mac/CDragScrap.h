#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Lib3/LSources/Mac/LScrapType.h"

class LDrop;
namespace plat {
class Pasteboard;
}
struct LFsSpec;

// Typed items of a drop, fetched from the drag pasteboard once and kept until the scrap goes. A
// type holding an array answers element i when it is data; plain data answers index 0 only.
class CDragScrap {
public:
    explicit CDragScrap(LDrop* drop) : fDrop(drop) {}
    virtual ~CDragScrap() = default;
    CDragScrap(const CDragScrap&) = delete;
    CDragScrap& operator=(const CDragScrap&) = delete;

    // Bytes and size point into the item (valid while the scrap lives); false without the type, for
    // an index past the end or a non-data element.
    virtual bool GetData(const LScrapType& type, uint32_t index, const uint8_t** bytes, uint32_t* size);
    LDrop* Drop() const { return fDrop; }

    // The pasteboard type a scrap type names on a pasteboard: equal to the name, else the type whose
    // four-character code is the code; empty when none.
    static std::string FindType(plat::Pasteboard* pasteboard, const LScrapType& type);

private:
    struct Item {
        LScrapType type;
        uint32_t index;
        std::vector<uint8_t> bytes;
    };

    LDrop* fDrop;
    std::vector<Item> fItems;
};

// The files of a drop.
class CDropFiles {
public:
    explicit CDropFiles(LDrop* drop) : fDrop(drop) {}
    bool HasFiles() const;
    // The path of file i; false for URLs that are not file URLs, badly encoded or empty.
    bool GetPath(uint32_t index, std::string* path) const;

private:
    LDrop* fDrop;
};

struct UDragPboard {
    static bool HasType(LDrop* drop, const LScrapType& type);
    static bool HasTypeOf(LDrop* drop, LScrapType type) { return HasType(drop, type); }
    // The drag pasteboard of the current drag offers the type; false without a drag.
    static bool HasScrapType(LDrop* drop, LScrapType type) { return HasType(drop, type); }
};
