// The dimmer window of the whole application on a private X server with GL window surfaces, inside
// the private namespace of netns-run (the output it switches on sends nothing outside): the layout
// fixture loaded and the show fixture open, "LED Dimmer" chosen from the console's menu strip, then
// xdotool clicks a device, drags it, undoes the drag and switches the output on with the window's
// check box. The EGL display stays on its server for the process, so the story is one test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CNativeServices.h"
#include "Common/ObjC/MMainMenu.h"
#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CConsoleWin.h"
#include "Orbilume/CSources/Editors/CDocMonitorWin.h"
#include "Orbilume/CSources/Led/CDimDeviceList.h"
#include "Orbilume/CSources/Led/CDimInstruments.h"
#include "Orbilume/CSources/Led/CDimLayoutView.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/CDimWindow.h"
#include "Orbilume/CSources/Led/DimWindows.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/MenuStrip.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/GL/GLDisplay.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/MenuPixels.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

// Xlib last: its macros (None, Bool, Status) must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/WindowShot.h"
// clang-format on

namespace {

using apptest::AppFixture;
using testsupport::Near;
using testsupport::ScreenPixel;
using T = CDimTypes;

constexpr uint32_t kMatrix = 2;  // the layout fixture's 16 x 16 matrix: centre (0.5, 0), 0.8 x 0.8

class DimmerWindowX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::NetNamespace::Inside()) GTEST_SKIP() << "needs the private namespace of netns-run";
        if (testsupport::CommandOutput("command -v Xvfb").empty()) GTEST_SKIP() << "Xvfb is not installed";
        if (testsupport::CommandOutput("command -v xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
        testsupport::PinFontsToDejaVu();
        server = std::make_unique<testsupport::XvfbServer>("1280x900x24");
        ASSERT_TRUE(server->Ok()) << "Xvfb did not start";
        plat::x11::X11Backend::Options options;
        options.glWindows = true;
        backend = plat::x11::X11Backend::Open(server->Display().c_str(), options);
        ASSERT_TRUE(backend);
        if (!plat::GLDisplay::WindowSurfaces()) GTEST_SKIP() << "no EGL window surfaces on this server";
        previous = plat::CurrentBackend();
        plat::SetBackend(backend.get());
        ASSERT_TRUE(backend->Start());
        // As the program's start: document windows, the application delegate, the main menu.
        CDocMonitorWin::Install();
        CDocConsoleWin::Install();
        app.Create();
        plat::Application* a = plat::Application::Shared();
        a->SetDelegate(&delegate);
        a->Activate();
        MMainMenu::InstallDefault();
    }
    void TearDown() override {
        app.Delete();
        plat::Application::Shared()->SetMainMenu(nullptr);
        plat::Application::Shared()->SetDelegate(nullptr);
        SetDocWindowFactories(nullptr);
        if (backend) {
            plat::SetBackend(previous);
            backend.reset();
        }
    }

    bool RunUntil(const std::function<bool()>& done, double wait = 10) {
        plat::Application* a = plat::Application::Shared();
        const double until = plat::ClockNow() + wait;
        while (!done() && plat::ClockNow() < until) {
            plat::Event e;
            if (a->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02, plat::kRunLoopDefaultMode, true, &e))
                a->SendEvent(e);
            for (LMessage m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true); !m.IsEmpty();
                 m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true))
                LHandler::Dispatch(m);
        }
        return done();
    }
    void Idle(double seconds) { (void)RunUntil([] { return false; }, seconds); }
    void Xdotool(const std::string& args) {
        const std::string cmd = "DISPLAY=" + server->Display() + " xdotool " + args;
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    void MoveTo(const CLPoint& p) { Xdotool("mousemove --sync " + std::to_string(p.x) + " " + std::to_string(p.y)); }

    // A view point (view units) on the screen.
    CLPoint Screen(double u, double v) {
        CDimLayoutView* view = window->View();
        const CLRect content = window->GetWindowRect();
        const CLPoint origin = view->GetOriginIn(nullptr);
        const dimlayout::Point p = view->PaneSize().ToPixels({u, v});
        return {content.left + origin.x + int32_t(p.x), content.top + origin.y + int32_t(p.y)};
    }
    // The middle of a pane on the screen.
    CLPoint Middle(LPane* pane) {
        const CLRect content = window->GetWindowRect();
        const CLPoint o = pane->Owner() ? pane->Owner()->GetOriginIn(nullptr) : CLPoint{0, 0};
        const CLRect b = pane->Bounds();
        return {content.left + o.x + (b.left + b.right) / 2, content.top + o.y + (b.top + b.bottom) / 2};
    }
    // Whether a pixel of the colour lies within 3 pixels of the point along x.
    bool ColourNear(const CLPoint& at, uint32_t colour) {
        for (int dx = -3; dx <= 3; ++dx)
            if (Near(ScreenPixel(backend->XDisplay(), at.x + dx, at.y), colour, 3)) return true;
        return false;
    }
    // The main menu's title index of the menu, or -1.
    static int32_t TitleIndex(const std::string& title) {
        plat::Menu* bar = plat::Application::Shared()->MainMenu();
        for (int32_t i = 0; bar && i < bar->NumberOfItems(); ++i) {
            plat::MenuItem* item = bar->ItemAtIndex(i);
            if (item && item->Submenu() && item->Submenu()->Title() == title) return i;
        }
        return -1;
    }
    CRecord* Device(uint32_t i) { return (*dim->Dims().Root()->GetRecordArray(T::kDimsDevices))[i]; }
    CRecordRef Settings() { return CRecordRef(&gMainApp->Prefs().Root()->Slot(CAppPrefs::kPrefDimmer).record); }
    // The enabled and marked state of the dimmer command after "LMenuBar_Ready".
    static std::pair<bool, bool> DimmerCommand() {
        LMenuBar bar(nullptr);
        auto* menu = new LMenu(&bar, LString("Test"));
        bar.AppendMenu(menu);
        auto* item = new LMenuItem(menu);
        item->SetCommand("CAppCmd_DMatx");
        menu->AppendItem(item);
        (void)gMainApp->Handle(LMessage(LMenuBar_Ready, &bar, gMainApp));
        return {item->IsEnabled(), item->IsMarked()};
    }

    std::unique_ptr<testsupport::XvfbServer> server;
    std::unique_ptr<plat::x11::X11Backend> backend;
    plat::Backend* previous = nullptr;
    testsupport::TempDir runtime;
    testsupport::EnvOverride runtimeVar{"XDG_RUNTIME_DIR", runtime.Path().c_str()};
    AppFixture app;
    AppDelegate delegate{nullptr, nullptr};
    CDimInstruments* dim = nullptr;
    CDimWindow* window = nullptr;
};

TEST_F(DimmerWindowX11Test, FromTheMenuStripAClickSelectsADragMovesUndoPutsBackAndTheCheckBoxSwitchesUse) {
    dim = gMainApp->Dimmer();
    ASSERT_NE(dim, nullptr);
    const std::string layout = app.home.File("layout.obdim");
    app.home.Write("layout.obdim", AppFixture::ReadFile(std::string(LED_FIXTURES) + "/layout.obdim"));
    ASSERT_TRUE(dim->Load(layout));
    UDimPrefs::SetUse(Settings(), false);
    gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
    ASSERT_EQ(gMainApp->DocumentCount(), 1u);
    CObDoc* doc = gMainApp->DocumentAt(0);
    ASSERT_NE(doc->Monitor(), nullptr);
    auto* monitor = static_cast<LFrame*>(doc->Monitor()->Handler());
    ASSERT_TRUE(RunUntil([&] { return monitor->Window() && monitor->Bounds().Width() > 0; }));
    plat::Window* native = monitor->Window()->NativeWindow();
    ASSERT_TRUE(RunUntil([&] { return native->IsVisible(); }));
    Idle(0.5);

    // "LED Dimmer", the Window menu's last item, from the monitor's menu strip.
    const int32_t title = TitleIndex("Window");
    ASSERT_GE(title, 0);
    plat::MenuStrip* strip = native->Strip();
    ASSERT_NE(strip, nullptr);
    const plat::Rect titleRect = strip->TitleRect(title);
    const std::string xw = std::to_string(backend->XWindowOf(native));
    testsupport::RunLater choose(0.6, [&] { Xdotool("key Up Return"); });
    Xdotool("mousemove --sync --window " + xw + " " + std::to_string(int(titleRect.x) + 8) + " 8 click 1");
    ASSERT_TRUE(RunUntil([&] { return dim->Window() && dim->Window()->IsVisible(); }))
        << "no dimmer window after the menu";
    window = static_cast<CDimWindow*>(dim->Window()->Handler());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(RunUntil([&] { return window->View()->PaneSize().width > 100; }));
    Idle(0.5);

    // The matrix, unselected: its left edge grey.
    const LRGB sel = SelectionBackgroundRGB();
    const uint32_t selColour = uint32_t(sel.red) << 16 | uint32_t(sel.green) << 8 | sel.blue;
    const CLPoint edge = Screen(0.1, 0);
    EXPECT_TRUE(RunUntil([&] { return ColourNear(edge, 0x808080); }))
        << std::hex << ScreenPixel(backend->XDisplay(), edge.x, edge.y);
    CDimDeviceList* list = window->DeviceList();
    EXPECT_FALSE(list->IsSelected({0, kMatrix}));
    // A row's margin on the screen: the row's background.
    auto margin = [&](int32_t row) {
        const CLRect content = window->GetWindowRect();
        const CLPoint o = list->GetOriginIn(nullptr);
        const CLRect r = list->CellRect({0, row});
        return ScreenPixel(backend->XDisplay(), content.left + o.x + r.left + 1, content.top + o.y + r.top + 1);
    };
    EXPECT_EQ(margin(kMatrix), margin(0));

    // A click selects it: its outline in the selection colour (away from the pointer), its row
    // selected.
    const CLPoint centre = Screen(0.55, 0.05);
    Xdotool("mousemove --sync " + std::to_string(centre.x) + " " + std::to_string(centre.y) + " click 1");
    EXPECT_TRUE(RunUntil([&] { return Device(kMatrix)->GetByte(T::kDidvSelected) != 0; }));
    EXPECT_TRUE(RunUntil([&] { return list->IsSelected({0, kMatrix}); }));
    EXPECT_TRUE(RunUntil([&] { return margin(kMatrix) != margin(0); })) << "the row is not drawn selected";
    const CLPoint away = Screen(-1.1, 1.1);
    MoveTo(away);
    MoveTo({away.x + 1, away.y});
    EXPECT_TRUE(RunUntil([&] { return ColourNear(edge, selColour); }))
        << std::hex << ScreenPixel(backend->XDisplay(), edge.x, edge.y);

    // The list in layout mode shows X.
    ASSERT_TRUE(dim->DoCommand(LString("cDimLyo")));
    auto listX = [&]() -> double {
        CCellRef ref(list, {0, kMatrix}, false);
        auto* cell = static_cast<CDimDeviceCell*>(ref.Pane());
        CNumVol* x = cell ? cell->Knob(dimcell::CEdits::Setter::kX) : nullptr;
        return x ? double(x->GetValue()) : NAN;
    };
    ASSERT_TRUE(RunUntil([&] { return !std::isnan(listX()); })) << "no X in the list";
    const double x0 = listX();

    // A drag of 40 pixels moves the outline 40 pixels and changes X in the list. The move is a drag
    // session whose loop runs inside the event dispatch, so xdotool drives it from the background.
    MoveTo(centre);
    Idle(0.2);
    std::string steps = "mousedown 1 sleep 0.2";
    for (int dx = 8; dx <= 40; dx += 8)
        steps += " mousemove " + std::to_string(centre.x + dx) + " " + std::to_string(centre.y) + " sleep 0.1";
    Xdotool(steps + " mouseup 1 &");
    const double moved = 0.5 + 40.0 / double(window->View()->PaneSize().width) * 2.4;
    EXPECT_TRUE(RunUntil([&] { return std::fabs(Device(kMatrix)->GetFloat(T::kDidvPosX) - moved) < 1e-3; }))
        << Device(kMatrix)->GetFloat(T::kDidvPosX) << " want " << moved;
    Idle(0.3);
    const CLPoint movedEdge{edge.x + 40, edge.y};
    MoveTo(away);
    EXPECT_TRUE(RunUntil([&] { return ColourNear(movedEdge, selColour); }))
        << std::hex << ScreenPixel(backend->XDisplay(), movedEdge.x, movedEdge.y);
    EXPECT_FALSE(ColourNear(edge, selColour));
    EXPECT_TRUE(RunUntil([&] { return listX() != x0; })) << listX();

    // Ctrl+Z in the window puts it back.
    Xdotool("key --window " + std::to_string(backend->XWindowOf(window->Window()->NativeWindow())) + " ctrl+z");
    EXPECT_TRUE(RunUntil([&] { return Device(kMatrix)->GetFloat(T::kDidvPosX) == 0.5f; }))
        << Device(kMatrix)->GetFloat(T::kDidvPosX);
    EXPECT_TRUE(RunUntil([&] { return ColourNear(edge, selColour); }));
    EXPECT_TRUE(RunUntil([&] { return listX() == x0; })) << listX();

    // The output check box switches "use", and the application's dimmer command is checked.
    EXPECT_EQ(DimmerCommand(), std::make_pair(true, false));
    LStdCheck* use = window->OutputCheck();
    ASSERT_NE(use, nullptr);
    EXPECT_FALSE(use->GetValue());
    const CLPoint box = Middle(use);
    Xdotool("mousemove --sync " + std::to_string(box.x) + " " + std::to_string(box.y) + " click 1");
    EXPECT_TRUE(RunUntil([&] { return UDimPrefs::GetUse(Settings()); }));
    EXPECT_TRUE(use->GetValue());
    EXPECT_EQ(DimmerCommand(), std::make_pair(true, true));
    Xdotool("mousemove --sync " + std::to_string(box.x) + " " + std::to_string(box.y) + " click 1");
    EXPECT_TRUE(RunUntil([&] { return !UDimPrefs::GetUse(Settings()); }));
    EXPECT_EQ(DimmerCommand(), std::make_pair(true, false));
}

}  // namespace
