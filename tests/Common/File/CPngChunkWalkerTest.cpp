#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/File/CPngChunkWalker.h"
#include "Common/Stream/CMemStream.h"
#include "Platform/Foundation/Bytes.h"
#include "tests/Common/File/PngFixture.h"

namespace {

std::vector<std::string> Types(const std::string& png) {
    CMemStream stream(const_cast<char*>(png.data()), static_cast<uint32_t>(png.size()));
    CPngChunkWalker w(stream);
    std::vector<std::string> types;
    while (w.NextChunk()) {
        char type[5];
        plat::FourCCToText(w.Type(), type);
        types.push_back(type);
    }
    return types;
}

TEST(CPngChunkWalkerTest, ListsChunksInOrder) {
    const std::string png = PngBuilder::Grey(4, 3, {{"tEXt", std::string("k\0v", 3)}});
    EXPECT_EQ(Types(png), (std::vector<std::string>{"IHDR", "tEXt", "IDAT", "IDAT", "IEND"}));
}

TEST(CPngChunkWalkerTest, NoSignatureNoChunks) {
    std::string png = PngBuilder::Grey(2, 2, {});
    png[1] = 'Q';
    EXPECT_TRUE(Types(png).empty());
    EXPECT_TRUE(Types("").empty());
}

TEST(CPngChunkWalkerTest, TruncatedChunkStopsTheWalk) {
    const std::string png = PngBuilder::Grey(2, 2, {});
    // Cut inside the second chunk's header: only IHDR is listed.
    EXPECT_EQ(Types(png.substr(0, 8 + 25 + 4)), (std::vector<std::string>{"IHDR"}));
}

TEST(CPngChunkWalkerTest, HotSpot) {
    struct Case {
        std::string data;
        bool truncate;  // cut the image right after the chunk's header
        int32_t x, y;
    };
    const Case cases[] = {
        {std::string("\x01\x02\x00\x07", 4), false, 258, 7},
        {std::string("\x00\x05\x00\x06\xFF", 5), false, 5, 6},
        {std::string("\x00\x05", 2), false, 0, 0},  // too short to hold x and y
        {"", false, 0, 0},
        {std::string("\x00\x05\x00\x06", 4), true, 0, 0},
    };
    for (const Case& c : cases) {
        std::string png = PngBuilder::Grey(2, 2, {{"hsPT", c.data}});
        if (c.truncate) png.resize(8 + 25 + 8 + 2);
        int32_t x = -1, y = -1;
        ReadPngHotSpot(png.data(), png.size(), x, y);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
    }
    int32_t x = -1, y = -1;
    const std::string plain = PngBuilder::Grey(2, 2, {});
    ReadPngHotSpot(plain.data(), plain.size(), x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
}

}  // namespace
