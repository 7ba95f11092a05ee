#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Engine/CCtlInEngineBinder.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CLayer.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/CSceneRecall.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscPattern.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Foundation/PropertyList.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/support/FakeSoundSource.h"
#include "tests/support/HubFeed.h"
#include "tests/support/TempDir.h"

using composertest::GraphBuilder;
using plat::Dictionary;
using plat::Value;
using namespace qctest;

namespace {

using T = CDocModelTypes;

constexpr int kW = 32, kH = 16;

uint32_t gNow = 50000;
uint32_t Clock() {
    return gNow;
}

Value Uniform(const char* key, const char* type, Value def, Value min = Value(), Value max = Value(),
              plat::ValueArray labels = {}) {
    Dictionary u;
    u.Set(plat::kPublishedPortKey, Value(key));
    u.Set(plat::kPortAttributeType, Value(type));
    u.Set(plat::kPortAttributeDefault, def);
    if (!min.IsNull()) u.Set(plat::kPortAttributeMinimum, min);
    if (!max.IsNull()) u.Set(plat::kPortAttributeMaximum, max);
    if (!labels.empty()) u.Set(plat::kPortAttributeMenuItems, Value(std::move(labels)));
    return Value(std::move(u));
}

void Put(CRecord* set, const char* key, const char* value) {
    CParamSet::SetString(CRecordRef(&set), nullptr, LString(key), LString(value));
}

// An engine over a show of one layer whose composition has a number "Amount" (0..10), an index
// "Level" (0..4), an index "Choice" (four labels), a number "Big" (0..1000), a number "Free" (no
// range) and a colour "Color"; it draws Color × (Amount / 10) in red and green.
class SceneRecallTest : public QcGLTest {
public:
    void SetUp() override {
        QcGLTest::SetUp();
        gNow = 50000;
        doc = std::make_unique<CDocModelHolder>();
        doc->SetDocumentPath(CMacFileU::LFsSpecFromPath(dir.File("show.obm").c_str()));
        Dictionary state;
        state.Set(plat::kShaderStateFragment,
                  Value("uniform float amount; uniform vec4 color; uniform int level; uniform int choice;"
                        "uniform float big; uniform float free;"
                        "void main() { gl_FragColor = vec4(color.rgb * (amount / 10.0), 1.0)"
                        " + 0.0 * vec4(float(level + choice) + big + free); }"));
        state.Set(plat::kShaderStateUniforms,
                  Value(plat::ValueArray{
                      Uniform("amount", "number", Value(0.0), Value(0.0), Value(10.0)),
                      Uniform("color", "color", Value(plat::Color{1, 1, 1, 1})),
                      Uniform("level", "index", Value(0), Value(0), Value(4)),
                      Uniform("choice", "index", Value(0), Value(), Value(),
                              plat::ValueArray{Value("a"), Value("b"), Value("c"), Value("d")}),
                      Uniform("big", "number", Value(0.0), Value(0.0), Value(1000.0)),
                      Uniform("free", "number", Value(0.0), Value(0.0), Value(0.0)),
                  }));
        GraphBuilder g;
        g.Node("g", plat::kNodeClassGLSL, state);
        g.PublishInput("Amount", "g", "amount")
            .PublishInput("Color", "g", "color")
            .PublishInput("Level", "g", "level")
            .PublishInput("Choice", "g", "choice")
            .PublishInput("Big", "g", "big")
            .PublishInput("Free", "g", "free");
        ASSERT_TRUE(plat::WritePropertyListFile(dir.File("params.qtz"), g.PropertyList(),
                                                plat::PropertyListFormat::Xml));
        const int32_t n = UDocUnits::AddCompositionLayer(doc->Mix(), nullptr, 99, LString("params.qtz"));
        ASSERT_GE(n, 0);
        unitRecord = doc->Mix()->GetElement(T::kMixsLayers, 0)->GetSubRecord(T::kLayrUnit);
        SetInput("Amount", "0");
        SetInput("Color", "rgba(1,1,1,1)");
        window = new COpenGLFBOTarget(kW, kH, nullptr);
        {
            COpenGLScope_Cca scope(window->context());
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, window->fbo());
            glViewport(0, 0, kW, kH);
        }
        engine = std::make_unique<CMixEngine>(doc.get(), &prefs);
        engine->SetClock(&Clock);
        engine->SetOutputSize(kW, kH);
        engine->LoadLayers();
        ASSERT_EQ(engine->LayerCount(), 1u);
        binder = std::make_unique<CCtlInEngineBinder>(engine.get(), doc.get(), nullptr, nullptr, &hub);
        recall = std::make_unique<CSceneRecall>(engine.get(), binder.get());
        recall->SetClock(&Clock);
    }
    void TearDown() override {
        recall.reset();
        binder.reset();
        engine.reset();
        doc.reset();
        if (window) window->Release();
        QcGLTest::TearDown();
    }

    // Render-thread values reach the records first, so a value equal to the stored one still applies.
    void SetInput(const char* key, const char* value) {
        if (engine) engine->ServiceSignal();
        ASSERT_TRUE(
            UDocUnits::SetUnitInput(doc->Mix(), nullptr, unitRecord, LString(key), LString(value), false));
    }
    CRecord* Control(const char* key) {
        CRecord* input = UDocModel::FindUnitInput(unitRecord, LString(key));
        return input ? input->GetSubRecord(T::kInptCtl) : nullptr;
    }
    std::string Text(const char* key) {
        CUnitParam* p = engine->LayerAt(0)->Param(key);
        return p ? std::string(p->Value(engine.get()).CStr()) : std::string("?");
    }
    uint32_t Id() const { return unitRecord->GetUInt(T::kUnitId); }
    void Dmx(uint32_t slot, uint8_t value) { testsupport::Dmx(hub, slot, value); }
    void Midi(uint8_t status, uint8_t d1, uint8_t d2) {
        const uint8_t m[3] = {status, d1, d2};
        hub.MidiIn(m);
    }
    uint32_t Frame(int32_t x = kW / 2, int32_t y = kH / 2) {
        engine->RenderFrame(window->context(), CMixEngine::SFrameRequest{0});
        COpenGLScope_Cca scope(window->context());
        glFinish();
        return BoundPixel(x, y) | 0xFF000000u;
    }
    uint32_t Pixel(int32_t x, int32_t y) {
        COpenGLScope_Cca scope(window->context());
        return BoundPixel(x, y) | 0xFF000000u;
    }
    // A scene of this show's list with the values and fade time.
    CRecord* Scene(std::vector<std::pair<const char*, const char*>> values, float fade, uint32_t id = 0) {
        CRecord* scene = UDocScenes::NewScene();
        scene->Slot(T::kScneFade).f32 = fade;
        for (auto& [k, v] : values)
            UDocScenes::SetSceneValue(scene, nullptr, id ? id : Id(), LString(k), LString(v), false);
        const uint32_t n = doc->Scenes()->ArrayCount(T::kScnsScenes);
        EXPECT_TRUE(UDocScenes::InsertScene(doc->Scenes(), nullptr, n, scene));
        return doc->Scenes()->GetElement(T::kScnsScenes, n);
    }

    testsupport::TempDir dir;
    CAppPrefs prefs;
    testsupport::FakeSoundSource sound;
    CCtlInHub hub{&sound};
    std::unique_ptr<CDocModelHolder> doc;
    std::unique_ptr<CMixEngine> engine;
    std::unique_ptr<CCtlInEngineBinder> binder;
    std::unique_ptr<CSceneRecall> recall;
    CRecord* unitRecord = nullptr;
    COpenGLFBOTarget* window = nullptr;
};

TEST_F(SceneRecallTest, NumbersFadeWithTheClockWhileIndexesSwitchAtTheStart) {
    CRecord* scene = Scene({{"Amount", "10"}, {"Level", "3"}, {"Free", "1"}}, 2.0f);
    const uint32_t counter = engine->LayerAt(0)->sceneCounter();
    recall->Start(scene, 0, -1, -1);
    EXPECT_EQ(engine->LayerAt(0)->sceneCounter(), counter + 1);
    EXPECT_EQ(Text("Level"), "3");
    EXPECT_EQ(Text("Amount"), "0");
    for (int i = 1; i <= 20; ++i) {
        gNow += 100;
        (void)Frame();
        EXPECT_NEAR(recall->Progress(), 0.05f * i, 1e-5) << i;
        EXPECT_NEAR(std::stod(Text("Amount")), 0.5 * i, 1e-3) << i;
    }
    EXPECT_EQ(Text("Amount"), "10");
    EXPECT_EQ(Text("Free"), "1");
    // Range 0..0: three decimals, written with four.
    CRecord* third = Scene({{"Free", "2"}}, 3.0f);
    recall->Start(third, 0, -1, -1);
    gNow += 1000;
    recall->Step();
    EXPECT_EQ(Text("Free"), "1.3333");
    // Done: nothing moves any more.
    gNow += 5000;
    recall->Step();
    EXPECT_EQ(Text("Free"), "2");
    SetInput("Free", "7");
    gNow += 100;
    recall->Step();
    EXPECT_EQ(Text("Free"), "7");
}

TEST_F(SceneRecallTest, SnapMakesNumbersJumpWhileTheBlendFades) {
    doc->Scenes()->Slot(T::kScnsSnap).u8 = 1;
    CRecord* scene = Scene({{"Amount", "8"}, {"_oblayer_Blend", "0"}}, 1.0f);
    recall->Start(scene, 0, -1, -1);
    EXPECT_EQ(Text("Amount"), "8");
    gNow += 500;
    recall->Step();
    EXPECT_EQ(Text("_oblayer_Blend"), "0.5");
    gNow += 500;
    recall->Step();
    EXPECT_EQ(Text("_oblayer_Blend"), "0");
}

TEST_F(SceneRecallTest, OverridesHoldAndBadOnesAreTamed) {
    CRecord* scene = Scene({{"Amount", "10"}}, 2.0f);
    recall->Start(scene, 0, 0.3f, -1);
    for (int i = 0; i < 3; ++i) {
        gNow += 1000;
        recall->Step();
        EXPECT_FLOAT_EQ(recall->Progress(), 0.3f);
    }
    EXPECT_EQ(Text("Amount"), "3");
    recall->SetPositionOverride(0.1f);  // never back
    recall->Step();
    EXPECT_FLOAT_EQ(recall->Progress(), 0.3f);
    recall->SetPositionOverride(5.0f);  // above 1: the end, not beyond it
    recall->Step();
    EXPECT_FLOAT_EQ(recall->Progress(), 1.0f);
    EXPECT_EQ(Text("Amount"), "10");
    // Non-finite times and overrides: no "nan" ever.
    struct Case {
        float fade, position, time;
    } cases[] = {{NAN, -1, -1}, {2, NAN, -1}, {2, -1, NAN}, {INFINITY, -1, -1}, {2, -1, INFINITY}};
    for (const Case& c : cases) {
        SetInput("Amount", "0");
        CRecord* s = Scene({{"Amount", "4"}}, c.fade);
        recall->Start(s, 0, c.position, c.time);
        recall->SetPositionOverride(NAN);
        recall->SetTimeOverride(NAN);
        for (int i = 0; i < 3; ++i) {
            gNow += 700;
            recall->Step();
            EXPECT_TRUE(std::isfinite(recall->Progress()));
            EXPECT_EQ(Text("Amount").find("nan"), std::string::npos);
            EXPECT_EQ(Text("Amount").find("inf"), std::string::npos);
        }
    }
}

TEST_F(SceneRecallTest, ModesLeaveBoundParameters) {
    CRecord* ctrl = Control("Amount");
    ASSERT_NE(ctrl, nullptr);
    Put(ctrl, "type", "dmx");
    Put(ctrl, "dmxch", "0");
    struct Case {
        uint32_t mode;
        bool moved;
        const char* expected;
    } cases[] = {{0, false, "10"}, {2, false, "0"}, {1, false, "10"}, {1, true, "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode * 10 + c.moved);
        binder->ResetAll();
        Dmx(0, 0);
        binder->Evaluate();
        SetInput("Amount", "0");
        if (c.moved) {
            Dmx(0, 0);  // first value remembered, then a move sends 0 again
            Dmx(0, 1);
            binder->Evaluate();
            SetInput("Amount", "0");
        }
        recall->Start(Scene({{"Amount", "10"}}, 0.0f), c.mode, -1, -1);
        recall->Step();
        EXPECT_EQ(Text("Amount"), c.expected);
    }
}

TEST_F(SceneRecallTest, ColoursFadeOverFrames) {
    SetInput("Amount", "10");
    SetInput("Color", "rgba(0,0,0,1)");
    EXPECT_TRUE(PixelNear(Frame(), 0xFF000000, 2));
    recall->Start(Scene({{"Color", "rgba(1,0.5,0,1)"}}, 1.0f), 0, -1, -1);
    gNow += 500;
    EXPECT_TRUE(PixelNear(Frame(), 0xFF804000, 3));
    EXPECT_EQ(Text("Color"), "rgba(0.5,0.25,0,1)");
    gNow += 500;
    EXPECT_TRUE(PixelNear(Frame(), 0xFFFF8000, 3));
}

TEST_F(SceneRecallTest, PendingValuesReachAUnitOnDemandOnce) {
    recall->Start(Scene({{"Level", "2"}}, 1.0f), 0, -1, -1);
    EXPECT_EQ(Text("Level"), "2");
    SetInput("Level", "0");  // as a freshly made unit would start
    recall->ApplyPendingToUnit(unitRecord);
    EXPECT_EQ(Text("Level"), "2");
    SetInput("Level", "1");
    recall->ApplyPendingToUnit(unitRecord);  // no longer pending
    EXPECT_EQ(Text("Level"), "1");
    // Values for a unit the engine does not have yet wait in their entry until it is made.
    const uint32_t next = doc->Mix()->GetUInt(T::kMixsLastUnitId) + 1;
    recall->Start(Scene({{"Level", "4"}, {"Amount", "5"}}, 1.0f, next), 0, -1, -1);
    EXPECT_EQ(Text("Level"), "1");
    gNow += 500;
    recall->Step();
    ASSERT_EQ(UDocUnits::AddCompositionLayer(doc->Mix(), nullptr, 99, LString("params.qtz")), 1);
    CRecord* made = doc->Mix()->GetElement(T::kMixsLayers, 1)->GetSubRecord(T::kLayrUnit);
    ASSERT_EQ(made->GetUInt(T::kUnitId), next);
    CLayer* layer = engine->LayerAt(1);
    EXPECT_EQ(layer->Param("Level")->Value(engine.get()), "0");
    recall->ApplyPendingToUnit(made);
    EXPECT_EQ(layer->Param("Level")->Value(engine.get()), "4");
    // Numbers take the share of the fade done: half way from 0 to 5.
    EXPECT_EQ(layer->Param("Amount")->Value(engine.get()), "2.5");
    gNow += 500;
    recall->Step();
    EXPECT_EQ(layer->Param("Amount")->Value(engine.get()), "5");
}

TEST_F(SceneRecallTest, BlendOverridesSetEveryLayer) {
    const uint32_t ids[] = {Id()};
    const float levels[] = {0.25f};
    recall->Start(Scene({{"Amount", "1"}}, 1.0f), 0, -1, -1);
    recall->SetOverrides(ids, levels, 1);
    recall->Step();
    EXPECT_EQ(Text("_oblayer_Blend"), "0.25");
    recall->SetOverrides(nullptr, nullptr, 0);
}

TEST_F(SceneRecallTest, AddSceneUnitsFillsTheSceneOnce) {
    CRecord* scene = Scene({}, 1.0f);
    CSceneRecall::AddSceneUnits(nullptr, doc->Mix().Get(), scene, true);
    EXPECT_GE(UDocModel::FindSceneValue(scene, Id(), LString("Amount")), 0);
    SetInput("Amount", "6");
    CSceneRecall::AddSceneUnits(nullptr, doc->Mix().Get(), scene, true);
    const int32_t n = UDocModel::FindSceneValue(scene, Id(), LString("Amount"));
    EXPECT_EQ(scene->GetElement(T::kScneValues, static_cast<uint32_t>(n))->GetString(T::kPrmtValue), "0");
    CSceneRecall::AddSceneUnits(nullptr, doc->Mix().Get(), scene, false);
    EXPECT_EQ(scene->GetElement(T::kScneValues, static_cast<uint32_t>(n))->GetString(T::kPrmtValue), "6");
}

// --- the engine binder ------------------------------------------------------------------------

TEST_F(SceneRecallTest, BinderTable) {
    struct Case {
        const char* name;
        const char* key;
        std::vector<std::pair<const char*, const char*>> control;
        std::function<void(SceneRecallTest&)> before, drive;
        const char* expected;
    } cases[] = {
        {"dmx 128 on 0..10",
         "Amount",
         {{"type", "dmx"}, {"dmxch", "5"}},
         [](auto& t) { t.Dmx(5, 0); },
         [](auto& t) { t.Dmx(5, 128); },
         "5.02"},
        {"cc 64 on 0..4",
         "Level",
         {{"type", "midic"}, {"midich", "2"}, {"midicc", "9"}},
         [](auto& t) { t.Midi(0xB2, 9, 0); },
         [](auto& t) { t.Midi(0xB2, 9, 64); },
         "2"},
        {"cc 127 on 0..4",
         "Level",
         {{"type", "midic"}, {"midich", "2"}, {"midicc", "9"}},
         [](auto& t) { t.Midi(0xB2, 9, 0); },
         [](auto& t) { t.Midi(0xB2, 9, 127); },
         "4"},
        {"dmx2 on channel 512",
         "Amount",
         {{"type", "dmx2"}, {"dmxch", "511"}},
         [](auto& t) { t.Dmx(511, 0); },
         [](auto& t) { t.Dmx(511, 255); },
         "9.96"},
        {"range min only",
         "Big",
         {{"type", "dmx"}, {"dmxch", "7"}, {"range", "1"}, {"min", "100"}, {"max", ""}},
         [](auto& t) { t.Dmx(7, 255); },
         [](auto& t) { t.Dmx(7, 0); },
         "100"},
        {"four labels at full scale",
         "Choice",
         {{"type", "dmx"}, {"dmxch", "8"}},
         [](auto& t) { t.Dmx(8, 0); },
         [](auto& t) { t.Dmx(8, 255); },
         "3"},
        {"hsv hue from dmx 0",
         "Color",
         {{"type", "hsv"}},
         [](auto& t) {
             t.SetInput("Color", "rgba(0,0.5,0,0.5)");
             t.Dmx(9, 128);
         },
         [](auto& t) { t.Dmx(9, 0); },
         "rgba(0.5,0,0,0.5)"},
        {"note with gate",
         "Amount",
         {{"type", "midin"}, {"midich", "0"}, {"miding", "1"}},
         [](auto& t) { t.Midi(0x90, 127, 100); },
         [](auto& t) { t.Midi(0x80, 127, 0); },
         "0"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* key : {"Amount", "Level", "Choice", "Big", "Color"}) Put(Control(key), "type", "");
        SetInput(c.key, "1");
        CRecord* ctrl = Control(c.key);
        for (auto& [k, v] : c.control) Put(ctrl, k, v);
        if (std::string(c.name).rfind("hsv", 0) == 0) {
            CRecord* compo = CParamSet::GetOrCreateSubSet(CRecordRef(&ctrl), nullptr, LString("compo1"));
            Put(compo, "type", "dmx");
            Put(compo, "dmxch", "9");
        }
        c.before(*this);
        const std::string before = Text(c.key);
        binder->Evaluate();  // only remembered
        EXPECT_EQ(Text(c.key), before);
        c.drive(*this);
        binder->Evaluate();
        EXPECT_EQ(Text(c.key), c.expected);
    }
}

TEST_F(SceneRecallTest, OscPathMapsOnlyWithRange) {
    CRecord* ctrl = Control("Amount");
    Put(ctrl, "type", "osc");
    Put(ctrl, "oscadr", "/show/amount");
    OscPattern pattern;
    pattern.Compile("/show/amount");
    const OscArg half = OscArg::Float(0.5f);
    hub.NotifyOsc(pattern, &half, 1);  // sent on first reception
    EXPECT_EQ(Text("Amount"), "0.5");
    Put(ctrl, "range", "1");
    hub.NotifyOsc(pattern, &half, 1);
    EXPECT_EQ(Text("Amount"), "5");
    // Every type tag, none of them writing a non-number.
    const OscArg args[] = {OscArg::Int(7),
                           OscArg::Text("x"),
                           OscArg::Flag('T'),
                           OscArg::Flag('N'),
                           OscArg::Float(NAN),
                           OscArg::Float(INFINITY),
                           OscArg::TimeTag(1ull << 32),
                           OscArg::Blob(reinterpret_cast<const uint8_t*>("ab"), 2)};
    for (const OscArg& a : args) {
        hub.NotifyOsc(pattern, &a, 1);
        const std::string v = Text("Amount");
        EXPECT_TRUE(std::isfinite(std::stod(v))) << v;
    }
    hub.NotifyOsc(pattern, nullptr, 0);
    OscPattern other;
    other.Compile("/show/other");
    hub.NotifyOsc(other, &half, 1);
    // Colour components from OSC.
    Put(ctrl, "type", "");
    CRecord* color = Control("Color");
    Put(color, "type", "rgb");
    CRecord* green = CParamSet::GetOrCreateSubSet(CRecordRef(&color), nullptr, LString("compo2"));
    Put(green, "type", "osc");
    Put(green, "oscadr", "/show/green");
    SetInput("Color", "rgba(1,0,0,1)");
    OscPattern g;
    g.Compile("/show/green");
    const OscArg two = OscArg::Float(2.0f);
    hub.NotifyOsc(g, &two, 1);
    binder->Evaluate();  // remembered
    Dmx(0, 1);
    const OscArg quarter = OscArg::Float(0.25f);
    hub.NotifyOsc(g, &quarter, 1);
    binder->Evaluate();
    EXPECT_EQ(Text("Color"), "rgba(1,0.25,0,1)");
}

TEST_F(SceneRecallTest, ADmxFrameChangesTheNextFramesPixels) {
    SetInput("Color", "rgba(1,0,0,1)");
    CRecord* ctrl = Control("Amount");
    Put(ctrl, "type", "dmx");
    Put(ctrl, "dmxch", "0");
    EXPECT_TRUE(PixelNear(Frame(), 0xFF000000, 2));
    Dmx(0, 255);
    EXPECT_TRUE(PixelNear(Frame(), 0xFFFF0000, 2));
    Dmx(0, 128);
    EXPECT_TRUE(PixelNear(Frame(), 0xFF800000, 3));
}

// The shipped spectrum visualizer, its spectrum input bound to the sound level, draws a bar for
// the band of a sine and follows it to another band.
TEST_F(SceneRecallTest, SpectrumBarsFollowASine) {
    const std::string shipped = std::string(SHARED_SUPPORT_DIR) + "/compositions/generators/SpectrumBars.qtz";
    plat::Value plist;
    ASSERT_TRUE(plat::ReadPropertyListFile(shipped, plist));
    ASSERT_TRUE(plat::WritePropertyListFile(dir.File("bars.qtz"), plist, plat::PropertyListFormat::Xml));
    const int32_t n = UDocUnits::AddCompositionLayer(doc->Mix(), nullptr, 99, LString("bars.qtz"));
    ASSERT_EQ(n, 1);
    ASSERT_EQ(engine->LayerCount(), 2u);
    CRecord* bars = doc->Mix()->GetElement(T::kMixsLayers, 1)->GetSubRecord(T::kLayrUnit);
    CRecord* input = UDocModel::FindUnitInput(bars, LString(plat::kProtocolInputAudioSpectrum));
    ASSERT_NE(input, nullptr);
    ASSERT_NE(engine->LayerAt(1)->Param(plat::kProtocolInputAudioSpectrum), nullptr);
    EXPECT_EQ(engine->LayerAt(1)->Param(plat::kProtocolInputAudioSpectrum)->audioSpectrum, 1);
    Put(input->GetSubRecord(T::kInptCtl), "type", "spect");
    auto lit = [&](int band) { return Pixel(band * kW / 16 + 1, 3) != 0xFF000000u; };
    sound.WriteSine(1, 20, 256);  // bin 20: band 5 (bins 16-21)
    (void)Frame();
    EXPECT_TRUE(lit(5));
    EXPECT_FALSE(lit(9));
    EXPECT_FALSE(lit(0));
    sound.Consume();
    sound.WriteSine(1, 50, 256);  // bin 50: band 9 (bins 46-55)
    (void)Frame();
    EXPECT_FALSE(lit(5));
    EXPECT_TRUE(lit(9));
}

// Recalls, resets and OSC messages on the main thread while another thread renders.
TEST_F(SceneRecallTest, MainThreadWorkWhileFramesRender) {
    CRecord* ctrl = Control("Amount");
    Put(ctrl, "type", "osc");
    Put(ctrl, "oscadr", "/a");
    CRecord* level = Control("Level");
    Put(level, "type", "dmx");
    CRecord* a = Scene({{"Amount", "10"}, {"Color", "rgba(1,0,0,1)"}, {"Level", "1"}}, 0.05f);
    CRecord* b = Scene({{"Amount", "0"}, {"Color", "rgba(0,0,1,1)"}, {"Level", "3"}}, 0.05f);
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> frames{0};
    recall->SetClock(nullptr);
    std::thread render([&] {
        while (!stop.load()) {
            engine->RenderFrame(window->context(), CMixEngine::SFrameRequest{0});
            frames.fetch_add(1);
        }
    });
    std::thread dmx([&] {
        uint8_t v = 0;
        while (!stop.load()) {
            std::vector<uint8_t> frame(513, v++);
            hub.DmxIn(frame.data(), 513);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    OscPattern pattern;
    pattern.Compile("/a");
    // At least 2 s and 10 frames (slow builds render slowly), at most 30 s.
    const auto start = std::chrono::steady_clock::now();
    auto running = [&] {
        const auto now = std::chrono::steady_clock::now();
        return now < start + std::chrono::seconds(30) &&
               (now < start + std::chrono::seconds(2) || frames.load() < 10);
    };
    uint32_t i = 0;
    while (running()) {
        recall->Start(i % 2 ? a : b, i % 3, i % 5 == 0 ? 0.5f : -1.0f, -1);
        if (i % 4 == 0) binder->ResetAll();
        const OscArg v = OscArg::Float(static_cast<float>(i % 10) / 10);
        hub.NotifyOsc(pattern, &v, 1);
        if (i % 7 == 0) Put(level, "dmxch", i % 2 ? "1" : "2");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ++i;
    }
    stop.store(true);
    render.join();
    dmx.join();
    EXPECT_GE(frames.load(), 10u);
}

}  // namespace
