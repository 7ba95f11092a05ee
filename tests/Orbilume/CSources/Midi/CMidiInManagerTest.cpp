#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Midi/CMidiClient.h"
#include "Orbilume/CSources/Midi/CMidiInManager.h"
#include "Orbilume/CSources/Midi/MidiSourceName.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/MIDI/MidiPacketList.h"
#include "Platform/MIDI/virtual/VirtualMidiSystem.h"

namespace {

// Messages the application callback saw, as "status data1 data2" texts.
struct Inbox {
    std::mutex mutex;
    std::vector<std::string> messages;
    static void Receive(void* context, const MidiInMessage* m) {
        auto* self = static_cast<Inbox*>(context);
        char text[16];
        std::snprintf(text, sizeof text, "%02X %02X %02X", m->status, m->data1, m->data2);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->messages.emplace_back(text);
    }
    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(messages, {});
    }
};

class CMidiInManagerTest : public ::testing::Test {
protected:
    CMidiInManagerTest() {
        auto system = std::make_unique<plat::VirtualMidiSystem>();
        midi = system.get();
        client = std::make_unique<CMidiClient>("orbilume", std::move(system));
    }
    ~CMidiInManagerTest() override {
        manager.reset();
        client.reset();
    }
    CRecordRef Table() { return CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefMidiTable).record); }
    CRecordRef Enabled() { return CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefMidiIn).record); }
    void Start() {
        manager = std::make_unique<CMidiInManager>(client.get(), Table(), Enabled(), &inbox, Inbox::Receive);
    }
    // Delivers the system's notifications.
    void Turn() {
        for (int i = 0; i < 3; ++i) plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    }
    // Rows as "name use stat".
    std::vector<std::string> Rows() {
        std::vector<std::string> out;
        const MidiInTable& t = manager->Table();
        for (uint32_t r = 0; r < t.RowCount(); ++r)
            out.push_back(std::string(t.GetName(r).CStr()) + (t.GetUse(r) ? " on " : " off ") +
                          std::to_string(t.GetStat(r)));
        return out;
    }
    bool IsEnabled(const char* name) { return CParamSet::Find(Enabled(), LString(name)) >= 0; }
    void Send(plat::MidiObjectId source, std::vector<std::vector<uint8_t>> packets) {
        ASSERT_TRUE(midi->Send(source, plat::MakeMidiPacketList(packets)));
        midi->Flush();
    }
    int RowOf(const char* name) {
        const MidiInTable& t = manager->Table();
        for (uint32_t r = 0; r < t.RowCount(); ++r)
            if (t.GetName(r) == name) return int(r);
        return -1;
    }

    CAppPrefs prefs;
    plat::VirtualMidiSystem* midi = nullptr;
    std::unique_ptr<CMidiClient> client;
    Inbox inbox;
    std::unique_ptr<CMidiInManager> manager;
};

TEST_F(CMidiInManagerTest, ComposedNames) {
    const auto a = midi->AddSource("Port 1", "Keys", "Main");
    const auto b = midi->AddSource("Out", "Box", "");  // an entity without a name
    const auto c = midi->AddSource("Loose");           // no device, no entity
    EXPECT_EQ(MidiSourceName(*midi, a), "Keys Main Port 1");
    EXPECT_EQ(MidiSourceName(*midi, b), "Box Out");
    EXPECT_EQ(MidiSourceName(*midi, c), "Loose");
    EXPECT_EQ(MidiSourceName(*midi, 0), "");
}

TEST_F(CMidiInManagerTest, RowsFollowTheSourcesAndUseConnects) {
    Start();
    ASSERT_TRUE(Table().Get());
    EXPECT_TRUE(Rows().empty());

    const auto keys = midi->AddSource("Port 1", "Keys", "Main");
    Turn();
    EXPECT_EQ(Rows(), std::vector<std::string>{"Keys Main Port 1 off 0"});
    EXPECT_EQ(client->System()->GetSource(0), keys);

    manager->Table().SetUse(0, true);
    EXPECT_EQ(Rows(), std::vector<std::string>{"Keys Main Port 1 on 1"});
    EXPECT_TRUE(IsEnabled("Keys Main Port 1"));
    ASSERT_NE(manager->PortAt(0), nullptr);
    EXPECT_TRUE(manager->PortAt(0)->IsOnline());
    Send(keys, {{0x90, 0x3C, 0x64, 0x80, 0x3C, 0x00}, {0xB0, 0x07, 0x7F}});
    EXPECT_EQ(inbox.Take(), (std::vector<std::string>{"90 3C 64", "80 3C 00", "B0 07 7F"}));

    midi->SetOffline(keys, true);
    EXPECT_FALSE(manager->PortAt(0)->IsOnline());

    manager->Table().SetUse(0, false);
    EXPECT_EQ(Rows(), std::vector<std::string>{"Keys Main Port 1 off 0"});
    EXPECT_FALSE(IsEnabled("Keys Main Port 1"));
    Send(keys, {{0x90, 0x3C, 0x64}});
    EXPECT_TRUE(inbox.Take().empty());

    midi->RemoveSource(keys);
    Turn();
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(manager->PortAt(0), nullptr);
}

TEST_F(CMidiInManagerTest, UseOnAVanishedSourceFails) {
    const auto gone = midi->AddSource("Gone", "Dev", "");
    Start();
    ASSERT_EQ(Rows(), std::vector<std::string>{"Dev Gone off 0"});
    midi->RemoveSource(gone);  // not yet noticed: the row is still there
    manager->Table().SetUse(0, true);
    EXPECT_EQ(Rows(), std::vector<std::string>{"Dev Gone on 2"});
    EXPECT_TRUE(IsEnabled("Dev Gone"));
    Turn();
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(IsEnabled("Dev Gone"));  // kept for when it comes back
}

TEST_F(CMidiInManagerTest, EnabledSourceConnectsWhenItComes) {
    CParamSet::SetString(Enabled(), nullptr, LString("Synth Out"), LString("1"));
    Start();
    EXPECT_TRUE(Rows().empty());
    const auto synth = midi->AddSource("Out", "Synth", "");
    Turn();
    EXPECT_EQ(Rows(), std::vector<std::string>{"Synth Out on 1"});
    Send(synth, {{0xC5, 0x07}});
    EXPECT_EQ(inbox.Take(), std::vector<std::string>{"C5 07 00"});

    // A source known at the start is switched on through the same path.
    manager.reset();
    Start();
    EXPECT_EQ(Rows(), std::vector<std::string>{"Synth Out on 1"});

    // Removing the name from the set switches the row off.
    CParamSet::SetString(Enabled(), nullptr, LString("Synth Out"), LString());
    EXPECT_EQ(Rows(), std::vector<std::string>{"Synth Out off 0"});
}

TEST_F(CMidiInManagerTest, SameNamedSourcesGetDistinctRowsAndOnlyTheirOwnMessages) {
    const auto first = midi->AddSource("MIDI", "Twin", "");
    const auto second = midi->AddSource("MIDI", "Twin", "");
    const auto third = midi->AddSource("MIDI", "Twin", "");
    Start();
    EXPECT_EQ(Rows(),
              (std::vector<std::string>{"Twin MIDI off 0", "Twin MIDI 2 off 0", "Twin MIDI 3 off 0"}));
    manager->Table().SetUse(1, true);
    EXPECT_EQ(manager->PortAt(1)->ConnectedSource(), second);
    Send(first, {{0x90, 0x01, 0x01}});
    Send(second, {{0x90, 0x02, 0x02}});
    Send(third, {{0x90, 0x03, 0x03}});
    EXPECT_EQ(inbox.Take(), std::vector<std::string>{"90 02 02"});

    manager->Table().SetUse(0, true);
    EXPECT_EQ(manager->PortAt(0)->ConnectedSource(), first);
    Send(first, {{0x90, 0x01, 0x01}});
    Send(second, {{0x90, 0x02, 0x02}});
    EXPECT_EQ(inbox.Take(), (std::vector<std::string>{"90 01 01", "90 02 02"}));
    EXPECT_TRUE(IsEnabled("Twin MIDI"));
    EXPECT_TRUE(IsEnabled("Twin MIDI 2"));
}

TEST_F(CMidiInManagerTest, RenamedSourceGetsANewRow) {
    const auto s = midi->AddSource("A", "Dev", "");
    Start();
    manager->Table().SetUse(0, true);
    midi->RenameSource(s, "B");
    Turn();
    EXPECT_EQ(Rows(), std::vector<std::string>{"Dev B off 0"});
    EXPECT_TRUE(IsEnabled("Dev A"));
}

TEST_F(CMidiInManagerTest, BurstArrivesInOrderWithNoneLost) {
    const auto s = midi->AddSource("Fast", "Dev", "");
    Start();
    manager->Table().SetUse(0, true);
    std::atomic<uint32_t> next{0};
    std::atomic<uint32_t> wrong{0};
    struct Counter {
        std::atomic<uint32_t>* next;
        std::atomic<uint32_t>* wrong;
    } counter{&next, &wrong};
    ASSERT_EQ(manager->PortAt(0)->Connect("Dev Fast", &counter,
                                          [](void* context, const MidiInMessage* m) {
                                              auto* c = static_cast<Counter*>(context);
                                              const uint32_t n = c->next->fetch_add(1);
                                              if (m->data1 != ((n >> 7) & 0x7F) || m->data2 != (n & 0x7F))
                                                  c->wrong->fetch_add(1);
                                          }),
              CMidiInPort::kConnected);
    for (uint32_t n = 0; n < 10000; ++n)
        ASSERT_TRUE(
            midi->Send(s, plat::MakeMidiPacketList({{0xB0, uint8_t((n >> 7) & 0x7F), uint8_t(n & 0x7F)}})));
    midi->Flush();
    EXPECT_EQ(next.load(), 10000u);
    EXPECT_EQ(wrong.load(), 0u);
}

TEST_F(CMidiInManagerTest, PortsWithoutAClientNeverDeliver) {
    client.reset();
    auto port = CMidiInPort::Create("x");
    EXPECT_EQ(port->Connect("anything", nullptr, nullptr), CMidiInPort::kNoPort);
    EXPECT_FALSE(port->IsOnline());
}

}  // namespace
