#include "Orbilume/CSources/Led/DimDeviceScrap.h"

#include <cmath>

#include "Lib3/LSources/CoreData/CScrapReader.h"
#include "Orbilume/CSources/Led/CDimTypes.h"

using T = CDimTypes;

namespace dimscrap {

LScrapType Type() {
    return LScrapType{LString("com.orbilume.dimdevices"), kCode};
}

void CleanDevice(CRecord* d) {
    if (!d || d->Type() != T::Didv()) return;
    for (uint32_t f = T::kDidvPosX; f <= T::kDidvRotation; ++f)
        if (!std::isfinite(d->GetFloat(f))) d->Slot(f).f32 = 0;
    d->Slot(T::kDidvReserved).u32 = 0;
    d->Slot(T::kDidvPortFault).u8 = 0;
    d->Slot(T::kDidvSelected).u8 = 0;
    for (uint32_t f = T::kDidvSnapshot; f < T::kDidvSnapshot + 5; ++f) d->Slot(f).f32 = 0;
}

std::vector<DevicePtr> ReadDevices(const uint8_t* bytes, size_t size, uint32_t maxDevices) {
    std::vector<DevicePtr> out;
    if (!bytes || size == 0) return out;
    CScrapReader reader(bytes, size);
    // Each read takes at least one chunk header: the bytes bound the reads.
    for (size_t budget = size; budget > 0 && out.size() < maxDevices && !reader.AtEnd(); --budget) {
        DevicePtr r(reader.ReadRecord());
        if (!r || r->Type() != T::Didv()) continue;
        CleanDevice(r.get());
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace dimscrap
