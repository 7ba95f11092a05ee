#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Common/Container/CBytes.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Engine/CLayer.h"
#include "Orbilume/CSources/Engine/CMediaUnit.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"
#include "Orbilume/CSources/Engine/UClipName.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/GL/GLObjectCounts.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/support/TempDir.h"

using composertest::GraphBuilder;
using plat::Dictionary;
using plat::Value;
using namespace qctest;

namespace {

using T = CDocModelTypes;

constexpr int kW = 64, kH = 32;

Value Uniform(const char* key, const char* type, Value def = Value()) {
    Dictionary u;
    u.Set(plat::kPublishedPortKey, Value(key));
    u.Set(plat::kPortAttributeType, Value(type));
    if (!def.IsNull()) u.Set(plat::kPortAttributeDefault, def);
    return Value(std::move(u));
}

GraphBuilder Glsl(const std::string& fragment, plat::ValueArray uniforms) {
    Dictionary state;
    state.Set(plat::kShaderStateFragment, Value(fragment));
    state.Set(plat::kShaderStateUniforms, Value(std::move(uniforms)));
    GraphBuilder g;
    g.Node("g", plat::kNodeClassGLSL, state);
    return g;
}

std::string WriteXml(const CDocModelHolder& holder) {
    CBytes bytes;
    {
        CMemStream stream(bytes);
        holder.WriteXml(stream);
    }
    return std::string(reinterpret_cast<const char*>(bytes.Data()), bytes.Count());
}

bool ReadXml(CDocModelHolder& holder, std::string xml) {
    CMemStream stream(xml.data(), static_cast<uint32_t>(xml.size()));
    return holder.ReadXml(stream);
}

uint32_t Rgb(uint32_t argb) {
    return argb | 0xFF000000u;
}

uint32_t gClock = 100000;
uint32_t FixedClock() {
    return gClock;
}

// An engine over a document of compositions in a temporary folder, rendering into a 64 × 32
// window stand-in (a target whose framebuffer stays bound in its context).
class MixEngineTest : public QcGLTest {
protected:
    void SetUp() override {
        QcGLTest::SetUp();
        doc = std::make_unique<CDocModelHolder>();
        doc->SetDocumentPath(CMacFileU::LFsSpecFromPath(dir.File("show.obm").c_str()));
        GraphBuilder solid = Glsl("uniform vec4 color; void main() { gl_FragColor = color; }",
                                  {Uniform("color", "color", Value(plat::Color{1, 1, 1, 1}))});
        solid.PublishInput("Color", "g", "color");
        Write("solid.qtz", solid);
        GraphBuilder clock = Glsl(
            "uniform float time; void main() { gl_FragColor = vec4(clamp((time - 1.0) * 10.0, 0.0, 1.0), "
            "0.0, 0.0, 1.0); }",
            {});
        Write("clock.qtz", clock);
        // A layer that draws its image input stretched over the target.
        GraphBuilder show = Glsl(
            "uniform sampler2D image; uniform vec2 resolution;"
            "void main() { gl_FragColor = texture2D(image, gl_FragCoord.xy / resolution); }",
            {Uniform("image", "image")});
        show.PublishInput("Image", "g", "image");
        Write("show.qtz", show);
        window = new COpenGLFBOTarget(kW, kH, nullptr);
        COpenGLScope_Cca scope(window->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, window->fbo());
        glViewport(0, 0, kW, kH);
        gClock = 100000;
    }
    void TearDown() override {
        engine.reset();
        doc.reset();
        window->Release();
        QcGLTest::TearDown();
    }

    void Write(const char* name, const GraphBuilder& g) {
        ASSERT_TRUE(
            plat::WritePropertyListFile(dir.File(name), g.PropertyList(), plat::PropertyListFormat::Xml));
    }

    CRecordRef Mix() { return doc->Mix(); }
    CRecord* LayerRecord(uint32_t n) { return Mix()->GetElement(T::kMixsLayers, n); }
    CRecord* LayerUnit(uint32_t n) { return LayerRecord(n)->GetSubRecord(T::kLayrUnit); }
    void SetInput(CRecord* unit, const char* key, const char* value) {
        const bool image = std::string(key) == "Image";
        ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, unit, LString(key), LString(value), image));
    }
    CRecord* AddLayer(const char* path, const char* color = nullptr, const char* mode = "max",
                      const char* blend = "1") {
        const int32_t n = UDocUnits::AddCompositionLayer(Mix(), nullptr, 99, LString(path));
        EXPECT_GE(n, 0);
        CRecord* unit = LayerUnit(static_cast<uint32_t>(n));
        if (color) SetInput(unit, "Color", color);
        SetInput(unit, "_oblayer_MixFunc", mode);
        SetInput(unit, "_oblayer_Blend", blend);
        return unit;
    }

    // The engine over the document as read back from its XML.
    void StartFromXml() {
        const std::string xml = WriteXml(*doc);
        auto back = std::make_unique<CDocModelHolder>();
        back->SetDocumentPath(doc->DocumentPath());
        ASSERT_TRUE(ReadXml(*back, xml));
        doc = std::move(back);
        Start();
    }
    void Start() {
        engine = std::make_unique<CMixEngine>(doc.get(), &prefs);
        engine->SetClock(&FixedClock);
        engine->SetOutputSize(kW, kH);
        engine->LoadLayers();
    }

    uint32_t Frame(int32_t x = kW / 2, int32_t y = kH / 2, int32_t lag = 0) {
        engine->RenderFrame(window->context(), CMixEngine::SFrameRequest{lag});
        COpenGLScope_Cca scope(window->context());
        glFinish();
        return BoundPixel(x, y);
    }

    testsupport::TempDir dir;
    CAppPrefs prefs;
    std::unique_ptr<CDocModelHolder> doc;
    std::unique_ptr<CMixEngine> engine;
    COpenGLFBOTarget* window = nullptr;
};

TEST_F(MixEngineTest, BlendTableFromADocumentReadBack) {
    struct LayerSpec {
        const char* color;
        const char* mode;
        const char* blend;
    };
    struct Case {
        const char* name;
        std::vector<LayerSpec> layers;
        uint32_t expected;
    } cases[] = {
        {"add then sub: the first unblended",
         {{"rgba(1,0,0,1)", "add", "1"}, {"rgba(0.5,0,0,1)", "sub", "1"}},
         0xFF800000},
        {"a first sub layer is hidden",
         {{"rgba(0,1,0,1)", "sub", "1"}, {"rgba(1,0,0,1)", "add", "1"}},
         0xFFFF0000},
        {"rep at 0.5 over white",
         {{"rgba(1,1,1,1)", "max", "1"}, {"rgba(0,0,1,1)", "rep", "0.5"}},
         0xFF8080FF},
        {"max per component",
         {{"rgba(0.2,0.8,0,1)", "add", "1"}, {"rgba(0.6,0.4,0,1)", "max", "1"}},
         0xFF99CC00},
        {"add", {{"rgba(0.25,0,0,1)", "max", "1"}, {"rgba(0.25,0.5,0,1)", "add", "1"}}, 0xFF808000},
        {"opacity 0 hides", {{"rgba(1,0,0,1)", "max", "0"}, {"rgba(0,0,1,1)", "add", "1"}}, 0xFF0000FF},
        {"an unknown mode blends as max",
         {{"rgba(0.2,0.8,0,1)", "add", "1"}, {"rgba(0.6,0.4,0,1)", "xyz", "1"}},
         0xFF99CC00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine.reset();
        doc = std::make_unique<CDocModelHolder>();
        doc->SetDocumentPath(CMacFileU::LFsSpecFromPath(dir.File("show.obm").c_str()));
        for (const LayerSpec& l : c.layers) AddLayer("solid.qtz", l.color, l.mode, l.blend);
        StartFromXml();
        ASSERT_EQ(engine->LayerCount(), c.layers.size());
        EXPECT_TRUE(PixelNear(Rgb(Frame()), c.expected, 3)) << std::hex << Frame();
    }
}

TEST_F(MixEngineTest, LagShiftsLayerTimesAndResolutionDividesTheSize) {
    AddLayer("clock.qtz");
    Start();
    CLayer* layer = engine->LayerAt(0);
    ASSERT_NE(layer, nullptr);
    layer->SetStart(gClock - 1000);
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFF000000, 2));
    EXPECT_TRUE(PixelNear(Rgb(Frame(kW / 2, kH / 2, 40)), 0xFF660000, 3));  // 1.04 s: 0.4 red
    // A layer made after the frame's clock reading has time 0.
    layer->SetStart(gClock + 5000);
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFF000000, 2));
    // Resolution 2 at 1920 × 1080 renders layers at 480 × 270.
    CRecord* pref = prefs.Root();
    const uint8_t note = pref->Slot(CAppPrefs::kPrefRunTime53).u8;
    (void)CRecordRef(&pref).SetUInt(nullptr, CAppPrefs::kPrefResolution, 2);
    EXPECT_NE(pref->Slot(CAppPrefs::kPrefRunTime53).u8, note);  // observers hear of the new size
    engine->SetOutputSize(1920, 1080);
    EXPECT_EQ(pref->Slot(CAppPrefs::kPrefRunTime53).u8, note);
    uint32_t w = 0, h = 0;
    engine->RenderSize(w, h);
    EXPECT_EQ(w, 480u);
    EXPECT_EQ(h, 270u);
    (void)Frame();
    EXPECT_EQ(layer->renderer()->TargetWidth(), 480u);
    EXPECT_EQ(layer->renderer()->TargetHeight(), 270u);
    // Before any output size a frame is 1 × 1; absurd sizes are clamped.
    CMixEngine fresh(doc.get(), &prefs);
    fresh.RenderSize(w, h);
    EXPECT_EQ(w, 1u);
    EXPECT_EQ(h, 1u);
    fresh.SetOutputSize(0xFFFFFFFF, 0xFFFFFFFF);
    fresh.FullOutputSize(w, h);
    GLint max = 0;
    {
        COpenGLScope_Cca scope(window->context());
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
    }
    EXPECT_EQ(w, static_cast<uint32_t>(max));
}

TEST_F(MixEngineTest, RecordEditsShowInTheNextFrame) {
    AddLayer("solid.qtz", "rgba(1,0,0,1)");
    Start();
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFF0000, 2));
    // Insert a layer above with add.
    AddLayer("solid.qtz", "rgba(0,0,1,1)", "add");
    ASSERT_EQ(engine->LayerCount(), 2u);
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFF00FF, 2));
    // A value.
    SetInput(LayerUnit(1), "Color", "rgba(0,1,0,1)");
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFFFF00, 2));
    // Move the add layer to the bottom: it is drawn first, unblended; red goes over it with max.
    CRecord* mix = Mix().Get();
    CRecordRef(&mix).MoveRecord(nullptr, T::kMixsLayers, 1, 0);
    EXPECT_EQ(engine->LayerAt(0)->id(), LayerUnit(0)->GetUInt(T::kUnitId));
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFFFF00, 2));
    // A blend at or below 0 is stored as "0"; fading in raises the scene counter.
    CLayer* top = engine->LayerAt(1);
    const uint32_t scene = top->sceneCounter();
    SetInput(LayerUnit(1), "_oblayer_Blend", "-0.5");
    EXPECT_EQ(top->Param("_oblayer_Blend")->Value(engine.get()), "0");
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFF00FF00, 2));
    EXPECT_EQ(top->sceneCounter(), scene);
    SetInput(LayerUnit(1), "_oblayer_Blend", "1");
    EXPECT_EQ(top->sceneCounter(), scene + 1);
    engine->BumpSceneCounters();
    EXPECT_EQ(top->sceneCounter(), scene + 2);
    // Remove the bottom layer.
    UDocUnits::DeleteLayer(*doc, nullptr, 0);
    ASSERT_EQ(engine->LayerCount(), 1u);
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFF0000, 2));
    // Events naming indexes outside the engine's lists are ignored.
    SRecordEvent bad{nullptr, Mix(), SRecordEvent::kRemoved, T::kMixsLayers, 7, -1};
    engine->OnRecordChange(bad);
    bad.kind = SRecordEvent::kMoved;
    bad.index2 = 9;
    engine->OnRecordChange(bad);
    EXPECT_EQ(engine->LayerCount(), 1u);
}

TEST_F(MixEngineTest, FiltersInsertedMovedAndRemovedThroughTheRecords) {
    GraphBuilder g;
    Dictionary state;
    state.Set(plat::kShaderStateFragment,
              Value("uniform sampler2D image; uniform float p; uniform vec2 resolution;"
                    "void main() { vec4 c = texture2D(image, gl_FragCoord.xy / resolution);"
                    " gl_FragColor = vec4(c.r * p, c.g, max(c.b, 1.0 - p), c.a); }"));
    Dictionary pu;
    pu.Set(plat::kPublishedPortKey, Value("p"));
    pu.Set(plat::kPortAttributeType, Value("number"));
    pu.Set(plat::kPortAttributeDefault, Value(0.5));
    state.Set(plat::kShaderStateUniforms, Value(plat::ValueArray{Uniform("image", "image"), Value(pu)}));
    g.Node("f", plat::kNodeClassImageShader, state)
        .PublishInput(plat::kProtocolInputImage, "f", "image")
        .PublishInput("P", "f", "p")
        .PublishOutput(plat::kProtocolOutputImage, "f", "image");
    Write("half.qtz", g);
    CRecord* unit = AddLayer("solid.qtz", "rgba(1,0,0,1)");
    Start();
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFF0000, 2));
    const uint32_t id = unit->GetUInt(T::kUnitId);
    ASSERT_TRUE(UDocUnits::AddFilterUnit(Mix(), nullptr, id, 0, LString("half.qtz")));
    ASSERT_EQ(engine->LayerAt(0)->ChainCount(), 1u);
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFF800080, 3));
    SetInput(unit->GetElement(T::kUnitFilters, 0), "P", "1");
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFF0000, 3));
    // Bypassed through its record and back.
    SetInput(unit->GetElement(T::kUnitFilters, 0), "P", "0.5");
    SetInput(unit->GetElement(T::kUnitFilters, 0), "_obunit_Bypass", "1");
    EXPECT_TRUE(engine->LayerAt(0)->ChainAt(0)->IsBypassed());
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFF0000, 3));
    SetInput(unit->GetElement(T::kUnitFilters, 0), "_obunit_Bypass", "0");
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFF800080, 3));
    UDocUnits::DeleteUnitById(*doc, nullptr, unit->GetElement(T::kUnitFilters, 0)->GetUInt(T::kUnitId));
    EXPECT_EQ(engine->LayerAt(0)->ChainCount(), 0u);
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFF0000, 2));
}

TEST_F(MixEngineTest, ServiceWritesBackWithoutMarkingTheDocument) {
    CRecord* unit = AddLayer("solid.qtz", "rgba(1,0,0,1)");
    Start();
    (void)Frame();
    doc->SetModified(false);
    CLayer* layer = engine->LayerAt(0);
    // A value the render thread set (scene recall, bindings) reaches 'valu' through the service.
    engine->SetUnitParam(layer, static_cast<uint32_t>(layer->ParamIndex(LString("Color"))),
                         LString("rgba(0,1,0,1)"), nullptr);
    layer->SetChanged(true);
    const uint8_t run0 = unit->Slot(T::kUnitRun0).u8;
    engine->ServiceSignal();
    EXPECT_EQ(UDocModel::FindUnitInput(unit, LString("Color"))->GetString(T::kInptValue), "rgba(0,1,0,1)");
    EXPECT_FALSE(layer->changed());
    EXPECT_NE(unit->Slot(T::kUnitRun0).u8, run0);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFF00FF00, 2));
}

TEST_F(MixEngineTest, ClipNamesClassify) {
    struct Case {
        const char* name;
        SClipKind::Kind kind;
        int32_t slot;
    } cases[] = {
        {".colorfill", SClipKind::kColorFill, -1},
        {".mixbuffer", SClipKind::kMixBuffer, -1},
        {".localtap", SClipKind::kLocalTap, -1},
        {".videoinput2", SClipKind::kVideoInput, 2},
        {".videoinputab", SClipKind::kVideoInput, 0},
        {".videoinput-3", SClipKind::kVideoInput, -1},
        {".videoinput99999999999", SClipKind::kVideoInput, -1},
        {"movie.mov", SClipKind::kFile, -1},
        {"", SClipKind::kFile, -1},
        {".colorfillx", SClipKind::kFile, -1},
    };
    for (const Case& c : cases) {
        const SClipKind k = ClassifyClip(LString(c.name));
        EXPECT_EQ(k.kind, c.kind) << c.name;
        EXPECT_EQ(k.videoSlot, c.slot) << c.name;
    }
}

TEST_F(MixEngineTest, MediaUnitsPlayColourFillMixAndVideoInput) {
    // Layer 1 white, layer 2 red added, layer 3 shows the mix of layers 1-2 by replacing.
    AddLayer("solid.qtz", "rgba(0,0,1,1)");
    AddLayer("solid.qtz", "rgba(1,0,0,1)", "add");
    CRecord* fill = AddLayer("show.qtz", nullptr, "rep", "1");
    CRecord* mixed = AddLayer("show.qtz", nullptr, "max", "0");
    Start();
    CLayer* fillLayer = engine->LayerAt(2);
    CUnitParam* image = fillLayer->Param("Image");
    ASSERT_NE(image, nullptr);
    ASSERT_NE(image->mediaUnit(), nullptr);
    // Colour fill: green over everything.
    SetInput(fill, "Image", ".colorfill");
    CMediaUnit* media = image->mediaUnit();
    EXPECT_EQ(media->CurrentSlot(), CMediaUnit::kColorFillSlot);
    ASSERT_NE(media->Param("Color"), nullptr);
    media->Param("Color")->SetValue(engine.get(), "rgba(0,1,0,1)", nullptr, false);
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFF00FF00, 2));
    // The mix buffer: layer 3 sees layers 1-2 only (blue + red), so the frame stays magenta.
    EXPECT_EQ(engine->ReadBackUsers(), 0u);
    SetInput(fill, "Image", ".mixbuffer");
    EXPECT_EQ(media->CurrentSlot(), CMediaUnit::kMixBufferSlot);
    EXPECT_EQ(engine->ReadBackUsers(), 1u);
    (void)Frame();
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFF00FF, 3));
    // Switching lowers the read-back users; the fill comes back with the colour it was made with
    // (the green was set live, not stored).
    SetInput(fill, "Image", ".colorfill");
    EXPECT_EQ(engine->ReadBackUsers(), 0u);
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFFFFFF, 2));
    // Video input: a slot in range binds, others bind nothing; without a link the default image
    // (black) shows.
    SetInput(fill, "Image", ".videoinput2");
    EXPECT_EQ(media->VideoSource(), 2);
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFF000000, 2));
    SetInput(fill, "Image", ".videoinput-1");
    EXPECT_EQ(media->VideoSource(), -1);
    SetInput(fill, "Image", ".videoinput4000000000");
    EXPECT_EQ(media->VideoSource(), -1);
    (void)Frame();
    // Two mix-buffer clips: each layer's copy holds the layers below it, and both count.
    SetInput(fill, "Image", ".mixbuffer");
    SetInput(mixed, "Image", ".mixbuffer");
    SetInput(mixed, "_oblayer_Blend", "1");
    SetInput(mixed, "_oblayer_MixFunc", "rep");
    EXPECT_EQ(engine->ReadBackUsers(), 2u);
    // Layer 4 sees layers 1-3 (magenta); deleting the layer lets its unit's count go.
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFF00FF, 3));
    UDocUnits::DeleteLayer(*doc, nullptr, 3);
    EXPECT_EQ(engine->ReadBackUsers(), 1u);
}

// A layer with two image inputs both on ".mixbuffer" copies the mix once.
TEST_F(MixEngineTest, TwoMixBufferClipsInOneLayerShareACopy) {
    GraphBuilder two = Glsl(
        "uniform sampler2D a; uniform sampler2D b; uniform vec2 resolution;"
        "void main() { vec2 p = gl_FragCoord.xy / resolution;"
        " gl_FragColor = vec4(texture2D(a, p).r, 0.0, texture2D(b, p).b, 1.0); }",
        {Uniform("a", "image"), Uniform("b", "image")});
    two.PublishInput("Image", "g", "a").PublishInput("Image2", "g", "b");
    Write("two.qtz", two);
    AddLayer("solid.qtz", "rgba(1,0,1,1)");
    CRecord* unit = AddLayer("two.qtz", nullptr, "rep", "1");
    Start();
    SetInput(unit, "Image", ".mixbuffer");
    ASSERT_TRUE(
        UDocUnits::SetUnitInput(Mix(), nullptr, unit, LString("Image2"), LString(".mixbuffer"), true));
    EXPECT_EQ(engine->ReadBackUsers(), 2u);
    (void)Frame();
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFF00FF, 3));
}

TEST_F(MixEngineTest, ImageProxyPrunesGroupsByMediaKind) {
    CRecord* unit = AddLayer("show.qtz", nullptr, "max", "1");
    Start();
    CMediaUnit* media = engine->LayerAt(0)->Param("Image")->mediaUnit();
    ASSERT_NE(media, nullptr);
    // Nothing loaded: no image, no sound, no duration — a still keeps none of the medium groups.
    SetInput(unit, "Image", "picture.png");
    EXPECT_EQ(media->CurrentSlot(), CMediaUnit::kFileSlot);
    EXPECT_EQ(media->Param("Brightness"), nullptr);
    EXPECT_EQ(media->Param("Volume"), nullptr);
    EXPECT_EQ(media->Param("Rate"), nullptr);
    EXPECT_EQ(media->Param("Turn"), nullptr);
    EXPECT_EQ(media->Param("MovieTime"), nullptr);
    // What the media-in driver would have set: flags 1 image, 2 sound, 4 model, and a duration.
    struct Case {
        float flags, duration;
        bool image, audio, movie, model;
    } cases[] = {{3, 10, true, true, true, false},
                 {1, 10, true, false, true, false},
                 {5, 0, true, false, false, true},
                 {1, 0.05f, true, false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        SetInput(unit, "Image", ".colorfill");
        MQcRenderer_* file = media->SlotRenderer(CMediaUnit::kFileSlot);
        ASSERT_NE(file, nullptr);
        file->SetNumber(LString("obprivate_MediaIn"), c.flags);
        file->SetNumber(LString("obprivate_DurationIn"), c.duration);
        SetInput(unit, "Image", "picture.png");
        EXPECT_EQ(media->Param("Brightness") != nullptr, c.image);
        EXPECT_EQ(media->Param("Volume") != nullptr, c.audio);
        EXPECT_EQ(media->Param("Rate") != nullptr, c.movie);
        EXPECT_EQ(media->Param("Turn") != nullptr, c.model);
    }
}

TEST_F(MixEngineTest, CapturesReadBackAndMerge) {
    CRecord* unit = AddLayer("solid.qtz", "rgba(0,0,1,1)");
    AddLayer("solid.qtz", "rgba(1,0,0,1)", "add");
    Start();
    (void)Frame();
    COpenGLFBOTarget* monitor = new COpenGLFBOTarget(16, 16, nullptr);
    {
        COpenGLScope_Cca scope(monitor->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, monitor->fbo());
        glViewport(0, 0, 16, 16);
    }
    auto monitorPixel = [&] {
        COpenGLScope_Cca scope(monitor->context());
        glFinish();
        return Rgb(BoundPixel(8, 8));
    };
    // The mix.
    engine->RequestMixCapture(&monitor->context());
    EXPECT_EQ(engine->QueuedCaptures(), 1u);
    (void)Frame();
    EXPECT_EQ(engine->QueuedCaptures(), 0u);
    EXPECT_TRUE(PixelNear(monitorPixel(), 0xFFFF00FF, 3));
    // One unit (layer 1 by its id: the unit it drew); two requests merge.
    const uint32_t id = unit->GetUInt(T::kUnitId);
    engine->RequestCapture(id, &monitor->context(), false);
    engine->RequestCapture(id, &monitor->context(), true);
    EXPECT_EQ(engine->QueuedCaptures(), 1u);
    (void)Frame();
    EXPECT_EQ(engine->QueuedCaptures(), 0u);
    EXPECT_TRUE(PixelNear(monitorPixel(), 0xFF0000FF, 3));
    // A missing unit clears at once and queues nothing.
    {
        COpenGLScope_Cca scope(monitor->context());
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    engine->RequestCapture(123456, &monitor->context(), false);
    EXPECT_EQ(engine->QueuedCaptures(), 0u);
    EXPECT_EQ(monitorPixel(), 0xFF000000u);
    // Cancel moves queued requests to the free list.
    engine->RequestMixCapture(&monitor->context());
    engine->CancelCaptures(&monitor->context());
    EXPECT_EQ(engine->QueuedCaptures(), 0u);
    monitor->Release();
}

TEST_F(MixEngineTest, AfterFrameCallbacksCountAsReadBackUsers) {
    AddLayer("solid.qtz", "rgba(1,0,0,1)");
    Start();
    static int calls = 0;
    calls = 0;
    auto after = +[](void*, CMixEngine*) { ++calls; };
    auto other = +[](void*, CMixEngine*) {};
    engine->RemoveAfterFrameCallback(nullptr, after);
    EXPECT_EQ(engine->ReadBackUsers(), 0u);
    engine->AddAfterFrameCallback(nullptr, after);
    engine->AddAfterFrameCallback(nullptr, other);
    EXPECT_EQ(engine->ReadBackUsers(), 1u);
    // Drawn off screen into the mix buffer and through the adjustment into the window.
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFFFF0000, 2));
    EXPECT_EQ(calls, 1);
    engine->RemoveAfterFrameCallback(nullptr, after);
    EXPECT_EQ(engine->ReadBackUsers(), 1u);
    engine->RemoveAfterFrameCallback(nullptr, other);
    EXPECT_EQ(engine->ReadBackUsers(), 0u);
    engine->RemoveAfterFrameCallback(nullptr, other);
    EXPECT_EQ(engine->ReadBackUsers(), 0u);
    // The output adjustment: brightness halves the frame.
    engine->ApplyOutputKey(LString("brt"), LString("0.5"));
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFF800000, 3));
}

}  // namespace

namespace {

// A filter that offers a colour on its tap, and a filter that shows its "Image" input: a
// ".localtap" clip on the second shows the first's tap.
TEST_F(MixEngineTest, LocalTapShowsTheTapUnitOfTheLayer) {
    Dictionary fill;
    GraphBuilder tap;
    tap.Node("c", plat::kNodeClassColorFill, fill)
        .PublishInput("Color", "c", "color")
        .PublishOutput("obprivate_Tap", "c", "image");
    Write("tap.qtz", tap);
    Dictionary state;
    state.Set(plat::kShaderStateFragment,
              Value("uniform sampler2D src; uniform sampler2D image; uniform vec2 resolution;"
                    "void main() { gl_FragColor = texture2D(image, gl_FragCoord.xy / resolution); }"));
    state.Set(plat::kShaderStateUniforms,
              Value(plat::ValueArray{Uniform("src", "image"), Uniform("image", "image")}));
    GraphBuilder show;
    show.Node("f", plat::kNodeClassImageShader, state)
        .PublishInput(plat::kProtocolInputImage, "f", "src")
        .PublishInput("Image", "f", "image")
        .PublishOutput(plat::kProtocolOutputImage, "f", "image");
    Write("showf.qtz", show);
    CRecord* unit = AddLayer("solid.qtz", "rgba(1,0,0,1)");
    const uint32_t id = unit->GetUInt(T::kUnitId);
    ASSERT_TRUE(UDocUnits::AddFilterUnit(Mix(), nullptr, id, 0, LString("tap.qtz")));
    ASSERT_TRUE(UDocUnits::AddFilterUnit(Mix(), nullptr, id, 1, LString("showf.qtz")));
    SetInput(unit->GetElement(T::kUnitFilters, 0), "Color", "rgba(0,1,0,1)");
    Start();
    ASSERT_EQ(engine->LayerAt(0)->ChainCount(), 2u);
    SetInput(unit->GetElement(T::kUnitFilters, 1), "Image", ".localtap");
    (void)Frame();
    EXPECT_EQ(engine->LayerAt(0)->tapUnit(), engine->LayerAt(0)->ChainAt(0));
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFF00FF00, 3));
    // Removing the tap unit makes the layer forget it; the clip shows its default image.
    UDocUnits::DeleteUnitById(*doc, nullptr, unit->GetElement(T::kUnitFilters, 0)->GetUInt(T::kUnitId));
    EXPECT_EQ(engine->LayerAt(0)->tapUnit(), nullptr);
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFF000000, 3));
}

}  // namespace

namespace {

// A render thread renders for two seconds while the main thread edits values and structure and
// asks for captures; every edit shows up without deadlock, and the engine ends cleanly.
TEST_F(MixEngineTest, StressRenderWhileTheMainThreadEdits) {
    CRecord* unit = AddLayer("solid.qtz", "rgba(1,0,0,1)");
    AddLayer("clock.qtz", nullptr, "add", "1");
    Start();
    COpenGLFBOTarget* monitor = new COpenGLFBOTarget(16, 16, nullptr);
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> frames{0};
    std::thread render([&] {
        while (!stop.load()) {
            engine->RenderFrame(window->context(), CMixEngine::SFrameRequest{0});
            frames.fetch_add(1);
        }
    });
    // Two seconds, longer on a loaded machine until the render thread has made a few frames.
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(2), limit = start + std::chrono::seconds(60);
    uint32_t i = 0;
    for (auto now = start; now < limit && (now < end || frames.load() <= 5);
         now = std::chrono::steady_clock::now()) {
        char value[64];
        snprintf(value, sizeof value, "rgba(%.2f,0,0,1)", (i % 100) / 100.0);
        SetInput(unit, "Color", value);
        if (i % 50 == 10) AddLayer("solid.qtz", "rgba(0,0,1,1)", "add", "0.5");
        if (i % 50 == 30 && Mix()->ArrayCount(T::kMixsLayers) > 2) UDocUnits::DeleteLayer(*doc, nullptr, 2);
        if (i % 20 == 0) engine->RequestMixCapture(&monitor->context());
        if (i % 20 == 5) engine->RequestCapture(unit->GetUInt(T::kUnitId), &monitor->context(), i % 40 == 5);
        if (i % 30 == 0) engine->BumpSceneCounters();
        if (i % 25 == 0) engine->ServiceSignal();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++i;
    }
    stop.store(true);
    render.join();
    EXPECT_GT(frames.load(), 5u);
    engine->CancelCaptures(&monitor->context());
    SetInput(unit, "Color", "rgba(0,1,0,1)");
    while (Mix()->ArrayCount(T::kMixsLayers) > 1) UDocUnits::DeleteLayer(*doc, nullptr, 1);
    EXPECT_TRUE(PixelNear(Rgb(Frame()), 0xFF00FF00, 2));
    // After warm-up, frames (with filters, an off-screen mix and captures) make no GL objects.
    AddLayer("solid.qtz", "rgba(0,0,1,1)", "add", "0.5");
    Dictionary state;
    state.Set(
        plat::kShaderStateFragment,
        Value("uniform sampler2D image; uniform vec2 resolution; uniform float time;"
              "void main() { gl_FragColor = texture2D(image, gl_FragCoord.xy / resolution) * (0.5 + 0.5 * "
              "sin(time)); }"));
    state.Set(plat::kShaderStateUniforms, Value(plat::ValueArray{Uniform("image", "image")}));
    GraphBuilder filter;
    filter.Node("f", plat::kNodeClassImageShader, state)
        .PublishInput(plat::kProtocolInputImage, "f", "image")
        .PublishOutput(plat::kProtocolOutputImage, "f", "image");
    Write("pulse.qtz", filter);
    CRecord* timed = AddLayer("clock.qtz", nullptr, "add", "1");
    ASSERT_TRUE(
        UDocUnits::AddFilterUnit(Mix(), nullptr, timed->GetUInt(T::kUnitId), 0, LString("pulse.qtz")));
    engine->ApplyOutputKey(LString("rotz"), LString("10"));
    for (int k = 0; k < 10; ++k) (void)Frame();
    const uint64_t before = plat::GLCreated().Total();
    for (int k = 0; k < 10; ++k) {
        engine->RequestMixCapture(&monitor->context());
        (void)Frame();
    }
    EXPECT_EQ(plat::GLCreated().Total(), before);
    monitor->Release();
}

}  // namespace

namespace {

// Scene recall bumps counters inside its own mutex while a render thread may hold the frame lock
// and wait for that mutex: bumping must not take the frame lock.
TEST_F(MixEngineTest, SceneCountersBumpWhileAFrameHoldsTheLock) {
    AddLayer("solid.qtz", "rgba(1,0,0,1)");
    Start();
    const uint32_t before = engine->LayerAt(0)->sceneCounter();
    std::atomic<bool> locked{false}, done{false};
    std::thread frame([&] {
        std::lock_guard<std::recursive_mutex> lock(engine->FrameLock());
        locked.store(true);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done.load() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    while (!locked.load()) std::this_thread::yield();
    const auto start = std::chrono::steady_clock::now();
    engine->BumpSceneCounters();
    const auto waited = std::chrono::steady_clock::now() - start;
    done.store(true);
    frame.join();
    EXPECT_LT(waited, std::chrono::seconds(1));
    EXPECT_EQ(engine->LayerAt(0)->sceneCounter(), before + 1);
}

// A capture of a layer that does not draw (opacity 0) stays queued, once, frame after frame; its
// blank request clears the monitor.
TEST_F(MixEngineTest, CaptureOfAHiddenLayerIsQueuedAgainEachFrame) {
    CRecord* unit = AddLayer("solid.qtz", "rgba(1,0,0,1)", "max", "0");
    Start();
    COpenGLFBOTarget* monitor = new COpenGLFBOTarget(16, 16, nullptr);
    {
        COpenGLScope_Cca scope(monitor->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, monitor->fbo());
        glViewport(0, 0, 16, 16);
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    engine->RequestCapture(unit->GetUInt(T::kUnitId), &monitor->context(), true);
    ASSERT_EQ(engine->QueuedCaptures(), 1u);
    for (int i = 0; i < 5; ++i) {
        (void)Frame();
        EXPECT_EQ(engine->QueuedCaptures(), 1u);
    }
    {
        COpenGLScope_Cca scope(monitor->context());
        glFinish();
        EXPECT_EQ(Rgb(BoundPixel(8, 8)), 0xFF000000u);
    }
    // Made visible, the next frame serves it.
    SetInput(unit, "_oblayer_Blend", "1");
    (void)Frame();
    EXPECT_EQ(engine->QueuedCaptures(), 0u);
    {
        COpenGLScope_Cca scope(monitor->context());
        glFinish();
        EXPECT_TRUE(PixelNear(Rgb(BoundPixel(8, 8)), 0xFFFF0000, 2));
    }
    monitor->Release();
}

// The editors' copy of a unit's inputs: the composition's ports with their values, the engine's
// own settings without a display name, an animator's inputs nested under the input it drives.
TEST_F(MixEngineTest, PortListCopiesAUnitsInputs) {
    CRecord* unit = AddLayer("solid.qtz", "rgba(1,0,0,1)");
    CRecord* color = UDocModel::FindUnitInput(unit, LString("Color"));
    ASSERT_NE(color, nullptr);
    ASSERT_TRUE(UDocUnits::SetAnimator(Mix(), nullptr, color, LString("solid.qtz")));
    Start();
    const uint32_t id = unit->GetUInt(T::kUnitId);
    std::unique_ptr<CUnitPortList> list = engine->PortList(id);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->unitId, id);
    const CUnitPort* colour = nullptr;
    const CUnitPort* blend = nullptr;
    std::string keys;
    for (const CUnitPort& p : list->ports) {
        keys += std::string(p.key.CStr()) + " ";
        if (p.key == LString("Color")) colour = &p;
        if (p.key == LString("_oblayer_Blend")) blend = &p;
    }
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->kind, 5u);
    EXPECT_STREQ(colour->name.CStr(), "Color");
    EXPECT_EQ(colour->visible, 1);
    ASSERT_NE(blend, nullptr) << keys;
    EXPECT_TRUE(blend->name.IsEmpty());  // the engine's own: not shown
    ASSERT_NE(colour->nested, nullptr);
    EXPECT_NE(colour->nested->unitId, 0u);
    EXPECT_EQ(engine->PortList(id)->ports.size(), list->ports.size());
    EXPECT_EQ(engine->PortList(0xFFFFFFF0u), nullptr);
}

}  // namespace
