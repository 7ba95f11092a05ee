#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Engine/CLayer.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Engine/SFrameInfo.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Foundation/PropertyList.h"
#include "tests/Orbilume/CSources/Engine/TestUnitHost.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/support/TempDir.h"

using composertest::GraphBuilder;
using plat::Dictionary;
using plat::Value;
using namespace qctest;

namespace {

using T = CDocModelTypes;

// A uniform declaration with a default and a range.
Value Uniform(const char* key, const char* type, Value def = Value(), double min = 0, double max = 0) {
    Dictionary u;
    u.Set(plat::kPublishedPortKey, Value(key));
    u.Set(plat::kPortAttributeType, Value(type));
    if (!def.IsNull()) u.Set(plat::kPortAttributeDefault, def);
    if (min != max) {
        u.Set(plat::kPortAttributeMinimum, Value(min));
        u.Set(plat::kPortAttributeMaximum, Value(max));
    }
    return Value(std::move(u));
}

Dictionary Shader(const std::string& fragment, plat::ValueArray uniforms) {
    Dictionary state;
    state.Set(plat::kShaderStateFragment, Value(fragment));
    state.Set(plat::kShaderStateUniforms, Value(std::move(uniforms)));
    return state;
}

Dictionary Splitter(const char* type, double min = 0, double max = 0) {
    Dictionary s;
    s.Set(plat::kSplitterStateType, Value(type));
    if (min != max) {
        s.Set(plat::kSplitterStateInputMin, Value(min));
        s.Set(plat::kSplitterStateInputMax, Value(max));
    }
    return s;
}

// An image filter: "_protocolInput_Image" in, "_protocolOutput_Image" out, one number input.
GraphBuilder FilterCompo(const std::string& body, const char* key, double def) {
    GraphBuilder g;
    g.Node("f", plat::kNodeClassImageShader,
           Shader("uniform sampler2D image; uniform float p; uniform vec2 resolution;"
                  "void main() { vec4 c = texture2D(image, gl_FragCoord.xy / resolution); " +
                      body + " }",
                  {Uniform("image", "image"), Uniform("p", "number", Value(def), 0, 1)}))
        .PublishInput(plat::kProtocolInputImage, "f", "image")
        .PublishInput(key, "f", "p")
        .PublishOutput(plat::kProtocolOutputImage, "f", "image");
    return g;
}

class UnitsTest : public QcGLTest {
protected:
    void SetUp() override {
        QcGLTest::SetUp();
        doc.SetDocumentPath(CMacFileU::LFsSpecFromPath(dir.File("show.obm").c_str()));
        host.document = &doc;
        host.shared = new COpenGLFBOTarget(64, 32, nullptr);

        GraphBuilder gen;
        gen.Node("g", plat::kNodeClassGLSL,
                 Shader("uniform vec4 color; void main() { gl_FragColor = color; }",
                        {Uniform("color", "color", Value(plat::Color{1, 1, 1, 1}))}))
            .PublishInput("Color", "g", "color");
        Write("gen.qtz", gen);
        Write("gain.qtz", FilterCompo("gl_FragColor = vec4(c.rgb * p, c.a);", "Gain", 1));
        Write("blue.qtz", FilterCompo("gl_FragColor = vec4(c.r, c.g, max(c.b, p), c.a);", "Blue", 0));
        GraphBuilder stub;
        stub.Node("s", plat::kNodeClassSplitter, Splitter("image"))
            .PublishInput(plat::kProtocolInputImage, "s", "input")
            .PublishOutput(plat::kProtocolOutputImage, "s", "output");
        Write("stub.qtz", stub, {{"lumetra.stub", Value(true)}});
        GraphBuilder trans;
        trans
            .Node("t", plat::kNodeClassGLSL,
                  Shader("uniform float time; uniform sampler2D a; uniform sampler2D b;"
                         "void main() { gl_FragColor = vec4(time, 0.0, 0.0, 1.0); }",
                         {Uniform("a", "image"), Uniform("b", "image")}))
            .PublishInput("_protocolInput_SourceImage", "t", "a")
            .PublishInput("_protocolInput_DestinationImage", "t", "b");
        Value protocols(plat::ValueArray{Value("orbilume.protocol.graphicTransition")});
        Write("trans.qtz", trans, {{"protocols", protocols}});
        WriteAnimator("anim-ts.qtz", true);
        WriteAnimator("anim-st.qtz", false);
        GraphBuilder num;
        num.Node("n", plat::kNodeClassSplitter, Splitter("number", 0, 1))
            .PublishInput("In", "n", "input")
            .PublishOutput("Out", "n", "output");
        Write("num.qtz", num);
    }

    void TearDown() override {
        host.layers.clear();
        layers.clear();
        host.shared->Release();
        QcGLTest::TearDown();
    }

    void Write(const char* name, const GraphBuilder& g,
               std::initializer_list<std::pair<const char*, Value>> attributes = {}) {
        Value file = g.PropertyList();
        for (const auto& [key, value] : attributes) file.MutableDictionary().Set(key, value);
        ASSERT_TRUE(plat::WritePropertyListFile(dir.File(name), file, plat::PropertyListFormat::Xml));
    }

    // An animator with a text output and a number output "Value" (0.25), in either order.
    void WriteAnimator(const char* name, bool textFirst) {
        GraphBuilder g;
        Dictionary text = Splitter("string");
        Dictionary values;
        values.Set("input", Value("x"));
        text.Set("inputValues", Value(values));
        Dictionary number = Splitter("number");
        Dictionary numbers;
        numbers.Set("input", Value(0.25));
        number.Set("inputValues", Value(numbers));
        g.Node("t", plat::kNodeClassSplitter, text).Node("n", plat::kNodeClassSplitter, number);
        if (textFirst)
            g.PublishOutput("Text", "t", "output").PublishOutput("Value", "n", "output");
        else
            g.PublishOutput("Value", "n", "output").PublishOutput("Text", "t", "output");
        Write(name, g);
    }

    CRecordRef Mix() { return doc.Mix(); }
    CRecord* LayerUnit(uint32_t n) {
        return Mix()->GetElement(T::kMixsLayers, n)->GetSubRecord(T::kLayrUnit);
    }
    CRecord* Filter(uint32_t layer, uint32_t n) { return LayerUnit(layer)->GetElement(T::kUnitFilters, n); }

    // A layer on the composition, with filters, as the document holds it.
    CRecord* AddLayer(const char* path, std::initializer_list<const char*> filters = {}) {
        const int32_t n = UDocUnits::AddCompositionLayer(Mix(), nullptr, 99, LString(path));
        EXPECT_GE(n, 0);
        CRecord* unit = LayerUnit(static_cast<uint32_t>(n));
        uint32_t i = 0;
        for (const char* f : filters)
            EXPECT_TRUE(UDocUnits::AddFilterUnit(Mix(), nullptr, unit->GetUInt(T::kUnitId), i++, LString(f)));
        return unit;
    }

    // The engine's steps for a new layer: units from the records, renderers, values.
    CLayer* Load(CRecord* unit) {
        plat::Ref<MQcComposition_> c = CUnit::LoadComposition(&host, unit->GetString(T::kUnitSpec));
        auto layer = std::make_unique<CLayer>(c.get(), &host);
        layer->BuildChain(unit, &host);
        layer->PrepareTree(64, 32, &host, true);
        layer->LoadTreeFromRecord(nullptr, unit, &host);
        CLayer* raw = layer.get();
        layers.push_back(std::move(layer));
        host.layers.push_back(raw);
        return raw;
    }

    // Evaluates the layer and draws its image over transparent black; the pixel at (x, y).
    uint32_t Frame(CLayer* layer, double time = 0, int32_t x = 20, int32_t y = 10) {
        SFrameInfo info;
        info.engine = &host;
        info.time = time;
        info.tapSlot = &layer->tapUnit();
        CUnit* out = nullptr;
        (void)layer->Evaluate(info, out);
        lastOut = out;
        if (!out || !out->renderer()) return 0xDEADBEEF;
        COpenGLFBOTarget* dest = new COpenGLFBOTarget(64, 32, nullptr);
        uint32_t pixel;
        {
            COpenGLScope_Cca scope(dest->context());
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, dest->fbo());
            glViewport(0, 0, 64, 32);
            glClearColor(0, 0, 0, 0);
            glClear(GL_COLOR_BUFFER_BIT);
            glEnable(GL_BLEND);
            glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
            const float quad[8] = {-1, -1, -1, 1, 1, -1, 1, 1};
            glVertexPointer(2, GL_FLOAT, 0, quad);
            glEnableClientState(GL_VERTEX_ARRAY);
            MQcRenderer_::DrawOutput(out->renderer(), dest->context(), out->outputKey(), 1);
            glDisableClientState(GL_VERTEX_ARRAY);
            glDisable(GL_BLEND);
            glFinish();
            pixel = BoundPixel(x, y);
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        }
        dest->Release();
        return pixel;
    }

    void SetInput(CRecord* unit, const char* key, const char* value) {
        ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, unit, LString(key), LString(value), false));
    }

    testsupport::TempDir dir;
    CDocModelHolder doc;
    enginetest::TestUnitHost host;
    std::vector<std::unique_ptr<CLayer>> layers;
    CUnit* lastOut = nullptr;
};

TEST_F(UnitsTest, GeneratorAndTwoFiltersGiveTheExpectedPixels) {
    CRecord* unit = AddLayer("gen.qtz", {"gain.qtz", "blue.qtz"});
    SetInput(unit, "Color", "rgba(1,0,0,1)");
    SetInput(Filter(0, 0), "Gain", "0.5");
    SetInput(Filter(0, 1), "Blue", "1");
    CLayer* layer = Load(unit);
    ASSERT_EQ(layer->ChainCount(), 2u);
    EXPECT_TRUE(layer->IsConsumer());
    EXPECT_TRUE(layer->renderer()->IsPrivate());
    EXPECT_FALSE(layer->ChainAt(0)->renderer()->IsPrivate());  // filters render in the shared target
    EXPECT_EQ(layer->ChainAt(0)->imageInputKey(), plat::kProtocolInputImage);
    EXPECT_EQ(layer->ChainAt(0)->outputKey(), plat::kProtocolOutputImage);
    EXPECT_EQ(layer->ParamAt(0)->key, "_oblayer_MixFunc");
    EXPECT_EQ(layer->ParamAt(1)->key, "_oblayer_Blend");
    EXPECT_EQ(layer->ChainAt(0)->ParamAt(0)->key, "_obunit_Bypass");
    EXPECT_TRUE(PixelNear(Frame(layer), 0xFF8000FF, 2));
    EXPECT_EQ(lastOut, layer->ChainAt(1));
    // A value set live reaches the pixels in the next frame.
    layer->ChainAt(0)->Param("Gain")->SetValue(&host, "1", nullptr, false);
    EXPECT_TRUE(PixelNear(Frame(layer, 1), 0xFFFF00FF, 2));
}

TEST_F(UnitsTest, BypassIsTheIntegerValueLoadedAndLive) {
    struct Case {
        const char* text;
        bool bypassed;
    } cases[] = {{"1", true}, {"0", false}, {"", false}, {"2", true}, {"x", false}};
    for (const Case& c : cases) {
        CRecord* unit = AddLayer("gen.qtz", {"gain.qtz"});
        SetInput(unit, "Color", "rgba(1,0,0,1)");
        SetInput(Filter(Mix()->ArrayCount(T::kMixsLayers) - 1, 0), "Gain", "0.5");
        SetInput(Filter(Mix()->ArrayCount(T::kMixsLayers) - 1, 0), "_obunit_Bypass", c.text);
        CLayer* layer = Load(unit);
        CUnit* filter = layer->ChainAt(0);
        EXPECT_EQ(filter->IsBypassed(), c.bypassed) << c.text;
        EXPECT_TRUE(PixelNear(Frame(layer), c.bypassed ? 0xFFFF0000 : 0xFF800000, 2)) << c.text;
        // Live: the same text through the parameter gives the same answer.
        CUnitParam* bypass = filter->Param("_obunit_Bypass");
        bypass->SetValue(&host, "9", nullptr, false);
        bypass->SetValue(&host, c.text, nullptr, false);
        filter->UpdateBypass();
        EXPECT_EQ(filter->IsBypassed(), c.bypassed) << c.text;
    }
}

TEST_F(UnitsTest, StubFilterPassesTheImageBeforeIt) {
    CRecord* unit = AddLayer("gen.qtz", {"gain.qtz", "stub.qtz"});
    SetInput(unit, "Color", "rgba(0,1,0,1)");
    SetInput(Filter(0, 0), "Gain", "0.5");
    CLayer* layer = Load(unit);
    CUnit* stub = layer->ChainAt(1);
    EXPECT_TRUE(stub->outputKey().IsEmpty());
    EXPECT_FALSE(stub->HasImage());
    EXPECT_TRUE(PixelNear(Frame(layer), 0xFF008000, 2));
    EXPECT_EQ(lastOut, layer->ChainAt(0));
}

TEST_F(UnitsTest, AnimatorDrivesANumberFromItsNumberOutputWhateverThePortOrder) {
    for (const char* anim : {"anim-ts.qtz", "anim-st.qtz"}) {
        CRecord* unit = AddLayer("gen.qtz", {"gain.qtz"});
        const uint32_t n = Mix()->ArrayCount(T::kMixsLayers) - 1;
        SetInput(unit, "Color", "rgba(1,1,1,1)");
        SetInput(Filter(n, 0), "Gain", "1");
        CRecord* input = UDocModel::FindUnitInput(Filter(n, 0), LString("Gain"));
        ASSERT_TRUE(UDocUnits::SetAnimator(Mix(), nullptr, input, LString(anim)));
        CLayer* layer = Load(unit);
        CUnitParam* gain = layer->ChainAt(0)->Param("Gain");
        ASSERT_NE(gain->animator(), nullptr) << anim;
        EXPECT_EQ(gain->animator()->outputKey(), "Value") << anim;
        EXPECT_TRUE(PixelNear(Frame(layer), 0xFF404040, 2)) << anim;
        EXPECT_EQ(gain->Value(&host), "0.25") << anim;
        // An animated parameter ignores values from outside until its animator is bypassed.
        gain->SetValue(&host, "1", nullptr, false);
        EXPECT_EQ(gain->Value(&host), "0.25");
        gain->animator()->SetBypassed(true);
        gain->SetValue(&host, "1", nullptr, false);
        EXPECT_EQ(gain->Value(&host), "1");
    }
}

TEST_F(UnitsTest, TransitionRendersAtItsProgress) {
    CRecord* unit = AddLayer("trans.qtz");
    SetInput(unit, "obspecial_Progress", "0.25");
    SetInput(unit, "_oblayer_Blend", "0.8");
    CLayer* layer = Load(unit);
    EXPECT_TRUE(layer->IsTransition());
    CUnitParam* progress = layer->Param("obspecial_Progress");
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->fHidden);
    EXPECT_EQ(layer->ParamIndex("obspecial_Progress"), 2);  // after the layer's own two
    EXPECT_FLOAT_EQ(layer->Progress(), 0.25f);
    EXPECT_TRUE(layer->renderer()->IsPrivate());
    EXPECT_TRUE(PixelNear(Frame(layer, 7.0), 0xFF400000, 2));

    // The source input's unit sees the opacity times (1 - progress), the destination's times progress.
    CRecord* source = UDocModel::FindUnitInput(unit, LString("_protocolInput_SourceImage"));
    CRecord* dest = UDocModel::FindUnitInput(unit, LString("_protocolInput_DestinationImage"));
    ASSERT_TRUE(source && dest);
    ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, unit, LString("_protocolInput_SourceImage"),
                                        LString(), true));
    ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, unit, LString("_protocolInput_DestinationImage"),
                                        LString(), true));
    CUnit* from = nullptr;
    EXPECT_NEAR(CUnit::EffectiveFader(source->GetSubRecord(T::kInptImage), &host, &from), 0.6, 1e-6);
    EXPECT_EQ(from, layer);
    EXPECT_NEAR(CUnit::EffectiveFader(dest->GetSubRecord(T::kInptImage), &host), 0.2, 1e-6);
    EXPECT_NEAR(CUnit::EffectiveFader(unit, &host), 0.8, 1e-6);
}

TEST_F(UnitsTest, AnimatedProgressIsWrittenUnderTheParameterLock) {
    CRecord* unit = AddLayer("trans.qtz");
    SetInput(unit, "obspecial_Progress", "0");
    CRecord* input = UDocModel::FindUnitInput(unit, LString("obspecial_Progress"));
    ASSERT_TRUE(UDocUnits::SetAnimator(Mix(), nullptr, input, LString("anim-st.qtz")));
    CLayer* layer = Load(unit);
    CUnitParam* progress = layer->Param("obspecial_Progress");
    ASSERT_NE(progress->animator(), nullptr);
    std::atomic<bool> done{false};
    std::thread render;
    {
        std::lock_guard<std::mutex> lock(host.ParamLock());
        render = std::thread([&] {
            SFrameInfo info;
            info.engine = &host;
            CUnit* out = nullptr;
            (void)layer->Evaluate(info, out);
            done = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_FALSE(done);
        EXPECT_EQ(progress->fValue, "0");
    }
    render.join();
    EXPECT_EQ(progress->Value(&host), "0.25");
    EXPECT_FLOAT_EQ(layer->Progress(), 0.25f);
}

TEST_F(UnitsTest, MissingInputsAreCreatedWithTheCompositionsValues) {
    CRecord* unit = AddLayer("gen.qtz", {"gain.qtz"});
    SetInput(Filter(0, 0), "Nope", "3");  // a key the composition lacks is passed over
    EXPECT_EQ(UDocModel::FindUnitInput(unit, LString("Color")), nullptr);
    CLayer* layer = Load(unit);
    CRecord* color = UDocModel::FindUnitInput(unit, LString("Color"));
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(color->GetString(T::kInptValue), "rgba(1,1,1,1)");
    EXPECT_EQ(layer->Param("Color")->Value(&host), "rgba(1,1,1,1)");
    CRecord* gain = UDocModel::FindUnitInput(Filter(0, 0), LString("Gain"));
    ASSERT_NE(gain, nullptr);
    EXPECT_EQ(gain->GetString(T::kInptValue), "1");
    EXPECT_EQ(layer->ChainAt(0)->ParamIndex("Nope"), -1);
    EXPECT_TRUE(PixelNear(Frame(layer), 0xFFFFFFFF, 2));
}

TEST_F(UnitsTest, ValueAndMonitorTextsPerKind) {
    GraphBuilder g;
    g.Node("b", plat::kNodeClassSplitter, Splitter("boolean"))
        .Node("i", plat::kNodeClassSplitter, Splitter("index", 0, 5))
        .Node("n", plat::kNodeClassSplitter, Splitter("number", 0, 10))
        .Node("s", plat::kNodeClassSplitter, Splitter("string"))
        .Node("c", plat::kNodeClassSplitter, Splitter("color"))
        .Node("x", plat::kNodeClassSplitter, Splitter("structure"))
        .Node("clear", plat::kNodeClassClear);
    for (const char* k : {"b", "i", "n", "s", "c", "x"})
        g.PublishInput(std::string("In") + k, k, "input").PublishOutput(std::string("Out") + k, k, "output");
    Write("kinds.qtz", g);
    CRecord* unit = AddLayer("kinds.qtz");
    struct Case {
        const char* key;
        uint32_t kind;
        const char* value;
        const char* shown;
    } cases[] = {
        {"Inb", CUnitParam::kBoolean, "1", "1"},
        {"Ini", CUnitParam::kIndex, "3.7", "3"},
        {"Inn", CUnitParam::kNumber, "2.5", "2.5"},
        {"Ins", CUnitParam::kString, "abc", "abc"},
        {"Inc", CUnitParam::kColor, "rgba(1,0.5,0,1)", "rgba(1,0.5,0,1)"},
        {"Inx", CUnitParam::kStructure, "1 2", ""},
    };
    for (const Case& c : cases) SetInput(unit, c.key, c.value);
    auto check = [&](const char* locale) {
        CLayer* layer = Load(unit);
        ASSERT_NE(layer->renderer(), nullptr);
        (void)Frame(layer);
        for (const Case& c : cases) {
            CUnitParam* p = layer->Param(c.key);
            ASSERT_NE(p, nullptr) << c.key;
            EXPECT_EQ(p->kind, c.kind) << c.key;
            EXPECT_EQ(p->ValueText(layer->renderer()), c.shown) << c.key << " " << locale;
            p->monitorKey = LString((std::string("Out") + (c.key + 2)).c_str());
            EXPECT_EQ(p->MonitorText(layer->renderer()), c.shown) << c.key << " " << locale;
        }
        EXPECT_EQ(layer->Param("Inn")->fDecimals, 2);
    };
    check("C");
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        check("de_DE");
        std::setlocale(LC_ALL, saved.c_str());
    }
}

TEST_F(UnitsTest, DeepAnimatorTreesStopAtTheDepthLimit) {
    CRecord* unit = AddLayer("num.qtz");
    CRecord* input = nullptr;
    CRecord* owner = unit;
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, owner, LString("In"), LString("0.5"), false));
        input = UDocModel::FindUnitInput(owner, LString("In"));
        ASSERT_TRUE(UDocUnits::SetAnimator(Mix(), nullptr, input, LString("num.qtz")));
        owner = input->GetSubRecord(T::kInptAnim);
    }
    CLayer* layer = Load(unit);
    uint32_t depth = 0;
    for (CUnit* u = layer; u; u = u->ParamCount() ? u->Param("In")->animator() : nullptr) depth = u->depth();
    EXPECT_EQ(depth, CUnit::kMaxDepth - 1);
    SFrameInfo info;
    info.engine = &host;
    CUnit* out = nullptr;
    (void)layer->Evaluate(info, out);
}

TEST_F(UnitsTest, ChainChangesPassTheImageAgain) {
    CRecord* unit = AddLayer("gen.qtz", {"gain.qtz", "blue.qtz"});
    SetInput(unit, "Color", "rgba(1,0,0,1)");
    SetInput(Filter(0, 0), "Gain", "0.5");
    SetInput(Filter(0, 1), "Blue", "1");
    CLayer* layer = Load(unit);
    ASSERT_TRUE(PixelNear(Frame(layer), 0xFF8000FF, 2));
    // Bypassing the last filter live: the image comes from the one before it.
    CUnit* blue = layer->ChainAt(1);
    blue->Param("_obunit_Bypass")->SetValue(&host, "1", nullptr, false);
    blue->UpdateBypass();
    layer->RefreshFrom(2, &host);
    EXPECT_TRUE(PixelNear(Frame(layer, 1), 0xFF800000, 2));
    EXPECT_EQ(lastOut, layer->ChainAt(0));
    // Removing the first filter: the generator's image goes straight to the next one.
    blue->Param("_obunit_Bypass")->SetValue(&host, "0", nullptr, false);
    blue->UpdateBypass();
    layer->RemoveChainUnit(0, &host);
    layer->RemoveChainUnit(5, &host);  // out of range: nothing
    ASSERT_EQ(layer->ChainCount(), 1u);
    EXPECT_TRUE(PixelNear(Frame(layer, 2), 0xFFFF00FF, 2));
    EXPECT_EQ(layer->FindById(blue->id()), blue);
    EXPECT_EQ(host.FindUnit(blue->id()), blue);
}

TEST_F(UnitsTest, TapUnitIsNotRenderedByItsOwnEvaluation) {
    GraphBuilder tap;
    tap.Node("c", plat::kNodeClassColorFill)
        .PublishInput("Color", "c", "color")
        .PublishOutput("obprivate_Tap", "c", "image");
    Write("tap.qtz", tap);
    CLayer* layer = Load(AddLayer("tap.qtz"));
    EXPECT_TRUE(layer->HasTapPort());
    EXPECT_TRUE(layer->outputKey().IsEmpty());
    SFrameInfo info;
    info.engine = &host;
    info.tapSlot = &layer->tapUnit();
    CUnit* out = nullptr;
    EXPECT_FALSE(layer->Evaluate(info, out));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(layer->tapUnit(), layer);
    EXPECT_TRUE(layer->renderer()->NeedsRender());
}

TEST_F(UnitsTest, ChangedMonitorValuesAreWrittenBack) {
    GraphBuilder g;
    g.Node("n", plat::kNodeClassSplitter, Splitter("number", 0, 100))
        .Node("clear", plat::kNodeClassClear)
        .PublishInput("Level", "n", "input")
        .PublishOutput("Shown", "n", "output");
    Dictionary monitor;
    monitor.Set("monk", Value("Shown"));
    Dictionary portex;
    portex.Set("Level", Value(monitor));
    Write("mon.qtz", g, {{"lumetra.portex", Value(portex)}});
    CRecord* unit = AddLayer("mon.qtz");
    SetInput(unit, "Level", "12.5");
    CLayer* layer = Load(unit);
    CUnitParam* level = layer->Param("Level");
    ASSERT_EQ(level->monitorKey, "Shown");
    // A monitored input takes no stored value at load and marks its input for the engine.
    EXPECT_EQ(UDocModel::FindUnitInput(unit, LString("Level"))->GetByte(T::kInptDirect), 1);
    level->SetValue(&host, "42", nullptr, false);
    level->fWriteBack = 0;
    host.signals = 0;
    (void)Frame(layer);
    EXPECT_EQ(level->MonitorValue(&host), "42");
    EXPECT_EQ(level->fWriteBack, 1);
    EXPECT_EQ(host.signals, 1u);
    level->fWriteBack = 0;
    (void)Frame(layer, 1);
    EXPECT_EQ(level->fWriteBack, 0);  // unchanged: nothing to write
}

TEST_F(UnitsTest, StoredPathsResolveAgainstTheDocument) {
    ASSERT_EQ(mkdir(dir.File("folder.qtz").c_str(), 0700), 0);
    EXPECT_TRUE(CUnit::LoadComposition(&host, "gen.qtz"));
    EXPECT_TRUE(CUnit::LoadComposition(&host, LString(dir.File("gen.qtz").c_str())));
    EXPECT_FALSE(CUnit::LoadComposition(&host, "folder.qtz"));
    EXPECT_FALSE(CUnit::LoadComposition(&host, "missing.qtz"));
    EXPECT_FALSE(CUnit::LoadComposition(&host, ""));
    // A unit whose composition is missing is an empty unit named "?" without output.
    CLayer* layer = Load(AddLayer("missing.qtz"));
    EXPECT_EQ(layer->name(), "?");
    EXPECT_EQ(layer->renderer(), nullptr);
    EXPECT_EQ(layer->ParamCount(), 2u);
    EXPECT_EQ(Frame(layer), 0xDEADBEEF);
}

TEST_F(UnitsTest, SizeGLRefusesLeavesTheUnitWithoutOutput) {
    CRecord* unit = AddLayer("gen.qtz");
    CLayer* layer = Load(unit);
    layer->PrepareTree(1u << 20, 4, &host, true);
    EXPECT_EQ(layer->renderer(), nullptr);
    EXPECT_EQ(Frame(layer), 0xDEADBEEF);
    EXPECT_EQ(lastOut, nullptr);
    layer->PrepareTree(64, 32, &host, true);
    ASSERT_NE(layer->renderer(), nullptr);
    EXPECT_TRUE(PixelNear(Frame(layer), 0xFFFFFFFF, 2));
}

TEST_F(UnitsTest, CaptureRequestDrawsTheUnitIntoTheRequester) {
    CRecord* unit = AddLayer("gen.qtz");
    SetInput(unit, "Color", "rgba(0,0,1,1)");
    CLayer* layer = Load(unit);
    COpenGLFBOTarget* requester = new COpenGLFBOTarget(16, 16, nullptr);
    host.captures.push_back({layer->id(), &requester->context()});
    SFrameInfo info;
    info.engine = &host;
    info.capturePending = 1;
    CUnit* out = nullptr;
    {
        COpenGLScope_Cca scope(requester->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, requester->fbo());
        glViewport(0, 0, 16, 16);
        (void)layer->Evaluate(info, out);
        EXPECT_TRUE(PixelNear(BoundPixel(8, 8), 0xFF0000FF, 2));
        EXPECT_EQ(BoundPixel(8, 0), 0u);  // fitted: a 2:1 image in a square leaves bands
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    }
    EXPECT_EQ(info.capturePending, 0);
    EXPECT_TRUE(host.captures.empty());
    EXPECT_EQ(host.recycled, 1u);
    requester->Release();
}

}  // namespace
