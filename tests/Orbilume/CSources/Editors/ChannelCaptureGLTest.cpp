#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "Common/OpenGL/CObSampleDC.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CChannelEngine.h"
#include "Orbilume/CSources/Editors/CChannelList.h"
#include "Orbilume/CSources/Editors/CLayerFrm.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/GL/GLSurface.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/support/GLFixture.h"
#include "tests/support/TempDir.h"

namespace {

using T = CDocModelTypes;
using P = CAppPrefs;
using namespace qctest;

constexpr int kW = 32, kH = 16;

// Stands for a channel cell's owner: the list cancels a drawing target's captures as it goes.
struct TargetOwner : LHandler {
    IChannelEngine* engine = nullptr;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CObSampleDC_Destruct) && msg.sender) {
            engine->CancelCaptures(&static_cast<CObSampleDC*>(msg.sender)->context());
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
};

// A solid colour composition.
bool WriteSolid(const std::string& path) {
    return plat::WritePropertyListFile(path, composertest::SolidColorGraph().PropertyList(),
                                       plat::PropertyListFormat::Xml);
}

class ChannelCaptureGLTest : public QcGLTest {
protected:
    void SetUp() override {
        QcGLTest::SetUp();
        ASSERT_TRUE(WriteSolid(dir.File("solid.qtz")));
        doc = std::make_unique<CDocModelHolder>();
        doc->SetDocumentPath(CMacFileU::LFsSpecFromPath(dir.File("show.obm").c_str()));
        for (int i = 0; i < 2; ++i)
            ASSERT_GE(UDocUnits::AddCompositionLayer(doc->Mix(), nullptr, 99, LString("solid.qtz")), 0);
        window = new COpenGLFBOTarget(kW, kH, nullptr);
        {
            COpenGLScope_Cca scope(window->context());
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, window->fbo());
            glViewport(0, 0, kW, kH);
        }
        // Outside the GL scope: the engine's lock comes before the context's, as on the render thread.
        engine = std::make_unique<CMixEngine>(doc.get(), &prefs);
        engine->SetOutputSize(kW, kH);
        engine->LoadLayers();
    }
    void TearDown() override {
        engine.reset();
        doc.reset();
        window->Release();
        QcGLTest::TearDown();
    }
    uint32_t UnitId(uint32_t n) {
        CRecord* layer = doc->Mix()->GetElement(T::kMixsLayers, n);
        CRecord* unit = layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
        return unit ? unit->GetUInt(T::kUnitId) : 0;
    }

    testsupport::TempDir dir;
    CAppPrefs prefs;
    std::unique_ptr<CDocModelHolder> doc;
    std::unique_ptr<CMixEngine> engine;
    COpenGLFBOTarget* window = nullptr;
};

// Cells come and go (layers inserted and removed, their drawing targets deleted) while a render
// thread serves captures into them: a target goes only once no capture into it is queued or in
// service, so nothing draws into a freed target.
TEST_F(ChannelCaptureGLTest, TargetsGoWhileTheRenderThreadServesCaptures) {
    CMixChannelEngine channel(engine.get());
    TargetOwner owner;
    owner.engine = &channel;
    plat::OffscreenGLWindowHost host;
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> frames{0};
    std::thread render([&] {
        while (!stop.load()) {
            engine->RenderFrame(window->context(), CMixEngine::SFrameRequest{0});
            frames.fetch_add(1);
        }
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    uint32_t i = 0;
    while (std::chrono::steady_clock::now() < end || frames.load() < 20) {
        // A cell's target for a mix capture (drawn outside the engine's locks) and a unit capture.
        auto* dc = new CObSampleDC(&owner, &host);
        auto* fbo = new COpenGLFBOTarget(8, 8, nullptr);
        channel.RequestCapture(UnitId(0), &dc->context(), i % 2 == 0);
        engine->RequestMixCapture(&fbo->context());
        channel.RequestCapture(UnitId(1), &fbo->context(), true);
        if (i % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200 * (i % 5)));
        delete dc;  // "CObSampleDC_Destruct": the owner cancels and waits
        channel.CancelCaptures(&fbo->context());
        fbo->Release();
        if (i % 10 == 3) {
            ASSERT_GE(UDocUnits::AddCompositionLayer(doc->Mix(), nullptr, 0, LString("solid.qtz")), 0);
        }
        if (i % 10 == 8 && doc->Mix()->ArrayCount(T::kMixsLayers) > 2)
            UDocUnits::DeleteLayer(*doc, nullptr, 0);
        ++i;
    }
    stop.store(true);
    render.join();
    EXPECT_GT(frames.load(), 5u);
    EXPECT_EQ(engine->QueuedCaptures(), 0u);
}

// Counts what the list asks of the engine it sits on.
struct CountingEngine : IChannelEngine {
    explicit CountingEngine(IChannelEngine* inner) : inner(inner) {}
    bool HasLayer(uint32_t index) override { return inner->HasLayer(index); }
    std::unique_ptr<CUnitPortList> PortList(uint32_t unitId) override { return inner->PortList(unitId); }
    void RequestCapture(uint32_t unitId, COpenGLContext_Cca* target, bool immediate) override {
        if (target) ++captures;
        inner->RequestCapture(unitId, target, immediate);
    }
    void CancelCaptures(COpenGLContext_Cca* target) override {
        ++cancels;
        inner->CancelCaptures(target);
    }
    void SetUnitParamByKey(uint32_t unitId, const LString& key, const LString& value) override {
        inner->SetUnitParamByKey(unitId, key, value);
    }
    bool OutputStrings(uint32_t unitId, const LString& key, std::vector<LString>& out) override {
        return inner->OutputStrings(unitId, key, out);
    }
    IChannelEngine* inner;
    uint32_t captures = 0;
    uint32_t cancels = 0;
};

// The channel list in a headless window whose cells make real drawing targets (offscreen GL
// surfaces on llvmpipe), over an engine of n solid layers.
class ChannelListGLTest : public dialogtest::HeadlessDialogTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(resources.Ok());
        testsupport::UseSoftwareGL();
        common = COpenGLCommonCtx::Use();
        ASSERT_TRUE(common->valid());
        COpenGLContext_Cca::SetShared(common);
        MQcRenderer_::SetInternalFolder(std::string(SHARED_SUPPORT_DIR) + "/privatecompo");
        ASSERT_TRUE(WriteSolid(dir.File("solid.qtz")));
        model.SetDocumentPath(CMacFileU::LFsSpecFromPath(dir.File("show.obm").c_str()));
        dcpf = prefs.AppendDocument();
        CLayerFrm::SetPreviewsEnabled(true);
    }
    void TearDown() override {
        // The cells (their drawing targets cancelled) go while the render thread may still run.
        delete list;
        list = nullptr;
        StopRendering();
        counting.reset();
        channel.reset();
        engine.reset();
        if (output) output->Release();
        if (common) COpenGLContext_Cca::SetShared(nullptr);
    }
    void MakeShow(uint32_t layers) {
        for (uint32_t i = 0; i < layers; ++i)
            ASSERT_GE(UDocUnits::AddCompositionLayer(model.Mix(), nullptr, i, LString("solid.qtz")), 0);
        engine = std::make_unique<CMixEngine>(&model, &prefs);
        engine->SetOutputSize(kW, kH);
        engine->LoadLayers();
        channel = std::make_unique<CMixChannelEngine>(engine.get());
        counting = std::make_unique<CountingEngine>(channel.get());
        list = new CChannelList(&dialog, &owner, &model, counting.get(), dcpf);
        dialog.SetWindowFrame({0, 0, 1440, 600});
        dialog.ShowWindow();
        list->SetBounds({0, 0, 1440, 600});
        image = plat::DrawContext::CreateImage(1440, 600);
    }
    void StartRendering() {
        output = new COpenGLFBOTarget(kW, kH, nullptr);
        {
            COpenGLScope_Cca scope(output->context());
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, output->fbo());
            glViewport(0, 0, kW, kH);
        }
        render = std::thread([this] {
            while (!stop.load()) {
                engine->RenderFrame(output->context(), CMixEngine::SFrameRequest{0});
                frames.fetch_add(1);
            }
        });
    }
    void StopRendering() {
        stop.store(true);
        if (render.joinable()) render.join();
    }
    // Draws the list as a window update does: the visible cells get live panes.
    void Draw() {
        LPanePort port(list);
        LDrawContext ctx(port, image.get());
        list->Draw(ctx);
    }
    // Live cells and those of them with a drawing target.
    std::pair<int32_t, int32_t> LiveCells() {
        int32_t live = 0, targets = 0;
        for (int32_t c = 0; c < list->Columns(); ++c)
            if (CLayerFrm* cell = list->CellPane(uint32_t(c))) {
                ++live;
                if (cell->PreviewTarget()) ++targets;
            }
        return {live, targets};
    }

    testsupport::TempDir dir;
    COpenGLContext_Cca* common = nullptr;
    CAppPrefs prefs;
    CRecord* dcpf = nullptr;
    CDocModelHolder model;
    LHandler owner;
    LFrame dialog{&root, nullptr, ModalSpec()};
    std::unique_ptr<CMixEngine> engine;
    std::unique_ptr<CMixChannelEngine> channel;
    std::unique_ptr<CountingEngine> counting;
    CChannelList* list = nullptr;
    plat::Ref<plat::DrawContext> image;
    COpenGLFBOTarget* output = nullptr;
    std::thread render;
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> frames{0};
};

// Cells are released and rebuilt (DCPF field 10 toggled), layers inserted and removed, while the
// render thread serves the captures the list queues into the cells' drawing targets: every
// target goes only after its captures are cancelled and none is in service.
TEST_F(ChannelListGLTest, ToggledAssignmentsReleaseCellsWhileCapturesAreServed) {
    MakeShow(3);
    StartRendering();
    Draw();
    ASSERT_GT(LiveCells().second, 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    uint32_t i = 0;
    while (std::chrono::steady_clock::now() < end || frames.load() < 20 || i < 12) {
        CRecordRef(&dcpf).SetInt(nullptr, P::kDocRunTime10, int32_t(i % 2));  // cells released
        Draw();  // and rebuilt: each fill queues its layer's previews
        for (int k = 0; k < 4 && list->HasPendingPreviews(); ++k) list->ServePreviews();
        if (i % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300 * (i % 4)));
        if (i % 7 == 2) {
            ASSERT_GE(UDocUnits::AddCompositionLayer(model.Mix(), nullptr, 0, LString("solid.qtz")), 0);
        }
        if (i % 7 == 5 && model.Mix()->ArrayCount(T::kMixsLayers) > 2)
            UDocUnits::DeleteLayer(model, nullptr, 0);
        ++i;
    }
    EXPECT_GT(counting->captures, 10u);
    EXPECT_GT(counting->cancels, 0u);
    // The console closes while the thread still renders.
    delete list;
    list = nullptr;
    StopRendering();
    EXPECT_GT(frames.load(), 5u);
    EXPECT_EQ(engine->QueuedCaptures(), 0u);
}

// Scrolling through a long show leaves live panes, and so drawing targets, only to the visible
// cells and a few beyond them.
TEST_F(ChannelListGLTest, ScrollingThroughAllColumnsKeepsOnlyTheVisibleCellsLive) {
    MakeShow(200);
    Draw();
    const int32_t visible = list->VisibleColumns();
    ASSERT_GT(visible, 2);
    ASSERT_LT(visible, 50);
    const int32_t bound = visible + 2 * CCellGridPane::kLiveMargin + 2;  // and the hot and focus cells
    for (int32_t first = 0; first <= list->LastFirstColumn(); ++first) {
        list->SetScrollPos(first, 0);
        Draw();
        const auto [live, targets] = LiveCells();
        ASSERT_LE(live, bound) << first;
        EXPECT_EQ(targets, live) << first;
        // Spares and the prototype aside.
        ASSERT_LE(int32_t(list->PaneCount()), bound + 3) << first;
    }
    EXPECT_EQ(list->FirstColumn(), 200 - list->FullyVisibleColumns());
    for (int32_t c = list->FirstColumn(); c < 200; ++c) EXPECT_NE(list->CellPane(uint32_t(c)), nullptr) << c;
    EXPECT_EQ(list->CellPane(0), nullptr);
}

}  // namespace
