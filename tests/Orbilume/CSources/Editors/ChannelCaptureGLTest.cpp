#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "Common/OpenGL/CObSampleDC.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CChannelEngine.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/GL/GLSurface.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/support/TempDir.h"

namespace {

using composertest::GraphBuilder;
using plat::Dictionary;
using plat::Value;
using T = CDocModelTypes;
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

class ChannelCaptureGLTest : public QcGLTest {
protected:
    void SetUp() override {
        QcGLTest::SetUp();
        Dictionary u;
        u.Set(plat::kPublishedPortKey, Value("color"));
        u.Set(plat::kPortAttributeType, Value("color"));
        u.Set(plat::kPortAttributeDefault, Value(plat::Color{1, 0, 0, 1}));
        plat::ValueArray uniforms;
        uniforms.push_back(Value(std::move(u)));
        Dictionary state;
        state.Set(plat::kShaderStateFragment, Value("uniform vec4 color; void main() { gl_FragColor = color; }"));
        state.Set(plat::kShaderStateUniforms, Value(std::move(uniforms)));
        GraphBuilder g;
        g.Node("g", plat::kNodeClassGLSL, state);
        g.PublishInput("Color", "g", "color");
        ASSERT_TRUE(plat::WritePropertyListFile(dir.File("solid.qtz"), g.PropertyList(), plat::PropertyListFormat::Xml));
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
        if (i % 10 == 8 && doc->Mix()->ArrayCount(T::kMixsLayers) > 2) UDocUnits::DeleteLayer(*doc, nullptr, 0);
        ++i;
    }
    stop.store(true);
    render.join();
    EXPECT_GT(frames.load(), 5u);
    EXPECT_EQ(engine->QueuedCaptures(), 0u);
}

}  // namespace
