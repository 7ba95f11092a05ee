#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Orbilume/CSources/Sound/CSampleConverter.h"

namespace {

constexpr uint32_t BE = CSampleConverter::kBigEndian;
constexpr uint32_t LE = CSampleConverter::kLittleEndian;
constexpr uint32_t kMix = CSampleConverter::kMix;

struct ReadCase {
    const char* name;
    uint32_t column;
    bool isSigned;
    uint32_t bits, channels, channel;
    std::vector<uint8_t> frame;
    int value;
    uint32_t offset, stride;
};

TEST(CSampleConverterTest, ReadsOneValuePerFrame) {
    const ReadCase cases[] = {
        {"u8 mid", LE, false, 8, 1, 0, {0x80}, 0, 0, 1},
        {"u8 top", LE, false, 8, 1, 0, {0xFF}, 32639, 0, 1},
        {"u8 bottom", LE, false, 8, 1, 0, {0x00}, -32896, 0, 1},
        {"u8 either column", BE, false, 8, 1, 0, {0xFF}, 32639, 0, 1},
        {"s8 top", LE, true, 8, 1, 0, {0x7F}, 32639, 0, 1},
        {"s8 bottom", LE, true, 8, 1, 0, {0x80}, -32896, 0, 1},
        {"s16 le", LE, true, 16, 1, 0, {0x34, 0x12}, 0x1234, 0, 2},
        {"s16 be", BE, true, 16, 1, 0, {0x12, 0x34}, 0x1234, 0, 2},
        {"s16 le negative", LE, true, 16, 1, 0, {0x00, 0x80}, -32768, 0, 2},
        {"u16 le mid", LE, false, 16, 1, 0, {0x00, 0x80}, 0, 0, 2},
        {"u16 be top", BE, false, 16, 1, 0, {0xFF, 0xFF}, 32767, 0, 2},
        {"12 bits take two bytes", LE, true, 12, 1, 0, {0x34, 0x12}, 0x1234, 0, 2},
        {"s24 le", LE, true, 24, 1, 0, {0x12, 0x34, 0x56}, 0x5634, 0, 3},
        {"s24 be", BE, true, 24, 1, 0, {0x56, 0x34, 0x12}, 0x5634, 0, 3},
        {"u24 le mid", LE, false, 24, 1, 0, {0x77, 0x00, 0x80}, 0, 0, 3},
        {"s32 le", LE, true, 32, 1, 0, {0x01, 0x02, 0x34, 0x12}, 0x1234, 0, 4},
        {"s32 be", BE, true, 32, 1, 0, {0x12, 0x34, 0x01, 0x02}, 0x1234, 0, 4},
        {"s32 le negative", LE, true, 32, 1, 0, {0x00, 0x00, 0xFF, 0xFF}, -1, 0, 4},
        {"u32 be", BE, false, 32, 1, 0, {0x80, 0x10, 0xAA, 0xBB}, 0x10, 0, 4},
        {"mono mix is the channel", LE, true, 16, 1, kMix, {0x34, 0x12}, 0x1234, 0, 2},
        {"stereo mix cancels", LE, true, 16, 2, kMix, {0xE8, 0x03, 0x18, 0xFC}, 0, 0, 4},
        {"stereo mix averages", LE, true, 16, 2, kMix, {0xE8, 0x03, 0xB8, 0x0B}, 2000, 0, 4},
        {"unsigned mix", LE, false, 16, 2, kMix, {0xE8, 0x83, 0xB8, 0x8B}, 2000, 0, 4},
        {"u8 mix", LE, false, 8, 2, kMix, {0x80, 0x80}, 0, 0, 2},
        {"s8 mix", LE, true, 8, 2, kMix, {10, 20}, 30 * 128, 0, 2},
        {"mix ignores channel 3", LE, true, 16, 3, kMix, {0x10, 0x00, 0x30, 0x00, 0xFF, 0x7F}, 0x20, 0, 6},
        {"s24 be mix", BE, true, 24, 2, kMix, {0x00, 0x10, 0x00, 0x00, 0x30, 0x00}, 0x20, 0, 6},
        {"channel 3 of 6", LE, true, 16, 6, 3, {0, 0, 0, 0, 0, 0, 0x21, 0x43, 0, 0, 0, 0}, 0x4321, 6, 12},
        {"channel 1 of 2, 24 bits", LE, true, 24, 2, 1, {0, 0, 0, 0, 0x34, 0x12}, 0x1234, 3, 6},
        {"channel 6 of 6", LE, true, 16, 6, 6, std::vector<uint8_t>(32, 0x11), 0, 0, 32},
        {"bits 0", LE, true, 0, 1, 0, std::vector<uint8_t>(32, 0x11), 0, 0, 32},
        {"bits 33", LE, true, 33, 1, 0, std::vector<uint8_t>(32, 0x11), 0, 0, 32},
        {"column 2", 2, true, 16, 1, 0, std::vector<uint8_t>(32, 0x11), 0, 0, 32},
        {"no channels", LE, true, 16, 0, kMix, std::vector<uint8_t>(32, 0x11), 0, 0, 32},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        CSampleConverter conv;
        conv.Select(c.column, c.isSigned, c.bits, c.channels, c.channel);
        EXPECT_EQ(conv.Read(c.frame.data()), c.value);
        EXPECT_EQ(conv.Offset(), c.offset);
        EXPECT_EQ(conv.Stride(), c.stride);
        EXPECT_EQ(conv.IsNull(), c.stride == CSampleConverter::kNullStride);
    }
}

TEST(CSampleConverterTest, DefaultIsSigned16LittleEndianChannel0) {
    CSampleConverter conv;
    const uint8_t frame[] = {0x34, 0x12};
    EXPECT_EQ(conv.Read(frame), 0x1234);
    EXPECT_EQ(conv.Channel(), 0u);
    EXPECT_EQ(conv.Offset(), 0u);
    EXPECT_EQ(conv.Stride(), 2u);
}

struct WriteCase {
    const char* name;
    uint32_t column;
    bool isSigned;
    uint32_t bits, channels, channel;
    int value;
    std::vector<uint8_t> bytes;
};

TEST(CSampleConverterTest, WritesTheTopBytesAndZeroBelow) {
    const WriteCase cases[] = {
        {"u8 zero", LE, false, 8, 1, 0, 0, {0x80}},
        {"u8 bottom", LE, false, 8, 1, 0, -32768, {0x00}},
        {"s8 truncates toward zero", LE, true, 8, 1, 0, -255, {0x00}},
        {"s8", LE, true, 8, 1, 0, 0x1234, {0x12}},
        {"s16 le", LE, true, 16, 1, 0, 0x1234, {0x34, 0x12}},
        {"s16 be", BE, true, 16, 1, 0, -2, {0xFF, 0xFE}},
        {"u16 le", LE, false, 16, 1, 0, 0, {0x00, 0x80}},
        {"s24 le", LE, true, 24, 1, 0, 0x5634, {0x00, 0x34, 0x56}},
        {"s24 be", BE, true, 24, 1, 0, 0x5634, {0x56, 0x34, 0x00}},
        {"s32 le", LE, true, 32, 1, 0, 0x1234, {0x00, 0x00, 0x34, 0x12}},
        {"u32 be", BE, false, 32, 1, 0, 0x1234, {0x92, 0x34, 0x00, 0x00}},
        {"channel 1 of 2", LE, true, 16, 2, 1, 0x1234, {0xAA, 0xAA, 0x34, 0x12}},
        {"mix writes both", LE, true, 16, 3, kMix, 0x1234, {0x34, 0x12, 0x34, 0x12, 0xAA, 0xAA}},
        {"null writes nothing", LE, true, 0, 1, 0, 0x1234, {0xAA, 0xAA}},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        CSampleConverter conv;
        conv.Select(c.column, c.isSigned, c.bits, c.channels, c.channel);
        std::vector<uint8_t> frame(c.bytes.size(), 0xAA);
        conv.Write(frame.data(), c.value);
        EXPECT_EQ(frame, c.bytes);
    }
}

TEST(CSampleConverterTest, WhatIsWrittenReadsBackForEveryWideFormat) {
    for (uint32_t bits : {16u, 24u, 32u})
        for (uint32_t column : {BE, LE})
            for (bool isSigned : {false, true})
                for (uint32_t channel : {0u, kMix}) {
                    SCOPED_TRACE(testing::Message() << bits << " bits, column " << column << ", signed "
                                                    << isSigned << ", channel " << channel);
                    CSampleConverter conv;
                    conv.Select(column, isSigned, bits, 2, channel);
                    for (int v : {-32768, -1000, -1, 0, 1, 255, 256, 32767}) {
                        uint8_t frame[8] = {};
                        conv.Write(frame, v);
                        EXPECT_EQ(conv.Read(frame), v);
                    }
                }
}

}  // namespace
