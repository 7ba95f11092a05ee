// 1,000 messages a second for 5 s through a JACK server: every one arrives, in order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Platform/MIDI/MidiPacketList.h"
#include "Platform/MIDI/jack/JackMidiSystem.h"
#include "tests/support/JackMidiSender.h"
#include "tests/support/JackServer.h"

namespace {

struct Count {
    std::atomic<uint32_t> next{0};   // messages received
    std::atomic<uint32_t> wrong{0};  // received out of order (lost ones are counted by next)
    uint32_t expected = 0;           // MIDI thread only
    static void Read(const uint8_t* list, size_t size, void* context) {
        auto* c = static_cast<Count*>(context);
        plat::MidiPacketListReader reader(list, size);
        plat::MidiPacket p;
        while (reader.Next(p)) {
            c->next.fetch_add(1);
            const uint32_t n = p.length == 3 ? uint32_t(p.data[1]) << 7 | p.data[2] : 0;
            if (p.length != 3 || n < c->expected) c->wrong.fetch_add(1);
            c->expected = n + 1;
        }
    }
};

TEST(JackThroughputTest, ThousandMessagesASecondForFiveSecondsNoneLost) {
    testsupport::JackServer server;
    if (!server.Problem().empty()) GTEST_SKIP() << server.Problem();
    auto system = plat::JackMidiSystem::Open("orbilume-throughput");
    testsupport::JackMidiSender sender("steady");
    ASSERT_TRUE(system && sender.Ok());
    const int out = sender.AddPort("out");
    ASSERT_GE(out, 0);

    plat::MidiObjectId source = 0;
    for (int i = 0; i < 500 && !source; ++i) {
        for (uint32_t k = 0; plat::MidiObjectId s = system->GetSource(k); ++k) {
            std::string name;
            if (system->GetName(s, name) && name == "out") source = s;
        }
        if (!source) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_NE(source, 0u);
    const plat::MidiObjectId client = system->CreateClient("t", nullptr, nullptr);
    Count count;
    const plat::MidiObjectId port = system->CreateInputPort(client, "in", Count::Read, &count);
    ASSERT_TRUE(system->ConnectSource(port, source));

    constexpr uint32_t kTotal = 5000;
    auto start = std::chrono::steady_clock::now();
    for (uint32_t n = 0; n < kTotal; ++n) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(n));
        ASSERT_TRUE(sender.Send(out, {{0xB0, uint8_t((n >> 7) & 0x7F), uint8_t(n & 0x7F)}}));
    }
    sender.Drain();
    for (int i = 0; i < 200 && count.next.load() < kTotal; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (sender.Xruns() == 0) {
        EXPECT_EQ(count.next.load(), kTotal);
    } else {
        // Without real-time scheduling a loaded machine makes the dummy driver overrun; the
        // server drops those periods' events, which is not ours to count.
        RecordProperty("xruns", int(sender.Xruns()));
        EXPECT_GE(count.next.load(), kTotal * 9 / 10);
    }
    EXPECT_EQ(count.wrong.load(), 0u);
    EXPECT_EQ(system->DroppedEvents(), 0u);
    system->DisposePort(port);
    system->DisposeClient(client);
}

}  // namespace
