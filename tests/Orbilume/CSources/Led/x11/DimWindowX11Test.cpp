#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/CNativeServices.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Lib3/LSources/CoreData/CMainLoopUI.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CHeaderFrame.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Common/ObjC/CNumVol.h"
#include "Orbilume/CSources/Led/CDimDeviceList.h"
#include "Orbilume/CSources/Led/CDimLayoutView.h"
#include "Orbilume/CSources/Led/CDimWindow.h"
#include "Orbilume/CSources/Led/DimDeviceCells.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/GL/GLDisplay.h"
#include "Platform/Resources/ResourceFile.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/XvfbServer.h"

// Xlib last: its macros (None, Bool, Status) must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/WindowShot.h"
// clang-format on

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using testsupport::ScreenPixel;
using testsupport::Near;

using namespace dimtest;

// The top of the chain: lends the undo queue (the document's part) and gives the mouse to the
// pane that asks (the application's part).
struct Root : LHandler {
    CUndoQueue undo{1 << 20};
    LMessage Handle(const LMessage& msg) override {
        if (undo.HandleMessage(msg)) return LMessage();
        if (msg.Is(LPane_ReqCapture) && msg.sender) {
            if (CMainLoopUI* ui = CMainLoopUI::Get()) ui->SetCaptureHolder(msg.sender);
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
};

// The dimmer window on a private Xvfb with GL window surfaces (llvmpipe), driven with xdotool. The
// EGL display stays on its server for the process, so the whole story is one test.
class DimWindowX11Test : public ::testing::Test {
protected:
    void TearDown() override {
        delete window;
        delete loop;
        delete keyboard;
        delete mouse;
        delete mgr;
        if (common) COpenGLContext_Cca::SetShared(nullptr);
        if (fChain) {
            plat::Application::Shared()->SetDelegate(nullptr);
            ResourceProviderChain::SetGlobal(nullptr);
            fProvider.reset();
            fChain.reset();
            plat::CloseResFile(fRef);
        }
        if (backend) {
            plat::SetBackend(nullptr);
            backend.reset();
        }
    }

    bool RunUntil(const std::function<bool()>& done, double wait = 10) {
        plat::Application* app = plat::Application::Shared();
        const double until = plat::ClockNow() + wait;
        while (!done() && plat::ClockNow() < until) {
            plat::Event e;
            if (app->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02, plat::kRunLoopDefaultMode, true,
                               &e))
                app->SendEvent(e);
            for (LMessage m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true); !m.IsEmpty();
                 m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true))
                LHandler::Dispatch(m);
        }
        return done();
    }

    // A view point (view units) on the screen (the view's origin is its top left in the window).
    CLPoint Screen(double u, double v) {
        CDimLayoutView* view = window->View();
        const CLRect content = window->GetWindowRect();
        const CLPoint origin = view->GetOriginIn(nullptr);
        const dimlayout::Point p = view->PaneSize().ToPixels({u, v});
        return {content.left + origin.x + int32_t(p.x), content.top + origin.y + int32_t(p.y)};
    }
    // Whether a pixel of the colour lies within 3 pixels of the point along x.
    bool ColourNear(const CLPoint& at, uint32_t colour) {
        for (int dx = -3; dx <= 3; ++dx)
            if (Near(ScreenPixel(backend->XDisplay(), at.x + dx, at.y), colour, 3)) return true;
        return false;
    }
    void Xdotool(const std::string& args) {
        const std::string cmd = "DISPLAY=" + display + " xdotool " + args;
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }

    std::string display;
    std::unique_ptr<plat::x11::X11Backend> backend;
    COpenGLContext_Cca* common = nullptr;
    CMacWindowMgr* mgr = nullptr;
    LMouse* mouse = nullptr;
    LKeyboard* keyboard = nullptr;
    CMacMainLoop* loop = nullptr;
    Root root;
    AppDelegate delegate{nullptr, nullptr};
    plat::ResFileRef fRef = 0;
    std::unique_ptr<ResourceFileProvider> fProvider;
    std::unique_ptr<ResourceProviderChain> fChain;
    Documents docs;
    CDimWindow* window = nullptr;
};

TEST_F(DimWindowX11Test, ClickSelectsDragMovesUndoPutsBack) {
    if (testsupport::CommandOutput("command -v Xvfb").empty()) GTEST_SKIP() << "Xvfb is not installed";
    if (testsupport::CommandOutput("command -v xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
    testsupport::PinFontsToDejaVu();
    static testsupport::XvfbServer server{"1024x768x24"};
    ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
    display = server.Display();
    plat::x11::X11Backend::Options options;
    options.glWindows = true;
    backend = plat::x11::X11Backend::Open(display.c_str(), options);
    ASSERT_NE(backend, nullptr);
    if (!plat::GLDisplay::WindowSurfaces()) GTEST_SKIP() << "no EGL window surfaces on this server";
    plat::SetBackend(backend.get());
    ASSERT_TRUE(backend->Start());
    fRef = plat::OpenResFile(ORBILUME_RESOURCE_FILE);
    ASSERT_GT(fRef, 0);
    fProvider = std::make_unique<ResourceFileProvider>(fRef);
    fChain = std::make_unique<ResourceProviderChain>();
    fChain->Add(fProvider.get());
    ResourceProviderChain::SetGlobal(fChain.get());
    plat::Application::Shared()->SetDelegate(&delegate);
    plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    plat::Application::Shared()->Activate();
    mgr = new CMacWindowMgr;
    mouse = new LMouse;
    keyboard = new LKeyboard;
    loop = new CMacMainLoop(&root);
    common = COpenGLCommonCtx::Use();
    ASSERT_TRUE(common->valid());
    COpenGLContext_Cca::SetShared(common);

    ASSERT_TRUE(docs.Read(DimsXml({{.x = 0, .y = 0, .w = 0.5f, .h = 0.5f}, {.x = -0.9f, .y = 0.9f, .dxch = 4}})));
    SDimWindowSources sources;
    sources.settingsHolder = &docs.prefs;
    sources.settings = docs.Settings();
    sources.dims = &docs.dims;
    sources.defs = &docs.defs;
    window = new CDimWindow(&root, nullptr, CDimWindow::MakeSpec(), sources);
    window->ShowWindow();
    ASSERT_TRUE(RunUntil([&] { return window->View()->PaneSize().width > 100; }));
    // The row's first-channel knob shows its number: dark ink inside the knob's text area.
    {
        CDimDeviceList* list = window->DeviceList();
        const CLRect cellRect = list->CellRect({0, 0});
        auto* cell = static_cast<CDimDeviceCell*>(list->GetPrototypeCell());
        ASSERT_NE(cell, nullptr);
        const CLPoint listOrigin = list->GetOriginIn(nullptr);
        const CLRect assign = cell->AssignFrame()->Bounds();
        const CLRect text = cell->FirstChannel()->TextRect();
        const CLRect content = window->GetWindowRect();
        const int32_t x0 = content.left + listOrigin.x + cellRect.left + assign.left + text.left;
        const int32_t y0 = content.top + listOrigin.y + cellRect.top + assign.top + text.top;
        auto grab = [&] {
            std::vector<uint32_t> px;
            for (int32_t y = y0; y < y0 + text.Height(); ++y)
                for (int32_t x = x0; x < x0 + text.Width(); ++x) px.push_back(ScreenPixel(backend->XDisplay(), x, y));
            return px;
        };
        auto darkest = [](const std::vector<uint32_t>& px) {
            int d = 255;
            for (uint32_t p : px)
                d = std::min(d, int(((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100);
            return d;
        };
        // Settled drawing: every pending redraw of the list has run.
        RunUntil([] { return false; }, 0.5);
        std::vector<uint32_t> one;
        EXPECT_TRUE(RunUntil([&] { return darkest(one = grab()) < 100; })) << darkest(one) << " at " << x0 << "," << y0;
        // Another number draws other pixels there, and a row of the other mode's parts never covers it.
        ASSERT_TRUE(docs.DeviceRef(0).SetUInt(nullptr, T::kDidvFirstSlot, 488));
        EXPECT_TRUE(RunUntil([&] {
            const std::vector<uint32_t> now = grab();
            return now != one && darkest(now) < 100;
        }));
        RunUntil([] { return false; }, 0.5);
        EXPECT_LT(darkest(grab()), 100);
        ASSERT_TRUE(docs.DeviceRef(0).SetUInt(nullptr, T::kDidvFirstSlot, 1));
    }
    // Rows drawn by the prototype show every part, the last one too, and each column title shows
    // over its part: dark ink in each rectangle (screen coordinates).
    {
        CDimDeviceList* list = window->DeviceList();
        auto* cell = static_cast<CDimDeviceCell*>(list->GetPrototypeCell());
        ASSERT_NE(cell, nullptr);
        const CLRect content = window->GetWindowRect();
        auto onScreen = [&](const LPane* part, const CLRect& row) {
            int32_t x = part->Bounds().left, y = part->Bounds().top;
            for (const LPane* o = part->Owner(); o && o != cell; o = o->Owner()) {
                x += o->Bounds().left;
                y += o->Bounds().top;
            }
            const CLPoint l = list->GetOriginIn(nullptr);
            x += content.left + l.x + row.left;
            y += content.top + l.y + row.top;
            return CLRect{x, y, x + part->Bounds().Width(), y + part->Bounds().Height()};
        };
        auto darkest = [&](const CLRect& r) {
            int d = 255;
            for (int32_t y = r.top + 2; y < r.bottom - 2; ++y)
                for (int32_t x = r.left + 2; x < r.right - 2; ++x) {
                    const uint32_t p = ScreenPixel(backend->XDisplay(), x, y);
                    d = std::min(d, int(((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100);
                }
            return d;
        };
        ASSERT_FALSE(CCellRef(list, {0, 1}, true).IsLive());
        for (int32_t row = 0; row < 2; ++row) {
            const CLRect cellRect = list->CellRect({0, row});
            EXPECT_LT(darkest(onScreen(cell->Output(), cellRect)), 100) << "the output pop-up of row " << row;
            const CLRect universe = onScreen(cell->Knob(dimcell::CEdits::Setter::kUniverse), cellRect);
            EXPECT_LE(universe.right, content.right) << "row " << row << " cut off";
            EXPECT_LT(darkest(universe), 100) << "the universe of row " << row;
        }
        CHeaderFrame* header = window->ColumnHeader();
        const CLPoint h = header->GetOriginIn(nullptr);
        for (int32_t i = 0; i <= 2; ++i) {
            CLRect r = header->Item(i)->Bounds();
            r.Shift(content.left + h.x, content.top + h.y);
            EXPECT_LT(darkest(r), 100) << "column title " << i;
        }
    }
    const LRGB sel = SelectionBackgroundRGB();
    const uint32_t selColour = uint32_t(sel.red) << 16 | uint32_t(sel.green) << 8 | sel.blue;

    // The left edge of the device, unselected: grey.
    const CLPoint edge = Screen(-0.25, 0);
    EXPECT_TRUE(RunUntil([&] { return ColourNear(edge, 0x808080); }))
        << std::hex << ScreenPixel(backend->XDisplay(), edge.x, edge.y);

    // A click selects it: the outline in the selection colour, its row selected.
    const CLPoint centre = Screen(0.05, 0.05);
    Xdotool("mousemove " + std::to_string(centre.x) + " " + std::to_string(centre.y) + " click 1");
    EXPECT_TRUE(RunUntil([&] { return docs.DeviceAt(0)->GetByte(T::kDidvSelected) != 0; }));
    EXPECT_TRUE(RunUntil([&] { return window->DeviceList()->IsSelected({0, 0}); }));
    // Away from the device: no longer the hovered one.
    const CLPoint away = Screen(0.9, -0.9);
    Xdotool("mousemove " + std::to_string(away.x) + " " + std::to_string(away.y));
    Xdotool("mousemove " + std::to_string(away.x + 1) + " " + std::to_string(away.y));
    EXPECT_TRUE(RunUntil([&] { return ColourNear(edge, selColour); }))
        << std::hex << ScreenPixel(backend->XDisplay(), edge.x, edge.y);

    // A drag of 40 pixels moves it 40 pixels. The move is a drag session whose loop runs inside
    // the event dispatch, so xdotool drives it from the background.
    Xdotool("mousemove " + std::to_string(centre.x) + " " + std::to_string(centre.y));
    RunUntil([] { return false; }, 0.2);
    std::string steps = "mousedown 1 sleep 0.2";
    for (int dx = 8; dx <= 40; dx += 8)
        steps += " mousemove " + std::to_string(centre.x + dx) + " " + std::to_string(centre.y) + " sleep 0.1";
    Xdotool(steps + " mouseup 1 &");
    const double moved = 40.0 / double(window->View()->PaneSize().width) * 2.4;
    EXPECT_TRUE(RunUntil([&] { return std::fabs(docs.DeviceAt(0)->GetFloat(T::kDidvPosX) - moved) < 1e-3; }))
        << docs.DeviceAt(0)->GetFloat(T::kDidvPosX) << " want " << moved;
    // Under the pointer it is the hovered one (white); away from it, the selection colour.
    const CLPoint movedEdge{edge.x + 40, edge.y};
    EXPECT_TRUE(RunUntil([&] { return ColourNear(movedEdge, 0xFFFFFF); }));
    Xdotool("mousemove " + std::to_string(away.x) + " " + std::to_string(away.y));
    EXPECT_TRUE(RunUntil([&] { return ColourNear(movedEdge, selColour); }))
        << std::hex << ScreenPixel(backend->XDisplay(), movedEdge.x, movedEdge.y);

    // Undo puts it back.
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_FLOAT_EQ(docs.DeviceAt(0)->GetFloat(T::kDidvPosX), 0);
    EXPECT_TRUE(RunUntil([&] { return ColourNear(edge, selColour); }));
}

}  // namespace
