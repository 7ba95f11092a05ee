#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/SFieldDesc.h"

class CRecordType;

// The universe address records, registered at static initialisation:
//   UVAS { uvas: [UVAD { univ, flws, ipad }] }
// One UVAD sends universes univ .. univ + flws to the dotted IPv4 text ipad.
class CUvAdTypes {
public:
    static constexpr uint32_t kDomain = Fcc("YQLH");
    static constexpr uint32_t kUVAD = Fcc("UVAD");
    static constexpr uint32_t kUVAS = Fcc("UVAS");

    enum UvadField : uint32_t { kUvadUniverse, kUvadFollowing, kUvadAddress };
    enum UvasField : uint32_t { kUvasList };

    static const CRecordType* Uvad();
    static const CRecordType* Uvas();
};
