#include <gtest/gtest.h>

#include "Lib3/LSources/Mac/SystemInfo.h"
#include "Platform/Foundation/Bytes.h"

namespace {

uint32_t Fcc(const char* s) {
    return plat::LoadFourCC(s);
}

TEST(SystemInfoTest, ReportsAModernSystem) {
    SSystemInfo info;
    ProbeSystemInfo(info);
    EXPECT_EQ(info.majorVersion, 10);
    EXPECT_EQ(info.minorVersion, 15);
    EXPECT_GE(info.version, 4240u);
    EXPECT_EQ(info.version, PackSystemVersion(10, 15, 7));
    EXPECT_EQ(info.colorGraphics, 1);
    EXPECT_EQ(info.hasQuickTime, 1);
}

TEST(SystemInfoTest, VersionWordAndFailedQueries) {
    EXPECT_EQ(PackSystemVersion(10, 9, 0), 4240u);
    EXPECT_EQ(PackSystemVersion(10, 13, 6), 4246u);

    SSystemInfo info;
    ProbeSystemInfo(info, [](uint32_t selector, int32_t& r) {
        if (selector == Fcc("sys1")) return r = 10, 0;
        if (selector == Fcc("sys2")) return r = 15, 0;
        if (selector == Fcc("sys3")) return r = 2, 0;
        if (selector == Fcc("tsmv")) return r = 7, 0;
        if (selector == Fcc("tmTE")) return r = 0, 0;  // bit 0 clear: tmTV is not asked
        if (selector == Fcc("tmTV")) return r = 99, 0;
        return -1;
    });
    EXPECT_EQ(info.version, 4096u + 9 * 16 + 2);  // minor digit capped at 9
    EXPECT_EQ(info.minorVersion, 15);
    EXPECT_EQ(info.slots[SSystemInfo::kHdwr], 1);  // failed queries keep their defaults
    EXPECT_EQ(info.slots[SSystemInfo::kTmgr], 1);
    EXPECT_EQ(info.slots[SSystemInfo::kMach], 0);
    EXPECT_EQ(info.slots[SSystemInfo::kTsmv], 7);
    EXPECT_EQ(info.slots[SSystemInfo::kTmTV], 0);
    EXPECT_EQ(info.hasQuickTime, 0);
}

}  // namespace
