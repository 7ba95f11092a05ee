// One suite for every MIDI backend: a driver adds sources and sends from outside the system under
// test, which must list them, notify, and deliver what was sent, in order.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Foundation/RunLoop.h"
#include "Platform/MIDI/MidiPacketList.h"
#include "Platform/MIDI/jack/JackMidiSystem.h"
#include "Platform/MIDI/virtual/VirtualMidiSystem.h"
#include "tests/support/JackMidiSender.h"
#include "tests/support/JackServer.h"

namespace {

using Messages = std::vector<std::vector<uint8_t>>;

class Driver {
public:
    virtual ~Driver() = default;
    // Empty when ready; else the reason to skip.
    virtual std::string Problem() { return ""; }
    virtual plat::MidiSystem* System() = 0;
    // The device name the sources of this driver show.
    virtual std::string Device() = 0;
    virtual int AddSource(const std::string& name) = 0;
    virtual void RemoveSource(int source) = 0;
    // All messages in one go (one period, one list), one packet each.
    virtual void Send(int source, const Messages& messages) = 0;
};

class VirtualDriver : public Driver {
public:
    plat::MidiSystem* System() override { return &fSystem; }
    std::string Device() override { return "drv"; }
    int AddSource(const std::string& name) override {
        fIds.push_back(fSystem.AddSource(name, "drv", ""));
        return int(fIds.size() - 1);
    }
    void RemoveSource(int source) override { fSystem.RemoveSource(fIds[size_t(source)]); }
    void Send(int source, const Messages& messages) override {
        (void)fSystem.Send(fIds[size_t(source)], plat::MakeMidiPacketList(messages));
    }

private:
    plat::VirtualMidiSystem fSystem;
    std::vector<plat::MidiObjectId> fIds;
};

class JackDriver : public Driver {
public:
    JackDriver() {
        if (!fServer.Problem().empty()) return;
        fSystem = plat::JackMidiSystem::Open("orbilume-conformance");
        fSender = std::make_unique<testsupport::JackMidiSender>("drv");
    }
    std::string Problem() override {
        if (!fServer.Problem().empty()) return fServer.Problem();
        if (!fSystem || !fSender->Ok()) return "could not open JACK clients";
        return "";
    }
    plat::MidiSystem* System() override { return fSystem.get(); }
    std::string Device() override { return fSender->ClientName(); }
    int AddSource(const std::string& name) override { return fSender->AddPort(name); }
    void RemoveSource(int source) override { fSender->RemovePort(source); }
    void Send(int source, const Messages& messages) override {
        ASSERT_TRUE(fSender->Send(source, messages));
        fSender->Drain();
    }
    plat::JackMidiSystem* Jack() { return fSystem.get(); }

private:
    testsupport::JackServer fServer;
    std::unique_ptr<plat::JackMidiSystem> fSystem;
    std::unique_ptr<testsupport::JackMidiSender> fSender;
};

std::unique_ptr<Driver> MakeDriver(const std::string& name) {
    if (name == "jack") return std::make_unique<JackDriver>();
    return std::make_unique<VirtualDriver>();
}

class MidiConformance : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        driver = MakeDriver(GetParam());
        const std::string problem = driver->Problem();
        if (!problem.empty()) GTEST_SKIP() << problem;
        system = driver->System();
        client = system->CreateClient("conformance", Notify, this);
        ASSERT_NE(client, 0u);
    }
    void TearDown() override {
        if (system && client) system->DisposeClient(client);
    }
    static void Notify(int32_t notification, void* context) {
        if (notification == plat::kMidiNotifySetupChanged) ++static_cast<MidiConformance*>(context)->notes;
    }
    static void Read(const uint8_t* list, size_t size, void* context) {
        auto* self = static_cast<MidiConformance*>(context);
        plat::MidiPacketListReader reader(list, size);
        plat::MidiPacket p;
        std::lock_guard<std::mutex> lock(self->mutex);
        while (reader.Next(p)) self->received.emplace_back(p.data, p.data + p.length);
    }
    // Turns the run loop until the condition holds (at most 5 s).
    bool TurnUntil(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, false);
        }
        return true;
    }
    // The source whose device and own name are these, by the device -> entity -> source walk.
    plat::MidiObjectId Find(const std::string& name) {
        for (uint32_t d = 0; d < system->DeviceCount(); ++d) {
            const plat::MidiObjectId device = system->GetDevice(d);
            std::string deviceName;
            if (!system->GetName(device, deviceName) || deviceName != driver->Device()) continue;
            for (uint32_t e = 0; e < system->EntityCount(device); ++e) {
                const plat::MidiObjectId entity = system->GetEntity(device, e);
                for (uint32_t s = 0; s < system->EntitySourceCount(entity); ++s) {
                    const plat::MidiObjectId source = system->GetEntitySource(entity, s);
                    std::string sourceName;
                    if (system->GetName(source, sourceName) && sourceName == name) return source;
                }
            }
        }
        return 0;
    }
    bool Listed(plat::MidiObjectId source) {
        for (uint32_t i = 0; plat::MidiObjectId s = system->GetSource(i); ++i)
            if (s == source) return true;
        return false;
    }
    Messages Received() {
        std::lock_guard<std::mutex> lock(mutex);
        return received;
    }

    std::unique_ptr<Driver> driver;
    plat::MidiSystem* system = nullptr;
    plat::MidiObjectId client = 0;
    int notes = 0;
    std::mutex mutex;
    Messages received;
};

TEST_P(MidiConformance, SourcesAppearAndVanishWithNotifications) {
    const int out = driver->AddSource("out");
    ASSERT_GE(out, 0);
    ASSERT_TRUE(TurnUntil([&] { return notes > 0 && Find("out") != 0; }));
    const plat::MidiObjectId source = Find("out");
    EXPECT_TRUE(Listed(source));
    int32_t offline = -1;
    EXPECT_TRUE(system->GetOffline(source, offline));
    EXPECT_EQ(offline, 0);

    notes = 0;
    driver->RemoveSource(out);
    ASSERT_TRUE(TurnUntil([&] { return notes > 0 && !Listed(source); }));
    EXPECT_EQ(Find("out"), 0u);
    const plat::MidiObjectId port = system->CreateInputPort(client, "in", Read, this);
    ASSERT_NE(port, 0u);
    EXPECT_FALSE(system->ConnectSource(port, source));
    EXPECT_FALSE(system->ConnectSource(port, 0));
    system->DisposePort(port);
}

TEST_P(MidiConformance, DeliversWhatWasSentInOrder) {
    const int out = driver->AddSource("out");
    ASSERT_TRUE(TurnUntil([&] { return Find("out") != 0; }));
    const plat::MidiObjectId port = system->CreateInputPort(client, "in", Read, this);
    ASSERT_NE(port, 0u);
    ASSERT_TRUE(system->ConnectSource(port, Find("out")));

    const Messages messages = {{0x90, 0x3C, 0x64}, {0xB0, 0x07, 0x7F},
                               {0xC5, 0x07},       {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7},
                               {0xF1, 0x23},       {0x80, 0x3C, 0x00}};
    driver->Send(out, messages);
    ASSERT_TRUE(TurnUntil([&] { return Received().size() >= messages.size(); }));
    EXPECT_EQ(Received(), messages);

    system->DisconnectSource(port, Find("out"));
    driver->Send(out, {{0xF8}});
    system->DisposePort(port);
    driver->Send(out, {{0xFA}});
    EXPECT_EQ(Received(), messages);
}

TEST_P(MidiConformance, TwoPortsOnOneSourceBothReceive) {
    const int out = driver->AddSource("out");
    ASSERT_TRUE(TurnUntil([&] { return Find("out") != 0; }));
    const plat::MidiObjectId a = system->CreateInputPort(client, "in", Read, this);
    const plat::MidiObjectId b = system->CreateInputPort(client, "in", Read, this);
    ASSERT_TRUE(system->ConnectSource(a, Find("out")));
    ASSERT_TRUE(system->ConnectSource(b, Find("out")));
    driver->Send(out, {{0xFE}});
    ASSERT_TRUE(TurnUntil([&] { return Received().size() >= 2; }));
    EXPECT_EQ(Received(), (Messages{{0xFE}, {0xFE}}));
    system->DisposePort(a);
    system->DisposePort(b);
}

INSTANTIATE_TEST_SUITE_P(Backend, MidiConformance, ::testing::Values(ORBILUME_MIDI_BACKEND));

}  // namespace
