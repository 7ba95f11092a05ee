#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Engine/CCtlInBinder.h"
#include "Orbilume/CSources/Engine/CCtlInDocBinder.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CPatchGraphTypes.h"
#include "Orbilume/CSources/Engine/CSceneCtlIn.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscPattern.h"
#include "tests/support/HubFeed.h"

namespace {

using T = CDocModelTypes;

void Put(CRecord* set, const char* key, const char* value) {
    CParamSet::SetString(CRecordRef(&set), nullptr, LString(key), LString(value));
}

using testsupport::Dmx;
using testsupport::Midi;

// A document with n scenes in its own list, a hub and a scene control on them.
class SceneCtlInTest : public testing::Test {
protected:
    void SetUp() override {
        for (uint32_t i = 0; i < 8; ++i)
            ASSERT_TRUE(UDocScenes::InsertScene(doc.Scenes(), nullptr, i, UDocScenes::NewScene()));
        ctl = std::make_unique<CSceneCtlIn>(doc.Scenes(), &hub);
        (void)doc.AddObserver(this, [](void* c, const SRecordEvent* e) {
            auto* self = static_cast<SceneCtlInTest*>(c);
            if (e->record.Get() == self->doc.Scenes().Get() && e->field == T::kScnsRecall && e->kind == 0) {
                const int32_t n = self->doc.Scenes()->GetInt(T::kScnsRecall);
                if (n >= 0) self->recalls.push_back(n);
            }
        });
    }
    void TearDown() override { ctl.reset(); }

    void Setup(std::vector<std::pair<const char*, const char*>> keys) {
        CRecord* set = doc.SceneControl().Get();
        for (auto& [k, v] : keys) Put(set, k, v);
        ctl->Setup(set);
    }
    void SetCurrent(uint32_t n) { doc.Scenes()->Slot(T::kScnsCurIndex).u32 = n; }

    CDocModelHolder doc;
    CCtlInHub hub;
    std::unique_ptr<CSceneCtlIn> ctl;
    std::vector<int32_t> recalls;
};

TEST_F(SceneCtlInTest, DmxTriggerRecallsOnRisingEdgesWithinTheSceneCount) {
    Setup({{"ctlr", "dmx"}, {"usage", "trig"}, {"dmxch", "10"}});
    Dmx(hub, 12, 255);
    ctl->Step();
    Dmx(hub, 12, 200);  // still on: nothing more
    ctl->Step();
    Dmx(hub, 18, 255);  // scene 8 of 8: ignored
    Dmx(hub, 30, 255);
    ctl->Step();
    EXPECT_EQ(recalls, std::vector<int32_t>{2});
    EXPECT_GT(ctl->SignalCount(), 0u);
}

TEST_F(SceneCtlInTest, DmxSelectRecallsOnceAndIgnoresValuesBeyondTheList) {
    Setup({{"ctlr", "dmx"}, {"usage", "sel"}, {"dmxch", "0"}});
    Dmx(hub, 0, 3);
    ctl->Step();
    ctl->Step();
    Dmx(hub, 0, 8);
    ctl->Step();
    Dmx(hub, 0, 200);
    ctl->Step();
    EXPECT_EQ(recalls, std::vector<int32_t>{3});
}

TEST_F(SceneCtlInTest, DmxStepControlsStopAtBothEnds) {
    Setup({{"ctlr", "dmx"}, {"usage", "step"}, {"dmxch", "4"}, {"steprwnd", "1"}, {"stepback", "1"}});
    struct Case {
        uint32_t current;
        uint32_t channel;  // 4 rewind, 5 back, 6 forward
        std::vector<int32_t> expected;
    } cases[] = {
        {3, 6, {4}}, {7, 6, {}}, {0, 5, {}}, {5, 5, {4}}, {6, 4, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel);
        recalls.clear();
        SetCurrent(c.current);
        Dmx(hub, c.channel, 255);
        ctl->Step();
        Dmx(hub, c.channel, 0);
        ctl->Step();
        EXPECT_EQ(recalls, c.expected);
    }
}

TEST_F(SceneCtlInTest, MidiNoteWithVelocityTimeAndPendingBeyondTheListDropped) {
    Setup(
        {{"ctlr", "mnt"}, {"midich", "2"}, {"midinn", "48"}, {"midivlt", "1"}, {"tmin", "1"}, {"tmax", "5"}});
    Midi(hub, 0x92, 50, 64);
    ctl->Step();
    ASSERT_EQ(recalls, std::vector<int32_t>{2});
    EXPECT_NEAR(doc.Scenes()->GetFloat(T::kScnsFadeTime), 1 + 4 * 63.0f / 126, 1e-5);
    // Note 60 names scene 12 of 8: dropped, and it does not linger.
    Midi(hub, 0x92, 60, 100);
    EXPECT_EQ(ctl->PendingScene(), 12);
    ctl->Step();
    EXPECT_EQ(ctl->PendingScene(), -1);
    EXPECT_EQ(recalls.size(), 1u);
    // Another channel, and a velocity 0 note-on: nothing.
    Midi(hub, 0x93, 50, 64);
    Midi(hub, 0x92, 50, 0);
    EXPECT_EQ(ctl->PendingScene(), -1);
}

TEST_F(SceneCtlInTest, MidiFadeControllerMovesTheRunningOverride) {
    Setup({{"ctlr", "mcc"}, {"usage", "fade"}, {"midich", "1"}, {"midicc", "20"}});
    Midi(hub, 0xB3, 20, 40);  // channel 3 = scene 2 rising
    ctl->Step();
    ASSERT_EQ(recalls, std::vector<int32_t>{2});
    EXPECT_NEAR(doc.Scenes()->GetFloat(T::kScnsPosition), 40 / 127.0f, 1e-6);
    Midi(hub, 0xB3, 20, 100);  // not rising: moves the fade only
    ctl->Step();
    EXPECT_EQ(recalls.size(), 1u);
    EXPECT_NEAR(ctl->PositionOverride(), 100 / 127.0f, 1e-6);
    EXPECT_NEAR(doc.Scenes()->GetFloat(T::kScnsPosition), 100 / 127.0f, 1e-6);
}

TEST_F(SceneCtlInTest, MidiMixLeavesNothingPendingAndMirrorsLevels) {
    Setup({{"ctlr", "mcc"}, {"usage", "mix"}, {"midich", "0"}, {"midicc", "7"}});
    Midi(hub, 0xB0, 7, 127);
    Midi(hub, 0xB5, 7, 64);
    EXPECT_EQ(ctl->PendingScene(), -1);
    ctl->Step();
    EXPECT_TRUE(recalls.empty());
    CRecord* scns = doc.Scenes().Get();
    ASSERT_EQ(scns->ArrayCount(T::kScnsFaderLevels), 16u);
    const auto* levels = static_cast<const float*>(scns->ArrayData(T::kScnsFaderLevels));
    EXPECT_FLOAT_EQ(levels[0], 1.0f);
    EXPECT_FLOAT_EQ(levels[5], 64 / 127.0f);
    EXPECT_FLOAT_EQ(levels[1], 0.0f);
    // Another source: the levels empty.
    ctl->Setup(nullptr);
    ctl->Step();
    EXPECT_EQ(scns->ArrayCount(T::kScnsFaderLevels), 0u);
}

TEST_F(SceneCtlInTest, MidiSelectStepAndProgram) {
    Setup({{"ctlr", "mcc"},
           {"usage", "step"},
           {"midich", "0"},
           {"midicc", "30"},
           {"midicno", "1"},
           {"stepback", "1"}});
    SetCurrent(3);
    Midi(hub, 0xB0, 31, 127);  // forward (after back at 30)
    ctl->Step();
    Midi(hub, 0xB0, 31, 0);
    ctl->Step();
    SetCurrent(4);
    Midi(hub, 0xB0, 30, 127);  // back
    ctl->Step();
    EXPECT_EQ(recalls, (std::vector<int32_t>{4, 3}));
    recalls.clear();
    Put(doc.SceneControl().Get(), "ctlr", "mpg");
    ctl->Setup(doc.SceneControl().Get());
    Midi(hub, 0xC0, 5, 0);
    Midi(hub, 0xC0, 9, 0);  // beyond: dropped
    ctl->Step();
    EXPECT_EQ(recalls, std::vector<int32_t>{});  // the later message replaced the first
    Midi(hub, 0xC0, 5, 0);
    ctl->Step();
    EXPECT_EQ(recalls, std::vector<int32_t>{5});
}

// Assignments from documents hold any text: channels are clamped, times finite.
TEST_F(SceneCtlInTest, OutOfRangeAssignmentsStayInsideTheInputs) {
    Setup({{"ctlr", "dmx"}, {"usage", "trig"}, {"dmxch", "9999"}});
    Dmx(hub, 511, 255);  // the last channel is scene 0 now; nothing beyond it is read
    ctl->Step();
    EXPECT_EQ(recalls, std::vector<int32_t>{0});
    recalls.clear();
    Setup({{"ctlr", "mnt"},
           {"midich", "99"},
           {"midinn", "-4"},
           {"midivlt", "1"},
           {"tmin", "nan"},
           {"tmax", "inf"}});
    Midi(hub, 0x9F, 3, 1);  // channel 16, note 3 above note 0
    ctl->Step();
    EXPECT_EQ(recalls, std::vector<int32_t>{3});
    EXPECT_TRUE(std::isfinite(doc.Scenes()->GetFloat(T::kScnsFadeTime)));
    recalls.clear();
    Setup({{"ctlr", "dmx"}, {"usage", "step"}, {"dmxch", "511"}, {"stepsub", "1"}});
    Dmx(hub, 511, 0);
    ctl->Step();
    SetCurrent(2);
    Dmx(hub, 511, 9);  // forward on the last channel; the second forward would be past the end
    ctl->Step();
    EXPECT_EQ(recalls, std::vector<int32_t>{3});
}

// --- the document binder ---------------------------------------------------------------------

TEST(CtlInDocBinder, DrivesTheOutputAdjustmentWithoutUndo) {
    CAppPrefs prefs;
    CRecord* unit = prefs.Root()->GetSubRecord(CAppPrefs::kPrefOutAdjUnit);
    ASSERT_NE(unit, nullptr);
    CRecord* input = CRecord::New(T::Type(T::kINPT));
    input->StringSlot(T::kInptKey) = LString("fade");
    input->StringSlot(T::kInptValue) = LString("0");
    ASSERT_TRUE(CRecordRef(&unit).InsertRecord(nullptr, T::kUnitInputs, 0, input));
    CCtlInHub hub;
    CCtlInDocBinder binder(unit, &hub);
    binder.AddRange(LString("fade"), 0, 10);
    EXPECT_EQ(binder.UnitListCount(), 0u);
    std::vector<LHandler*> editors;
    RecordObserverFunction* note = [](void* c, const SRecordEvent* e) {
        if (e->field == T::kInptValue) static_cast<std::vector<LHandler*>*>(c)->push_back(e->editor);
    };
    (void)prefs.AddObserver(&editors, note);
    CRecord* ctrl = input->GetSubRecord(T::kInptCtl);
    Put(ctrl, "type", "dmx");
    Put(ctrl, "dmxch", "3");
    EXPECT_EQ(binder.UnitListCount(), 1u);
    Dmx(hub, 3, 128);
    binder.Evaluate();  // the document binder writes at once
    EXPECT_EQ(input->GetString(T::kInptValue), "5.02");
    ASSERT_EQ(editors.size(), 1u);
    EXPECT_EQ(editors[0], nullptr);
    binder.Evaluate();
    EXPECT_EQ(editors.size(), 1u);
    // An input without a range is not bound to anything it could write.
    Put(ctrl, "type", "");
    EXPECT_EQ(binder.UnitListCount(), 0u);
    (void)prefs.RemoveObserver(&editors, note);
}

TEST(CtlInBinder, ColourConversions) {
    struct Case {
        float rgb[3];
        float hsv[3];
    } cases[] = {
        {{1, 0, 0}, {0, 1, 1}},        {{0, 1, 0}, {1 / 3.0f, 1, 1}},      {{0, 0, 1}, {2 / 3.0f, 1, 1}},
        {{1, 0, 1}, {5 / 6.0f, 1, 1}}, {{0.5f, 0.5f, 0.5f}, {0, 0, 0.5f}}, {{0, 0, 0}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        float hsv[3], rgb[3];
        CCtlInBinder::RgbToHsv(c.rgb, hsv);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(hsv[i], c.hsv[i], 1e-6) << i;
        CCtlInBinder::HsvToRgb(hsv, rgb);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(rgb[i], c.rgb[i], 1e-6) << i;
    }
    float rgb[3];
    const float wrap[3] = {1.0f, 1, 1};  // hue 1 is red again
    CCtlInBinder::HsvToRgb(wrap, rgb);
    EXPECT_EQ(rgb[0], 1.0f);
    EXPECT_EQ(rgb[1], 0.0f);
    EXPECT_EQ(rgb[2], 0.0f);
    EXPECT_EQ(CCtlInBinder::IntegerText(2.5), "3");
    EXPECT_EQ(CCtlInBinder::IntegerText(-2.5), "-3");
    EXPECT_EQ(CCtlInBinder::IntegerText(2.49), "2");
    EXPECT_EQ(CCtlInBinder::IntegerText(NAN), "0");
}

// --- patch-graph records ---------------------------------------------------------------------

TEST(PatchGraphTypes, RoundTripThroughTheDocumentXml) {
    using P = CPatchGraphTypes;
    CRecord* graph = CRecord::New(P::Type(P::kMCMP));
    ASSERT_NE(graph, nullptr);
    CRecord* comp = CRecord::New(P::Type(P::kMCMC));
    CRecord* port = CRecord::New(P::Type(P::kMCPR));
    port->StringSlot(P::kPortKey) = LString("level");
    port->Slot(P::kPortMax).f32 = 2.5f;
    ASSERT_TRUE(CRecordRef(&comp).InsertRecord(nullptr, P::kCompIn, 0, port));
    CRecord* conn = CRecord::New(P::Type(P::kMCCN));
    conn->Slot(P::kConnSourceId).i32 = 3;
    conn->StringSlot(P::kConnDestPort) = LString("in");
    ASSERT_TRUE(CRecordRef(&comp).InsertRecord(nullptr, P::kCompConnections, 0, conn));
    CRecord* patch = CRecord::New(P::Type(P::kMCPT));
    patch->StringSlot(P::kPatchSpec) = LString("sum");
    patch->Slot(P::kPatchId).i32 = 7;
    Put(patch->GetSubRecord(P::kPatchValues), "a", "1.5");
    ASSERT_TRUE(CRecordRef(&comp).InsertRecord(nullptr, P::kCompPatches, 0, patch));
    CRecord* root = CRecord::New(P::Type(P::kMCPT));
    root->StringSlot(P::kPatchSpec) = LString("root");
    CRecordRef(&root).DeleteSubRecord(nullptr, P::kPatchSettings, comp);
    CRecordRef(&graph).DeleteSubRecord(nullptr, P::kGraphRoot, root);
    graph->StringSlot(P::kGraphText) = LString("kept");
    // The graph rides in a schedule entry's any-type field of a show.
    CDocModelHolder doc;
    ASSERT_TRUE(doc.Schedule().InsertRecord(nullptr, T::kSchdEntries, 0, CRecord::New(T::Type(T::kSCEV))));
    CRecord* schedEntry = doc.Schedule()->GetElement(T::kSchdEntries, 0);
    CRecordRef(&schedEntry).DeleteSubRecord(nullptr, T::kScevCommand, graph);
    CBytes bytes;
    {
        CMemStream out(bytes);
        doc.WriteXml(out);
    }
    const std::string xml(reinterpret_cast<const char*>(bytes.Data()), bytes.Count());
    EXPECT_NE(xml.find("MCMC"), std::string::npos);
    CDocModelHolder back;
    {
        CMemStream in(bytes.Data(), static_cast<uint32_t>(bytes.Count()));
        ASSERT_TRUE(back.ReadXml(in));
    }
    const CRecord* readGraph = back.Schedule()->GetElement(T::kSchdEntries, 0)->GetSubRecord(T::kScevCommand);
    ASSERT_NE(readGraph, nullptr);
    ASSERT_TRUE(readGraph->IsOfType(T::kDomain, P::kMCMP));
    const CRecord* readRoot = readGraph->GetSubRecord(P::kGraphRoot);
    ASSERT_NE(readRoot, nullptr);
    EXPECT_EQ(readRoot->GetString(P::kPatchSpec), "root");
    const CRecord* read = readRoot->GetSubRecord(P::kPatchSettings);
    ASSERT_NE(read, nullptr);
    ASSERT_TRUE(read->IsOfType(T::kDomain, P::kMCMC));
    ASSERT_EQ(read->ArrayCount(P::kCompPatches), 1u);
    const CRecord* p = read->GetElement(P::kCompPatches, 0);
    EXPECT_EQ(p->GetString(P::kPatchSpec), "sum");
    EXPECT_EQ(p->GetInt(P::kPatchId), 7);
    LString value;
    const CRecord* ival = p->GetSubRecord(P::kPatchValues);
    EXPECT_GE(CParamSet::Find(CRecordRef(const_cast<CRecord**>(&ival)), LString("a"), &value), 0);
    EXPECT_EQ(value, "1.5");
    EXPECT_EQ(read->GetElement(P::kCompIn, 0)->GetString(P::kPortKey), "level");
    EXPECT_FLOAT_EQ(read->GetElement(P::kCompIn, 0)->GetFloat(P::kPortMax), 2.5f);
    EXPECT_EQ(read->GetElement(P::kCompConnections, 0)->GetInt(P::kConnSourceId), 3);
    EXPECT_EQ(read->GetElement(P::kCompConnections, 0)->GetString(P::kConnDestPort), "in");
}

}  // namespace
