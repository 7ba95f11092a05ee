#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Orbilume/CSources/Midi/MidiInMessage.h"
#include "Platform/MIDI/MidiPacketList.h"

namespace {

using Bytes = std::vector<uint8_t>;

// What a callback saw: status, data1, data2, and the run as "offset+count" into its packet
// (offset from the list start), or "-" while no run was seen.
struct Seen {
    uint8_t status, data1, data2;
    std::string run;
    bool operator==(const Seen&) const = default;
};

struct Recorder {
    const uint8_t* list = nullptr;
    std::vector<Seen> seen;
    static void Record(void* context, const MidiInMessage* m) {
        auto* self = static_cast<Recorder*>(context);
        std::string run = "-";
        if (m->run) run = std::to_string(m->run - self->list) + "+" + std::to_string(m->runLength);
        self->seen.push_back(Seen{m->status, m->data1, m->data2, run});
    }
};

std::vector<Seen> Read(const Bytes& list) {
    // A copy of exactly the list's size, so any overread is caught by the address sanitizer.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[list.size() ? list.size() : 1]);
    if (!list.empty()) std::memcpy(exact.get(), list.data(), list.size());
    Recorder r;
    r.list = exact.get();
    ReadMidiPacketList(exact.get(), list.size(), &r, Recorder::Record);
    return r.seen;
}

// Offsets of a packet's data in a list: 4 bytes of count, then 10 bytes of header per packet.
constexpr int kFirst = 14;

struct Case {
    const char* what;
    std::vector<Bytes> packets;
    std::vector<Seen> expected;
};

TEST(MidiInMessageTest, SplitsPacketsIntoMessages) {
    const Case cases[] = {
        {"two notes",
         {{0x90, 0x3C, 0x64, 0x80, 0x3C, 0x00}},
         {{0x90, 0x3C, 0x64, "-"}, {0x80, 0x3C, 0x00, "-"}}},
        {"program change keeps data2 of nothing before; control change after",
         {{0xC5, 0x07, 0xB0, 0x07, 0x7F}},
         {{0xC5, 0x07, 0x00, "-"}, {0xB0, 0x07, 0x7F, "-"}}},
        {"a field not carried keeps the previous message's value",
         {{0xB0, 0x01, 0x40, 0xD2, 0x11, 0xF8}},
         {{0xB0, 0x01, 0x40, "-"}, {0xD2, 0x11, 0x40, "-"}, {0xF8, 0x11, 0x40, "-"}}},
        {"F8 F4 F8 ends the read", {{0xF8, 0xF4, 0xF8}, {0x90, 1, 2}}, {{0xF8, 0, 0, "-"}}},
        {"F5, F9 and FD end the read too", {{0xFE, 0xF9}, {0xF8}}, {{0xFE, 0, 0, "-"}}},
        {"system common: F1 and F3 one byte, F2 two",
         {{0xF1, 0x25, 0xF2, 0x10, 0x20, 0xF3, 0x05, 0xF6}},
         {{0xF1, 0x25, 0x00, "-"},
          {0xF2, 0x10, 0x20, "-"},
          {0xF3, 0x05, 0x20, "-"},
          {0xF6, 0x05, 0x20, "-"}}},
        {"SysEx is a run to the end of its packet",
         {{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}},
         {{0xF0, 0, 0, std::to_string(kFirst) + "+6"}}},
        {"a SysEx after a note counts from its own first byte",
         {{0x90, 0x3C, 0x64, 0xF0, 0x43, 0x10, 0xF7}},
         {{0x90, 0x3C, 0x64, "-"}, {0xF0, 0x3C, 0x64, std::to_string(kFirst + 3) + "+4"}}},
        {"stray data bytes become a run; no running status",
         {{0x90, 0x3C, 0x64, 0x3E, 0x64}},
         {{0x90, 0x3C, 0x64, "-"}, {0x3E, 0x3C, 0x64, std::to_string(kFirst + 3) + "+2"}}},
        {"the run pointer stays for later messages of the read",
         {{0xF0, 0x01, 0xF7}, {0xF1, 0x12}},
         {{0xF0, 0, 0, std::to_string(kFirst) + "+3"}, {0xF1, 0x12, 0, std::to_string(kFirst) + "+3"}}},
        {"a packet split message: the second packet's data bytes are a run",
         {{0x90, 0x3C, 0x64, 0xB0}, {0x07, 0x7F}},
         {{0x90, 0x3C, 0x64, "-"}, {0x07, 0x3C, 0x64, std::to_string(kFirst + 4 + 10) + "+2"}}},
        {"a truncated note at the end of the packet is dropped", {{0x90, 0x3C}, {0xF8}}, {{0xF8, 0, 0, "-"}}},
        {"a truncated program change is dropped", {{0xF8, 0xC0}}, {{0xF8, 0, 0, "-"}}},
        {"a truncated song position is dropped", {{0xF2, 0x01}}, {}},
        {"empty packets", {{}, {}, {0xFA}}, {{0xFA, 0, 0, "-"}}},
        {"undefined F4 ends even before anything", {{0xF4, 0x90, 1, 2}}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Read(plat::MakeMidiPacketList(c.packets)), c.expected) << c.what;
}

TEST(MidiInMessageTest, LyingListsEndTheRead) {
    Bytes good = plat::MakeMidiPacketList({{0x90, 1, 2}, {0x80, 1, 0}});
    struct Lie {
        const char* what;
        Bytes list;
        size_t messages;
    };
    Bytes longCount = good;
    longCount[0] = 200;  // more packets claimed than there are
    Bytes longPacket = good;
    longPacket[4 + 8] = 0xFF;  // the first packet claims 255 bytes
    Bytes secondLong = good;
    secondLong[4 + 13 + 8] = 4;  // the second claims one byte more than the list holds
    Bytes cut(good.begin(), good.end() - 1);
    const Lie lies[] = {
        {"empty", {}, 0},
        {"header cut", {1, 0}, 0},
        {"count past the packets", longCount, 2},
        {"first packet longer than the list", longPacket, 0},
        {"second packet longer than the list", secondLong, 1},
        {"list cut inside the last packet", cut, 1},
        {"zero count", {0, 0, 0, 0, 0x90}, 0},
    };
    for (const Lie& l : lies) EXPECT_EQ(Read(l.list).size(), l.messages) << l.what;
}

TEST(MidiInMessageTest, NullFunctionOrListDeliversNothing) {
    Bytes list = plat::MakeMidiPacketList({{0xF8}});
    ReadMidiPacketList(list.data(), list.size(), nullptr, nullptr);
    Recorder r;
    ReadMidiPacketList(nullptr, 100, &r, Recorder::Record);
    EXPECT_TRUE(r.seen.empty());
}

}  // namespace
