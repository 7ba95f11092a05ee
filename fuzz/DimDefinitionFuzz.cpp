// Reads arbitrary bytes as a fixture definition file; an accepted definition has a grid within
// bounds and derived sizes that do not overflow.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string reason;
    CRecord* def =
        CDimDefStore::ReadDefinition(std::string_view(reinterpret_cast<const char*>(data), size), reason);
    if (!def) return 0;
    const uint32_t columns = def->GetUInt(CDimTypes::kDidfColumns), rows = def->GetUInt(CDimTypes::kDidfRows);
    if (columns == 0 || rows == 0 || columns > CDimDefStore::kMaxDots || rows > CDimDefStore::kMaxDots)
        std::abort();
    (void)CDimDefStore::Footprint(def);
    for (uint32_t i = 0; i < columns * rows; ++i) (void)CDimDefStore::DotOrder(def, i);
    (void)CDimDefStore::ChannelCode(def, CDimDefStore::CodeArrayLength(def));
    CRecord::Delete(def);
    return 0;
}
