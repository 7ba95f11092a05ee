#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Orbilume/CSources/Timecode/Timecode.h"

namespace {

// The frame a drop-frame label names (two labels dropped each minute but every tenth).
int64_t FrameOf(const Timecode& t) {
    int64_t minutes = t.hours * 60 + t.minutes;
    return (minutes * 60 + t.seconds) * 30 + t.frames - 2 * (minutes - minutes / 10);
}

// The drop-frame labels of every frame of a day, from the npm package smpte-timecode, against
// Timecode's own counting of 29.97 time. Timecode counts ten-minute blocks of 600 s where 17,982
// frames last 599.9994 s, and ToCount scales by 1001/1000 in integer steps, so both drift slowly
// from exact frame time (as stored counts always did): the labels agree for the first 4 h 40 min
// (frame 503,496 on, FromCount lands up to 3 frames later), and ToCount stays within 90 ms of the
// frame's real start over the whole day.
TEST(DropFramePeerTest, LabelsOfAWholeDay) {
    std::string dir = ORBILUME_NODE_DIR;
    if (std::system("command -v node >/dev/null 2>&1") != 0) GTEST_SKIP() << "node is not installed";
    if (access((dir + "/node_modules/smpte-timecode").c_str(), R_OK) != 0)
        GTEST_SKIP() << "smpte-timecode is not installed (npm install in " << dir << ")";
    FILE* in = popen(("node " + dir + "/dropframe-labels.js").c_str(), "r");
    ASSERT_TRUE(in);
    char line[64];
    uint32_t n = 0, labelMismatch = 0, countMismatch = 0;
    int64_t worstFrames = 0, worstMs = 0;
    std::string firstLabel, firstCount;
    while (std::fgets(line, sizeof line, in)) {
        unsigned h, m, s, f;
        ASSERT_EQ(std::sscanf(line, "%u:%u:%u:%u", &h, &m, &s, &f), 4) << line;
        Timecode want;
        want.Init(29);
        want.Set(uint8_t(h), uint8_t(m), uint8_t(s), uint8_t(f));
        // Frame n starts at n × 1001/30000 s.
        Timecode got;
        got.Init(29);
        got.FromCount(n * 1001, 30000);
        if (!got.Equals(want)) {
            if (!labelMismatch++)
                firstLabel = std::to_string(n) + " " + want.Format() + " -> " + got.Format();
            worstFrames = std::max(worstFrames, std::abs(FrameOf(got) - int64_t(n)));
        }
        EXPECT_EQ(FrameOf(want), int64_t(n));
        int64_t ms = (int64_t(n) * 1001 + 15) / 30;
        int64_t ours = want.ToCount(1000);
        worstMs = std::max(worstMs, std::abs(ours - ms));
        if (ours - ms > 1 || ms - ours > 1) {
            if (!countMismatch++)
                firstCount = want.Format() + " " + std::to_string(ours) + " vs " + std::to_string(ms);
        }
        ++n;
    }
    pclose(in);
    ASSERT_EQ(n, 2589408u);
    std::printf(
        "labels differing %u (first %s, at most %lld frames); counts differing %u (first %s, at most %lld "
        "ms)\n",
        labelMismatch, firstLabel.c_str(), (long long)worstFrames, countMismatch, firstCount.c_str(),
        (long long)worstMs);
    EXPECT_EQ(firstLabel.substr(0, firstLabel.find(' ')), "503496");
    EXPECT_LE(worstFrames, 3);
    EXPECT_LE(worstMs, 90);
}

}  // namespace
