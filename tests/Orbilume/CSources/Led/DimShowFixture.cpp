#include "tests/Orbilume/CSources/Led/DimShowFixture.h"

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/DmxIn/CUvAdTable.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Platform/Foundation/PropertyList.h"
#include "tests/Platform/Composer/GraphBuilder.h"

namespace dimtest {

namespace {

constexpr uint32_t kW = 64, kH = 48;  // the window stand-in

// The application's draw callback: the mix over the whole canvas.
void DrawMix(void* context, COpenGLContext_Cca& dimContext, bool) {
    auto* args = static_cast<DimShowGLTest::SDrawArgs*>(context);
    glViewport(0, 0, GLsizei(args->output->CanvasWidth()), GLsizei(args->output->CanvasHeight()));
    args->engine->DrawMixInto(dimContext, false);
}

void AfterFrame(void* context, CMixEngine*) {
    auto* args = static_cast<DimShowGLTest::SDrawArgs*>(context);
    if (args->output) (void)args->output->Capture(args, &DrawMix);
}

}  // namespace

void DimShowGLTest::SetUp() {
    QcGLTest::SetUp();
    const composertest::GraphBuilder solid = composertest::SolidColorGraph();
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
    {
        // The engine draws into what is bound in the window's context.
        COpenGLScope_Cca scope(window->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, window->fbo());
        glViewport(0, 0, GLsizei(kW), GLsizei(kH));
    }
    engine = std::make_unique<CMixEngine>(show.get(), &docs.prefs);
    engine->SetOutputSize(kW, kH);
    engine->LoadLayers();
}

void DimShowGLTest::MakeOutput(const std::string& layout, std::unique_ptr<CUDPPort> port) {
    ASSERT_TRUE(docs.Read(layout));
    UDimPrefs::SetUse(docs.Settings(), true);
    output = std::make_unique<CDimOutput>(main.Loop(), nullptr, &docs.prefs, &docs.dims, &docs.defs);
    if (port) output->SetUdpPort(std::move(port));
    (void)output->Table()->RebuildFromRecord();
    output->Resize(kCanvasW, kCanvasH);  // the canvas of a 4:3 output with the layout's division
    args = {engine.get(), output.get()};
    engine->AddAfterFrameCallback(&args, &AfterFrame);
}

void DimShowGLTest::TearDown() {
    if (engine && args.output) engine->RemoveAfterFrameCallback(&args, &AfterFrame);
    output.reset();
    engine.reset();
    show.reset();
    if (window) window->Release();
    QcGLTest::TearDown();
}

void DimShowGLTest::RenderFrame() {
    engine->RenderFrame(window->context(), CMixEngine::SFrameRequest{});
}

uint32_t DimShowGLTest::ShowPixel() {
    RenderFrame();
    COpenGLScope_Cca scope(window->context());
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, window->fbo());
    return qctest::BoundPixel(int32_t(kW / 2), int32_t(kH / 2));
}

Universes DimShowGLTest::Expected(const std::string& layout, uint32_t pixel, int without) {
    Universes expected;
    Documents same;
    EXPECT_TRUE(same.Read(layout));
    if (without >= 0) (void)same.dims.RootRef().DeleteElement(nullptr, T::kDimsDevices, uint32_t(without));
    UDimPrefs::SetUse(same.Settings(), true);
    CDimOutput reference(main.Loop(), nullptr, &same.prefs, &same.dims, &same.defs);
    reference.SetUdpPort(std::make_unique<FakeUdp>(&reference, main.Loop()));
    reference.Resize(kCanvasW, kCanvasH);
    const std::vector<uint32_t> frame(size_t(kCanvasW) * kCanvasH, pixel);
    reference.SampleFrame(frame.data(), kCanvasW, kCanvasH);
    for (uint32_t i = 0; i < reference.PortCount(); ++i) {
        const SDimPort* p = reference.PortAt(i);
        expected[uint16_t(p->universe)] = std::vector<uint8_t>(p->slots + 1, p->slots + 513);
    }
    return expected;
}

std::string DimShowGLTest::FixtureLayout() {
    std::ifstream in(std::string(LED_FIXTURES) + "/layout.obdim", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string layout = text.str();
    const size_t saco = layout.find(" saco=\"1\"");
    if (saco != std::string::npos) layout.replace(saco, 9, " saco=\"0\"");
    return layout;
}

}  // namespace dimtest
