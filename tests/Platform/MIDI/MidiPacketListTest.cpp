#include <gtest/gtest.h>

#include <vector>

#include "Platform/MIDI/MidiPacketList.h"

namespace {

TEST(MidiPacketListTest, WriterStaysInItsBufferAndReaderReadsItBack) {
    uint8_t buffer[4 + 10 + 3 + 10 + 1];
    plat::MidiPacketListWriter writer(buffer, sizeof buffer);
    const uint8_t note[] = {0x90, 0x3C, 0x64};
    const uint8_t clock[] = {0xF8};
    ASSERT_TRUE(writer.Add(7, note, 3));
    EXPECT_FALSE(writer.Add(8, note, 3));  // 1 byte of room is left after the next header
    ASSERT_TRUE(writer.Add(8, clock, 1));
    EXPECT_FALSE(writer.Add(9, nullptr, 0));
    EXPECT_EQ(writer.ByteSize(), sizeof buffer);

    plat::MidiPacketListReader reader(writer.Data(), writer.ByteSize());
    EXPECT_EQ(reader.DeclaredCount(), 2u);
    plat::MidiPacket p;
    ASSERT_TRUE(reader.Next(p));
    EXPECT_EQ(p.timeStamp, 7u);
    EXPECT_EQ(std::vector<uint8_t>(p.data, p.data + p.length), std::vector<uint8_t>(note, note + 3));
    ASSERT_TRUE(reader.Next(p));
    EXPECT_EQ(p.length, 1);
    EXPECT_FALSE(reader.Next(p));

    uint8_t tiny[3];
    plat::MidiPacketListWriter none(tiny, sizeof tiny);
    EXPECT_FALSE(none.Add(0, clock, 1));
    EXPECT_EQ(none.ByteSize(), 0u);
}

TEST(MidiPacketListTest, ReaderEndsAtTheFirstPacketThatRunsPastTheList) {
    const std::vector<uint8_t> good = plat::MakeMidiPacketList({{1, 2}, {3}, {4, 5, 6}});
    struct Case {
        size_t cut;        // bytes of the list given to the reader
        uint32_t packets;  // packets read
    } cases[] = {
        {good.size(), 3}, {good.size() - 1, 2}, {4 + 10 + 2, 1}, {4 + 10 + 1, 0}, {4 + 9, 0}, {3, 0}, {0, 0}};
    for (const Case& c : cases) {
        plat::MidiPacketListReader reader(good.data(), c.cut);
        plat::MidiPacket p;
        uint32_t n = 0;
        while (reader.Next(p)) ++n;
        EXPECT_EQ(n, c.packets) << c.cut;
    }
}

}  // namespace
