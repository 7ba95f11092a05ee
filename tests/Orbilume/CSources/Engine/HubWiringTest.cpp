#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Midi/MidiInMessage.h"
#include "Orbilume/CSources/Net/CNetAddress.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscPattern.h"
#include "Orbilume/CSources/Osc/OscServer.h"
#include "Platform/MIDI/MidiPacketList.h"

// The inputs feed the hub through the adapters and interfaces they were built with.
namespace {

TEST(HubWiring, DmxMergeDeliversIntoTheHub) {
    CCtlInHub hub;
    int calls = 0;
    ASSERT_TRUE(hub.AddDmxListener([](void* c) { ++*static_cast<int*>(c); }, &calls));
    CDmxInMerge merge(&hub, &CCtlInHub::DmxSink);
    DmxInSource source;
    source.kind = DmxInSource::kArtNet;
    source.priority = 100;
    const uint8_t slots[] = {11, 22, 33};
    merge.Offer(source, 3, slots);
    merge.Deliver();
    EXPECT_EQ(hub.DmxValue(0), 11);
    EXPECT_EQ(hub.DmxValue(2), 33);
    EXPECT_EQ(calls, 1);
}

TEST(HubWiring, MidiPacketListsReachTheHub) {
    CCtlInHub hub;
    const std::vector<uint8_t> list =
        plat::MakeMidiPacketList({{0xB4, 10, 64}, {0x94, 60, 90}, {0x94, 62, 40}});
    ReadMidiPacketList(list.data(), list.size(), &hub, &CCtlInHub::MidiProc);
    EXPECT_EQ(hub.MidiCc(4, 10), 64);
    EXPECT_EQ(hub.MidiHeldCount(4), 2);
    EXPECT_EQ(hub.MidiLastNote(4), 62);
}

// An OSC datagram: address, type tags and arguments, each padded to 4 bytes.
std::vector<uint8_t> OscMessage(const std::string& address, int32_t value) {
    std::vector<uint8_t> d;
    auto put = [&d](const std::string& s) {
        d.insert(d.end(), s.begin(), s.end());
        d.push_back(0);
        while (d.size() % 4) d.push_back(0);
    };
    put(address);
    put(",i");
    for (int shift = 24; shift >= 0; shift -= 8) d.push_back(uint8_t(uint32_t(value) >> shift));
    d.push_back(0);  // the readable zero byte after the datagram
    return d;
}

TEST(HubWiring, OscServerAndItsListenersThroughTheHub) {
    CCtlInHub hub;
    struct Seen {
        std::vector<int32_t> values;
    } seen;
    ASSERT_TRUE(hub.AddOscListener(
        [](void* c, OscPattern& p, const OscArg* args, uint32_t count) {
            if (p.IsMatch("/layer/1/blend") && count == 1)
                static_cast<Seen*>(c)->values.push_back(args[0].AsInt());
        },
        &seen));
    OscServer server(&hub);
    for (const auto& [address, value] : std::vector<std::pair<std::string, int32_t>>{
             {"/layer/1/blend", 5}, {"/ping", 6}, {"/layer/*/blend", 7}, {"/other", 8}}) {
        std::vector<uint8_t> d = OscMessage(address, value);
        server.HandleDatagram(d.data(), uint32_t(d.size() - 1), CNetAddress::IPv4(0x7f000001, 9000));
    }
    EXPECT_EQ(seen.values, (std::vector<int32_t>{5, 7}));
}

}  // namespace
