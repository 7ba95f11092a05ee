#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/SFieldDesc.h"

// Chunk ids and bounds shared by the scrap writer and reader. A chunk is a big-endian u32 id
// (four characters, first first), a big-endian u32 body length, the body and one 0 byte of
// padding after an odd length.
namespace scrap {

inline constexpr uint32_t kScalars = Fcc("UDPR");
inline constexpr uint32_t kArray = Fcc("UDPA");
inline constexpr uint32_t kSubRecord = Fcc("UDUD");
inline constexpr uint32_t kRecordArray = Fcc("UDAR");
inline constexpr uint32_t kNullDomain = Fcc("YUND");
inline constexpr uint32_t kNullType = Fcc("UDNL");

// Records nest at most this deep in an image; deeper data is refused on writing and reading.
inline constexpr uint32_t kMaxDepth = 64;
// Float digits after the point, at most.
inline constexpr uint32_t kMaxDecimals = 15;

}  // namespace scrap
