// The whole LED pipeline in one process on llvmpipe: a mix engine renders a one-colour show into a
// window stand-in, its after-frame callback hands each frame to the output's capture, which draws
// the mix with DrawMixInto; the sampling pass sends ArtDmx for the layout fixture's universes.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/DmxIn/CUvAdTable.h"
#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Led/CDimOutput.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Foundation/PropertyList.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/support/TempDir.h"

namespace {

using namespace dimtest;

constexpr uint32_t kW = 64, kH = 48;
constexpr uint32_t kPixel = 0xFFFF8000u;  // the show's colour (1, 0.5, 0)

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct SDrawArgs {
    CMixEngine* engine;
    CDimOutput* output;
};

// The application's draw callback: the mix over the whole canvas.
void DrawMix(void* context, COpenGLContext_Cca& dimContext, bool) {
    auto* args = static_cast<SDrawArgs*>(context);
    glViewport(0, 0, GLsizei(args->output->CanvasWidth()), GLsizei(args->output->CanvasHeight()));
    args->engine->DrawMixInto(dimContext, false);
}

void AfterFrame(void* context, CMixEngine*) {
    auto* args = static_cast<SDrawArgs*>(context);
    (void)args->output->Capture(args, &DrawMix);
}

class DimPipelineGLTest : public qctest::QcGLTest {
protected:
    void SetUp() override {
        QcGLTest::SetUp();
        plat::Dictionary u;
        u.Set(plat::kPublishedPortKey, plat::Value("color"));
        u.Set(plat::kPortAttributeType, plat::Value("color"));
        u.Set(plat::kPortAttributeDefault, plat::Value(plat::Color{1, 1, 1, 1}));
        plat::Dictionary state;
        state.Set(plat::kShaderStateFragment,
                  plat::Value("uniform vec4 color; void main() { gl_FragColor = color; }"));
        state.Set(plat::kShaderStateUniforms, plat::Value(plat::ValueArray{plat::Value(std::move(u))}));
        composertest::GraphBuilder solid;
        solid.Node("g", plat::kNodeClassGLSL, state);
        solid.PublishInput("Color", "g", "color");
        ASSERT_TRUE(plat::WritePropertyListFile(dir.File("solid.qtz"), solid.PropertyList(),
                                                plat::PropertyListFormat::Xml));
        show = std::make_unique<CDocModelHolder>();
        show->SetDocumentPath(CMacFileU::LFsSpecFromPath(dir.File("show.obm").c_str()));
        CRecordRef mix = show->Mix();
        const int32_t n = UDocUnits::AddCompositionLayer(mix, nullptr, 0, LString("solid.qtz"));
        ASSERT_GE(n, 0);
        CRecord* unit =
            mix->GetElement(CDocModelTypes::kMixsLayers, uint32_t(n))->GetSubRecord(CDocModelTypes::kLayrUnit);
        ASSERT_TRUE(
            UDocUnits::SetUnitInput(mix, nullptr, unit, LString("Color"), LString("rgba(1,0.5,0,1)"), false));

        window = new COpenGLFBOTarget(kW, kH, nullptr);
        engine = std::make_unique<CMixEngine>(show.get(), &docs.prefs);
        engine->SetOutputSize(kW, kH);
        engine->LoadLayers();

        layout = Slurp(std::string(LED_FIXTURES) + "/layout.obdim");
        // Art-Net: the fixture's universes are listed at 127.0.0.1.
        layout.replace(layout.find(" saco=\"1\""), 9, " saco=\"0\"");
        ASSERT_TRUE(docs.Read(layout));
        UDimPrefs::SetUse(docs.Settings(), true);
        output = std::make_unique<CDimOutput>(main.Loop(), nullptr, &docs.prefs, &docs.dims, &docs.defs);
        auto port = std::make_unique<FakeUdp>(output.get(), main.Loop());
        udp = port.get();
        output->SetUdpPort(std::move(port));
        (void)output->Table()->RebuildFromRecord();
        output->Resize(48, 36);  // the canvas of a 4:3 output with the layout's division
        args = {engine.get(), output.get()};
        engine->AddAfterFrameCallback(&args, &AfterFrame);
    }
    void TearDown() override {
        if (engine) engine->RemoveAfterFrameCallback(&args, &AfterFrame);
        output.reset();
        engine.reset();
        show.reset();
        if (window) window->Release();
        QcGLTest::TearDown();
    }

    nettest::MainLoop main;
    testsupport::TempDir dir;
    Documents docs;
    std::string layout;
    std::unique_ptr<CDocModelHolder> show;
    std::unique_ptr<CMixEngine> engine;
    std::unique_ptr<CDimOutput> output;
    COpenGLFBOTarget* window = nullptr;
    FakeUdp* udp = nullptr;
    SDrawArgs args{};
};

TEST_F(DimPipelineGLTest, TheEnginesFramesReachTheUniverses) {
    // What each universe should carry: the same layout sampled over a frame of the colour.
    std::map<uint16_t, std::vector<uint8_t>> expected;
    {
        Documents same;
        ASSERT_TRUE(same.Read(layout));
        UDimPrefs::SetUse(same.Settings(), true);
        CDimOutput reference(main.Loop(), nullptr, &same.prefs, &same.dims, &same.defs);
        reference.SetUdpPort(std::make_unique<FakeUdp>(&reference, main.Loop()));
        reference.Resize(48, 36);
        const std::vector<uint32_t> frame(48 * 36, kPixel);
        reference.SampleFrame(frame.data(), 48, 36);
        for (uint32_t i = 0; i < reference.PortCount(); ++i) {
            const SDimPort* p = reference.PortAt(i);
            expected[uint16_t(p->universe)] = std::vector<uint8_t>(p->slots + 1, p->slots + 513);
        }
    }
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_EQ(expected[0][0], 0xFF);
    EXPECT_EQ(expected[0][1], 0x80);

    // Frames until every universe went out with the colour (the first pass only starts a read).
    std::map<uint16_t, std::vector<uint8_t>> got;
    auto matches = [&] {
        for (const auto& [u, want] : expected) {
            auto it = got.find(u);
            if (it == got.end() || it->second.size() != want.size()) return false;
            for (size_t i = 0; i < want.size(); ++i)
                if (std::abs(int(it->second[i]) - int(want[i])) > 2) return false;
        }
        return true;
    };
    size_t seen = 0;
    const bool reached = main.RunUntil(
        [&] {
            engine->RenderFrame(window->context(), CMixEngine::SFrameRequest{});
            for (; seen < udp->sent.size(); ++seen) {
                const auto& b = udp->sent[seen].bytes;
                EXPECT_EQ(b.size(), 530u);
                EXPECT_EQ(udp->sent[seen].to.port, dmxpkt::kArtNetPort);
                if (b.size() != 530) continue;
                got[uint16_t(b[14] | b[15] << 8)] = std::vector<uint8_t>(b.begin() + 18, b.end());
            }
            return matches();
        },
        20);
    EXPECT_TRUE(reached) << udp->sent.size() << " datagrams";
}

}  // namespace
