#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Editors/CSeqCtlIn.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/support/HubFeed.h"

namespace {

using T = CDocModelTypes;

void Put(CRecord* set, const char* key, const char* value) {
    CParamSet::SetString(CRecordRef(&set), nullptr, LString(key), LString(value));
}

void Clear(CRecordRef set) {
    while (set->ArrayCount(CParamSet::kSetEntries) > 0) set.DeleteElement(nullptr, CParamSet::kSetEntries, 0);
}

using testsupport::Dmx;
using testsupport::Midi;

void Turn() {
    (void)plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
}

template <class Done>
bool RunMainUntil(Done done, double seconds = 10) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        (void)plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.01, false);
    }
    return true;
}

// A document with n sequences, one of them edited, a hub and a sequence control on them; the test
// runs the main loop, which applies what the input decided.
class SeqCtlInTest : public testing::Test {
protected:
    void SetUp() override { Make(8); }
    void TearDown() override {
        ctl.reset();
        Turn();
    }
    void Make(uint32_t sequences) {
        for (uint32_t i = 0; i < sequences; ++i) ASSERT_GE(UDocScenes::AppendSequence(Scns(), nullptr), 0);
        UDocScenes::SetSequenceEditing(Scns(), true);
        ctl = std::make_unique<CSeqCtlIn>(Scns(), &hub);
        (void)doc.AddObserver(this, [](void* c, const SRecordEvent* e) {
            auto* self = static_cast<SeqCtlInTest*>(c);
            if (e->record.Get() == self->Scns().Get() && e->field == T::kScnsEdited && e->kind == 0)
                self->changes.fetch_add(1);
        });
    }
    CRecordRef Scns() { return doc.Scenes(); }
    void Setup(std::vector<std::pair<const char*, const char*>> keys) {
        CRecord* set = doc.SequenceControl().Get();
        for (auto& [k, v] : keys) Put(set, k, v);
        ctl->Setup(set);
    }
    int32_t Edited() { return Scns()->GetInt(T::kScnsEdited); }
    void SetEdited(int32_t n) { Scns()->Slot(T::kScnsEdited).i32 = n; }

    CDocModelHolder doc;
    CCtlInHub hub;
    std::unique_ptr<CSeqCtlIn> ctl;
    std::atomic<int> changes{0};
};

TEST_F(SeqCtlInTest, SetupReadsTheChosenControllersKeys) {
    Setup({{"ctlr", "mnt"}, {"usage", "step"}});
    EXPECT_EQ(ctl->GetCtlr(), 4u);
    EXPECT_EQ(ctl->GetUsage(), -1);  // usage belongs to "dmx" and "mcc"
    Setup({{"ctlr", "mcc"}});
    EXPECT_EQ(ctl->GetUsage(), 1);
    Setup({{"ctlr", "bogus"}});
    EXPECT_EQ(ctl->GetCtlr(), 0u);
    ctl->Setup(nullptr);
    EXPECT_EQ(ctl->GetCtlr(), 0u);
    // A pending result is dropped by a new setup.
    Setup({{"ctlr", "mpg"}, {"midich", "0"}});
    Midi(hub, 0xC0, 2, 0);
    EXPECT_EQ(ctl->PendingResult(), 2);
    ctl->Setup(doc.SequenceControl().Get());
    EXPECT_EQ(ctl->PendingResult(), -1);
}

TEST_F(SeqCtlInTest, DmxSelectFiresOnChangesBelowTheCount) {
    Setup({{"ctlr", "dmx"}, {"usage", "sel"}, {"dmxch", "4"}});
    Dmx(hub, 4, 3);
    Turn();
    EXPECT_EQ(Edited(), 3);
    SetEdited(5);
    Dmx(hub, 5, 9);  // another channel: the value of 4 has not changed
    Turn();
    EXPECT_EQ(Edited(), 5);
    Dmx(hub, 4, 0);
    Turn();
    EXPECT_EQ(Edited(), 0);
    Dmx(hub, 4, 8);  // 8 of 8 sequences: nothing
    Turn();
    EXPECT_EQ(Edited(), 0);
}

TEST_F(SeqCtlInTest, DmxStepChannelsInOrderWithAllFlags) {
    Setup({{"ctlr", "dmx"},
           {"usage", "step"},
           {"dmxch", "10"},
           {"steprwnd", "1"},
           {"stepback", "1"},
           {"stepsub", "1"}});
    struct Case {
        int32_t from;
        uint32_t channel;
        int32_t to;
    } cases[] = {
        {5, 10, 0}, {5, 11, 4}, {5, 12, 6}, {5, 13, 6}, {5, 14, 5},  // 14 is past the controls
        {7, 12, 7},                                                  // next on the last: nothing
        {0, 11, 0},                                                  // previous on the first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel);
        SetEdited(c.from);
        Dmx(hub, c.channel, 255);
        Turn();
        EXPECT_EQ(Edited(), c.to);
        Dmx(hub, c.channel, 0);
        Turn();
        EXPECT_EQ(Edited(), c.to);
    }
    // Edges in one frame: the later channel wins.
    SetEdited(5);
    std::vector<uint8_t> frame(513, 0);
    frame[1 + 11] = frame[1 + 12] = 255;
    hub.DmxIn(frame.data(), 513);
    Turn();
    EXPECT_EQ(Edited(), 6);
}

TEST_F(SeqCtlInTest, DmxTriggerWatchesOnlyChannelsBelowTheEnd) {
    ctl.reset();
    doc.Scenes()->Slot(T::kScnsEdited).i32 = -1;
    CRecordRef scns = Scns();
    while (scns->ArrayCount(T::kScnsSequences) > 4)
        scns.DeleteElement(nullptr, T::kScnsSequences, scns->ArrayCount(T::kScnsSequences) - 1);
    UDocScenes::SetSequenceEditing(scns, true);
    ctl = std::make_unique<CSeqCtlIn>(scns, &hub);
    Setup({{"ctlr", "dmx"}, {"usage", "trig"}, {"dmxch", "510"}});
    Dmx(hub, 511, 200);
    Turn();
    EXPECT_EQ(Edited(), 1);
    Dmx(hub, 510, 200);
    Turn();
    EXPECT_EQ(Edited(), 0);
    // The highest edge of a frame wins.
    std::vector<uint8_t> frame(513, 0);
    hub.DmxIn(frame.data(), 513);
    Turn();
    frame[1 + 510] = frame[1 + 511] = 9;
    hub.DmxIn(frame.data(), 513);
    Turn();
    EXPECT_EQ(Edited(), 1);
}

TEST_F(SeqCtlInTest, ValuesPresentAtSetupAreNoEdges) {
    Dmx(hub, 20, 255);
    Setup({{"ctlr", "dmx"}, {"usage", "trig"}, {"dmxch", "20"}});
    SetEdited(4);
    Dmx(hub, 20, 128);
    Turn();
    EXPECT_EQ(Edited(), 4);
    Dmx(hub, 20, 0);
    Turn();
    Dmx(hub, 20, 1);
    Turn();
    EXPECT_EQ(Edited(), 0);
}

TEST_F(SeqCtlInTest, NothingWhileNoSequenceIsEdited) {
    Setup({{"ctlr", "mnt"}, {"midich", "0"}, {"midinn", "60"}});
    SetEdited(-1);
    Midi(hub, 0x90, 62, 100);
    Turn();
    EXPECT_EQ(Edited(), -1);
    Setup({{"ctlr", "dmx"}, {"usage", "sel"}, {"dmxch", "0"}});
    Dmx(hub, 0, 2);
    Turn();
    EXPECT_EQ(Edited(), -1);
    EXPECT_EQ(changes.load(), 0);
}

// Each message against one assignment: the pending result it leaves (-1 when rejected or none),
// with the hub's previous controller values as the messages before it left them.
TEST_F(SeqCtlInTest, MidiRules) {
    struct Msg {
        uint8_t s, d1, d2;
        int32_t pending;
    };
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> keys;
        std::vector<Msg> messages;
    } cases[] = {
        {"program",
         {{"ctlr", "mpg"}, {"midich", "3"}},
         {{0xC3, 5, 0, 5}, {0xC2, 6, 0, -1}, {0xB3, 6, 1, -1}}},
        {"note",
         {{"ctlr", "mnt"}, {"midich", "1"}, {"midinn", "60"}},
         {{0x91, 61, 90, 1}, {0x91, 62, 0, -1}, {0x81, 63, 9, -1}, {0x91, 59, 9, -1}, {0x90, 61, 9, -1}}},
        {"trig by channel",
         {{"ctlr", "mcc"}, {"usage", "trig"}, {"midich", "2"}, {"midicc", "7"}},
         {{0xB4, 7, 100, 2}, {0xB4, 7, 90, -1}, {0xB1, 7, 90, -1}, {0xB5, 8, 90, -1}, {0xB2, 7, 1, 0}}},
        {"fade by number",
         {{"ctlr", "mcc"}, {"usage", "fade"}, {"midich", "0"}, {"midicc", "20"}, {"midicno", "1"}},
         {{0xB0, 23, 1, 3}, {0xB0, 23, 2, -1}, {0xB1, 24, 1, -1}, {0xB0, 19, 1, -1}}},
        {"select",
         {{"ctlr", "mcc"}, {"usage", "sel"}, {"midich", "0"}, {"midicc", "1"}},
         {{0xB0, 1, 6, 6}, {0xB0, 1, 0, 0}, {0xB1, 1, 6, -1}}},
        {"mix ignores", {{"ctlr", "mcc"}, {"usage", "mix"}}, {{0xB0, 7, 6, -1}}},
        {"osc ignores", {{"ctlr", "osc"}}, {{0x90, 60, 6, -1}, {0xC0, 1, 0, -1}}},
        {"malformed data",
         {{"ctlr", "mcc"}, {"usage", "trig"}, {"midich", "0"}, {"midicc", "7"}, {"midicno", "1"}},
         {{0xB0, 0x87, 9, -1}, {0xB0, 0xFF, 0xFF, -1}, {0xB0, 8, 0x80, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clear(doc.SequenceControl());
        Setup(c.keys);
        hub.ResetMidi();
        for (const Msg& m : c.messages) {
            Midi(hub, m.s, m.d1, m.d2);
            EXPECT_EQ(ctl->Poll(8), m.pending) << int(m.s) << " " << int(m.d1) << " " << int(m.d2);
        }
        // Leave every controller at 0 for the next case.
        for (uint8_t ch = 0; ch < 16; ++ch)
            for (uint8_t cc = 0; cc < 128; ++cc)
                if (hub.MidiCc(ch, cc)) Midi(hub, uint8_t(0xB0 | ch), cc, 0);
    }
}

TEST_F(SeqCtlInTest, MidiStepPositionsAndCancel) {
    Setup({{"ctlr", "mcc"},
           {"usage", "step"},
           {"midich", "2"},
           {"midicc", "30"},
           {"steprwnd", "1"},
           {"stepback", "1"},
           {"stepsub", "1"}});
    // Without "midicno" the positions are consecutive channels on controller 30.
    SetEdited(4);
    Midi(hub, 0xB4, 30, 127);  // next
    Turn();
    EXPECT_EQ(Edited(), 5);
    Midi(hub, 0xB3, 30, 127);  // back
    Turn();
    EXPECT_EQ(Edited(), 4);
    Midi(hub, 0xB5, 30, 127);  // "stepsub" adds no position here
    EXPECT_EQ(ctl->PendingResult(), -1);
    Midi(hub, 0xB2, 30, 127);  // rewind
    Turn();
    EXPECT_EQ(Edited(), 0);
    // A filtered message at the rewind position without an edge cancels a pending next.
    SetEdited(2);
    Midi(hub, 0xB4, 30, 0);
    Midi(hub, 0xB4, 30, 9);
    EXPECT_EQ(ctl->PendingResult(), -2);
    Midi(hub, 0xB2, 30, 5);  // still up: no edge
    EXPECT_EQ(ctl->PendingResult(), -1);
    Turn();
    EXPECT_EQ(Edited(), 2);
    // With "midicno": consecutive controllers on the channel.
    Clear(doc.SequenceControl());
    Setup({{"ctlr", "mcc"},
           {"usage", "step"},
           {"midich", "0"},
           {"midicc", "40"},
           {"midicno", "1"},
           {"stepback", "1"}});
    Midi(hub, 0xB0, 41, 1);
    Turn();
    EXPECT_EQ(Edited(), 3);
    Midi(hub, 0xB0, 40, 1);
    Turn();
    EXPECT_EQ(Edited(), 2);
    Midi(hub, 0xB1, 41, 0);
    Midi(hub, 0xB1, 41, 1);  // another channel
    EXPECT_EQ(ctl->PendingResult(), -1);
}

TEST_F(SeqCtlInTest, NoSequencesMeansNothing) {
    ctl.reset();
    CDocModelHolder empty;
    UDocScenes::SetSequenceEditing(empty.Scenes(), true);
    CSeqCtlIn in(empty.Scenes(), &hub);
    CRecord* set = empty.SequenceControl().Get();
    Put(set, "ctlr", "mnt");
    Put(set, "midinn", "0");
    in.Setup(set);
    for (uint8_t note : {0, 1, 127}) {
        Midi(hub, 0x90, note, 9);
        EXPECT_EQ(in.Poll(0), -1);
    }
    Put(set, "ctlr", "dmx");
    Put(set, "usage", "sel");
    in.Setup(set);
    Dmx(hub, 0, 1);
    EXPECT_EQ(in.Poll(0), -1);
    Dmx(hub, 0, 0);
    EXPECT_EQ(in.Poll(0), -1);
    in.Apply();
    EXPECT_EQ(empty.Scenes()->GetInt(T::kScnsEdited), 0);
}

// One "next" per control-change edge from another thread while the main loop applies: each one
// steps exactly once (none lost, none applied twice).
TEST_F(SeqCtlInTest, FloodFromAnotherThreadStepsOncePerMessage) {
    ctl.reset();
    CRecordRef scns = Scns();
    while (scns->ArrayCount(T::kScnsSequences) < 200) (void)UDocScenes::AppendSequence(scns, nullptr);
    ctl = std::make_unique<CSeqCtlIn>(scns, &hub);
    Setup({{"ctlr", "mcc"}, {"usage", "step"}, {"midich", "0"}, {"midicc", "1"}});
    SetEdited(0);
    constexpr int kSteps = 150;
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        for (int i = 0; i < kSteps && !stop; ++i) {
            Midi(hub, 0xB0, 1, 0);
            Midi(hub, 0xB0, 1, 127);
            // The next edge only once this one was applied: a later message would replace it.
            while (changes.load() <= i && !stop) std::this_thread::yield();
        }
    });
    const bool done = RunMainUntil([&] { return changes.load() >= kSteps; });
    stop = true;
    sender.join();
    ASSERT_TRUE(done);
    for (int i = 0; i < 5; ++i) Turn();
    EXPECT_EQ(Edited(), kSteps);
    EXPECT_EQ(changes.load(), kSteps);
}

// Note-ons flooding in while the main loop applies: the last one always arrives.
TEST_F(SeqCtlInTest, FloodOfNotesEndsOnTheLastOne) {
    Setup({{"ctlr", "mnt"}, {"midich", "0"}, {"midinn", "0"}});
    for (int round = 0; round < 20; ++round) {
        const uint8_t last = uint8_t(round % 7 + 1);
        std::atomic<bool> sent{false};
        std::thread sender([&] {
            for (int i = 0; i < 300; ++i) Midi(hub, 0x90, uint8_t(i % 8), 100);
            Midi(hub, 0x90, last, 100);
            sent = true;
        });
        while (!sent) Turn();
        sender.join();
        Turn();
        ASSERT_EQ(Edited(), last) << round;
    }
}

// Destroying the input while other threads flood the hub: no listener runs on a freed input.
TEST_F(SeqCtlInTest, DestroyedDuringAFloodIsClean) {
    std::atomic<bool> stop{false};
    std::thread midi([&] {
        uint8_t v = 0;
        while (!stop) Midi(hub, 0x90, uint8_t(v++ & 0x7F), 64);
    });
    std::thread dmx([&] {
        uint8_t v = 0;
        while (!stop) Dmx(hub, 3, v++);
    });
    for (int i = 0; i < 50; ++i) {
        ctl = std::make_unique<CSeqCtlIn>(Scns(), &hub);
        Setup({{"ctlr", i % 2 ? "mnt" : "dmx"}, {"usage", "trig"}, {"midinn", "0"}, {"dmxch", "0"}});
        for (int t = 0; t < 3; ++t) Turn();
        ctl.reset();
        Turn();
    }
    stop = true;
    midi.join();
    dmx.join();
}

}  // namespace
