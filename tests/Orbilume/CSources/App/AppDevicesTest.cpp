// The application's device inputs and windows: the USB DMX input on the simulated interface, MIDI
// through the application's input manager, the sound input on a private PulseAudio server, the
// MIDI and timecode windows and the HTTP panel's dialog.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LDialog.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CDmxIoDlg.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Http/FormServer.h"
#include "Orbilume/CSources/HttpUI/CFormServerDlg.h"
#include "Orbilume/CSources/Midi/CMidiClient.h"
#include "Orbilume/CSources/Midi/CMidiInManager.h"
#include "Orbilume/CSources/MidiUI/CMultiMidiInWin.h"
#include "Orbilume/CSources/Sound/SoundInputSpec.h"
#include "Orbilume/CSources/SoundUI/CSoundInSel.h"
#include "Orbilume/CSources/SoundUI/CTcReaderWin.h"
#include "Orbilume/CSources/Timecode/TimecodeSource.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoManager.h"
#include "Platform/AppKit/Bell.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Audio/pulse/PulseAudioSystem.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/MIDI/MidiPacketList.h"
#include "Platform/MIDI/virtual/VirtualMidiSystem.h"
#include "Platform/USB/sim/SimDmxInterface.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/PulseServer.h"

namespace {

using apptest::AppFixture;
using P = CAppPrefs;

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

std::function<uint32_t(LModalDialog*)> gAnswer;
uint32_t Answer(LModalDialog* dialog) {
    return gAnswer ? gAnswer(dialog) : 2;
}

bool Shown(const LFrame* f) {
    return f->Window() && f->Window()->NativeWindow()->IsVisible();
}

// Turns the main run loop until done() or five seconds passed.
bool Pump(const std::function<bool()>& done, double seconds = 5) {
    const auto t0 = std::chrono::steady_clock::now();
    while (!done()) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() > seconds) return false;
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
    }
    return true;
}

class AppDevicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kFontsPinned);
        host.Plug(sim.get());
        plat::UsbHost::SetCurrent(&host);
    }
    void Start() {
        app.Create();
        CMainApp::SetDialogRunner(&Answer);
        gMainApp->OpenRequest({});
    }
    void TearDown() override {
        CMainApp::SetDialogRunner(nullptr);
        gAnswer = nullptr;
        app.Delete();
        plat::UsbHost::SetCurrent(nullptr);
    }
    CRecord* Prefs() { return CAppPrefs::Get()->Root(); }
    // The enabled and marked state of the command after "LMenuBar_Ready".
    std::pair<bool, bool> Ready(const char* command) {
        LMenuBar bar(nullptr);
        auto* menu = new LMenu(&bar, LString("Test"));
        bar.AppendMenu(menu);
        auto* item = new LMenuItem(menu);
        item->SetCommand(command);
        menu->AppendItem(item);
        (void)gMainApp->Handle(LMessage(LMenuBar_Ready, &bar, gMainApp));
        return {item->IsEnabled(), item->IsMarked()};
    }

    AppFixture app;
    plat::sim::SimUsbHost host;
    plat::Ref<plat::sim::SimDmxInterface> sim = plat::sim::SimDmxInterface::Make(2, 3, "SIM1");
};

TEST_F(AppDevicesTest, UsbDmxInputClaimsTheChosenInterfaceAndItsFramesReachTheHub) {
    Start();
    std::string offered;
    gAnswer = [&offered](LModalDialog* d) {
        offered = static_cast<CDmxIoDlg*>(d)->SelectedKey().CStr();
        return 1u;
    };
    AppFixture::Command(gMainApp, "cDmxIn");
    EXPECT_EQ(offered, "SIM1");
    EXPECT_STREQ(Prefs()->GetString(P::kPrefUsbDmxKey).CStr(), "SIM1");
    EXPECT_EQ(Prefs()->GetByte(P::kPrefUsbDmxOn), 1);
    ASSERT_NE(gMainApp->UsbDmxInput(), nullptr);
    ASSERT_TRUE(Pump([] { return gMainApp->UsbDmxInput()->IsOpen(); }));
    EXPECT_EQ(Ready("cDmxIn"), std::make_pair(true, true));

    // A frame holding only a start code offers nothing; a whole frame its slots (a frame ends
    // where the next one starts).
    sim->SendReports(plat::sim::SimDmxInterface::EncodeFrames({{0}, {0, 11, 22, 33}, {0}}));
    ASSERT_TRUE(Pump([] {
        gMainApp->DmxMerge().Deliver();
        return CCtlInHub::Global()->DmxValue(0) == 11;
    }));
    EXPECT_EQ(CCtlInHub::Global()->DmxValue(1), 22);
    EXPECT_EQ(CCtlInHub::Global()->DmxValue(2), 33);

    // Cancel releases the claim and switches the input off.
    gAnswer = [](LModalDialog*) { return 2u; };
    AppFixture::Command(gMainApp, "cDmxIn");
    EXPECT_EQ(gMainApp->UsbDmxInput(), nullptr);
    EXPECT_EQ(Prefs()->GetByte(P::kPrefUsbDmxOn), 0);
    EXPECT_EQ(gMainApp->UsbDmx().EntryCount(), 0u);
    EXPECT_EQ(Ready("cDmxIn"), std::make_pair(true, false));
}

TEST_F(AppDevicesTest, UsbDmxInputOfAnAbsentInterfaceBeepsAndTheStoredInputOpensAtStart) {
    // Stored from an earlier run: opened at start-up.
    app.Create();
    (void)CAppPrefs::Get()->RootRef().SetString(nullptr, P::kPrefUsbDmxKey, LString("SIM1"));
    (void)CAppPrefs::Get()->RootRef().SetByte(nullptr, P::kPrefUsbDmxOn, 1);
    CMainApp::SetDialogRunner(&Answer);
    gMainApp->OpenRequest({});
    ASSERT_NE(gMainApp->UsbDmxInput(), nullptr);
    EXPECT_TRUE(Pump([] { return gMainApp->UsbDmxInput()->IsOpen(); }));

    // Unplugged: the dialog offers no key, the choice is stored empty and nothing opens.
    host.Unplug(sim.get());
    gAnswer = [](LModalDialog*) { return 1u; };
    const uint32_t rings = plat::Bell::RingCount();
    AppFixture::Command(gMainApp, "cDmxIn");
    EXPECT_EQ(plat::Bell::RingCount(), rings + 1);
    EXPECT_STREQ(Prefs()->GetString(P::kPrefUsbDmxKey).CStr(), "");
    EXPECT_EQ(Ready("cDmxIn"), std::make_pair(true, false));
}

TEST_F(AppDevicesTest, MidiSourcesListedByTheApplicationReachTheHubAndTheTimecodeSource) {
    Start();
    plat::MidiSystem* system = CMidiClient::Get()->System();
    ASSERT_NE(system, nullptr);
    ASSERT_STREQ(system->BackendName(), "virtual") << "this test feeds Platform/MIDI's in-process source";
    auto* midi = static_cast<plat::VirtualMidiSystem*>(system);
    const plat::MidiObjectId keys = midi->AddSource("Port 1", "Keys", "Main");
    CMidiInManager* manager = gMainApp->MidiInput();
    ASSERT_NE(manager, nullptr);
    ASSERT_TRUE(Pump([&] { return manager->Table().RowCount() == 1; }));
    EXPECT_STREQ(manager->Table().GetName(0).CStr(), "Keys Main Port 1");
    manager->Table().SetUse(0, true);
    ASSERT_EQ(manager->Table().GetStat(0), 1);

    auto send = [&](std::vector<std::vector<uint8_t>> packets) {
        ASSERT_TRUE(midi->Send(keys, plat::MakeMidiPacketList(packets)));
        midi->Flush();
    };
    // A note and a controller reach the hub; quarter frames of 01:02:03:04 the timecode source.
    send({{0x90, 0x3C, 0x40}, {0xB1, 0x07, 0x64}});
    EXPECT_EQ(CCtlInHub::Global()->MidiNote(0, 0x3C), 0x80 | 0x40);
    EXPECT_EQ(CCtlInHub::Global()->MidiCc(1, 7), 0x64);
    send({{0xF1, 0x04, 0xF1, 0x10, 0xF1, 0x23, 0xF1, 0x30, 0xF1, 0x42, 0xF1, 0x50, 0xF1, 0x61, 0xF1, 0x76, 0xF1,
           0x06}});
    TimecodeSource* mtc = gMainApp->TimecodeSources().mtc;
    ASSERT_NE(mtc, nullptr);
    EXPECT_TRUE(Pump([&] { return mtc->GetTime().Format() == "01:02:03:06"; })) << mtc->GetTime().Format();

    // Switching the row off releases the held note.
    manager->Table().SetUse(0, false);
    EXPECT_EQ(manager->Table().GetStat(0), 0);
    EXPECT_EQ(CCtlInHub::Global()->MidiNote(0, 0x3C) & 0x80, 0);
    midi->RemoveSource(keys);
}

TEST_F(AppDevicesTest, MidiAndTimecodeCommandsShowTheirWindows) {
    Start();
    EXPECT_EQ(Ready("cMidiIn"), std::make_pair(true, false));
    EXPECT_EQ(Ready("cSMPTEIn"), std::make_pair(true, false));
    AppFixture::Command(gMainApp, "cMidiIn");
    ASSERT_NE(gMainApp->MidiInputWindow(), nullptr);
    EXPECT_TRUE(Shown(gMainApp->MidiInputWindow()));
    EXPECT_EQ(gMainApp->TimecodeWindow(), nullptr) << "made on first use";
    AppFixture::Command(gMainApp, "cSMPTEIn");
    ASSERT_NE(gMainApp->TimecodeWindow(), nullptr);
    EXPECT_TRUE(Shown(gMainApp->TimecodeWindow()));

    // Its settings go into 'stcr': shown at the end, made and shown again at the next start.
    app.Delete();
    app.Create();
    CRecord* stcr = CAppPrefs::Get()->Root()->GetSubRecord(P::kPrefTimecodeWin);
    ASSERT_NE(stcr, nullptr);
    EXPECT_EQ(CParamSet::GetIntOr(CRecordRef(&stcr), LString("vis"), 0), 1);
    gMainApp->OpenRequest({});
    ASSERT_NE(gMainApp->TimecodeWindow(), nullptr);
    EXPECT_TRUE(Shown(gMainApp->TimecodeWindow()));
}

// A start-up window that notes when it was shown and hidden.
struct StartupTimes {
    std::chrono::steady_clock::time_point shown, hidden;
    bool visible = false;
};
StartupTimes gStartup;

class FakeStartup : public IDocWindow {
public:
    LHandler* Handler() override { return &handler; }
    void Show() override {
        gStartup.shown = std::chrono::steady_clock::now();
        gStartup.visible = true;
    }
    void Hide() override {
        gStartup.hidden = std::chrono::steady_clock::now();
        gStartup.visible = false;
    }
    bool IsVisible() const override { return gStartup.visible; }
    void Select() override {}
    CLRect Frame() const override { return CLRect{}; }
    void SetFrame(const CLRect&) override {}
    void SetTitle(const LString&) override {}
    LHandler handler;
};

TEST_F(AppDevicesTest, TheStartUpWindowStaysUpForItsHoldThenCloses) {
    SetAppWindowFactory(EAppWindow::kStartup,
                        [](LHandler*) -> std::unique_ptr<IDocWindow> { return std::make_unique<FakeStartup>(); });
    CMainApp::SetStartupHoldMs(400);
    gStartup = StartupTimes{};
    Start();
    SetAppWindowFactory(EAppWindow::kStartup, nullptr);
    CMainApp::SetStartupHoldMs(CMainApp::kStartupHoldMs);
    EXPECT_FALSE(gStartup.visible);
    EXPECT_GE(gStartup.hidden - gStartup.shown, std::chrono::milliseconds(400));
    EXPECT_LT(gStartup.hidden - gStartup.shown, std::chrono::milliseconds(4000)) << "the hold set, not the default";
}

// A TCP port on the wildcard address that is free now.
uint16_t FreeTcpPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    socklen_t n = sizeof a;
    uint16_t port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0) close(fd);
    return port;
}

bool ConnectsOnLoopback(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (fd >= 0) close(fd);
    return ok;
}

TEST_F(AppDevicesTest, HttpPanelDialogListensOnItsPortAPortInUseBeepsCancelStops) {
    Start();
    auto answer = [](uint16_t port, LMsgId id) {
        AppFixture::Command(gMainApp, "cFormSvr");
        CFormServerDlg* dialog = gMainApp->FormServerDialog();
        ASSERT_NE(dialog, nullptr);
        dialog->PortField()->SetValue(float(port));
        LHandler::Dispatch(LMessage(id, dialog, gMainApp));
        EXPECT_EQ(gMainApp->FormServerDialog(), nullptr);
    };
    CRecord* fmsv = Prefs()->GetSubRecord(P::kPrefFormServer);
    ASSERT_NE(fmsv, nullptr);
    const uint16_t port = FreeTcpPort();
    answer(port, LDialog_Default);
    EXPECT_EQ(CParamSet::GetIntOr(CRecordRef(&fmsv), LString("use"), 0), 1);
    EXPECT_EQ(CParamSet::GetIntOr(CRecordRef(&fmsv), LString("port"), 0), port);
    ASSERT_NE(gMainApp->FormServer(), nullptr);
    EXPECT_EQ(gMainApp->FormServer()->Port(), port);
    EXPECT_TRUE(ConnectsOnLoopback(port));
    EXPECT_EQ(Ready("cFormSvr"), std::make_pair(true, true));

    // Another listener holds the next port.
    const int busy = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    socklen_t n = sizeof a;
    ASSERT_EQ(bind(busy, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(busy, 1), 0);
    ASSERT_EQ(getsockname(busy, reinterpret_cast<sockaddr*>(&a), &n), 0);
    const uint32_t rings = plat::Bell::RingCount();
    answer(ntohs(a.sin_port), LDialog_Default);
    EXPECT_EQ(plat::Bell::RingCount(), rings + 1);
    EXPECT_LT(gMainApp->FormServer()->Port(), 0);
    close(busy);

    answer(port, LDialog_Escape);
    EXPECT_EQ(CParamSet::GetIntOr(CRecordRef(&fmsv), LString("use"), 1), 0);
    EXPECT_LT(gMainApp->FormServer()->Port(), 0);
    EXPECT_EQ(Ready("cFormSvr"), std::make_pair(true, false));
}

// The sound input on a private PulseAudio server: a tone played on "Speakers" is captured from its
// monitor into the hub's sample ring.
class AppSoundTest : public AppDevicesTest {
protected:
    void SetUp() override {
        AppDevicesTest::SetUp();
        if (!server.Ok()) GTEST_SKIP() << server.Why();
        if (std::system("command -v sox >/dev/null && command -v paplay >/dev/null") != 0)
            GTEST_SKIP() << "sox or paplay is not installed";
        audio = plat::PulseAudioSystem::Connect("orbilume-test");
        ASSERT_NE(audio, nullptr);
        plat::SetAudioSystem(audio.get());
    }
    void TearDown() override {
        AppDevicesTest::TearDown();
        plat::SetAudioSystem(nullptr);
    }
    // The loudest sample of the hub's ring.
    int Loudest() {
        CCtlInSoundSource& s = gMainApp->SoundSamples();
        s.Lock();
        int most = 0;
        for (const auto& pair : s.Ring().frames) most = std::max({most, std::abs(int(pair[0])), std::abs(int(pair[1]))});
        s.Unlock();
        return most;
    }
    bool PlayTone() {
        const std::string wav = server.Dir().File("tone.wav");
        const std::string make = "sox -n -r 44100 -c 2 -b 16 " + wav + " synth 1.5 sine 440 vol 0.5";
        return std::system(make.c_str()) == 0 &&
               std::system(("paplay --device=speakers " + wav + " &").c_str()) == 0;
    }

    testsupport::PulseServer server;
    std::unique_ptr<plat::PulseAudioSystem> audio;
};

TEST_F(AppSoundTest, ChosenDeviceIsStoredOpenedAndItsSoundReachesTheHub) {
    Start();
    gAnswer = [](LModalDialog* d) {
        SoundInputSpec spec;
        spec.device = LString("Speakers");
        static_cast<CSoundInSel*>(d)->Set(spec);
        return 1u;
    };
    AppFixture::Command(gMainApp, "cSoundIn");
    EXPECT_EQ(Prefs()->GetByte(P::kPrefSoundIn), 1);
    CRecord* sisp = Prefs()->GetSubRecord(P::kPrefSoundSelect);
    ASSERT_NE(sisp, nullptr);
    SoundInputSpec stored;
    stored.ReadSettings(CRecordRef(&sisp));
    EXPECT_STREQ(stored.device.CStr(), "Speakers");
    ASSERT_EQ(Ready("cSoundIn"), std::make_pair(true, true));

    ASSERT_TRUE(PlayTone());
    EXPECT_TRUE(Pump([&] { return Loudest() > 8000; }, 8)) << Loudest();

    // Cancel closes it and switches it off; the next start leaves it closed.
    gAnswer = [](LModalDialog*) { return 2u; };
    AppFixture::Command(gMainApp, "cSoundIn");
    EXPECT_EQ(Prefs()->GetByte(P::kPrefSoundIn), 0);
    EXPECT_EQ(Ready("cSoundIn"), std::make_pair(true, false));
}

TEST_F(AppSoundTest, StoredInputOpensAtStartAMissingDeviceStaysClosed) {
    struct Row {
        const char* device;
        bool opens;
    };
    for (const Row& r : {Row{"Speakers", true}, Row{"No Such Device", false}}) {
        SCOPED_TRACE(r.device);
        app.Create();
        CRecordRef prefs = CAppPrefs::Get()->RootRef();
        SoundInputSpec spec;
        spec.device = LString(r.device);
        spec.WriteSettings(CRecordRef(&prefs->Slot(P::kPrefSoundSelect).record), nullptr);
        (void)prefs.SetByte(nullptr, P::kPrefSoundIn, 1);
        gMainApp->OpenRequest({});
        EXPECT_EQ(Ready("cSoundIn").second, r.opens);
        app.Delete();
    }
}

}  // namespace
