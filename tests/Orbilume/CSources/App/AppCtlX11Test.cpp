// The scene and sequence control dialogs of the application with the show fixture, on a private X
// server and inside the private namespace of netns-run: the command opens the dialog, xdotool does
// every input in it, and then an ArtDmx packet from a Python socket recalls a scene and a note-on
// from the virtual MIDI source selects a sequence.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/CScriptLayoutPane.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/DmxIn/CArtNetIn.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/CSeqPlayer.h"
#include "Orbilume/CSources/Editors/CNoteVol.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Editors/CScnCtlDlg.h"
#include "Orbilume/CSources/Editors/UCtlDlgCmds.h"
#include "Orbilume/CSources/Midi/CMidiClient.h"
#include "Orbilume/CSources/Midi/CMidiInPort.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/MIDI/MidiPacketList.h"
#include "Platform/MIDI/virtual/VirtualMidiSystem.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"
#include "tests/Orbilume/CSources/Editors/HiddenPaneTrace.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/MenuPixels.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/TempDir.h"
#include "tests/support/WindowShot.h"
#include "tests/support/XvfbServer.h"

namespace {

using apptest::AppFixture;
using T = CDocModelTypes;
using P = CAppPrefs;

class AppCtlX11Test;
AppCtlX11Test* gTest = nullptr;

class AppCtlX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::NetNamespace::Inside()) GTEST_SKIP() << "needs the private namespace of netns-run";
        if (testsupport::CommandOutput("command -v Xvfb").empty()) GTEST_SKIP() << "Xvfb is not installed";
        if (testsupport::CommandOutput("command -v xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
        testsupport::PinFontsToDejaVu();
        server = std::make_unique<testsupport::XvfbServer>("1024x768x24");
        ASSERT_TRUE(server->Ok()) << "Xvfb did not start";
        backend = plat::x11::X11Backend::Open(server->Display().c_str());
        ASSERT_TRUE(backend);
        previous = plat::CurrentBackend();
        plat::SetBackend(backend.get());
        ASSERT_TRUE(backend->Start());
        app.Create();
        CRecordRef prefs = CAppPrefs::Get()->RootRef();
        (void)prefs.SetByte(nullptr, P::kPrefArtNetIn, 1);
        (void)prefs.SetByte(nullptr, P::kPrefArtNetNet, 1);
        (void)prefs.SetByte(nullptr, P::kPrefArtNetSubUni, 0x23);
        gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
        ASSERT_EQ(gMainApp->DocumentCount(), 1u);
        doc = gMainApp->DocumentAt(0);
        gTest = this;
    }
    void TearDown() override {
        UCtlDlgCmds::SetRunner(nullptr);
        gTest = nullptr;
        midiPort.reset();
        app.Delete();
        if (backend) {
            plat::SetBackend(previous);
            backend.reset();
        }
    }

public:
    // Runs the dialog's modal loop in slices until done() holds.
    static bool Step(LModalDialog* d, const std::function<bool()>& done, double wait = 5) {
        const double until = plat::ClockNow() + wait;
        while (!done() && plat::ClockNow() < until) (void)d->Run(20);
        return done();
    }
    static void Idle(LModalDialog* d, double seconds) {
        (void)Step(d, [] { return false; }, seconds);
    }
    void X(const std::string& args, LModalDialog* d) {
        std::string cmd = "DISPLAY=" + server->Display() + " xdotool " + args;
        const std::string id = std::to_string(backend->XWindowOf(d->Window()->NativeWindow()));
        for (size_t at; (at = cmd.find("%W")) != std::string::npos;) cmd.replace(at, 2, id);
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    // A pane's rectangle in its window (bounds are in the owner's coordinates).
    static CLRect InWindow(LPane* pane) {
        const CLPoint o = pane->Owner() ? pane->Owner()->GetOriginIn(nullptr) : CLPoint{0, 0};
        const CLRect b = pane->Bounds();
        return {b.left + o.x, b.top + o.y, b.right + o.x, b.bottom + o.y};
    }
    static std::string In(LPane* pane, int32_t dx, int32_t dy) {
        const CLPoint origin = pane->GetOriginIn(nullptr);
        return std::to_string(origin.x + pane->Bounds().left + dx) + " " +
               std::to_string(origin.y + pane->Bounds().top + dy);
    }
    // Opens the pop-up with a click and moves from its current item to `value` with the keys.
    void Choose(LModalDialog* d, LPopupList* popup, int32_t value) {
        std::string keys;
        for (int32_t i = popup->GetValue(); i < value; ++i) keys += " Down";
        for (int32_t i = popup->GetValue(); i > value; --i) keys += " Up";
        testsupport::RunLater later(0.6, [&] { X("key" + keys + " Return", d); });
        X("mousemove --sync --window %W " + In(popup, 10, 8) + " click 1", d);
        (void)Step(d, [&] { return later.Ran(); });
        Idle(d, 0.3);
    }
    // Types the text over a knob's text and enters it, the knob taking the keyboard as a Tab gives it.
    void Type(LModalDialog* d, CNumVol* knob, const std::string& text) {
        knob->TakeFocus(0, true);
        (void)Step(d, [&] { return knob->Editor() != nullptr; });
        X("key ctrl+a", d);
        Idle(d, 0.2);
        X("type --delay 40 '" + text + "'", d);
        Idle(d, 0.3);
        X("key Return", d);
        Idle(d, 0.3);
    }
    uint32_t ClickOk(LModalDialog* d) {
        auto* dialog = static_cast<CScnCtlDlg*>(d);
        X("mousemove --sync --window %W " + In(dialog->OkButton(), 10, 8) + " click 1", d);
        return Step(d, [&] { return d->Result() != 0; }) ? d->Result() : 0;
    }
    static void Show(LModalDialog* d) {
        d->SetWindowFrame({100, 100, 640, 420});
        d->ShowWindow();
        (void)Step(d, [&] { return d->Bounds().Width() > 0; });
        gTest->X("windowfocus --sync %W", d);
        Idle(d, 0.3);
    }
    std::string Value(CRecordRef set, const char* key) {
        LString value;
        if (CParamSet::Find(set, LString(key), &value) < 0) return "(none)";
        return value.CStr();
    }

    std::unique_ptr<testsupport::XvfbServer> server;
    std::unique_ptr<plat::x11::X11Backend> backend;
    plat::Backend* previous = nullptr;
    testsupport::TempDir runtime;
    testsupport::EnvOverride runtimeVar{"XDG_RUNTIME_DIR", runtime.Path().c_str()};
    AppFixture app;
    CObDoc* doc = nullptr;
    std::unique_ptr<CMidiInPort> midiPort;
};

// Controller "dmx", usage "trig", channel 11 typed; label 6 shown, label 5 and the step boxes not.
uint32_t DriveScene(LModalDialog* d) {
    AppCtlX11Test& t = *gTest;
    auto* dialog = static_cast<CScnCtlDlg*>(d);
    AppCtlX11Test::Show(d);
    t.Choose(d, dialog->SourcePopup(), 1);
    if (dialog->SourcePopup()->GetValue() != 1) return 2;
    t.Choose(d, dialog->DmxMode(), 2);
    if (dialog->DmxMode()->GetValue() != 2) return 2;
    t.Type(d, dialog->DmxChannel(), "11");
    EXPECT_TRUE(dialog->DmxGroupB()->IsVisible());
    EXPECT_FALSE(dialog->DmxGroupA()->IsVisible());
    for (uint32_t i = 0; i < 3; ++i) EXPECT_FALSE(dialog->DmxCheck(i)->IsVisible()) << i;
    // On the screen: ink in label 6; nothing left of the panes hidden since the dialog opened on the
    // show's MIDI note page (the step boxes, label 5, the velocity check box...).
    const CLRect area = AppCtlX11Test::InWindow(d);
    const unsigned long window = t.backend->XWindowOf(d->Window()->NativeWindow());
    testsupport::WindowShot shot(t.server->Display(), window, area.left, area.top, area.Width(), area.Height());
    EXPECT_TRUE(shot.Ok());
    if (shot.Ok()) {
        const CLRect label6 = AppCtlX11Test::InWindow(dialog->DmxGroupB());
        EXPECT_LT(shot.Darkest(label6.left, label6.top, label6.right, label6.bottom), 100);
        std::vector<LFrame*> frames{d};
        for (uint32_t p = 0; p < CScnCtlDlg::kPageCount; ++p) frames.push_back(dialog->PagePane(p));
        EXPECT_EQ(panetrace::Traces(shot, frames, shot.Pixel(area.left + 1, area.top + 1)), "");
        // And the screen is what the dialog draws afresh.
        const CRgn all(CLRect{0, 0, area.Width(), area.Height()});
        d->Invalidate(all, all);
        AppCtlX11Test::Idle(d, 0.3);
        testsupport::WindowShot fresh(t.server->Display(), window, area.left, area.top, area.Width(),
                                      area.Height());
        EXPECT_TRUE(fresh.Ok());
        if (fresh.Ok()) {
            EXPECT_EQ(panetrace::Differences(shot, fresh, area), "");
        }
    }
    return t.ClickOk(d);
}

// Controller "mnt" on channel 1 at note "C 4".
uint32_t DriveSequence(LModalDialog* d) {
    AppCtlX11Test& t = *gTest;
    auto* dialog = static_cast<CScnCtlDlg*>(d);
    AppCtlX11Test::Show(d);
    t.Choose(d, dialog->SourcePopup(), 4);
    if (dialog->SourcePopup()->GetValue() != 4) return 2;
    t.Type(d, dialog->MidiChannel(CScnCtlDlg::kChannelNote), "1");
    t.Type(d, dialog->NoteKnob(), "C4");
    return t.ClickOk(d);
}

// Sends one ArtDmx for the port address with channel `channel` (1-based) at 255, the others at 0.
bool SendArtDmx(uint32_t universe, uint32_t channel) {
    const std::string script =
        "import socket,struct\n"
        "d=bytearray(512)\n"
        "d[" + std::to_string(channel - 1) + "]=255\n"
        "p=b\"Art-Net\\0\"+struct.pack(\"<H\",0x5000)+bytes([0,14,0,0])+struct.pack(\"<H\"," +
        std::to_string(universe) + ")+struct.pack(\">H\",512)+bytes(d)\n"
        "socket.socket(socket.AF_INET,socket.SOCK_DGRAM).sendto(p,(\"127.0.0.1\",6454))\n";
    return std::system(("python3 -c '" + script + "'").c_str()) == 0;
}

template <class Pred>
bool RunUntil(Pred done, double seconds = 10) {
    for (int i = 0; i < int(seconds * 100); ++i) {
        if (done()) return true;
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
    }
    return done();
}

TEST_F(AppCtlX11Test, SceneControlSetUpInTheDialogThenArtDmxRecallsAScene) {
    UCtlDlgCmds::SetRunner(&DriveScene);
    AppFixture::Command(doc, "cCtlScene");
    CRecordRef snct = doc->Model().SceneControl();
    EXPECT_EQ(Value(snct, "ctlr"), "dmx");
    EXPECT_EQ(Value(snct, "usage"), "trig");
    EXPECT_EQ(Value(snct, "dmxch"), "10");

    CRecordRef scns = doc->Model().Scenes();
    (void)scns.SetByte(nullptr, T::kScnsTimeLine, 0);
    doc->Player().Stop();
    ASSERT_EQ(scns->GetUInt(T::kScnsCurIndex), 1u);
    ASSERT_NE(gMainApp->ArtNetInput(), nullptr);
    ASSERT_TRUE(RunUntil([] { return gMainApp->ArtNetInput()->IsConnected(); }));
    // Channel 12: scene 1 when the trigger starts at channel 11.
    ASSERT_TRUE(SendArtDmx(0x123, 12));
    // Off the time line the index counts from 1 (the show opens on scene 0: 1).
    EXPECT_TRUE(RunUntil([&] { return scns->GetUInt(T::kScnsCurIndex) == 2; }))
        << scns->GetUInt(T::kScnsCurIndex);
    EXPECT_EQ(scns->GetInt(T::kScnsRecall), 1);
}

TEST_F(AppCtlX11Test, SequenceControlSetUpInTheDialogThenANoteSelectsASequence) {
    UCtlDlgCmds::SetRunner(&DriveSequence);
    AppFixture::Command(doc, "cCtlSeq");
    CRecordRef sqct = doc->Model().SequenceControl();
    EXPECT_EQ(Value(sqct, "ctlr"), "mnt");
    EXPECT_EQ(Value(sqct, "midich"), "0");
    EXPECT_EQ(Value(sqct, "midinn"), "60");

    // A source of the virtual MIDI system, read into the application's MIDI entry.
    auto* midi = static_cast<plat::VirtualMidiSystem*>(CMidiClient::Get()->System());
    ASSERT_STREQ(midi->BackendName(), "virtual");
    const plat::MidiObjectId keys = midi->AddSource("Keys");
    midiPort = CMidiInPort::Create("Test input");
    ASSERT_TRUE(midiPort);
    ASSERT_EQ(midiPort->Connect("Keys", gMainApp, &CMainApp::MidiProc), CMidiInPort::kConnected);

    CRecordRef scns = doc->Model().Scenes();
    (void)scns.SetInt(nullptr, T::kScnsEdited, 0);
    ASSERT_TRUE(midi->Send(keys, plat::MakeMidiPacketList({{0x90, 61, 100}})));
    midi->Flush();
    EXPECT_TRUE(RunUntil([&] { return scns->GetInt(T::kScnsEdited) == 1; })) << scns->GetInt(T::kScnsEdited);
}

}  // namespace
