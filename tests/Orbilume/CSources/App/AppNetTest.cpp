// The application's live inputs against real peers inside the private namespace netns-run makes:
// ArtDmx and an OSC "/dmx" blob from Python sockets, "/scene" from oscsend, the scene announcements
// read by oscdump on port 51001.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/DmxIn/CArtNetIn.h"
#include "Orbilume/CSources/DmxIn/CSAcnIn.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/CSeqPlayer.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Osc/COSCSender.h"
#include "Orbilume/CSources/Osc/OscServer.h"
#include "Orbilume/CSources/UsbDmxUI/CDmxSettingsDlg.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/TempDir.h"

namespace {

using apptest::AppFixture;
using T = CDocModelTypes;
using P = CAppPrefs;

constexpr uint16_t kOscPort = 51000;
const bool kFontsPinned = testsupport::PinFontsToDejaVu();

template <class Pred>
bool RunUntil(Pred done, double seconds = 10) {
    // The predicate may consume what it looks at: asked once per turn.
    for (int i = 0; i < int(seconds * 100); ++i) {
        if (done()) return true;
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
    }
    return done();
}

void Spin(double seconds) {
    (void)RunUntil([] { return false; }, seconds);
}

bool Python(const std::string& script) {
    const std::string command = "python3 -c '" + script + "'";
    return std::system(command.c_str()) == 0;
}

// Sends one ArtDmx for the port address with every slot at value.
bool SendArtDmx(uint32_t universe, int value) {
    return Python(
        "import socket,struct\n"
        "p=b\"Art-Net\\0\"+struct.pack(\"<H\",0x5000)+bytes([0,14,0,0])+struct.pack(\"<H\"," +
        std::to_string(universe) + ")+struct.pack(\">H\",512)+bytes([" + std::to_string(value) +
        "])*512\n"
        "socket.socket(socket.AF_INET,socket.SOCK_DGRAM).sendto(p,(\"127.0.0.1\",6454))\n");
}

class AppNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::NetNamespace::Inside()) GTEST_SKIP() << "needs the private namespace of netns-run";
        app.Create();
        CRecordRef prefs = CAppPrefs::Get()->RootRef();
        (void)prefs.SetByte(nullptr, P::kPrefArtNetIn, 1);
        (void)prefs.SetByte(nullptr, P::kPrefArtNetNet, 1);
        (void)prefs.SetByte(nullptr, P::kPrefArtNetSubUni, 0x23);
        (void)prefs.SetByte(nullptr, P::kPrefOscIn, 1);
        (void)prefs.SetUInt(nullptr, P::kPrefOscPort, kOscPort);
        (void)prefs.SetByte(nullptr, P::kPrefOscDmx, 0);  // the preferences outlive each test
        gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
        ASSERT_EQ(gMainApp->DocumentCount(), 1u);
        doc = gMainApp->DocumentAt(0);
        ASSERT_NE(gMainApp->OscInput(), nullptr);
        ASSERT_TRUE(gMainApp->OscInput()->IsOpen());
    }
    uint8_t Slot(uint32_t n) { return CCtlInHub::Global()->DmxValue(n); }

    testsupport::TempDir runtime;
    testsupport::EnvOverride runtimeVar{"XDG_RUNTIME_DIR", runtime.Path().c_str()};
    AppFixture app;
    CObDoc* doc = nullptr;
};

TEST_F(AppNetTest, ArtNetChangesTheHubOnlyForTheConfiguredPortAddress) {
    ASSERT_NE(gMainApp->ArtNetInput(), nullptr);
    ASSERT_TRUE(RunUntil([] { return gMainApp->ArtNetInput()->IsConnected(); }));
    ASSERT_TRUE(SendArtDmx(0x23, 20));
    ASSERT_TRUE(SendArtDmx(0x123, 10));
    ASSERT_TRUE(RunUntil([&] { return Slot(0) == 10 && Slot(511) == 10; }));
    ASSERT_TRUE(SendArtDmx(0x124, 30));
    ASSERT_TRUE(SendArtDmx(0x23, 40));
    Spin(0.3);
    EXPECT_EQ(Slot(0), 10);
}

TEST_F(AppNetTest, OscDmxBlobGives512SlotsOnlyWithTheSwitchOn) {
    const std::string send =
        "import socket,struct\n"
        "b=bytes([0])+bytes([9])*599\n"
        "m=b\"/dmx\\0\\0\\0\\0,b\\0\\0\"+struct.pack(\">i\",len(b))+b\n"
        "socket.socket(socket.AF_INET,socket.SOCK_DGRAM).sendto(m,(\"127.0.0.1\"," +
        std::to_string(kOscPort) + "))\n";
    ASSERT_TRUE(Python(send));
    Spin(0.3);
    EXPECT_EQ(Slot(0), 0);
    (void)CAppPrefs::Get()->RootRef().SetByte(nullptr, P::kPrefOscDmx, 1);
    ASSERT_TRUE(Python(send));
    ASSERT_TRUE(RunUntil([&] { return Slot(0) == 9 && Slot(511) == 9; }));
}

// The fixture's "Open" and "Bright" with "Finale" and "Intro" added by "cNewScene" after them (the
// sequence "Intro" is no scene). oscsend selects by name and by index; oscdump on port 51001 reads
// the announcements.
TEST_F(AppNetTest, OscSceneRecallsAndTheAnnouncementReachesPort51001) {
    for (const char* tool : {"oscsend", "oscdump"})
        if (!testsupport::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
    CRecordRef scns = doc->Model().Scenes();
    // Off the time line a recall sets the player's scene.
    (void)scns.SetByte(nullptr, T::kScnsTimeLine, 0);
    doc->Player().Stop();
    const std::pair<const char*, float> added[] = {{"Finale", 10.0f}, {"Intro", 20.0f}};
    for (const auto& [name, time] : added) {
        (void)scns.SetFloat(nullptr, T::kScnsCurTime, time);
        const uint32_t before = UDocModel::GetSceneCount(scns.Get());
        apptest::AppFixture::Command(doc, "cNewScene");
        ASSERT_EQ(UDocModel::GetSceneCount(scns.Get()), before + 1) << name;
        CRecord* scene = UDocModel::GetSceneAt(scns.Get(), before);
        ASSERT_NE(scene, nullptr);
        (void)CRecordRef(&scene).SetString(nullptr, T::kScneName, LString(name));
    }
    std::vector<std::string> names;
    for (uint32_t i = 0; i < UDocModel::GetSceneCount(scns.Get()); ++i)
        names.push_back(UDocModel::GetSceneAt(scns.Get(), i)->GetString(T::kScneName).CStr());
    ASSERT_EQ(names, (std::vector<std::string>{"Open", "Bright", "Finale", "Intro"}));

    UCtlAttr::SetCtlr(doc->Model().SceneControl(), 2);  // "osc"
    CRecord* snsl = CAppPrefs::Get()->Root()->GetSubRecord(P::kPrefSceneSelSend);
    ASSERT_NE(snsl, nullptr);
    CParamSet::SetString(CRecordRef(&snsl), nullptr, LString("send"), LString("1"));
    testsupport::BackgroundCommand dump("exec oscdump -L 51001");
    ASSERT_TRUE(dump.Started());
    // The messages oscdump printed, without their arrival times.
    auto dumped = [&] {
        std::vector<std::string> lines;
        std::istringstream in(dump.Output());
        for (std::string line; std::getline(in, line);) {
            const size_t space = line.find(' ');
            if (space != std::string::npos) line.erase(0, space + 1);
            while (!line.empty() && line.back() == ' ') line.pop_back();  // oscdump ends with one
            lines.push_back(line);
        }
        return lines;
    };
    auto announced = [&] {
        std::vector<std::string> scenes;
        for (const std::string& line : dumped())
            if (line.rfind("/scene", 0) == 0) scenes.push_back(line);
        return scenes;
    };
    // oscdump listens once a probe of our own comes back.
    ASSERT_TRUE(RunUntil(
        [&] {
            (void)std::system("oscsend 127.0.0.1 51001 /probe");
            const std::vector<std::string> lines = dumped();
            return std::find(lines.begin(), lines.end(), "/probe") != lines.end();
        },
        20))
        << dump.Output();

    const std::string to = "oscsend 127.0.0.1 " + std::to_string(kOscPort) + " /scene ";
    ASSERT_EQ(std::system((to + "s Intro").c_str()), 0);
    ASSERT_TRUE(RunUntil([&] { return scns->GetUInt(T::kScnsCurIndex) == 4; }));
    ASSERT_NE(gMainApp->OscSender(), nullptr);
    ASSERT_TRUE(gMainApp->OscSender()->IsOpen());
    ASSERT_TRUE(RunUntil([&] { return announced().size() == 1; }))
        << gMainApp->OscSender()->QueuedCount() << " queued, " << gMainApp->OscSender()->DroppedCount()
        << " dropped";
    ASSERT_EQ(std::system((to + "i 2").c_str()), 0);
    ASSERT_TRUE(RunUntil([&] { return scns->GetUInt(T::kScnsCurIndex) == 3; }));
    ASSERT_TRUE(RunUntil([&] { return announced().size() == 2; })) << dump.Output();
    EXPECT_EQ(announced(), (std::vector<std::string>{"/scene i 3", "/scene i 2"}));
    CParamSet::SetString(CRecordRef(&snsl), nullptr, LString("send"), LString());
}

uint32_t AnswerCancel(LModalDialog*) {
    return 2;
}

// Net 2, Sub-Net 3, Universe 4: the port address 0x234.
uint32_t AnswerArtNet234(LModalDialog* dialog) {
    auto* d = static_cast<CArtNetDlg*>(dialog);
    EXPECT_EQ(d->PortAddress(), 0x123) << "preset from 'annt' and 'anun'";
    d->KnobPane(CArtNetDlg::kNet)->SetValue(2);
    d->KnobPane(CArtNetDlg::kSubNet)->SetValue(3);
    d->KnobPane(CArtNetDlg::kUniverse)->SetValue(4);
    return 1;
}

// The Art-Net dialog through the application: any other answer stops the receiver; OK stores the
// address, starts it again and only the new port address reaches the hub.
TEST_F(AppNetTest, ArtNetDialogStoresTheAddressAndStartsTheReceiver) {
    ASSERT_NE(gMainApp->ArtNetInput(), nullptr);
    ASSERT_TRUE(RunUntil([] { return gMainApp->ArtNetInput()->IsConnected(); }));
    CRecord* prefs = CAppPrefs::Get()->Root();

    CMainApp::SetDialogRunner(&AnswerCancel);
    apptest::AppFixture::Command(gMainApp, "cArtIn");
    EXPECT_EQ(prefs->GetByte(P::kPrefArtNetIn), 0);
    EXPECT_FALSE(gMainApp->ArtNetInput()->IsConnected());
    ASSERT_TRUE(SendArtDmx(0x123, 70));
    Spin(0.3);
    EXPECT_EQ(Slot(0), 0);

    CMainApp::SetDialogRunner(&AnswerArtNet234);
    apptest::AppFixture::Command(gMainApp, "cArtIn");
    CMainApp::SetDialogRunner(nullptr);
    EXPECT_EQ(prefs->GetByte(P::kPrefArtNetIn), 1);
    EXPECT_EQ(prefs->GetByte(P::kPrefArtNetNet), 2);
    EXPECT_EQ(prefs->GetByte(P::kPrefArtNetSubUni), 0x34);
    ASSERT_TRUE(RunUntil([] { return gMainApp->ArtNetInput()->IsConnected(); }));
    ASSERT_TRUE(SendArtDmx(0x123, 80));
    ASSERT_TRUE(SendArtDmx(0x234, 90));
    ASSERT_TRUE(RunUntil([&] { return Slot(0) == 90 && Slot(511) == 90; }));
    ASSERT_TRUE(SendArtDmx(0x123, 100));
    Spin(0.3);
    EXPECT_EQ(Slot(0), 90);
}

uint32_t AnswerUniverse300(LModalDialog* dialog) {
    static_cast<CSAcnDlg*>(dialog)->KnobPane(0)->SetText(LString("300"));
    return 1;
}

// A universe above 255 is stored whole and joined again at the next start.
TEST_F(AppNetTest, SAcnUniverse300IsJoinedStoredAndJoinedAgainAfterARestart) {
    ASSERT_TRUE(testsupport::NetNamespace::Ip("route add 239.0.0.0/8 dev lo"));
    CMainApp::SetDialogRunner(&AnswerUniverse300);
    apptest::AppFixture::Command(gMainApp, "cSAcnIn");
    CMainApp::SetDialogRunner(nullptr);
    EXPECT_EQ(CAppPrefs::Get()->Root()->GetUInt(P::kPrefSacnUniverse), 300u);
    EXPECT_EQ(CAppPrefs::Get()->Root()->GetByte(P::kPrefSacnIn), 1);
    ASSERT_NE(gMainApp->SAcnInput(), nullptr);
    ASSERT_TRUE(gMainApp->SAcnInput()->IsOpen());
    EXPECT_EQ(gMainApp->SAcnInput()->Universe(), 300);

    // The next start reads the stored settings (they outlive the application object here).
    app.Delete();
    app.Create();
    gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
    ASSERT_NE(gMainApp->SAcnInput(), nullptr);
    EXPECT_TRUE(gMainApp->SAcnInput()->IsOpen());
    EXPECT_EQ(gMainApp->SAcnInput()->Universe(), 300);
    (void)CAppPrefs::Get()->RootRef().SetByte(nullptr, P::kPrefSacnIn, 0);
}

}  // namespace
