#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordType.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Engine/FormatArtNetAddress.h"
#include "Orbilume/CSources/Engine/SnapshotDevicePlacement.h"
#include "Orbilume/CSources/Led/CDimTypes.h"

namespace {

TEST(FormatArtNetAddress, Table) {
    const std::pair<int32_t, const char*> rows[] = {
        {0x7FFF, "127/15/15"}, {0, "  0/ 0/ 0"},          {0x123, "  1/ 2/ 3"},  {0x8123, "  1/ 2/ 3"},
        {-1, "127/15/15"},     {0x7FFF0000, "  0/ 0/ 0"}, {0x0A5C, " 10/ 5/12"}, {0x6400, "100/ 0/ 0"},
    };
    for (auto [address, text] : rows) {
        char out[10];
        std::memset(out, 'x', sizeof out);
        FormatArtNetAddress(address, out);
        EXPECT_EQ(std::string(out, 10), std::string(text, 9) + '\0') << std::hex << address;
    }
}

const SFieldDesc kShortFields[] = {SFieldDesc::Float(Fcc("posx")), SFieldDesc::Float(Fcc("posy"))};
const CRecordType gShortType(Fcc("TDIM"), Fcc("SHRT"), kShortFields);

TEST(SnapshotDevicePlacement, CopiesWithoutUndoOrBroadcast) {
    auto holder = std::make_unique<CRecordHolder>(CRecord::New(CDimTypes::Didv()));
    int events = 0;
    holder->AddObserver(&events, [](void* c, const SRecordEvent*) { ++*static_cast<int*>(c); });
    CRecordRef device = holder->RootRef();
    const float placement[5] = {10.5f, -3, 64, 32, 90};
    for (uint32_t i = 0; i < 5; ++i)
        ASSERT_TRUE(device.SetFloat(nullptr, kDeviceFieldPosX + i, placement[i]));
    events = 0;
    holder->SetModified(false);
    SnapshotDevicePlacement(device);
    for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(device->GetFloat(kDeviceFieldSnapshot + i), placement[i]) << i;
    EXPECT_EQ(events, 0);
    EXPECT_FALSE(holder->IsModified());

    // Records of another layout and null are left alone.
    CRecord* shortRecord = CRecord::New(&gShortType);
    SnapshotDevicePlacement(CRecordRef(&shortRecord));
    SnapshotDevicePlacement(CRecordRef());
    CRecord::Delete(shortRecord);
}

}  // namespace
