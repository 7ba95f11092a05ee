#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/Mac/LScrapType.h"

// The 'DMDV' scrap of the device list: devices ('DIDV' records) as a list scrap image. Scraps come
// from drags and the pasteboard, which other processes write.
namespace dimscrap {

constexpr uint32_t kCode = 0x444D4456;  // 'DMDV'
// More devices than a layout of this size is not taken from one scrap.
constexpr uint32_t kMaxDevices = 16384;

LScrapType Type();

struct RecordDelete {
    void operator()(CRecord* r) const { CRecord::Delete(r); }
};
using DevicePtr = std::unique_ptr<CRecord, RecordDelete>;

// The devices of a scrap image, in order: at most maxDevices, records of other types skipped (the
// reader checks every length, count and nesting). Run-time fields are cleared, numbers that are
// not finite become 0; other values are kept as written.
std::vector<DevicePtr> ReadDevices(const uint8_t* bytes, size_t size, uint32_t maxDevices = kMaxDevices);

// A copy of a device as it goes into a scrap or comes out of one: run-time fields cleared, numbers
// that are not finite 0.
void CleanDevice(CRecord* device);

}  // namespace dimscrap
