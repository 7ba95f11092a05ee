// "/.monitor" against a real mix engine rendering off screen, checked with curl and pngcheck.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Http/EngineMonitorSource.h"
#include "Orbilume/CSources/Http/FormServer.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/PNGDecoder.h"
#include "tests/Orbilume/CSources/Http/FormTestDocuments.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/Orbilume/CSources/Osc/OscRecorder.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

using composertest::GraphBuilder;
using namespace qctest;

namespace {

using T = CDocModelTypes;
constexpr int kW = 64, kH = 32;

bool HaveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

#define NEED(program) \
    if (!HaveProgram(program)) GTEST_SKIP() << program " is not installed"

// A panel whose monitor is an engine drawing one solid layer into a 64 x 32 window stand-in; frames
// are rendered on the main thread while a client waits.
class EngineMonitorTest : public QcGLTest {
protected:
    void SetUp() override {
        QcGLTest::SetUp();
        const GraphBuilder solid = composertest::SolidColorGraph();
        ASSERT_TRUE(plat::WritePropertyListFile(dir.File("solid.qtz"), solid.PropertyList(),
                                                plat::PropertyListFormat::Xml));
        doc = std::make_unique<CDocModelHolder>();
        doc->SetDocumentPath(CMacFileU::LFsSpecFromPath(dir.File("show.obm").c_str()));
        CRecordRef mix = doc->Mix();
        const int32_t n = UDocUnits::AddCompositionLayer(mix, nullptr, 99, LString("solid.qtz"));
        ASSERT_GE(n, 0);
        CRecord* unit = mix->GetElement(T::kMixsLayers, static_cast<uint32_t>(n))->GetSubRecord(T::kLayrUnit);
        ASSERT_TRUE(
            UDocUnits::SetUnitInput(mix, nullptr, unit, LString("Color"), LString("rgba(0,0.5,1,1)"), false));

        window = new COpenGLFBOTarget(kW, kH, nullptr);
        {
            COpenGLScope_Cca scope(window->context());
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, window->fbo());
            glViewport(0, 0, kW, kH);
        }
        engine = std::make_unique<CMixEngine>(doc.get(), &prefs);
        engine->SetOutputSize(kW, kH);
        engine->LoadLayers();
        source = std::make_unique<EngineMonitorSource>(engine.get());

        FormServerSettings settings;
        settings.root = root.Path();
        settings.monsz = 48;
        server = std::make_unique<CFormServer>(main.Loop(), &listener, &documents, settings, nullptr);
        server->SetFragments(formtest::Fragments());
        server->SetMonitorSource(source.get());
        ASSERT_EQ(server->Listen(0, nettest::kLoopback), 0);
        base = "http://127.0.0.1:" + std::to_string(server->Port());
    }
    void TearDown() override {
        server.reset();
        source.reset();
        engine.reset();
        doc.reset();
        if (window) window->Release();
        QcGLTest::TearDown();
    }

    // Runs the command while the main loop turns, rendering a frame each turn when asked to.
    std::string Serve(const std::string& command, bool render) {
        std::atomic<bool> done{false};
        std::string out;
        std::thread t([&] {
            out = testsupport::CommandOutput(command);
            done = true;
        });
        EXPECT_TRUE(main.RunUntil(
            [&] {
                if (render && engine) {
                    engine->RenderFrame(window->context(), CMixEngine::SFrameRequest{});
                    ++frames;
                }
                return done.load();
            },
            20));
        t.join();
        return out;
    }

    nettest::MainLoop main;
    testsupport::TempDir dir;
    testsupport::TempDir root;
    osctest::OscRecorder listener;
    formtest::Documents documents;
    CAppPrefs prefs;
    std::unique_ptr<CDocModelHolder> doc;
    std::unique_ptr<CMixEngine> engine;
    std::unique_ptr<EngineMonitorSource> source;
    std::unique_ptr<CFormServer> server;
    COpenGLFBOTarget* window = nullptr;
    std::string base;
    int frames = 0;
};

TEST_F(EngineMonitorTest, MonitorShowsTheRenderedColourScaledToTheSetting) {
    NEED("curl");
    NEED("pngcheck");
    const std::string file = root.File("m.png");
    const std::string head =
        Serve("curl -s -D - --noproxy '*' --max-time 10 -o '" + file + "' " + base + "/.monitor", true);
    EXPECT_EQ(head.rfind("HTTP/1.1 200", 0), 0u) << head;
    EXPECT_GT(frames, 0);
    const std::string check = testsupport::CommandOutput("pngcheck '" + file + "' 2>&1; echo rc=$?");
    EXPECT_NE(check.find("48x24"), std::string::npos) << check;
    EXPECT_NE(check.find("rc=0"), std::string::npos) << check;
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    plat::Ref<plat::BitmapImage> image = plat::PNGDecoder::Decode(bytes.data(), bytes.size());
    ASSERT_TRUE(image);
    ASSERT_EQ(image->Width(), 48);
    ASSERT_EQ(image->Height(), 24);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{24, 12}, std::pair{47, 23}})
        EXPECT_TRUE(PixelNear(image->PixelAt(x, y), 0xFF0080FF, 3))
            << x << "," << y << " " << std::hex << image->PixelAt(x, y);
    EXPECT_EQ(server->Monitor().Captures(), 1u);
}

TEST_F(EngineMonitorTest, NothingRenderingOrTheEngineEndedAnswers503) {
    NEED("curl");
    // No frame comes: the 2 s limit answers.
    const std::string idle =
        Serve("curl -s -D - -o /dev/null --noproxy '*' --max-time 10 " + base + "/.monitor", false);
    EXPECT_EQ(idle.rfind("HTTP/1.1 503", 0), 0u) << idle;
    // The engine ends while a capture waits: the wait fails at once; later requests too.
    std::atomic<bool> done{false};
    std::string out;
    std::thread t([&] {
        out = testsupport::CommandOutput("curl -s -D - -o /dev/null --noproxy '*' --max-time 10 " + base +
                                         "/.monitor");
        done = true;
    });
    EXPECT_TRUE(main.RunUntil([&] { return server->Monitor().Captures() == 2; }, 10));
    engine.reset();
    EXPECT_TRUE(source->EngineEnded());
    EXPECT_TRUE(main.RunUntil([&] { return done.load(); }, 1.5));
    t.join();
    EXPECT_EQ(out.rfind("HTTP/1.1 503", 0), 0u) << out;
    const std::string after =
        Serve("curl -s -D - -o /dev/null --noproxy '*' --max-time 10 " + base + "/.monitor", false);
    EXPECT_EQ(after.rfind("HTTP/1.1 503", 0), 0u) << after;
}

// Without an engine the panel shows the fixed picture.
TEST_F(EngineMonitorTest, NoEngineFallsBackToTheFixedPicture) {
    NEED("curl");
    NEED("pngcheck");
    server->SetMonitorSource(nullptr);
    const std::string file = root.File("f.png");
    const std::string head =
        Serve("curl -s -D - --noproxy '*' --max-time 10 -o '" + file + "' " + base + "/.monitor", false);
    EXPECT_EQ(head.rfind("HTTP/1.1 200", 0), 0u) << head;
    const std::string check = testsupport::CommandOutput("pngcheck '" + file + "' 2>&1; echo rc=$?");
    EXPECT_NE(check.find("48x27"), std::string::npos) << check;
}

}  // namespace
