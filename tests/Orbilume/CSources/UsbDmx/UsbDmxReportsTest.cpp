#include <gtest/gtest.h>

#include <vector>

#include "Orbilume/CSources/UsbDmx/UsbDmxReports.h"
#include "Platform/USB/sim/SimDmxInterface.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Ramp(uint32_t n, uint8_t first) {
    Bytes b(n);
    for (uint32_t i = 0; i < n; ++i) b[i] = uint8_t(first + i);
    return b;
}

Bytes Pack(const Bytes& frame) {
    uint8_t out[usbdmx::kPackedSize];
    const uint32_t n = usbdmx::PackFrame(frame.data(), uint32_t(frame.size()), out);
    return Bytes(out, out + n);
}

TEST(UsbDmxReportsTest, PackingTable) {
    EXPECT_EQ(Pack({0x00}), (Bytes{0x00, 0x01, 0x00}));
    EXPECT_EQ(Pack({0xCC}), (Bytes{0x00, 0x01, 0xCC}));
    EXPECT_EQ(Pack(Ramp(9, 1)), (Bytes{0x00, 0x01, 1, 2, 3, 4, 5, 6, 7, 8, 0x00, 9}));
    EXPECT_TRUE(Pack({}).empty());

    struct Case {
        uint32_t n;
        uint32_t length;  // 64(R - 1) + 1 + 9(g - 1) + 1 + d
    } cases[] = {{1, 3}, {8, 10}, {9, 12}, {56, 64}, {57, 67}, {64, 74}, {512, 586}, {513, 588}, {600, 588}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        const Bytes frame = Ramp(c.n, 7);
        const Bytes packed = Pack(frame);
        ASSERT_EQ(packed.size(), c.length);
        // Every report starts with 0x00; only the frame's first group is flagged.
        for (size_t r = 0; r < packed.size(); r += 64) EXPECT_EQ(packed[r], 0x00);
        EXPECT_EQ(packed[1], 0x01);
        Bytes data;
        for (size_t r = 0; r < packed.size(); r += 64) {
            for (size_t g = r + 1; g < std::min(packed.size(), r + 64); g += 9) {
                if (g != 1) {
                    EXPECT_EQ(packed[g], 0x00);
                }
                for (size_t i = g + 1; i < std::min({packed.size(), g + 9, r + 64}); ++i)
                    data.push_back(packed[i]);
            }
        }
        EXPECT_EQ(data, Bytes(frame.begin(), frame.begin() + std::min<uint32_t>(c.n, 513)));
    }
    EXPECT_EQ((Pack(Ramp(513, 0)).size() + 63) / 64, 10u);
}

// Collects decoded frames through a two-slot ring, delivering only when asked.
struct Collector : usbdmx::FrameSink {
    usbdmx::FrameRing ring;
    std::vector<Bytes> delivered;
    uint8_t* StartFrame() override { return ring.Next(); }
    void FrameDone(uint32_t length) override { ring.Commit(length); }
    void Take() {
        while (ring.Count()) {
            uint32_t n = 0;
            const uint8_t* f = ring.Front(n);
            delivered.emplace_back(f, f + n);
            ring.Pop();
        }
    }
};

std::vector<Bytes> Decode(const std::vector<Bytes>& reports, bool takeEachReport = true) {
    Collector c;
    usbdmx::ReportDecoder d;
    for (const Bytes& r : reports) {
        d.Feed(r.data(), uint32_t(r.size()), c);
        if (takeEachReport) c.Take();
    }
    c.Take();
    return c.delivered;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(UsbDmxReportsTest, DecodingTable) {
    const Bytes sc0full = Concat({0x00}, Ramp(512, 1));
    const Bytes scCCfull = Concat({0xCC}, Ramp(512, 1));
    struct Case {
        const char* name;
        std::vector<Bytes> reports;
        std::vector<Bytes> frames;
    } cases[] = {
        {"a flag 0x01 starts a frame at the first data byte; the next flag ends it",
         {{0x00, 0x01, 0xAA, 0xBB, 0xCC}, {0x00, 0x01, 0xDD}},
         {{0xAA, 0xBB, 0xCC}}},
        {"a later set bit ends the previous frame there",
         {{0x00, 0x09, 0x00, 1, 2, 0xCC, 5}},
         {{0x00, 1, 2}}},
        {"bytes before the first set bit are dropped",
         {{0x00, 0x00, 1, 2, 3}, {0x00, 0x04, 4, 5, 6, 7}, {0x00, 0x01, 9}},
         {{6, 7}}},
        {"a 513-byte frame with start code 0 completes at once",
         plat::sim::SimDmxInterface::EncodeFrames({sc0full}),
         {sc0full}},
        {"with start code 0xCC it waits for the next flag",
         plat::sim::SimDmxInterface::EncodeFrames({scCCfull}),
         {}},
        {"then completes there",
         [&] {
             auto r = plat::sim::SimDmxInterface::EncodeFrames({scCCfull});
             r.push_back({0x00, 0x01, 0x00});
             return r;
         }(),
         {scCCfull}},
        {"bytes past 513 of a non-zero start code are dropped",
         [&] {
             auto r = plat::sim::SimDmxInterface::EncodeFrames({Concat(scCCfull, Ramp(40, 0x50))});
             r.push_back({0x00, 0x01, 0x00});
             return r;
         }(),
         {scCCfull}},
        {"a frame continues over reports split anywhere, partial groups included",
         {{0x00, 0x01, 0x10, 0x11},
          {0x00, 0x00, 0x12},
          {0x00, 0x00, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A},
          {0x00, 0x02, 0x1B, 0x20}},
         {{0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B}}},
        {"reports of 0..2 bytes carry no data",
         {{}, {0x00}, {0x00, 0x01}, {0x00, 0x01, 7}, {0x00, 0x01}, {0x00, 0x01, 8}},
         {{7}}},
        {"a report is never read past 64 bytes",
         [&] {
             Bytes r(80, 0);
             r[1] = 0x01;
             r[64] = 0x01;  // the flag of a group that would start beyond the report
             r[65] = 0x77;
             return std::vector<Bytes>{r, {0x00, 0x01, 0x00}};
         }(),
         {Bytes(56, 0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Decode(c.reports), c.frames);
    }
}

TEST(UsbDmxReportsTest, ThreeFramesWithoutATakerKeepTheLastTwo) {
    const Bytes a = Concat({0x00}, Ramp(512, 1)), b = Concat({0x00}, Ramp(512, 2)),
                c = Concat({0x00}, Ramp(512, 3));
    EXPECT_EQ(Decode(plat::sim::SimDmxInterface::EncodeFrames({a, b, c}), false), (std::vector<Bytes>{b, c}));
    // A fourth frame that has only begun already takes the oldest one's slot.
    auto reports = plat::sim::SimDmxInterface::EncodeFrames({{0x00, 1}, {0x00, 2}, {0x00, 3}, {0x00}});
    EXPECT_EQ(Decode(reports, false), (std::vector<Bytes>{{0x00, 3}}));
}

}  // namespace
