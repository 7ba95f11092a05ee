#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Lib3/LSources/CoreUI/LStdCtl.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Mac/UDisplay.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/App/DocFormProvider.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/CSeqPlayer.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CInParamNote.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Http/FormServer.h"
#include "Orbilume/CSources/Midi/MidiInMessage.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscPattern.h"
#include "Orbilume/CSources/Osc/OscServer.h"
#include "Orbilume/CSources/Sound/SoundFormat.h"
#include "Orbilume/CSources/OscUI/COscSettingsDlg.h"
#include "Orbilume/CSources/UsbDmxUI/CDmxSettingsDlg.h"
#include "Platform/AppKit/Bell.h"
#include "Platform/AppKit/Event.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"
#include "tests/Orbilume/CSources/App/FakeDocWindow.h"
#include "tests/support/PinnedFonts.h"

namespace {

using apptest::AppFixture;

// The setting dialogs lay out text: fontconfig sees only the pinned fonts.
const bool kFontsPinned = testsupport::PinFontsToDejaVu();
using T = CDocModelTypes;
using P = CAppPrefs;

// A console that only keeps what the document tells it and answers what a test sets.
class FakeConsole : public IConsoleWin {
public:
    explicit FakeConsole(LHandler* upper) : handler(upper), play(&handler), stop(&handler) {}
    LHandler* Handler() override { return &handler; }
    void Show() override { visible = true; }
    void Hide() override { visible = false; }
    bool IsVisible() const override { return visible; }
    void Select() override {}
    CLRect Frame() const override { return CLRect{0, 0, 400, 300}; }
    void SetFrame(const CLRect&) override {}
    void SetTitle(const LString&) override {}
    float Divider(uint32_t) const override { return 0.5f; }
    void SetDivider(uint32_t, float) override {}

    EButton ButtonOf(const LHandler* sender) const override {
        if (sender == &play) return EButton::kPlay;
        if (sender == &stop) return EButton::kStop;
        return EButton::kNone;
    }
    bool HasSceneList() const override { return true; }
    std::vector<uint32_t> SelectedScenes() const override { return scenes; }
    void SelectSceneRow(uint32_t index) override { rows.push_back(index); }
    void SelectAndEditScene(int32_t row) override { edited.push_back(row); }
    std::vector<uint32_t> SelectedChannels() const override { return channels; }
    uint32_t CurrentUnitId() const override { return unit; }
    bool CurrentParam(uint32_t& id, LString& key) const override {
        id = paramUnit;
        key = LString(paramKey.c_str());
        return paramUnit != 0;
    }

    LHandler handler;
    LHandler play;
    LHandler stop;
    bool visible = false;
    std::vector<uint32_t> scenes;
    std::vector<uint32_t> rows;
    std::vector<int32_t> edited;  // rows selected with their name field active
    std::vector<uint32_t> channels;
    uint32_t unit = 0;
    uint32_t paramUnit = 0;
    std::string paramKey;
};

std::vector<FakeConsole*> gConsoles;

std::unique_ptr<IConsoleWin> MakeConsole(const SDocWindowArgs& args) {
    auto c = std::make_unique<FakeConsole>(args.upper);
    gConsoles.push_back(c.get());
    return c;
}

void Edit(CObDoc* doc, uint32_t unit, const char* key, const char* value) {
    CInParamNote note{unit, LString(key), LString(value)};
    LHandler::Dispatch(LMessage(CInParamNote_Change, &note, doc));
}

CRecord* Input(CObDoc* doc, uint32_t unit, const char* key) {
    return UDocModel::FindUnitInput(UDocModel::FindUnitById(doc->Model().Mix().Get(), unit), LString(key));
}

std::string Value(CObDoc* doc, uint32_t unit, const char* key) {
    CRecord* input = Input(doc, unit, key);
    return input ? input->GetString(T::kInptValue).CStr() : "<none>";
}

CRecord* Scene(CObDoc* doc, uint32_t n) {
    return UDocModel::GetSceneAt(doc->Model().Scenes().Get(), n);
}

bool SceneHolds(CObDoc* doc, uint32_t n, uint32_t unit, const char* key) {
    return UDocModel::FindSceneValue(Scene(doc, n), unit, LString(key)) >= 0;
}

void SetPref(uint32_t field, uint8_t value) {
    (void)CAppPrefs::Get()->RootRef().SetByte(nullptr, field, value);
}

// The preferences live as long as the process: every test starts from these values.
void ResetPrefs() {
    for (uint32_t f : {P::kPrefSceneClearBypass, P::kPrefSceneClearImage, P::kPrefSceneClearParam,
                       P::kPrefExtControl, P::kPrefOscDmx, P::kPrefOscIn, P::kPrefArtNetIn, P::kPrefArtNetNet,
                       P::kPrefArtNetSubUni, P::kPrefSacnIn, P::kPrefScreenMode})
        SetPref(f, 0);
    CRecordRef prefs = CAppPrefs::Get()->RootRef();
    (void)prefs.SetUInt(nullptr, P::kPrefResolution, 0);
    (void)prefs.SetUInt(nullptr, P::kPrefSacnUniverse, 1);
    CRecordRef snsl(&prefs->Slot(P::kPrefSceneSelSend).record);
    for (const char* key : {"send", "oscport", "oscaddr"})
        CParamSet::SetString(snsl, nullptr, LString(key), LString());
}

void TypeChar(CObDoc* doc, const char* text, bool* consumed) {
    plat::Event e;
    e.type = plat::EventType::kKeyDown;
    e.characters = e.charactersIgnoringModifiers = text;
    gKeyboard->Fill(e);
    const LMessage out = doc->Handle(LMessage(LKeyboard_Char, gKeyboard, doc));
    *consumed = out.IsEmpty();
}

class ObDocLiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        gConsoles.clear();
        SDocWindowFactories f;
        f.console = &MakeConsole;
        SetDocWindowFactories(&f);
        app.Create();
        ResetPrefs();
        gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
        ASSERT_EQ(gMainApp->DocumentCount(), 1u);
        doc = gMainApp->DocumentAt(0);
        ASSERT_EQ(gConsoles.size(), 1u);
        console = gConsoles[0];
        // Start-up on the time line played from the first scene: stopped, so that no scene comes.
        doc->Player().Stop();
        console->rows.clear();
    }
    void TearDown() override {
        app.Delete();
        SetDocWindowFactories(nullptr);
    }
    // The scene-control assignment's controller (2 "osc").
    void SetController(int n) { UCtlAttr::SetCtlr(doc->Model().SceneControl(), n); }
    void Osc(const char* address, const std::vector<OscArg>& args) {
        OscPattern pattern;
        pattern.Compile(address);
        CCtlInHub::Global()->NotifyOsc(pattern, args.data(), static_cast<uint32_t>(args.size()));
        // The choice is recalled from the run loop.
        for (int i = 0; i < 5; ++i)
            plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
    }

    AppFixture app;
    CObDoc* doc = nullptr;
    FakeConsole* console = nullptr;
};

TEST_F(ObDocLiveTest, EditsOfOneInputMergeIntoOneUndoEntryAnotherInputStartsANewOne) {
    ASSERT_FALSE(doc->Undo().CanUndo());
    Edit(doc, 2, "Amount", "0.3");
    Edit(doc, 2, "Amount", "0.4");
    EXPECT_EQ(Value(doc, 2, "Amount"), "0.4");
    Edit(doc, 1, "_oblayer_Blend", "0.5");
    ASSERT_TRUE(doc->Undo().Perform(0));
    EXPECT_EQ(Value(doc, 1, "_oblayer_Blend"), "0.75");
    EXPECT_EQ(Value(doc, 2, "Amount"), "0.4");
    ASSERT_TRUE(doc->Undo().Perform(0));
    EXPECT_EQ(Value(doc, 2, "Amount"), "0.25");
    EXPECT_FALSE(doc->Undo().CanUndo()) << "the two edits of Amount were two entries";
    // A missing unit or input changes nothing and passes on.
    CInParamNote note{99, LString("Amount"), LString("1")};
    EXPECT_FALSE(doc->Handle(LMessage(CInParamNote_Change, &note, doc)).IsEmpty());
    EXPECT_FALSE(doc->Undo().CanUndo());
}

TEST_F(ObDocLiveTest, AnInputThatGoesStraightToTheEngineLeavesTheModelAlone) {
    CRecord* input = Input(doc, 2, "Amount");
    ASSERT_NE(input, nullptr);
    input->Slot(T::kInptDirect).u8 = 1;
    Edit(doc, 2, "Amount", "0.9");
    EXPECT_EQ(Value(doc, 2, "Amount"), "0.25");
    EXPECT_FALSE(doc->Undo().CanUndo());
}

TEST_F(ObDocLiveTest, TwoShowsWithTheSameUnitIdKeepTheirOwnUndo) {
    app.shows.Write("other.obm", AppFixture::ReadFile(app.ShowPath()));
    ASSERT_EQ(
        gMainApp->OpenDocument(CMacFileU::LFsSpecFromPath(app.shows.File("other.obm").c_str()), nullptr), 1);
    CObDoc* other = gMainApp->DocumentAt(1);
    ASSERT_NE(other, doc);
    Edit(doc, 2, "Amount", "0.3");
    Edit(other, 2, "Amount", "0.6");
    Edit(doc, 2, "Amount", "0.35");
    ASSERT_TRUE(other->Undo().Perform(0));
    EXPECT_EQ(Value(other, 2, "Amount"), "0.25");
    EXPECT_FALSE(other->Undo().CanUndo());
    EXPECT_EQ(Value(doc, 2, "Amount"), "0.35");
    while (doc->Undo().Perform(0)) {
    }
    EXPECT_EQ(Value(doc, 2, "Amount"), "0.25");
}

// Which stored scene values an edit removes: bypass by 'scbp', image parameters by 'scli', others
// by 'sclp'; each flag on alone, and all off.
TEST_F(ObDocLiveTest, SceneClearRuleRemovesExactlyTheFlaggedValuesInTheSameUndoEntry) {
    ASSERT_NE(UDocUnits::FindOrAddUnitInput(UDocModel::FindUnitById(doc->Model().Mix().Get(), 2), nullptr,
                                            LString("_obunit_Bypass"), LString("0")),
              nullptr);
    struct Param {
        uint32_t unit;
        const char* key;
        const char* values[2];
        uint32_t flag;
    };
    const Param params[] = {{2, "_obunit_Bypass", {"1", "0"}, P::kPrefSceneClearBypass},
                            {3, "_protocolInput_Image", {"", ""}, P::kPrefSceneClearImage},
                            {2, "Amount", {"0.6", "0.7"}, P::kPrefSceneClearParam}};
    const uint32_t flags[] = {0, P::kPrefSceneClearBypass, P::kPrefSceneClearImage, P::kPrefSceneClearParam};
    for (uint32_t flag : flags) {
        for (const Param& p : params) {
            SCOPED_TRACE(std::string(p.key) + " flag " + std::to_string(flag));
            for (uint32_t f : {P::kPrefSceneClearBypass, P::kPrefSceneClearImage, P::kPrefSceneClearParam})
                SetPref(f, f == flag ? 1 : 0);
            for (uint32_t s = 0; s < 2; ++s)
                for (const Param& q : params)
                    UDocScenes::SetSceneValue(Scene(doc, s), nullptr, q.unit, LString(q.key), LString("7"),
                                              false);
            doc->Undo().Clear();
            const std::string before = Value(doc, p.unit, p.key);
            const char* value = before == p.values[0] ? p.values[1] : p.values[0];
            const bool removed = p.flag == flag;
            Edit(doc, p.unit, p.key, value);
            EXPECT_EQ(Value(doc, p.unit, p.key), value);
            for (const Param& q : params)
                for (uint32_t s = 0; s < 2; ++s)
                    EXPECT_EQ(SceneHolds(doc, s, q.unit, q.key), !(&q == &p && removed))
                        << q.key << " in scene " << s;
            if (before == value && !removed) {
                EXPECT_FALSE(doc->Undo().CanUndo());
                continue;
            }
            ASSERT_TRUE(doc->Undo().Perform(0));
            EXPECT_EQ(Value(doc, p.unit, p.key), before);
            for (uint32_t s = 0; s < 2; ++s) EXPECT_TRUE(SceneHolds(doc, s, p.unit, p.key));
            EXPECT_FALSE(doc->Undo().CanUndo()) << "the removal was a separate entry";
        }
    }
}

TEST_F(ObDocLiveTest, ConsoleTransportButtonsPlayAndStopOthersPassOn) {
    EXPECT_TRUE(doc->Handle(LMessage(LStdCtl_Selected, &console->play, doc)).IsEmpty());
    EXPECT_TRUE(doc->Player().IsPlaying());
    EXPECT_TRUE(doc->Handle(LMessage(LStdCtl_Selected, &console->stop, doc)).IsEmpty());
    EXPECT_FALSE(doc->Player().IsPlaying());
    LHandler other;
    EXPECT_FALSE(doc->Handle(LMessage(LStdCtl_Selected, &other, doc)).IsEmpty());
}

TEST_F(ObDocLiveTest, SceneKeysTriggerTheirSceneCaseInsensitivelyOthersPassOn) {
    CRecordRef scns = doc->Model().Scenes();
    (void)scns.SetByte(nullptr, T::kScnsTimeLine, 0);
    doc->Player().Stop();
    CRecord* open = Scene(doc, 0);
    (void)CRecordRef(&open).SetString(nullptr, T::kScneKey, LString("A"));
    bool consumed = false;
    TypeChar(doc, "a", &consumed);
    EXPECT_TRUE(consumed);
    EXPECT_EQ(scns->GetUInt(T::kScnsCurIndex), 1u);
    EXPECT_EQ(console->rows, (std::vector<uint32_t>{0}));
    EXPECT_EQ(scns->GetInt(T::kScnsGoTo), -1);
    TypeChar(doc, "B", &consumed);  // the fixture's "b"
    EXPECT_TRUE(consumed);
    EXPECT_EQ(scns->GetUInt(T::kScnsCurIndex), 2u);
    for (const char* other : {" ", "z", "\x7f"}) {
        TypeChar(doc, other, &consumed);
        EXPECT_FALSE(consumed) << int(other[0]);
    }
    EXPECT_EQ(console->rows, (std::vector<uint32_t>{0, 1}));
    // On the time line a key locates the player there and plays.
    (void)scns.SetByte(nullptr, T::kScnsTimeLine, 1);
    TypeChar(doc, "b", &consumed);
    EXPECT_TRUE(consumed);
    EXPECT_TRUE(doc->Player().IsPlaying());
    EXPECT_EQ(scns->GetUInt(T::kScnsCurIndex), 1u);
}

TEST_F(ObDocLiveTest, OscSceneSelectsByIndexOrNameOnlyWithTheOscController) {
    CRecord* open = Scene(doc, 0);
    (void)CRecordRef(&open).SetString(nullptr, T::kScneName, LString("Caf\xC3\xA9"));  // precomposed
    struct Row {
        const char* what;
        const char* address;
        std::vector<OscArg> args;
        int32_t selected;
    };
    const std::vector<Row> rows = {
        {"integer", "/scene", {OscArg::Int(1)}, 1},
        {"float", "/scene", {OscArg::Float(1.0f)}, 1},
        {"text index", "/scene", {OscArg::Text("1")}, 1},
        {"decomposed name", "/scene", {OscArg::Text("Cafe\xCC\x81")}, 0},
        {"name", "/scene", {OscArg::Text("Bright")}, 1},
        {"pattern", "/sc?ne", {OscArg::Int(0)}, 0},
        {"no argument", "/scene", {}, -1},
        {"negative", "/scene", {OscArg::Int(-1)}, -1},
        {"past the list", "/scene", {OscArg::Int(2)}, -1},
        {"unknown name", "/scene", {OscArg::Text("Nothing")}, -1},
        {"broken UTF-8", "/scene", {OscArg::Text("Caf\xC3")}, -1},
        {"other address", "/scenes", {OscArg::Int(1)}, -1},
    };
    for (int controller : {2, 1}) {
        SetController(controller);
        for (const Row& r : rows) {
            SCOPED_TRACE(std::string(r.what) + " controller " + std::to_string(controller));
            console->rows.clear();
            Osc(r.address, r.args);
            if (controller == 2 && r.selected >= 0)
                EXPECT_EQ(console->rows, (std::vector<uint32_t>{uint32_t(r.selected)}));
            else
                EXPECT_TRUE(console->rows.empty());
        }
    }
}

TEST_F(ObDocLiveTest, TheLastSceneOfAnEqualNameIsSelected) {
    SetController(2);
    CRecord* open = Scene(doc, 0);
    (void)CRecordRef(&open).SetString(nullptr, T::kScneName, LString("Bright"));
    Osc("/scene", {OscArg::Text("Bright")});
    EXPECT_EQ(console->rows, (std::vector<uint32_t>{1}));
}

TEST_F(ObDocLiveTest, RecallAddsMissingValuesAndSetsThePlayersSceneOnlyOffTheTimeLine) {
    CRecordRef scns = doc->Model().Scenes();
    (void)scns.SetByte(nullptr, T::kScnsTimeLine, 0);
    doc->Player().Stop();
    doc->SelectScene(0);
    // "Open" held nothing: now every input of the mix has a value in it.
    EXPECT_TRUE(SceneHolds(doc, 0, 2, "Amount"));
    EXPECT_TRUE(SceneHolds(doc, 0, 1, "_oblayer_Blend"));
    EXPECT_EQ(scns->GetUInt(T::kScnsCurIndex), 1u);
    // Values the scene has are kept.
    doc->SelectScene(1);
    CRecord* bright = Scene(doc, 1);
    const int32_t at = UDocModel::FindSceneValue(bright, 2, LString("Amount"));
    ASSERT_GE(at, 0);
    EXPECT_STREQ(bright->GetElement(T::kScneValues, uint32_t(at))->GetString(T::kPrmtValue).CStr(), "0.5");
    EXPECT_EQ(scns->GetUInt(T::kScnsCurIndex), 2u);
    (void)scns.SetByte(nullptr, T::kScnsTimeLine, 1);
    doc->SelectScene(0);
    EXPECT_EQ(scns->GetUInt(T::kScnsCurIndex), 2u);
    EXPECT_EQ(console->rows, (std::vector<uint32_t>{0, 1, 0}));
}

// What "cSaveParam" stores, by the console's selection: layers, else the unit, else one input.
TEST_F(ObDocLiveTest, SaveParamStoresLayersUnitOrOneInputIntoTheSelectedScenes) {
    struct Row {
        const char* what;
        std::vector<uint32_t> channels;
        uint32_t unit;
        uint32_t paramUnit;
        const char* paramKey;
        bool enabled;
        std::vector<std::pair<uint32_t, const char*>> stored;
    };
    const std::vector<Row> rows = {
        {"layer", {0}, 2, 3, "Mode", true, {{1, "_oblayer_Blend"}, {1, "_oblayer_MixFunc"}, {2, "Amount"}}},
        {"layer past the list", {5}, 0, 0, "", true, {}},
        {"unit", {}, 2, 3, "Mode", true, {{2, "Amount"}}},
        {"missing unit, parameter", {}, 77, 3, "Mode", true, {{3, "Mode"}}},
        {"parameter", {}, 0, 1, "_oblayer_Blend", true, {{1, "_oblayer_Blend"}}},
        {"missing input", {}, 0, 1, "Nope", false, {}},
        {"nothing", {}, 0, 0, "", false, {}},
    };
    const std::pair<uint32_t, const char*> all[] = {
        {1, "_oblayer_Blend"}, {1, "_oblayer_MixFunc"}, {2, "Amount"}, {3, "Mode"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        CRecord* open = Scene(doc, 0);
        while (open->ArrayCount(T::kScneValues)) CRecordRef(&open).DeleteElement(nullptr, T::kScneValues, 0);
        console->channels = r.channels;
        console->unit = r.unit;
        console->paramUnit = r.paramUnit;
        console->paramKey = r.paramKey;
        console->scenes = {0};
        EXPECT_EQ(doc->CanSaveParam(), r.enabled);
        doc->Undo().Clear();
        AppFixture::Command(doc, "cSaveParam");
        for (const auto& [unit, key] : all) {
            bool want = false;
            for (const auto& s : r.stored) want = want || (s.first == unit && std::string(s.second) == key);
            EXPECT_EQ(SceneHolds(doc, 0, unit, key), want) << unit << " " << key;
        }
        if (!r.stored.empty()) {
            ASSERT_TRUE(doc->Undo().Perform(0));
            EXPECT_EQ(Scene(doc, 0)->ArrayCount(T::kScneValues), 0u);
            EXPECT_FALSE(doc->Undo().CanUndo());
        }
    }
}

TEST_F(ObDocLiveTest, NewSceneHoldsTheCurrentValuesAtThePlayersTime) {
    CRecordRef scns = doc->Model().Scenes();
    scns->Slot(T::kScnsCurTime).f32 = 3.0f;
    AppFixture::Command(doc, "cNewScene");
    ASSERT_EQ(UDocModel::GetSceneCount(scns.Get()), 3u);
    EXPECT_FLOAT_EQ(Scene(doc, 1)->GetFloat(T::kScneTime), 3.0f);
    EXPECT_TRUE(SceneHolds(doc, 1, 2, "Amount"));
    EXPECT_EQ(console->edited, (std::vector<int32_t>{1}));
    ASSERT_TRUE(doc->Undo().Perform(0));
    EXPECT_EQ(UDocModel::GetSceneCount(scns.Get()), 2u);
}

// The application's DMX input callbacks, through the merge into the hub.
class AppInputsTest : public ObDocLiveTest {
protected:
    uint8_t Slot(uint32_t n) { return CCtlInHub::Global()->DmxValue(n); }
    void Deliver() { gMainApp->DmxMerge().Deliver(); }
    CNetAddress from = CNetAddress::IPv4(0x7F000001, 6454);
};

TEST_F(AppInputsTest, ArtNetOffersOnlyPacketsOfTheConfiguredPortAddress) {
    SetPref(P::kPrefArtNetNet, 1);
    SetPref(P::kPrefArtNetSubUni, 0x23);
    struct Row {
        uint32_t universe;
        uint8_t value;
        bool taken;
    };
    const Row rows[] = {{0x123, 10, true},
                        {0x23, 20, false},
                        {0x124, 30, false},
                        {0x023 | 0x200, 40, false},
                        {0x123, 50, true}};
    uint8_t want = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.universe);
        uint8_t slots[512] = {};
        slots[0] = r.value;
        slots[511] = r.value;
        uint8_t packet[dmxpkt::kArtDmxSize];
        const uint32_t n = dmxpkt::BuildArtDmx(packet, r.universe, slots);
        gMainApp->OnArtNet(from, n, packet);
        Deliver();
        if (r.taken) want = r.value;
        EXPECT_EQ(Slot(0), want);
        EXPECT_EQ(Slot(511), want);
    }
    // Length 0 offers no slot; a packet cut short offers nothing.
    uint8_t slots[512] = {};
    slots[0] = 99;
    uint8_t packet[dmxpkt::kArtDmxSize];
    const uint32_t n = dmxpkt::BuildArtDmx(packet, 0x123, slots);
    gMainApp->OnArtNet(from, n - 1, packet);
    packet[16] = packet[17] = 0;
    gMainApp->OnArtNet(from, dmxpkt::kArtDmxHeader, packet);
    Deliver();
    EXPECT_EQ(Slot(0), want);
}

TEST_F(AppInputsTest, OscDmxBlobOffersAtMost512SlotsOnlyWhenSwitchedOn) {
    std::vector<uint8_t> blob(600, 7);
    blob[0] = 0;
    const OscArg arg = OscArg::Blob(blob.data(), static_cast<uint32_t>(blob.size()));
    OscPattern pattern;
    pattern.Compile("/dmx");
    gMainApp->OnOscMessage(pattern, &arg, 1);
    Deliver();
    EXPECT_EQ(Slot(0), 0);
    SetPref(P::kPrefOscDmx, 1);
    gMainApp->OnOscMessage(pattern, &arg, 1);
    gMainApp->OnOscMessage(pattern, nullptr, 0);
    Deliver();
    EXPECT_EQ(Slot(0), 7);
    EXPECT_EQ(Slot(511), 7);
    EXPECT_EQ(gMainApp->DmxMerge().Current().kind, uint32_t(DmxInSource::kOsc));
}

TEST_F(AppInputsTest, SAcnOffersTheValuesAfterTheStartCodeAtThePacketsPriority) {
    const uint8_t only[1] = {0};
    gMainApp->OnSAcn(from, 150, 1, only);
    gMainApp->OnSAcn(from, 150, 0, only);
    Deliver();
    EXPECT_EQ(gMainApp->DmxMerge().Current().kind, uint32_t(DmxInSource::kNone));
    const uint8_t values[3] = {0, 11, 12};
    gMainApp->OnSAcn(from, 150, 3, values);
    Deliver();
    EXPECT_EQ(Slot(0), 11);
    EXPECT_EQ(Slot(1), 12);
    EXPECT_EQ(gMainApp->DmxMerge().Current().priority, 150u);
}

// A monitor that keeps what it is told, windowed or full screen as made.
class FakeMonitor : public apptest::FakeDocWindow<IMonitorWin> {
public:
    FakeMonitor(LHandler* upper, bool full) : FakeDocWindow(upper, CLRect{100, 100, 420, 340}), full(full) {}
    bool IsFullScreen() const override { return full; }
    void SetFixedSize(bool) override {}
    void ContentSize(uint32_t& w, uint32_t& h) const override { w = h = 0; }
    void SetContentSize(uint32_t, uint32_t) override {}

    bool full;
};

std::unique_ptr<IMonitorWin> MakeMonitor(const SDocWindowArgs& args) {
    return std::make_unique<FakeMonitor>(args.upper, args.fullScreen);
}

TEST_F(AppInputsTest, MidiMessagesReachTheHub) {
    MidiInMessage cc;
    cc.status = 0xB2;
    cc.data1 = 7;
    cc.data2 = 100;
    gMainApp->OnMidiMessage(cc);
    EXPECT_EQ(CCtlInHub::Global()->MidiCc(2, 7), 100);
    MidiInMessage note;
    note.status = 0x90;
    note.data1 = 60;
    note.data2 = 64;
    CMainApp::MidiProc(gMainApp, &note);
    EXPECT_EQ(CCtlInHub::Global()->MidiNote(0, 60), 0x80 | 64);
    EXPECT_EQ(CCtlInHub::Global()->MidiLastNote(0), 60);
}

// The sound input's blocks into the hub's sample ring.
class SoundFramesTest : public AppInputsTest {
protected:
    uint32_t Held() {
        CtlInSoundRing& r = Ring();
        return static_cast<uint16_t>(r.writeIndex - r.readIndex);
    }
    // The pair `back` places before the newest (0: the newest).
    std::pair<int, int> Pair(uint32_t back) {
        CtlInSoundRing& r = Ring();
        const int16_t* f = r.frames[static_cast<uint16_t>(r.writeIndex - 1 - back) & CtlInSoundRing::kMask];
        return {f[0], f[1]};
    }
    CtlInSoundRing& Ring() { return gMainApp->SoundSamples().Ring(); }
    // Stereo signed 16-bit little-endian frames: left = first + i, right = -(first + i).
    static std::vector<uint8_t> Stereo(int first, uint32_t n) {
        std::vector<uint8_t> b;
        for (uint32_t i = 0; i < n; ++i)
            for (int v : {first + int(i), -(first + int(i))}) {
                b.push_back(uint8_t(v & 0xFF));
                b.push_back(uint8_t((v >> 8) & 0xFF));
            }
        return b;
    }
};

TEST_F(SoundFramesTest, KeepsTheLastFramesAsPairsAndDropsTheOldest) {
    const std::vector<uint8_t> block = Stereo(1000, 300);
    // No format yet, then a format of frame size 0: ignored.
    gMainApp->OnSoundFrames(block.data(), uint32_t(block.size()));
    SoundFormat none;
    none.channels = 0;
    gMainApp->SetSoundFormat(none);
    gMainApp->OnSoundFrames(block.data(), uint32_t(block.size()));
    EXPECT_EQ(Held(), 0u);
    EXPECT_EQ(Ring().newSamples, 0);

    SoundFormat stereo;
    stereo.rate = 48000;
    stereo.channels = 2;
    gMainApp->SetSoundFormat(stereo);
    // 300 frames: the last 256.
    gMainApp->OnSoundFrames(block.data(), uint32_t(block.size()));
    EXPECT_EQ(Held(), 256u);
    EXPECT_EQ(Ring().newSamples, 1);
    EXPECT_EQ(Pair(0), std::make_pair(1299, -1299));
    EXPECT_EQ(Pair(255), std::make_pair(1044, -1044));
    Ring().newSamples = 0;

    // Ten more and a cut-off half frame: the ten oldest pairs make room.
    std::vector<uint8_t> more = Stereo(-5, 10);
    more.insert(more.end(), {0x11, 0x22});
    gMainApp->OnSoundFrames(more.data(), uint32_t(more.size()));
    EXPECT_EQ(Held(), 256u);
    EXPECT_EQ(Ring().newSamples, 1);
    EXPECT_EQ(Pair(0), std::make_pair(4, -4));
    EXPECT_EQ(Pair(10), std::make_pair(1299, -1299));
    EXPECT_EQ(Pair(255), std::make_pair(1054, -1054));

    // The hub analyses what arrived.
    float bands[CCtlInHub::kBands];
    CCtlInHub::Global()->Spectrum(bands);
    EXPECT_EQ(Ring().newSamples, 0);
}

TEST_F(SoundFramesTest, MonoUnsignedEightBitGivesBothSidesTheOneChannel) {
    SoundFormat mono;
    mono.channels = 1;
    mono.bits = 8;
    mono.isSigned = 0;
    gMainApp->SetSoundFormat(mono);
    const uint8_t bytes[] = {0x80, 0xFF, 0x00};
    gMainApp->OnSoundFrames(bytes, 3);
    EXPECT_EQ(Held(), 3u);
    EXPECT_EQ(Pair(2), std::make_pair(0x80 * 257 - 32896, 0x80 * 257 - 32896));
    EXPECT_EQ(Pair(1), std::make_pair(32639, 32639));
    EXPECT_EQ(Pair(0), std::make_pair(-32768, -32768));
}

// Two documents on the fixture's two headless screens (1440 x 900 main, 1280 x 1024 to its right).
class ScreenModesTest : public ::testing::Test {
protected:
    void SetUp() override {
        SDocWindowFactories f;
        f.monitor = &MakeMonitor;
        SetDocWindowFactories(&f);
        app.Create();
        ResetPrefs();
        app.shows.Write("other.obm", AppFixture::ReadFile(app.ShowPath()));
        gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str()),
                               CMacFileU::LFsSpecFromPath(app.shows.File("other.obm").c_str())});
        ASSERT_EQ(gMainApp->DocumentCount(), 2u);
    }
    void TearDown() override {
        app.Delete();
        SetDocWindowFactories(nullptr);
    }
    FakeMonitor* Monitor(uint32_t i) { return static_cast<FakeMonitor*>(gMainApp->DocumentAt(i)->Monitor()); }
    uint8_t Mode() { return CAppPrefs::Get()->Root()->GetByte(P::kPrefScreenMode); }
    void Escape() {
        plat::Event e;
        e.type = plat::EventType::kKeyDown;
        e.characters = e.charactersIgnoringModifiers = "\x1b";
        gKeyboard->Fill(e);
        EXPECT_TRUE(gMainApp->Handle(LMessage(LKeyboard_Char, gKeyboard, gMainApp)).IsEmpty());
    }
    void ExpectWindowed() {
        for (uint32_t i = 0; i < 2; ++i) {
            SCOPED_TRACE(i);
            EXPECT_FALSE(Monitor(i)->full);
            EXPECT_TRUE(Monitor(i)->visible);
            // The second opened cascades one step off the first.
            const int32_t d = int32_t(i) * 18;
            EXPECT_EQ(Monitor(i)->frame, (CLRect{100 + d, 100 + d, 420 + d, 340 + d}));
        }
        EXPECT_EQ(Mode(), 0);
        EXPECT_EQ(UDisplay::FullScreenMode(), 0u);
    }

    AppFixture app;
};

TEST_F(ScreenModesTest, NewMonitorsCascadeOffTheShownOnes) {
    EXPECT_EQ(Monitor(1)->frame, (CLRect{118, 118, 438, 358}));
    // A third lands two steps off; hidden monitors take no place.
    app.shows.Write("third.obm", AppFixture::ReadFile(app.ShowPath()));
    gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.shows.File("third.obm").c_str())});
    ASSERT_EQ(gMainApp->DocumentCount(), 3u);
    EXPECT_EQ(Monitor(2)->frame, (CLRect{136, 136, 456, 376}));
    Monitor(0)->visible = Monitor(1)->visible = Monitor(2)->visible = false;
    app.shows.Write("fourth.obm", AppFixture::ReadFile(app.ShowPath()));
    gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.shows.File("fourth.obm").c_str())});
    ASSERT_EQ(gMainApp->DocumentCount(), 4u);
    EXPECT_EQ(Monitor(3)->frame, (CLRect{100, 100, 420, 340}));
}

TEST_F(ScreenModesTest, FullScreenHidesTheSecondMonitorOnOneDisplayAndEscapeReturnsBoth) {
    for (uint32_t i = 0; i < 2; ++i) ASSERT_TRUE(Monitor(i)->visible);
    AppFixture::Command(gMainApp, "CAppCmd_FullScreen");
    EXPECT_EQ(Mode(), 1);
    EXPECT_TRUE(Monitor(0)->full);
    EXPECT_TRUE(Monitor(0)->visible);
    EXPECT_EQ(Monitor(0)->frame, (CLRect{0, 0, 1440, 900}));
    EXPECT_FALSE(Monitor(1)->visible);
    EXPECT_EQ(UDisplay::FullScreenMode(), 1u);
    Escape();
    ExpectWindowed();
}

TEST_F(ScreenModesTest, SubScreensSpanOnlyTheSecondDisplay) {
    AppFixture::Command(gMainApp, "CAppCmd_SubScreens");
    EXPECT_EQ(Mode(), 2);
    EXPECT_TRUE(Monitor(0)->full);
    EXPECT_EQ(Monitor(0)->frame, (CLRect{1440, 0, 2720, 1024}));
    EXPECT_FALSE(Monitor(1)->visible);
    EXPECT_EQ(UDisplay::FullScreenMode(), 0u) << "the main display keeps its menu bar";
    AppFixture::Command(gMainApp, "CAppCmd_AllScreens");
    EXPECT_EQ(Monitor(0)->frame, (CLRect{0, 0, 2720, 1024}));
    EXPECT_EQ(UDisplay::FullScreenMode(), 1u);
    Escape();
    ExpectWindowed();
}

TEST_F(ScreenModesTest, PartScreenKeepsTheWindowSizeAndMonitorsOnTwoDisplaysBothGoFull) {
    Monitor(1)->frame = CLRect{1500, 100, 1820, 340};
    AppFixture::Command(gMainApp, "CAppCmd_PartScreen");
    EXPECT_EQ(Mode(), 4);
    EXPECT_EQ(Monitor(0)->frame, (CLRect{0, 0, 320, 240}));
    EXPECT_EQ(Monitor(1)->frame, (CLRect{1440, 0, 1760, 240}));
    EXPECT_TRUE(Monitor(0)->visible && Monitor(1)->visible);
    AppFixture::Command(gMainApp, "CAppCmd_NoScreen");
    EXPECT_EQ(Monitor(1)->frame, (CLRect{1500, 100, 1820, 340}));
    EXPECT_FALSE(Monitor(1)->full);
}

// The setting dialogs, answered by the test, and the menu's check marks.
std::function<uint32_t(LModalDialog*)> gAnswer;

uint32_t Answer(LModalDialog* dialog) {
    return gAnswer ? gAnswer(dialog) : 2;
}

// A UDP port on the wildcard address that is free now (bound and released).
uint16_t FreeUdpPort() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    socklen_t n = sizeof a;
    uint16_t port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0) close(fd);
    return port;
}

class SettingDialogsTest : public ObDocLiveTest {
protected:
    void SetUp() override {
        ObDocLiveTest::SetUp();
        CMainApp::SetDialogRunner(&Answer);
    }
    void TearDown() override {
        CMainApp::SetDialogRunner(nullptr);
        gAnswer = nullptr;
        ObDocLiveTest::TearDown();
    }
    CRecord* Prefs() { return CAppPrefs::Get()->Root(); }
    // The enabled and marked state of each command after "LMenuBar_Ready" reached the application.
    std::vector<std::pair<bool, bool>> Ready(const std::vector<const char*>& commands) {
        return AppFixture::MenuStates(gMainApp, commands);
    }
};

TEST_F(SettingDialogsTest, OscInputOpensOnTheAnsweredPortAndAPortInUseBeeps) {
    const uint16_t port = FreeUdpPort();
    ASSERT_NE(port, 0);
    gAnswer = [port](LModalDialog* d) {
        auto* dialog = static_cast<COscServerDlg*>(d);
        dialog->PortKnob()->SetValue(float(port));
        dialog->SetChecked(true);
        return 1u;
    };
    AppFixture::Command(doc, "cOscIn");
    EXPECT_EQ(Prefs()->GetUInt(P::kPrefOscPort), port);
    EXPECT_EQ(Prefs()->GetByte(P::kPrefOscDmx), 1);
    EXPECT_EQ(Prefs()->GetByte(P::kPrefOscIn), 1);
    ASSERT_NE(gMainApp->OscInput(), nullptr);
    EXPECT_TRUE(gMainApp->OscInput()->IsOpen());
    EXPECT_EQ(Ready({"cOscIn"})[0], std::make_pair(true, true));

    // Another server holds the next port: the dialog's server cannot open it.
    OscServer other(CCtlInHub::Global());
    const uint16_t busy = FreeUdpPort();
    ASSERT_EQ(other.Open(busy), 0);
    gAnswer = [busy](LModalDialog* d) {
        static_cast<COscServerDlg*>(d)->PortKnob()->SetValue(float(busy));
        return 1u;
    };
    const uint32_t rings = plat::Bell::RingCount();
    AppFixture::Command(doc, "cOscIn");
    EXPECT_EQ(plat::Bell::RingCount(), rings + 1);
    EXPECT_FALSE(gMainApp->OscInput()->IsOpen());
    EXPECT_EQ(Ready({"cOscIn"})[0], std::make_pair(true, false));

    gAnswer = [](LModalDialog*) { return 2u; };
    AppFixture::Command(doc, "cOscIn");
    EXPECT_EQ(Prefs()->GetByte(P::kPrefOscIn), 0);
}

// Values outside the dialogs' ranges are refused with a beep, the stored ones kept.
TEST_F(SettingDialogsTest, OutOfRangeAnswersAreRefusedNotWrapped) {
    (void)CAppPrefs::Get()->RootRef().SetUInt(nullptr, P::kPrefSacnUniverse, 300);
    (void)CAppPrefs::Get()->RootRef().SetByte(nullptr, P::kPrefArtNetNet, 5);
    struct Row {
        const char* command;
        std::function<void(LModalDialog*)> set;
    };
    const std::vector<Row> rows = {
        {"cSAcnIn",
         [](LModalDialog* d) { static_cast<CSAcnDlg*>(d)->KnobPane(0)->SetText(LString("64000")); }},
        {"cSAcnIn", [](LModalDialog* d) { static_cast<CSAcnDlg*>(d)->KnobPane(0)->SetText(LString("0")); }},
        {"cArtIn",
         [](LModalDialog* d) {
             static_cast<CArtNetDlg*>(d)->KnobPane(CArtNetDlg::kNet)->SetText(LString("128"));
         }},
        {"cArtIn",
         [](LModalDialog* d) {
             static_cast<CArtNetDlg*>(d)->KnobPane(CArtNetDlg::kSubNet)->SetText(LString("16"));
         }},
        {"cArtIn",
         [](LModalDialog* d) {
             static_cast<CArtNetDlg*>(d)->KnobPane(CArtNetDlg::kUniverse)->SetText(LString("16"));
         }},
        {"cOscIn",
         [](LModalDialog* d) { static_cast<COscServerDlg*>(d)->PortKnob()->SetText(LString("70000")); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.command);
        gAnswer = [&r](LModalDialog* d) {
            r.set(d);
            return 1u;
        };
        const uint32_t rings = plat::Bell::RingCount();
        AppFixture::Command(doc, r.command);
        EXPECT_EQ(plat::Bell::RingCount(), rings + 1);
        EXPECT_EQ(Prefs()->GetUInt(P::kPrefSacnUniverse), 300u);
        EXPECT_EQ(Prefs()->GetByte(P::kPrefSacnIn), 0);
        EXPECT_EQ(Prefs()->GetByte(P::kPrefArtNetNet), 5);
        EXPECT_EQ(Prefs()->GetByte(P::kPrefArtNetIn), 0);
        EXPECT_EQ(Prefs()->GetByte(P::kPrefOscIn), 0);
    }
    EXPECT_EQ(gMainApp->SAcnInput(), nullptr);
    EXPECT_EQ(gMainApp->ArtNetInput(), nullptr);
}

TEST_F(SettingDialogsTest, SceneSelectionSendingStoresItsKeysAndTheCheckMarkFollows) {
    gAnswer = [](LModalDialog* d) {
        auto* dialog = static_cast<COscSenderDlg*>(d);
        EXPECT_EQ(dialog->Port(), 51001u);
        EXPECT_STREQ(dialog->AddressText().CStr(), "/scene");
        dialog->PortKnob()->SetValue(52000);
        dialog->SetAddressText(LString("/show/scene"));
        return 1u;
    };
    AppFixture::Command(doc, "cSceneSelSend");
    CRecord* snsl = Prefs()->GetSubRecord(P::kPrefSceneSelSend);
    LString text;
    ASSERT_GE(CParamSet::Find(CRecordRef(&snsl), LString("send"), &text), 0);
    EXPECT_STREQ(text.CStr(), "1");
    EXPECT_EQ(CParamSet::GetIntOr(CRecordRef(&snsl), LString("oscport"), 0), 52000);
    ASSERT_GE(CParamSet::Find(CRecordRef(&snsl), LString("oscaddr"), &text), 0);
    EXPECT_STREQ(text.CStr(), "/show/scene");
    EXPECT_EQ(Ready({"cSceneSelSend"})[0], std::make_pair(true, true));
    gAnswer = [](LModalDialog*) { return 2u; };
    AppFixture::Command(doc, "cSceneSelSend");
    EXPECT_LT(CParamSet::Find(CRecordRef(&snsl), LString("send")), 0);
    EXPECT_EQ(Ready({"cSceneSelSend"})[0], std::make_pair(true, false));
}

TEST_F(SettingDialogsTest, MenuReadinessEnablesAndChecksFromThePreferences) {
    SetPref(P::kPrefSceneClearImage, 1);
    SetPref(P::kPrefExtControl, 1);
    (void)CAppPrefs::Get()->RootRef().SetUInt(nullptr, P::kPrefResolution, 1);
    const std::vector<const char*> commands = {
        "cScnClrImg",       "cScnClrPrm",         "cCtlBoth",           "cCtlSwitch", "CAppCmd_ResoFull",
        "CAppCmd_ResoHalf", "CAppCmd_FullScreen", "CAppCmd_SubScreens", "cArtIn",     "cSAcnIn"};
    const std::vector<std::pair<bool, bool>> want = {
        {true, true}, {true, false}, {true, false}, {true, true},  {true, false},
        {true, true}, {true, false}, {true, false}, {true, false}, {true, false}};
    EXPECT_EQ(Ready(commands), want);
    AppFixture::Command(gMainApp, "cScnClrImg");
    EXPECT_EQ(Prefs()->GetByte(P::kPrefSceneClearImage), 0);
    EXPECT_EQ(Ready({"cScnClrImg"})[0], std::make_pair(true, false));
}

TEST_F(ObDocLiveTest, AnInputAssignedToOscIsListedAndOnTheGeneratedPage) {
    CRecord* input = Input(doc, 2, "Amount");
    ASSERT_NE(input, nullptr);
    ASSERT_NE(input->GetSubRecord(T::kInptCtl), nullptr);
    CRecordRef ctl(&input->Slot(T::kInptCtl).record);
    CParamSet::SetString(ctl, nullptr, LString("type"), LString("osc"));
    CParamSet::SetString(ctl, nullptr, LString("oscadr"), LString("/a/b"));
    DocFormProvider provider(gMainApp);
    std::vector<FormEntry> entries;
    provider.FormEntries(entries);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].address, "/a/b");
    EXPECT_EQ(entries[0].value, "0.25");
    EXPECT_EQ(entries[0].kind, 1);
    std::vector<FormScene> scenes;
    provider.Scenes(scenes);
    ASSERT_EQ(scenes.size(), 2u);
    EXPECT_EQ(scenes[1].name, "Bright");

    LAsyncLoop loop;
    FormServerSettings settings;
    settings.root = app.shows.Path();
    CFormServer server(&loop, nullptr, &provider, settings);
    const std::string list = server.EntryList();
    EXPECT_TRUE(list == "/a/b=0.25" || list == "%2Fa%2Fb=0.25") << list;
    EXPECT_NE(server.FormPage().find("name=\"/a/b\""), std::string::npos);
}

}  // namespace
