#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "Common/File/CPngChunkWalker.h"
#include "Common/File/Crc32.h"
#include "Common/Stream/CMemStream.h"
#include "Platform/Foundation/Bytes.h"
#include "tests/Common/File/PngFixture.h"
#include "tests/support/TempDir.h"

namespace {

TEST(Crc32PeerTest, AgreesWithZlib) {
    std::mt19937 rng(3);
    std::string bytes;
    for (int i = 0; i < 5000; ++i) bytes.push_back(static_cast<char>(rng()));
    for (size_t len : {0, 1, 3, 100, 4999, 5000}) {
        Crc32 crc;
        crc.Update(bytes.data(), len);
        EXPECT_EQ(~crc.Value(), crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), len)) << len;
    }
    // Running on from a previous value continues the same checksum.
    Crc32 split;
    split.Update(bytes.data(), 1234);
    split.Update(bytes.data() + 1234, 5000 - 1234);
    EXPECT_EQ(~split.Value(), crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), 5000));
    Crc32 abc;
    abc.Update("abc", 3);
    EXPECT_EQ(~abc.Value(), 0x352441C2u);
}

struct Listed {
    std::string type;
    unsigned long offset;
    unsigned long length;
    bool operator==(const Listed&) const = default;
};

std::vector<Listed> ByPngcheck(const std::string& path) {
    std::vector<Listed> out;
    FILE* p = popen(("pngcheck -v '" + path + "' 2>&1").c_str(), "r");
    if (!p) return out;
    const std::regex re("chunk (....) at offset 0x([0-9a-f]+), length ([0-9]+)");
    char line[1024];
    while (fgets(line, sizeof line, p)) {
        std::cmatch m;
        if (std::regex_search(line, m, re))
            out.push_back({m[1].str(), std::stoul(m[2].str(), nullptr, 16), std::stoul(m[3].str())});
    }
    pclose(p);
    return out;
}

std::vector<Listed> ByWalker(const std::string& png) {
    std::vector<Listed> out;
    CMemStream stream(const_cast<char*>(png.data()), static_cast<uint32_t>(png.size()));
    CPngChunkWalker w(stream);
    while (w.NextChunk()) {
        char type[5];
        plat::FourCCToText(w.Type(), type);
        // pngcheck gives the offset of the type field.
        const unsigned long offset = static_cast<unsigned long>(w.DataPosition()) - 4;
        out.push_back({type, offset, w.Length()});
    }
    return out;
}

TEST(CPngChunkWalkerPeerTest, ListsTheChunksPngcheckLists) {
    testsupport::TempDir dir;
    std::vector<std::string> images = {
        PngBuilder::Grey(3, 2, {}),
        PngBuilder::Grey(40, 30,
                         {{"tEXt", std::string("Title\0x", 7)}, {"hsPT", std::string("\0\3\0\4", 4)}}),
    };
    for (const char* sys :
         {"/usr/share/gitweb/static/git-logo.png", "/usr/share/doc/python3/_static/file.png"}) {
        FILE* f = fopen(sys, "rb");
        if (!f) continue;
        std::string bytes;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
        fclose(f);
        images.push_back(bytes);
    }
    for (size_t i = 0; i < images.size(); ++i) {
        const std::string name = "img" + std::to_string(i) + ".png";
        dir.Write(name, images[i]);
        const std::vector<Listed> expected = ByPngcheck(dir.File(name));
        ASSERT_FALSE(expected.empty()) << name;
        EXPECT_EQ(ByWalker(images[i]), expected) << name;
    }
}

}  // namespace
