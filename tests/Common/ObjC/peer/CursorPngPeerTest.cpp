#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "Common/ObjC/CMacCursor.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestPNG.h"

// The cursor fixture with its hot spot (7, 3) is a valid PNG for pngcheck, which lists the "hsPT"
// chunk the cursor reads.
TEST(CursorPngPeer, TheHotSpotFixtureIsAValidPng) {
    if (testsupport::CommandOutput("command -v pngcheck").empty())
        GTEST_SKIP() << "pngcheck is not installed";
    std::vector<uint8_t> rgba(16 * 16 * 4, 255);
    std::vector<uint8_t> png = testsupport::EncodeTestPNG(16, 16, rgba, {{"hsPT", {0, 7, 0, 3}}});
    testsupport::TempDir dir;
    const std::string path = dir.Path() + "/cursor.png";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), long(png.size()));
    const std::string report = testsupport::CommandOutput("pngcheck -v " + path + " 2>&1; echo rc=$?");
    EXPECT_NE(report.find("chunk hsPT"), std::string::npos) << report;
    EXPECT_NE(report.find("rc=0"), std::string::npos) << report;
    int32_t x = 0, y = 0;
    EXPECT_TRUE(ReadPngHotSpot(png.data(), png.size(), &x, &y));
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 3);
}
