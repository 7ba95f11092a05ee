#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Orbilume/CSources/DmxIn/DmxPackets.h"

namespace {

using namespace dmxpkt;

std::vector<uint8_t> ArtDmx(uint32_t universe) {
    std::vector<uint8_t> p(kArtDmxSize);
    uint8_t slots[512];
    for (int i = 0; i < 512; ++i) slots[i] = uint8_t(i * 3 + 1);
    EXPECT_EQ(BuildArtDmx(p.data(), universe, slots), kArtDmxSize);
    return p;
}

TEST(DmxPackets, ArtDmxGoldenHeaders) {
    struct Case {
        uint32_t universe;
        uint8_t header[18];
    } cases[] = {
        {0x1234, {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x50, 0, 14, 0, 0, 0x34, 0x12, 2, 0}},
        {0x7FFF, {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x50, 0, 14, 0, 0, 0xFF, 0x7F, 2, 0}},
        // The top bit of Net is never set.
        {0xFFFF, {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x50, 0, 14, 0, 0, 0xFF, 0x7F, 2, 0}},
    };
    for (const Case& c : cases) {
        auto p = ArtDmx(c.universe);
        EXPECT_EQ(0, std::memcmp(p.data(), c.header, 18)) << std::hex << c.universe;
        for (int i = 0; i < 512; ++i) ASSERT_EQ(p[18 + i], uint8_t(i * 3 + 1));
        ArtDmxView v;
        ASSERT_TRUE(CheckArtDmx(p.data(), p.size(), &v));
        EXPECT_EQ(v.portAddress, c.universe & 0x7FFF);
        EXPECT_EQ(v.length, 512);
        EXPECT_EQ(v.slots, p.data() + 18);
    }
}

TEST(DmxPackets, E131GoldenFullUniverse) {
    uint8_t values[513];
    values[0] = 0;
    for (int i = 1; i < 513; ++i) values[i] = uint8_t(255 - i);
    uint8_t p[kE131MaxSize];
    ASSERT_EQ(BuildE131(p, 0, 7, values, 513, E131Source{}), 638u);
    // clang-format off
    const uint8_t golden[125] = {
        0x00, 0x10, 0x00, 0x00, 'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0,
        0x72, 0x6E, 0, 0, 0, 4,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x72, 0x58, 0, 0, 0, 2,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        100, 0, 0, 7, 0, 0x00, 0x01,
        0x72, 0x0B, 0x02, 0xA1, 0x00, 0x00, 0x00, 0x01, 0x02, 0x01,
    };
    // clang-format on
    for (int i = 0; i < 125; ++i) EXPECT_EQ(p[i], golden[i]) << "byte " << i;
    EXPECT_EQ(0, std::memcmp(p + 125, values, 513));
    E131View v;
    ASSERT_TRUE(CheckE131(p, 638, &v));
    EXPECT_EQ(v.universe, 1);
    EXPECT_EQ(v.priority, 100);
    EXPECT_EQ(v.count, 513);
    EXPECT_EQ(v.values, p + 125);
}

TEST(DmxPackets, E131CarriesCidAndName) {
    E131Source s;
    for (int i = 0; i < 16; ++i) s.cid[i] = uint8_t(0xA0 + i);
    std::strcpy(s.name, "Orbilume");
    s.priority = 150;
    uint8_t p[kE131MaxSize];
    ASSERT_EQ(BuildE131(p, 41, 0, nullptr, 4, s), 129u);
    EXPECT_EQ(0, std::memcmp(p + 22, s.cid, 16));
    EXPECT_STREQ(reinterpret_cast<const char*>(p + 44), "Orbilume");
    EXPECT_EQ(p[108], 150);
    EXPECT_EQ(p[113], 0);
    EXPECT_EQ(p[114], 42);
    // A 64-byte name without NUL keeps the last byte 0.
    std::memset(s.name, 'x', sizeof s.name);
    BuildE131(p, 41, 0, nullptr, 4, s);
    EXPECT_EQ(p[44 + 62], 'x');
    EXPECT_EQ(p[44 + 63], 0);
}

TEST(DmxPackets, ArtDmxChecks) {
    auto full = ArtDmx(3);
    auto withLength = [&](uint16_t length, size_t n) {
        std::vector<uint8_t> p(full.begin(), full.begin() + n);
        if (n >= 18) {
            p[16] = uint8_t(length >> 8);
            p[17] = uint8_t(length);
        }
        return p;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool accepted;
    } cases[] = {
        {"full packet", full, true},
        {"18 bytes with Length 0", withLength(0, 18), true},
        {"Length 513", withLength(513, 530), false},
        {"Length above the bytes received", withLength(100, 100), false},
        {"Length equal to the bytes received", withLength(82, 100), true},
        {"9 bytes", withLength(0, 9), false},
        {"17 bytes", withLength(0, 17), false},
        {"no zero after Art-Net",
         [&] {
             auto p = full;
             p[7] = ' ';
             return p;
         }(),
         false},
        {"ArtPoll",
         [&] {
             auto p = full;
             p[8] = 0x00;
             p[9] = 0x20;
             return p;
         }(),
         false},
        {"OpCode high byte first",
         [&] {
             auto p = full;
             p[8] = 0x50;
             p[9] = 0x00;
             return p;
         }(),
         false},
    };
    for (const Case& c : cases) {
        ArtDmxView v;
        EXPECT_EQ(CheckArtDmx(c.bytes.data(), c.bytes.size(), &v), c.accepted) << c.name;
        if (c.accepted) {
            EXPECT_LE(18u + v.length, c.bytes.size()) << c.name;
        }
    }
}

TEST(DmxPackets, E131Checks) {
    uint8_t values[513] = {};
    std::vector<uint8_t> full(kE131MaxSize);
    BuildE131(full.data(), 0, 0, values, 513, E131Source{});
    auto with = [&](size_t at, uint8_t value) {
        auto p = full;
        p[at] = value;
        return p;
    };
    std::vector<uint8_t> shortCount(full.begin(), full.begin() + 600);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool accepted;
    } cases[] = {
        {"full packet", full, true},
        {"124 bytes", std::vector<uint8_t>(full.begin(), full.begin() + 124), false},
        {"preamble", with(1, 0x11), false},
        {"post-amble", with(3, 1), false},
        {"identifier", with(6, 'X'), false},
        {"rest of identifier unchecked", with(8, 'X'), true},
        {"root vector", with(21, 3), false},
        {"framing vector", with(43, 1), false},
        {"DMP vector", with(117, 0x01), false},
        {"address and data type", with(118, 0xA2), false},
        {"first property address", with(120, 1), false},
        {"address increment", with(122, 2), false},
        {"count 513 in 600 bytes", shortCount, false},
        {"count 0",
         [&] {
             auto p = with(123, 0);
             p[124] = 0;
             return p;
         }(),
         false},
        {"count 514",
         [&] {
             auto p = with(123, 2);
             p[124] = 2;
             return p;
         }(),
         false},
        {"count 1 in a long packet",
         [&] {
             auto p = with(123, 0);
             p[124] = 1;
             return p;
         }(),
         true},
        {"start code 0xDD passes the check", with(125, 0xDD), true},
        {"another universe passes the check", with(114, 9), true},
    };
    for (const Case& c : cases) {
        E131View v;
        EXPECT_EQ(CheckE131(c.bytes.data(), c.bytes.size(), &v), c.accepted) << c.name;
        if (c.accepted) {
            EXPECT_LE(125u + v.count, c.bytes.size()) << c.name;
        }
    }
}

}  // namespace
