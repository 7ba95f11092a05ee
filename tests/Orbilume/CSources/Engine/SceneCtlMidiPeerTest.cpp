// A mido output (rtmidi) through a private jackd with the dummy driver, and through the ALSA
// sequencer where the kernel offers one, reaches the hub through the MIDI input: its program change
// recalls a scene through the scene control and its controller drives a bound input.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Engine/CCtlInDocBinder.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CSceneCtlIn.h"
#include "Orbilume/CSources/Midi/CMidiClient.h"
#include "Orbilume/CSources/Midi/CMidiInManager.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/support/MidiTestSystem.h"
#include "tests/support/MidoSender.h"

namespace {

using T = CDocModelTypes;

bool TurnUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, false);
    }
    return true;
}

// Counts the sender's probes on their way to the hub.
struct ProbeTap {
    CCtlInHub* hub;
    std::atomic<int> probes{0};
    static void Proc(void* context, const MidiInMessage* m) {
        auto* self = static_cast<ProbeTap*>(context);
        if (m->status == 0x8F && m->data1 == 0) self->probes++;
        CCtlInHub::MidiProc(self->hub, m);
    }
};

void Put(CRecord* set, const char* key, const char* value) {
    CParamSet::SetString(CRecordRef(&set), nullptr, LString(key), LString(value));
}

class SceneCtlMidiPeer : public ::testing::TestWithParam<const char*> {};

TEST_P(SceneCtlMidiPeer, ProgramChangeRecallsAndAControllerDrivesAnInput) {
    testsupport::MidiTestSystem midi = testsupport::MidiTestSystem::Open(GetParam());
    if (!midi.skip.empty()) GTEST_SKIP() << midi.skip;
    ASSERT_TRUE(midi.system);
    std::unique_ptr<plat::MidiSystem>& system = midi.system;

    CDocModelHolder doc;
    for (uint32_t i = 0; i < 8; ++i)
        ASSERT_TRUE(UDocScenes::InsertScene(doc.Scenes(), nullptr, i, UDocScenes::NewScene()));
    std::vector<int32_t> recalls;
    RecordObserverFunction* note = [](void* c, const SRecordEvent* e) {
        if (e->field == T::kScnsRecall && e->kind == SRecordEvent::kValueChanged &&
            e->record->GetInt(T::kScnsRecall) >= 0)
            static_cast<std::vector<int32_t>*>(c)->push_back(e->record->GetInt(T::kScnsRecall));
    };
    (void)doc.AddObserver(&recalls, note);
    CCtlInHub hub;
    CSceneCtlIn control(doc.Scenes(), &hub);
    CRecord* assignment = doc.SceneControl().Get();
    Put(assignment, "ctlr", "mpg");
    Put(assignment, "midich", "5");
    control.Setup(assignment);

    CAppPrefs prefs;
    CRecord* unit = prefs.Root()->GetSubRecord(CAppPrefs::kPrefOutAdjUnit);
    CRecord* input = CRecord::New(T::Type(T::kINPT));
    input->StringSlot(T::kInptKey) = LString("fade");
    ASSERT_TRUE(CRecordRef(&unit).InsertRecord(nullptr, T::kUnitInputs, 0, input));
    CCtlInDocBinder binder(unit, &hub);
    binder.AddRange(LString("fade"), 0, 10);
    CRecord* ctrl = unit->GetElement(T::kUnitInputs, 0)->GetSubRecord(T::kInptCtl);
    Put(ctrl, "type", "midic");
    Put(ctrl, "midicc", "7");

    CMidiClient client("orbilume", std::move(system));
    ProbeTap tap{&hub};
    CMidiInManager manager(&client, CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefMidiTable).record),
                           CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefMidiIn).record), &tap,
                           &ProbeTap::Proc);
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
    auto probed = [&] { return tap.probes > 0; };
    ASSERT_TRUE(sender.ProbeUntil(probed, [&] { return TurnUntil(probed, std::chrono::milliseconds(250)); }));
    // Note 60 on and off, CC 7 = 127 on channel 1, program 7 on channel 6.
    ASSERT_TRUE(sender.Send("messages"));
    ASSERT_TRUE(TurnUntil([&] { return !recalls.empty(); }));
    EXPECT_EQ(recalls, std::vector<int32_t>{7});
    const CRecord* bound = unit->GetElement(T::kUnitInputs, 0);
    ASSERT_TRUE(TurnUntil([&] { return bound->GetString(T::kInptValue) == "10"; }));
    EXPECT_EQ(hub.MidiHeldCount(0), 0);
    (void)doc.RemoveObserver(&recalls, note);
}

INSTANTIATE_TEST_SUITE_P(Backend, SceneCtlMidiPeer, ::testing::Values("jack", "alsa"));

}  // namespace
