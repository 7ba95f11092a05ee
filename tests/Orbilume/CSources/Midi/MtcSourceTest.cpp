#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Orbilume/CSources/Midi/MtcSource.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/MIDI/MidiPacketList.h"

namespace {

void Turn() {
    for (int i = 0; i < 3; ++i) plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
}

struct Listener {
    std::vector<std::string> times;
    static void Note(void* context, TimecodeSource* source) {
        static_cast<Listener*>(context)->times.push_back(source->GetTime().Format());
    }
};

void Feed(MtcSource& source, const std::vector<std::vector<uint8_t>>& packets) {
    const auto list = plat::MakeMidiPacketList(packets);
    ReadMidiPacketList(list.data(), list.size(), &source, [](void* context, const MidiInMessage* m) {
        static_cast<MtcSource*>(context)->OnMidi(*m);
    });
}

TEST(MtcSourceTest, PublishesTheLatestTimeOnItsLoop) {
    LAsyncMainLoop loop;
    MtcSource source(&loop);
    Listener listener;
    source.AddListener(&listener, Listener::Note);

    // 01:02:03:04 at 30, then the next piece 0; fed from another thread as the MIDI thread would.
    std::thread midi([&] {
        Feed(source, {{0xF1, 0x04, 0xF1, 0x10, 0xF1, 0x23, 0xF1, 0x30, 0xF1, 0x42, 0xF1, 0x50, 0xF1, 0x61,
                       0xF1, 0x76, 0xF1, 0x06}});
    });
    midi.join();
    EXPECT_TRUE(listener.times.empty());  // not before the loop turns
    Turn();
    EXPECT_EQ(listener.times, std::vector<std::string>{"01:02:03:06"});
    EXPECT_EQ(source.GetTime().code, 30u);

    // Two completions before the loop turns publish only the latest.
    Feed(source,
         {{0xF1, 0x10, 0xF1, 0x20, 0xF1, 0x30, 0xF1, 0x40, 0xF1, 0x50, 0xF1, 0x60, 0xF1, 0x70, 0xF1, 0x00,
           0xF1, 0x10, 0xF1, 0x20, 0xF1, 0x30, 0xF1, 0x40, 0xF1, 0x50, 0xF1, 0x60, 0xF1, 0x70, 0xF1, 0x02}});
    Turn();
    EXPECT_EQ(listener.times, (std::vector<std::string>{"01:02:03:06", "00:00:00:02"}));
    source.RemoveListener(&listener, Listener::Note);
}

TEST(MtcSourceTest, IgnoresQuarterFramesAfterARunAndOtherMessages) {
    LAsyncMainLoop loop;
    MtcSource source(&loop);
    Listener listener;
    source.AddListener(&listener, Listener::Note);
    // Eight pieces and the closing piece 0 each in their own packet, but after a SysEx run in the
    // same read: all of them are ignored.
    std::vector<std::vector<uint8_t>> packets = {{0xF0, 0x7F, 0xF7}};
    for (uint8_t d : {0x00, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x76, 0x00}) packets.push_back({0xF1, d});
    Feed(source, packets);
    Feed(source, {{0x90, 0x76, 0x40, 0xF2, 0x00, 0x00}});
    Turn();
    EXPECT_TRUE(listener.times.empty());
    ASSERT_NE(source.Port(), nullptr);  // "MTC IN", never connected
    EXPECT_FALSE(source.Port()->IsOnline());
    source.RemoveListener(&listener, Listener::Note);
}

}  // namespace
