#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "Common/ObjC/CMacMenuBridge.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/LEditText.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/COpenGLView.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CMainLoopUI.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CSlider.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Editors/CChannelEngine.h"
#include "Orbilume/CSources/Editors/CChannelList.h"
#include "Orbilume/CSources/Editors/CLayerFrm.h"
#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/MenuDrawing.h"
#include "Platform/AppKit/MenuTracker.h"
#include "Platform/AppKit/Window.h"
#include "Platform/GL/GLDisplay.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/Orbilume/CSources/Editors/x11/CaptureRoot.h"
#include "tests/support/MenuPixels.h"
#include "tests/support/TempDir.h"

// Xlib last: its macros (None, Bool, Status) must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/WindowShot.h"
// clang-format on

namespace {

using T = CDocModelTypes;

// The fixture's first layer: a fill of (1, 0.5, 0.25) through a tint of 0.25 towards blue.
constexpr uint32_t kFirstLayer = 0xBF6070;

using Root = editorstest::CaptureRoot;

struct UndoDocument : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (queue.HandleMessage(msg)) return LMessage();
        return LHandler::Handle(msg);
    }
    CUndoQueue queue{0x100000};
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The show fixture's mix in the channel list of a window of its own, on a private Xvfb with GL
// window surfaces (llvmpipe); a render thread renders the mix and serves the cells' previews.
class ChannelListGLX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        glWindows = true;
        StartSession(&root, kResources);
        if (IsSkipped() || HasFatalFailure()) return;
        if (!plat::GLDisplay::WindowSurfaces()) GTEST_SKIP() << "no EGL window surfaces on this server";
        common = COpenGLCommonCtx::Use();
        ASSERT_TRUE(common->valid());
        COpenGLContext_Cca::SetShared(common);
        MQcRenderer_::SetInternalFolder(std::string(SHARED_SUPPORT_DIR) + "/privatecompo");

        const std::string fixtures = ORBILUME_FIXTURE_DIR;
        for (const char* f : {"fill.qtz", "tint.qtz", "picture.qtz", "source.qtz", "wave.qtz", "show.obm"})
            dir.Write(f, Slurp(fixtures + "/" + f));
        // The repository offers one filter of its own: a tint under another name.
        std::string deep = Slurp(fixtures + "/tint.qtz");
        const size_t name = deep.find("<string>Tint</string>");
        ASSERT_NE(name, std::string::npos);
        deep.replace(name, 21, "<string>Deep Tint</string>");
        ASSERT_EQ(system(("mkdir -p '" + dir.File("support/compositions") + "'").c_str()), 0);
        dir.Write("support/compositions/deeptint.qtz", deep);
        repository.Scan(nullptr, dir.File("support"));
        CCompoRepository::SetGlobal(&repository);

        model.SetDocumentPath(CMacFileU::LFsSpecFromPath(dir.File("show.obm").c_str()));
        std::string show = dir.Read("show.obm");
        CMemStream in(show.data(), uint32_t(show.size()));
        ASSERT_TRUE(model.ReadXml(in));
        ASSERT_EQ(model.Mix()->ArrayCount(T::kMixsLayers), 2u);
        engine = std::make_unique<CMixEngine>(&model, &prefs);
        engine->SetOutputSize(kOutW, kOutH);
        engine->LoadLayers();
        ASSERT_EQ(engine->LayerCount(), 2u);
        channels = std::make_unique<CMixChannelEngine>(engine.get());
        output = new COpenGLFBOTarget(kOutW, kOutH, nullptr);
        {
            COpenGLScope_Cca scope(output->context());
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, output->fbo());
            glViewport(0, 0, kOutW, kOutH);
        }
        // Outside any GL scope: the engine's lock comes before a context's, as on the render thread.
        render = std::thread([this] {
            while (!stop.load()) {
                engine->RenderFrame(output->context(), CMixEngine::SFrameRequest{0});
                std::this_thread::sleep_for(std::chrono::milliseconds(15));
            }
        });

        dcpf = prefs.AppendDocument();
        // The name fields mark the cells on screen; they show with 'slyn'.
        prefs.RootRef().SetBool(nullptr, CAppPrefs::kPrefShowLayerNames, true);
        doc.SetUpper(&root);
        frame = new LFrame(&doc, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6))));
        list = new CChannelList(frame, &doc, &model, channels.get(), dcpf);
        frame->SetWindowFrame({100, 100, 700, 600});
        frame->ShowWindow();
        list->SetBounds({0, 0, 600, 500});
        ASSERT_TRUE(RunUntil([&] { return frame->Window() && frame->Window()->NativeWindow()->IsVisible(); }));
        x = XOpenDisplay(Display().c_str());
        ASSERT_NE(x, nullptr);
    }
    void TearDown() override {
        // The cells (their drawing targets cancelled) go while the render thread still runs.
        delete list;
        delete frame;
        stop.store(true);
        if (render.joinable()) render.join();
        channels.reset();
        engine.reset();
        if (output) output->Release();
        if (x) XCloseDisplay(x);
        CCompoRepository::SetGlobal(nullptr);
        if (common) COpenGLContext_Cca::SetShared(nullptr);
        X11FrameworkTest::TearDown();
    }

    CLayerFrm* Cell(uint32_t c) {
        CCellRef ref(list, {int32_t(c), 0}, false);
        return static_cast<CLayerFrm*>(ref.Pane());
    }
    // The screen point of a point of a pane (its bounds' coordinates, those of its owner).
    plat::Point Screen(LPane* pane, int32_t dx, int32_t dy) {
        const CLPoint o = pane->GetOriginIn(nullptr);
        const CLRect b = pane->Bounds();
        return frame->Window()->NativeWindow()->ConvertToScreen({double(o.x + b.left + dx), double(o.y + b.top + dy)});
    }
    static std::string Args(const plat::Point& p) { return std::to_string(int(p.x)) + " " + std::to_string(int(p.y)); }
    // The middle of a cell's preview, read back from the root window.
    uint32_t PreviewMiddle(uint32_t c) {
        COpenGLView* view = Cell(c)->Preview();
        const plat::Point p = Screen(view, view->Bounds().Width() / 2, view->Bounds().Height() / 2);
        return testsupport::ScreenPixel(x, int(p.x), int(p.y));
    }
    static int Lum(uint32_t p) {
        return int(((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100;
    }
    std::string BlendOf(uint32_t n) {
        const CRecord* input = UDocModel::FindUnitInput(Unit(n), LString("_oblayer_Blend"));
        return input ? input->GetString(T::kInptValue).CStr() : "<none>";
    }
    CRecord* Unit(uint32_t n) {
        CRecord* l = model.Mix()->GetElement(T::kMixsLayers, n);
        return l ? l->GetSubRecord(T::kLayrUnit) : nullptr;
    }

    static constexpr int32_t kOutW = 64, kOutH = 48;
    Root root;
    testsupport::TempDir dir;
    CCompoRepository repository;
    COpenGLContext_Cca* common = nullptr;
    CAppPrefs prefs;
    CRecord* dcpf = nullptr;
    CDocModelHolder model;
    UndoDocument doc;
    std::unique_ptr<CMixEngine> engine;
    std::unique_ptr<CMixChannelEngine> channels;
    COpenGLFBOTarget* output = nullptr;
    std::thread render;
    std::atomic<bool> stop{false};
    LFrame* frame = nullptr;
    CChannelList* list = nullptr;
    ::Display* x = nullptr;
};

// One story: the EGL display stays on this test's server for the process.
TEST_F(ChannelListGLX11Test, PreviewsShowEachLayerFadeOutAndOfferTheLayerMenu) {
    // One cell per layer: a name field in each of the first two columns, none in the third; the
    // first layer's preview holds its fill, the second's its own image.
    ASSERT_NE(Cell(0), nullptr);
    ASSERT_NE(Cell(1), nullptr);
    ASSERT_NE(Cell(0)->Preview(), nullptr);
    EXPECT_TRUE(RunUntil([&] { return testsupport::Near(PreviewMiddle(0), kFirstLayer, 6); }, 15))
        << std::hex << PreviewMiddle(0);
    EXPECT_FALSE(testsupport::Near(PreviewMiddle(1), kFirstLayer, 6)) << std::hex << PreviewMiddle(1);
    EXPECT_EQ(list->Columns(), 2);
    {
        LPane* name = Cell(0)->NameField();
        const plat::Point at = Screen(name, name->Bounds().Width() - 4, name->Bounds().Height() / 2);
        for (int32_t c = 0; c < 3; ++c) {
            const uint32_t p = testsupport::ScreenPixel(x, int(at.x) + c * list->CellWidth(), int(at.y));
            EXPECT_EQ(p == 0xFFFFFF, c < 2) << c << " " << std::hex << p;
        }
        // Past the last cell the list shows its background, standard colour 1.
        const LRGBA back = LColor::System(1).ForDrawing();
        auto byte = [](float v) { return uint32_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
        const uint32_t want = byte(back.red) << 16 | byte(back.green) << 8 | byte(back.blue);
        const uint32_t past = testsupport::ScreenPixel(x, int(at.x) + 2 * list->CellWidth(), int(at.y));
        EXPECT_TRUE(testsupport::Near(past, want, 2)) << std::hex << past << " " << want;
    }

    // Layer 1's fader dragged to the bottom: blend "0", and its next preview is darker.
    const int before = Lum(PreviewMiddle(0));
    CSlider* fader = Cell(0)->Fader();
    const int32_t fx = fader->Bounds().Width() / 2, fh = fader->Bounds().Height();
    Xdotool("mousemove --sync " + Args(Screen(fader, fx, 3)) + " mousedown 1 mousemove --sync " +
                Args(Screen(fader, fx, 20)) + " mousemove --sync " + Args(Screen(fader, fx, fh + 40)) + " mouseup 1",
            frame->Window()->NativeWindow());
    ASSERT_TRUE(RunUntil([&] { return BlendOf(0) == "0"; })) << BlendOf(0);
    EXPECT_TRUE(RunUntil([&] { return Lum(PreviewMiddle(0)) + 40 < before; }, 10))
        << before << " " << std::hex << PreviewMiddle(0);

    // A click in layer 1's preview pops up the layer menu; its stylize row offers the repository's
    // filter, which is appended to the layer's chain. Only what the chain answers is enabled: the
    // filter file and the rows holding compositions; empty rows stay disabled.
    LMenu* menu = CLayerFrm::LayerMenu();
    LMenu* stylize = menu->FindSubmenu(LString("FilterStylize"));
    ASSERT_NE(stylize, nullptr);
    int32_t row = -1;
    for (uint32_t i = 0; i < menu->ItemCount(); ++i)
        if (menu->ItemAt(i)->Submenu() == stylize) row = int32_t(i);
    ASSERT_GE(row, 0);
    const uint32_t filters = Unit(0)->ArrayCount(T::kUnitFilters);
    bool opened = false, offered = false;
    std::string states, wanted;
    testsupport::RunLater hover(0.6, [&] {
        plat::Window* top = plat::MenuTracker::OpenWindow(0);
        plat::Menu* native = CMacMenuBridge::NativeMenuOf(menu);
        opened = top && native;
        if (!opened) return;
        for (uint32_t i = 0; i < menu->ItemCount() && int32_t(i) < native->NumberOfItems(); ++i) {
            const LMenuItem* item = menu->ItemAt(i);
            if (native->ItemAtIndex(int32_t(i))->IsSeparator()) continue;
            const bool want = item->HasCommand("CAppCmd_LoadFilter") ||
                              (item->Submenu() && item->Submenu()->ItemCount() > 0);
            wanted += want ? '+' : '-';
            states += native->ItemAtIndex(int32_t(i))->IsEnabled() ? '+' : '-';
        }
        const plat::Rect f = top->Frame();
        const plat::Rect r = plat::MenuLayout(native).Rows()[size_t(row)];
        Xdotool("mousemove --sync " + std::to_string(int(f.x + r.x + 20)) + " " +
                    std::to_string(int(f.y + r.y + r.height / 2)),
                frame->Window()->NativeWindow());
    });
    testsupport::RunLater choose(1.4, [&] {
        plat::Window* sub = plat::MenuTracker::OpenWindow(1);
        plat::Menu* native = CMacMenuBridge::NativeMenuOf(stylize);
        offered = sub && native && native->NumberOfItems() == 1 && native->ItemAtIndex(0)->Title() == "Deep Tint";
        if (!sub || !native) {
            Xdotool("key Escape", frame->Window()->NativeWindow());
            return;
        }
        const plat::Rect f = sub->Frame();
        const plat::Rect r = plat::MenuLayout(native).Rows()[0];
        Xdotool("mousemove --sync " + std::to_string(int(f.x + r.x + 20)) + " " +
                    std::to_string(int(f.y + r.y + r.height / 2)) + " click 1",
                frame->Window()->NativeWindow());
    });
    COpenGLView* view = Cell(0)->Preview();
    Xdotool("mousemove --sync " + Args(Screen(view, 10, 10)) + " click 1", frame->Window()->NativeWindow());
    ASSERT_TRUE(RunUntil([&] { return Unit(0)->ArrayCount(T::kUnitFilters) == filters + 1; }, 10));
    EXPECT_TRUE(opened);
    EXPECT_TRUE(offered);
    EXPECT_EQ(states, wanted);
    EXPECT_NE(wanted.find('-'), std::string::npos) << "no empty row to stay disabled";
    EXPECT_FALSE(plat::MenuTracker::IsTracking());
    EXPECT_STREQ(Unit(0)->GetElement(T::kUnitFilters, filters)->GetString(T::kUnitSpec).CStr(), "deeptint.qtz");
}

}  // namespace
