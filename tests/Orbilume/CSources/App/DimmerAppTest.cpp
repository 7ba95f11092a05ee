#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CUvAdList.h"
#include "Orbilume/CSources/Editors/CUvAdWin.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimInstruments.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/DimWindows.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoManager.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Preferences/Preferences.h"
#include "Platform/USB/sim/SimDmxInterface.h"
#include "Platform/USB/sim/SimUsbHost.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/support/PinnedFonts.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using apptest::AppFixture;
using T = CDimTypes;

// The dimmer window draws text.
const bool kFontsPinned = testsupport::PinFontsToDejaVu();

uint32_t gAnswer = SDimDialogs::kCancel;
uint32_t gAsked = 0;
std::vector<std::string> gMessages;

const SDimDialogs kDialogs{
    [](const LString&) -> uint32_t {
        ++gAsked;
        return gAnswer;
    },
    [](const std::string&, std::string&) { return false; },
    [](const std::string&, std::string&) { return false; },
    [](const LString& text) { gMessages.push_back(text.CStr()); },
    nullptr,
    nullptr,
};

struct DimmerApp : ::testing::Test {
    DimmerApp() {
        EXPECT_TRUE(kFontsPinned);
        gAsked = 0;
        gMessages.clear();
        SetDimDialogs(&kDialogs);
        // The preferences of this fixture's home, not what an earlier test left in memory.
        plat::Preferences::Reset();
        app.Create();
    }
    ~DimmerApp() override {
        app.Delete();
        SetDimDialogs(nullptr);
    }
    // Turns the main run loop until done() or five seconds passed.
    static bool Pump(const std::function<bool()>& done) {
        const auto t0 = std::chrono::steady_clock::now();
        while (!done()) {
            if (std::chrono::steady_clock::now() - t0 > std::chrono::seconds(5)) return false;
            plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
        }
        return true;
    }
    CRecordRef Settings() {
        return CRecordRef(&gMainApp->Prefs().Root()->Slot(CAppPrefs::kPrefDimmer).record);
    }
    size_t MessagesWith(const std::string& text) const {
        return size_t(std::count_if(gMessages.begin(), gMessages.end(),
                                    [&](const std::string& m) { return m.find(text) != std::string::npos; }));
    }
    // The user's definitions folder inside the private home.
    void WriteUserDefinition(const std::string& name, const std::string& bytes) {
        mkdir(app.home.File("Documents").c_str(), 0755);
        mkdir(app.home.File("Documents/ObDimInstruments").c_str(), 0755);
        app.home.Write("Documents/ObDimInstruments/" + name, bytes);
    }
    AppFixture app;
};

TEST_F(DimmerApp, QuittingAsksForAnEditedLayoutAndCancelKeepsTheApplication) {
    CDimInstruments* dim = gMainApp->Dimmer();
    ASSERT_NE(dim, nullptr);
    EXPECT_TRUE(gMainApp->CanQuit());
    EXPECT_EQ(gAsked, 0u);
    (void)dim->Dims().RootRef().InsertRecord(nullptr, T::kDimsDevices, CRecordRef::kAppend,
                                             CRecord::New(T::Didv()));
    gAnswer = SDimDialogs::kCancel;
    EXPECT_FALSE(gMainApp->CanQuit());
    EXPECT_EQ(gAsked, 1u);
    ASSERT_TRUE(dim->Save(app.home.File("layout.obdim")));
    EXPECT_TRUE(gMainApp->CanQuit());
    EXPECT_EQ(gAsked, 1u);
}

TEST_F(DimmerApp, TheCanvasFollowsTheFrontDocumentWhileTheOutputIsUsed) {
    CDimInstruments* dim = gMainApp->Dimmer();
    ASSERT_NE(dim, nullptr);
    CRecordRef settings(&gMainApp->Prefs().Root()->Slot(CAppPrefs::kPrefDimmer).record);
    UDimPrefs::SetUse(settings, true);
    gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
    ASSERT_EQ(gMainApp->DocumentCount(), 1u);
    uint32_t w = 0, h = 0;
    gMainApp->DocumentAt(0)->Engine().RenderSize(w, h);
    ASSERT_GT(w, 0u);
    ASSERT_GT(h, 0u);
    uint32_t cw = 0, ch = 0;
    CDimInstruments::CanvasSize(w, h, 32, 0, false, CDimInstruments::kMaxCanvasSide, cw, ch);
    EXPECT_EQ(dim->CanvasWidth(), cw);
    EXPECT_EQ(dim->CanvasHeight(), ch);
    UDimPrefs::SetUse(settings, false);
}

TEST_F(DimmerApp, TheDimmerCommandIsCheckedWhileTheOutputIsUsed) {
    CRecordRef settings(&gMainApp->Prefs().Root()->Slot(CAppPrefs::kPrefDimmer).record);
    auto ready = [] {
        LMenuBar bar(nullptr);
        auto* menu = new LMenu(&bar, LString("Test"));
        bar.AppendMenu(menu);
        auto* item = new LMenuItem(menu);
        item->SetCommand("CAppCmd_DMatx");
        menu->AppendItem(item);
        (void)gMainApp->Handle(LMessage(LMenuBar_Ready, &bar, gMainApp));
        return std::make_pair(item->IsEnabled(), item->IsMarked());
    };
    UDimPrefs::SetUse(settings, false);
    EXPECT_EQ(ready(), std::make_pair(true, false));
    UDimPrefs::SetUse(settings, true);
    EXPECT_EQ(ready(), std::make_pair(true, true));
    UDimPrefs::SetUse(settings, false);
    EXPECT_EQ(ready(), std::make_pair(true, false));
}

// "cDimUvAd" through the application's document opens the real universe-address window over the
// layout's table; the protocol commands switch its rows between Art-Net and sACN columns without
// touching the rows, and an edit in it is one undo step of the document.
TEST_F(DimmerApp, TheUniverseWindowFollowsTheProtocol) {
    gMainApp->OpenRequest({});  // started: windows take the view preferences of this application
    CDimInstruments* dim = gMainApp->Dimmer();
    CRecordRef uvas(&dim->Dims().Root()->Slot(T::kDimsUniverses).record);
    ASSERT_TRUE(uvas);
    CRecord* row = CRecord::New(CUvAdTypes::Uvad());
    row->Slot(CUvAdTypes::kUvadUniverse).i32 = 0x123;
    ASSERT_TRUE(uvas.InsertRecord(nullptr, CUvAdTypes::kUvasList, CRecordRef::kAppend, row));
    dim->Dims().SetModified(false);
    AppFixture::Command(dim, "cDimSACN");
    AppFixture::Command(dim, "cDimUvAd");
    ASSERT_NE(dim->UniverseWindow(), nullptr);
    EXPECT_TRUE(dim->UniverseWindow()->IsVisible());
    auto* win = static_cast<CUvAdWin*>(dim->UniverseWindow()->Handler());
    win->UpdateLayout();
    ASSERT_EQ(win->List()->Rows(), 1);
    auto cell = [win] {
        CCellRef ref(win->List(), {0, 0}, false);
        return static_cast<CUvAdCell*>(ref.Pane());
    };
    ASSERT_NE(cell(), nullptr);
    const struct {
        const char* command;
        bool sacn;
    } steps[] = {{"cDimArtNet", false}, {"cDimSACN", true}, {"cDimArtNet", false}};
    EXPECT_TRUE(win->List()->SacnMode());
    EXPECT_TRUE(cell()->SacnFrame()->IsVisible());
    EXPECT_FLOAT_EQ(cell()->SacnKnob()->GetValue(), 292);
    for (const auto& step : steps) {
        AppFixture::Command(dim, step.command);
        EXPECT_EQ(win->List()->SacnMode(), step.sacn) << step.command;
        EXPECT_EQ(cell()->SacnFrame()->IsVisible(), step.sacn) << step.command;
        EXPECT_EQ(cell()->ArtNetFrame()->IsVisible(), !step.sacn) << step.command;
    }
    EXPECT_FLOAT_EQ(cell()->NetKnob()->GetValue(), 1);
    EXPECT_EQ(uvas->GetElement(CUvAdTypes::kUvasList, 0)->GetInt(CUvAdTypes::kUvadUniverse), 0x123);
    EXPECT_FALSE(dim->Undo().CanUndo());

    CNumVol* net = cell()->NetKnob();
    net->SetValue(5);
    LHandler::Dispatch(LMessage(CNumVol_Fix, net, net->Upper()));
    EXPECT_EQ(uvas->GetElement(CUvAdTypes::kUvasList, 0)->GetInt(CUvAdTypes::kUvadUniverse), 0x523);
    EXPECT_TRUE(dim->IsDirty());
    ASSERT_TRUE(dim->Undo().Perform(0));
    EXPECT_EQ(uvas->GetElement(CUvAdTypes::kUvasList, 0)->GetInt(CUvAdTypes::kUvadUniverse), 0x123);
}

// The application hands its USB DMX manager to the dimmer output: a layout of a device on the
// simulated interface claims it through the application's manager and its frames reach it.
TEST_F(DimmerApp, TheOutputSendsThroughTheApplicationsUsbManager) {
    app.Delete();
    // The simulated bus for this application's life (the application goes first).
    struct Bus {
        explicit Bus(AppFixture& a) : app(a) {
            host.Plug(sim.get());
            plat::UsbHost::SetCurrent(&host);
        }
        ~Bus() {
            app.Delete();
            plat::UsbHost::SetCurrent(nullptr);
        }
        AppFixture& app;
        plat::sim::SimUsbHost host;
        plat::Ref<plat::sim::SimDmxInterface> sim = plat::sim::SimDmxInterface::Make(2, 3, "SIM1");
    } bus(app);
    plat::sim::SimDmxInterface* sim = bus.sim.get();
    app.Create();
    CDimInstruments* dim = gMainApp->Dimmer();
    EXPECT_EQ(dim->Output().UsbManager(), &gMainApp->UsbDmx());
    app.home.Write("usb.obdim", dimtest::DimsXml({{.dxch = 1, .conn = 1, .universe = "", .serial = "SIM1"}}));
    ASSERT_TRUE(dim->Load(app.home.File("usb.obdim")));
    UDimPrefs::SetUse(Settings(), true);
    dim->UpdateCanvas();
    ASSERT_TRUE(dim->Output().IsStarted());
    EXPECT_EQ(dim->Output().PortCount(), 1u);
    EXPECT_EQ(gMainApp->UsbDmx().EntryCount(), 1u);
    const uint32_t w = dim->CanvasWidth(), h = dim->CanvasHeight();
    std::vector<uint32_t> frame(size_t(w) * h, 0xFF0A141E);
    dim->Output().SampleFrame(frame.data(), w, h);
    dim->Output().SendPass();
    ASSERT_TRUE(Pump([&] { return !sim->Frames().empty(); }));
    const std::vector<uint8_t> sent = sim->Frames().back();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(sent.begin(), sent.begin() + 4),
              (std::vector<uint8_t>{0, 0x0A, 0x14, 0x1E}));
    // "use" off gives the claim back to the application's manager.
    UDimPrefs::SetUse(Settings(), false);
    EXPECT_EQ(gMainApp->UsbDmx().EntryCount(), 0u);
}

// While the output is used the canvas follows the front document's output size as it changes (a
// resized output window, the resolution setting), and stops following while it is not used.
TEST_F(DimmerApp, TheCanvasFollowsChangesOfTheFrontOutputSize) {
    CDimInstruments* dim = gMainApp->Dimmer();
    UDimPrefs::SetUse(Settings(), true);
    gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
    ASSERT_EQ(gMainApp->DocumentCount(), 1u);
    CMixEngine& engine = gMainApp->DocumentAt(0)->Engine();
    auto expected = [&engine] {
        uint32_t w = 0, h = 0, cw = 0, ch = 0;
        engine.RenderSize(w, h);
        CDimInstruments::CanvasSize(w, h, 32, 0, false, CDimInstruments::kMaxCanvasSide, cw, ch);
        return std::make_pair(cw, ch);
    };
    auto canvas = [dim] {
        dim->UpdateCanvas();
        return std::make_pair(dim->CanvasWidth(), dim->CanvasHeight());
    };
    engine.SetOutputSize(640, 480);
    EXPECT_EQ(canvas(), std::make_pair(32u, 24u));
    engine.SetOutputSize(300, 600);
    EXPECT_EQ(canvas(), std::make_pair(16u, 32u));
    EXPECT_EQ(canvas(), expected());
    // The resolution divides the output (an eighth of 300 × 600 is 37 × 75).
    (void)gMainApp->Prefs().RootRef().SetUInt(nullptr, CAppPrefs::kPrefResolution, 3);
    EXPECT_EQ(canvas(), expected());
    EXPECT_EQ(canvas(), std::make_pair(15u, 32u));
    (void)gMainApp->Prefs().RootRef().SetUInt(nullptr, CAppPrefs::kPrefResolution, 0);
    EXPECT_EQ(canvas(), std::make_pair(16u, 32u));
    // Not used: the canvas stays; used again: it takes the size of now.
    UDimPrefs::SetUse(Settings(), false);
    engine.SetOutputSize(1000, 100);
    EXPECT_EQ(canvas(), std::make_pair(16u, 32u));
    UDimPrefs::SetUse(Settings(), true);
    EXPECT_EQ(canvas(), std::make_pair(32u, 3u));
    UDimPrefs::SetUse(Settings(), false);
}

// The last layout carries its own "Strip", unlike the user's: at start-up as at any load the
// library's definition is kept, and the difference is named.
TEST_F(DimmerApp, AtStartUpTheLibrarysDefinitionsWinOverTheLastLayouts) {
    app.Delete();
    const std::string user = "<?xml version=\"1.0\"?>\n<YOBM_DIDF dfid=\"Strip\" dthz=\"4\"/>\n";
    WriteUserDefinition("Strip", user);
    app.home.Write(
        "strip.obdim",
        "<?xml version=\"1.0\"?>\n<YOBM_DIMS><YOBM_DIMS_devs><YOBM_DIDV dfid=\"Strip\"/></YOBM_DIMS_devs>"
        "<YOBM_DIMS_defs><YOBM_DIDF dfid=\"Strip\" dthz=\"8\"/></YOBM_DIMS_defs></YOBM_DIMS>\n");
    app.Create();
    ASSERT_TRUE(gMainApp->Dimmer()->Load(app.home.File("strip.obdim")));
    EXPECT_EQ(gMainApp->Dimmer()->Defs().Find("Strip")->GetUInt(T::kDidfColumns), 4u);
    EXPECT_EQ(MessagesWith("\"Strip\""), 1u);
    app.Delete();  // "lastfile" := strip.obdim
    gMessages.clear();
    app.Create();
    ASSERT_EQ(gMainApp->Dimmer()->LastFile(), app.home.File("strip.obdim"));
    ASSERT_EQ(gMainApp->Dimmer()->Dims().Root()->ArrayCount(T::kDimsDevices), 1u);
    const CRecord* strip = gMainApp->Dimmer()->Defs().Find("Strip");
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->GetUInt(T::kDidfColumns), 4u);
    EXPECT_EQ(strip->GetByte(T::kDidfEmbedded), 0);
    EXPECT_EQ(gMainApp->Dimmer()->Defs().FileOf("Strip"), app.home.File("Documents/ObDimInstruments/Strip"));
    EXPECT_EQ(MessagesWith("\"Strip\""), 1u);
    EXPECT_EQ(AppFixture::ReadFile(app.home.File("Documents/ObDimInstruments/Strip")), user);
}

// Start-up shows the definitions' load report once and reopens the dimmer window when it was
// open at the last quit; a window closed at quit stays closed at the next start.
TEST_F(DimmerApp, StartUpReportsTheDefinitionsOnceAndReopensTheWindow) {
    app.Delete();
    WriteUserDefinition("Broken", "<YOBM_DIDF dthz=\"2\"");
    WriteUserDefinition("Good", "<?xml version=\"1.0\"?>\n<YOBM_DIDF dthz=\"2\"/>\n");
    app.Create();
    ASSERT_NE(gMainApp->Dimmer(), nullptr);
    UDimPrefs::SetLastOpen(Settings(), true);
    EXPECT_TRUE(gMessages.empty()) << "reported before start-up";
    gMainApp->OpenRequest({});
    ASSERT_TRUE(gMainApp->IsStarted());
    EXPECT_EQ(gMessages.size(), 1u);
    EXPECT_EQ(MessagesWith("ObDimInstruments/Broken"), 1u);
    EXPECT_EQ(MessagesWith("ObDimInstruments/Good"), 0u);
    EXPECT_NE(gMainApp->Dimmer()->Defs().Find("Good"), nullptr);
    ASSERT_NE(gMainApp->Dimmer()->Window(), nullptr);
    EXPECT_TRUE(gMainApp->Dimmer()->Window()->IsVisible());
    // Later open requests are no start-up.
    gMainApp->OpenRequest({});
    EXPECT_EQ(gMessages.size(), 1u);

    // Shown at quit: "lastopen" stays on and the next start shows it again.
    app.Delete();
    gMessages.clear();
    app.Create();
    EXPECT_TRUE(UDimPrefs::GetLastOpen(Settings()));
    EXPECT_EQ(gMainApp->Dimmer()->Window(), nullptr);
    gMainApp->OpenRequest({});
    ASSERT_NE(gMainApp->Dimmer()->Window(), nullptr);
    EXPECT_TRUE(gMainApp->Dimmer()->Window()->IsVisible());
    EXPECT_EQ(MessagesWith("ObDimInstruments/Broken"), 1u);

    // Hidden at quit: the next start leaves it closed.
    gMainApp->Dimmer()->Window()->Hide();
    app.Delete();
    app.Create();
    EXPECT_FALSE(UDimPrefs::GetLastOpen(Settings()));
    gMainApp->OpenRequest({});
    EXPECT_EQ(gMainApp->Dimmer()->Window(), nullptr);
}

}  // namespace
