#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Orbilume/CSources/Midi/MtcQuarterFrames.h"

namespace {

// The eight quarter-frame data bytes of a time, pieces 0..7.
std::vector<uint8_t> Pieces(uint8_t rateBits, uint8_t h, uint8_t m, uint8_t s, uint8_t f) {
    return {uint8_t(0x00 | (f & 0x0F)), uint8_t(0x10 | (f >> 4)),
            uint8_t(0x20 | (s & 0x0F)), uint8_t(0x30 | (s >> 4)),
            uint8_t(0x40 | (m & 0x0F)), uint8_t(0x50 | (m >> 4)),
            uint8_t(0x60 | (h & 0x0F)), uint8_t(0x70 | (rateBits << 1) | ((h >> 4) & 1))};
}

// Feeds the bytes; returns each published time as "code hh:mm:ss:ff@index".
std::vector<std::string> Feed(MtcQuarterFrames& q, const std::vector<uint8_t>& bytes) {
    std::vector<std::string> out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        Timecode t;
        if (q.Feed(bytes[i], t))
            out.push_back(std::to_string(t.code) + " " + t.Format() + "@" + std::to_string(i));
    }
    return out;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::vector<std::string> expected;
};

TEST(MtcQuarterFramesTest, AssemblesRunsOfEight) {
    const auto t1 = Pieces(3, 1, 2, 3, 4);
    const auto t2 = Pieces(3, 1, 2, 3, 6);
    std::vector<uint8_t> backwards(t1.rbegin(), t1.rend());
    std::vector<uint8_t> gap = t1;
    gap.erase(gap.begin() + 3);  // piece 3 lost
    const Case cases[] = {
        {"one forward cycle publishes nothing", t1, {}},
        {"the next piece 0 publishes that cycle plus two frames", Concat({t1, {0x06}}), {"30 01:02:03:06@8"}},
        {"then one time per eight pieces",
         Concat({t1, t2, {0x08}}),
         {"30 01:02:03:06@8", "30 01:02:03:08@16"}},
        {"backwards publishes at piece 0 from the current cycle",
         Concat({{0x00}, backwards}),
         {"30 01:02:03:06@8"}},
        {"a missing piece restarts the run", Concat({gap, t2, {0x08}}), {"30 01:02:03:08@15"}},
        {"a repeated piece restarts the run", Concat({{0x00, 0x00}, t1, {0x06}}), {"30 01:02:03:06@10"}},
        {"code 30: 00:00:59:28 gives 00:01:00:00",
         Concat({Pieces(3, 0, 0, 59, 28), {0x00}}),
         {"30 00:01:00:00@8"}},
        {"code 29: 00:00:59:28 gives 00:01:00:02",
         Concat({Pieces(2, 0, 0, 59, 28), {0x00}}),
         {"29 00:01:00:02@8"}},
        {"code 24 and the hours bit", Concat({Pieces(0, 17, 0, 0, 0), {0x02}}), {"24 17:00:00:02@8"}},
        {"code 25", Concat({Pieces(1, 23, 59, 59, 24), {0x00}}), {"25 00:00:00:01@8"}},
        {"bytes above 0x7F are no pieces", Concat({t1, {0x80, 0xF0}, {0x06}}), {"30 01:02:03:06@10"}},
    };
    for (const Case& c : cases) {
        MtcQuarterFrames q;
        EXPECT_EQ(Feed(q, c.bytes), c.expected) << c.what;
    }
}

}  // namespace
