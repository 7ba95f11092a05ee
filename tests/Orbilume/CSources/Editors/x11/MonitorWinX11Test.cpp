#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/COutRenderWin.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/GL/GLDisplay.h"
#include "Platform/Resources/ResourceFile.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/support/CommandOutput.h"
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

using testsupport::ScreenPixel;
using testsupport::Near;

using composertest::GraphBuilder;
using plat::Dictionary;
using plat::Value;

struct Root : LHandler {};

// A monitor window on a private Xvfb with GL window surfaces (llvmpipe), over an engine whose
// document mixes two solid-colour layers. The EGL display stays on its server for the process, so
// the whole story is one test.
class MonitorWinX11Test : public ::testing::Test {
protected:
    void TearDown() override {
        delete monitor;
        engine.reset();
        doc.reset();
        prefs.reset();
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

    void WriteSolid() {
        Dictionary u;
        u.Set(plat::kPublishedPortKey, Value("color"));
        u.Set(plat::kPortAttributeType, Value("color"));
        u.Set(plat::kPortAttributeDefault, Value(plat::Color{1, 1, 1, 1}));
        plat::ValueArray uniforms;
        uniforms.push_back(Value(std::move(u)));
        Dictionary state;
        state.Set(plat::kShaderStateFragment,
                  Value("uniform vec4 color; void main() { gl_FragColor = color; }"));
        state.Set(plat::kShaderStateUniforms, Value(std::move(uniforms)));
        GraphBuilder g;
        g.Node("g", plat::kNodeClassGLSL, state);
        g.PublishInput("Color", "g", "color");
        ASSERT_TRUE(plat::WritePropertyListFile(dir.File("solid.qtz"), g.PropertyList(),
                                                plat::PropertyListFormat::Xml));
    }

    void AddLayer(const char* color, const char* mode) {
        CRecordRef mix = doc->Mix();
        const int32_t n = UDocUnits::AddCompositionLayer(mix, nullptr, 99, LString("solid.qtz"));
        ASSERT_GE(n, 0);
        CRecord* unit = mix->GetElement(CDocModelTypes::kMixsLayers, uint32_t(n))
                            ->GetSubRecord(CDocModelTypes::kLayrUnit);
        for (auto [key, value] :
             {std::pair{"Color", color}, {"_oblayer_MixFunc", mode}, {"_oblayer_Blend", "1"}})
            ASSERT_TRUE(UDocUnits::SetUnitInput(mix, nullptr, unit, LString(key), LString(value), false));
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

    // The view's centre on the screen.
    uint32_t CentrePixel() {
        const CLRect content = monitor->ContentRect();
        const CLRect view = monitor->ViewBounds();
        return ScreenPixel(backend->XDisplay(), content.left + view.left + view.Width() / 2,
                           content.top + view.top + view.Height() / 2);
    }
    std::pair<uint32_t, uint32_t> OutputSize() const {
        uint32_t w = 0, h = 0;
        engine->FullOutputSize(w, h);
        return {w, h};
    }

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
    testsupport::TempDir dir;
    std::unique_ptr<CAppPrefs> prefs;
    std::unique_ptr<CDocModelHolder> doc;
    std::unique_ptr<CMixEngine> engine;
    CMonitorWin* monitor = nullptr;
};

TEST_F(MonitorWinX11Test, ShowsTheMixFollowsResizesAndRestartsAfterHiding) {
    if (testsupport::CommandOutput("command -v Xvfb").empty()) GTEST_SKIP() << "Xvfb is not installed";
    testsupport::PinFontsToDejaVu();
    static testsupport::XvfbServer server{"1024x768x24"};
    ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
    plat::x11::X11Backend::Options options;
    options.glWindows = true;
    backend = plat::x11::X11Backend::Open(server.Display().c_str(), options);
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
    MQcRenderer_::SetInternalFolder(std::string(SHARED_SUPPORT_DIR) + "/privatecompo");

    WriteSolid();
    prefs = std::make_unique<CAppPrefs>();
    doc = std::make_unique<CDocModelHolder>();
    doc->SetDocumentPath(CMacFileU::LFsSpecFromPath(dir.File("show.obm").c_str()));
    AddLayer("rgba(0.25,0,0,1)", "max");
    AddLayer("rgba(0.25,0.5,0,1)", "add");
    engine = std::make_unique<CMixEngine>(doc.get(), prefs.get());
    engine->LoadLayers();
    ASSERT_EQ(engine->LayerCount(), 2u);

    monitor = new CMonitorWin(&root, engine.get(), false);
    monitor->SetViewSize(320, 240);
    monitor->ShowWindow();
    COutRenderWin* out = monitor->RenderWin();
    ASSERT_TRUE(out->Context()->valid());
    EXPECT_TRUE(RunUntil([&] { return OutputSize() == std::make_pair(320u, 240u); }));
    // The two layers added: (0.5, 0.5, 0).
    EXPECT_TRUE(RunUntil([&] { return Near(CentrePixel(), 0x808000, 3); })) << std::hex << CentrePixel();

    // A resize reaches the engine once the debounce has run.
    monitor->SetViewSize(400, 300);
    EXPECT_EQ(OutputSize(), std::make_pair(320u, 240u));
    EXPECT_TRUE(RunUntil([&] { return OutputSize() == std::make_pair(400u, 300u); }));
    EXPECT_EQ(monitor->ViewBounds(), (CLRect{0, 0, 400, 300}));
    EXPECT_TRUE(RunUntil([&] { return Near(CentrePixel(), 0x808000, 3); })) << std::hex << CentrePixel();

    // Resized by hand from outside (the window manager's way): the output follows the view.
    if (!testsupport::CommandOutput("command -v xdotool").empty()) {
        const std::string cmd = "DISPLAY=" + server.Display() + " xdotool windowsize " +
                                std::to_string(backend->XWindowOf(monitor->Window()->NativeWindow())) +
                                " 360 280";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        EXPECT_TRUE(RunUntil([&] { return monitor->ViewBounds().Width() == 360; }));
        const CLRect view = monitor->ViewBounds();
        EXPECT_TRUE(RunUntil([&] {
            return OutputSize() == std::make_pair(uint32_t(view.Width()), uint32_t(view.Height()));
        })) << view.Width()
            << "x" << view.Height();
        EXPECT_TRUE(RunUntil([&] { return Near(CentrePixel(), 0x808000, 3); })) << std::hex << CentrePixel();
    }

    // Hidden, the loop stops; shown again, it restarts and the mix is back.
    const uint32_t starts = out->StartCount();
    monitor->HideWindow();
    EXPECT_TRUE(RunUntil([&] { return !out->IsRunning(); }));
    const uint32_t frames = out->FrameCount();
    RunUntil([] { return false; }, 0.2);
    EXPECT_EQ(out->FrameCount(), frames);
    monitor->ShowWindow();
    EXPECT_TRUE(RunUntil([&] { return out->StartCount() == starts + 1 && out->FrameCount() > frames + 2; }));
    EXPECT_TRUE(RunUntil([&] { return Near(CentrePixel(), 0x808000, 3); })) << std::hex << CentrePixel();
}

}  // namespace
