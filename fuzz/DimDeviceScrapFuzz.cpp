// Reads arbitrary bytes as a dropped or pasted device-list scrap: only devices come out, with
// finite numbers and no run-time state, and writing them and reading again gives the same devices.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Common/Container/CBytes.h"
#include "Lib3/LSources/CoreData/CScrapWriter.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/DimDeviceScrap.h"

using T = CDimTypes;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<dimscrap::DevicePtr> first = dimscrap::ReadDevices(data, size, 256);
    Check(first.size() <= 256);
    CBytes image;
    {
        CScrapWriter writer(1, 1, image);
        for (const dimscrap::DevicePtr& d : first) {
            Check(d && d->Type() == T::Didv());
            for (uint32_t f = T::kDidvPosX; f <= T::kDidvRotation; ++f) Check(std::isfinite(d->GetFloat(f)));
            Check(d->GetByte(T::kDidvSelected) == 0 && d->GetByte(T::kDidvPortFault) == 0);
            Check(writer.WriteRecord(d.get()));
        }
        writer.Close();
    }
    const std::vector<dimscrap::DevicePtr> again = dimscrap::ReadDevices(image.Data(), image.Count(), 256);
    Check(again.size() == first.size());
    for (size_t i = 0; i < first.size(); ++i) {
        Check(again[i]->GetUInt(T::kDidvFirstSlot) == first[i]->GetUInt(T::kDidvFirstSlot));
        Check(again[i]->GetByte(T::kDidvConnection) == first[i]->GetByte(T::kDidvConnection));
        Check(again[i]->GetString(T::kDidvDefinition) == first[i]->GetString(T::kDidvDefinition));
    }
    return 0;
}
