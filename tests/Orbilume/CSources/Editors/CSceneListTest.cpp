#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/CStateButton.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/Mac/CRecordRowDrag.h"
#include "Lib3/LSources/Mac/HotKeyRegistry.h"
#include "Lib3/LSources/Mac/LScrapData.h"
#include "Lib3/LSources/Mac/UListScrap.h"
#include "Lib3/LSources/Mac/UPasteboard.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CMoveTimeDlg.h"
#include "Orbilume/CSources/Editors/CSceneList.h"
#include "Orbilume/CSources/TimecodeUI/CTimecodeEdit.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"
#include "tests/Orbilume/CSources/Editors/RowDragSupport.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/PinnedFonts.h"

using namespace showtest;

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

// SCNS requests as the document sees them: field and value of each notifying write.
struct Requests {
    std::vector<std::pair<uint32_t, int32_t>> seen;
    static void Observe(void* context, const SRecordEvent* e) {
        auto* self = static_cast<Requests*>(context);
        const CRecord* r = e->record.Get();
        if (!r || !r->IsOfType(T::kDomain, T::kSCNS) || e->kind != SRecordEvent::kValueChanged) return;
        if (e->field >= T::kScnsRecall && e->field <= T::kScnsGoTo)
            self->seen.push_back({e->field, r->GetInt(e->field)});
    }
};

// Scripted answers of the list's dialogs.
struct Script {
    static inline int menuCalls = 0;
    static inline int32_t menuRow = -1;
    static inline const char* menuChoice = nullptr;  // item text, "" none
    static inline int confirmCalls = 0;
    static inline bool confirm = true;
    static inline uint32_t dialogResult = 1;
    static inline int64_t dialogMs = -1;  // -1: leave as preset
    static inline int64_t presetMs = -1;

    static LMenuItem* Menu(CSceneList*, LMenu* menu, int32_t row) {
        ++menuCalls;
        menuRow = row;
        if (!menuChoice) return nullptr;
        for (uint32_t i = 0; i < menu->ItemCount(); ++i) {
            LMenuItem* item = menu->ItemAt(i + menu->FirstIndex());
            if (!item) continue;
            const std::string cmd = Str(item->GetFirstCommand());
            if ((*menuChoice == 0 && cmd == "cScnKeyNone") ||
                (cmd == "cScnKey" && Str(item->BaseText()) == menuChoice))
                return item;
        }
        return nullptr;
    }
    static bool Confirm(const LString&) {
        ++confirmCalls;
        return confirm;
    }
    static uint32_t Dialog(CMoveTimeDlg* d) {
        presetMs = d->Milliseconds();
        if (dialogMs >= 0) d->SetMilliseconds(dialogMs);
        return dialogResult;
    }
    static void Reset() {
        menuCalls = 0;
        menuRow = -1;
        menuChoice = nullptr;
        confirmCalls = 0;
        confirm = true;
        dialogResult = 1;
        dialogMs = -1;
        presetMs = -1;
    }
};

class SceneListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(resources.Ok());
        Script::Reset();
        CSceneList::SetKeyMenuRunner(&Script::Menu);
        CSceneList::SetConfirmRunner(&Script::Confirm);
        CSceneList::SetTimeDialogRunner(&Script::Dialog);
        (void)h.AddObserver(&requests, &Requests::Observe);
    }
    void TearDown() override {
        list.reset();
        (void)h.RemoveObserver(&requests, &Requests::Observe);
        CSceneList::SetKeyMenuRunner(nullptr);
        CSceneList::SetConfirmRunner(nullptr);
        CSceneList::SetTimeDialogRunner(nullptr);
    }
    void AddScene(const char* name, float time, const char* key = "") {
        CRecord* s = UDocScenes::NewScene();
        s->StringSlot(T::kScneName) = LString(name);
        s->StringSlot(T::kScneKey) = LString(key);
        s->Slot(T::kScneTime).f32 = time;
        const uint32_t n = h.Scenes()->ArrayCount(T::kScnsScenes);
        ASSERT_TRUE(h.Scenes().InsertRecord(nullptr, T::kScnsScenes, n, s));
    }
    void Open() {
        list = std::make_unique<CSceneList>(&owner, &h, &registry);
        list->ChangeState(LPane::kChainShow);
        list->ChangeState(LPane::kChainEnable);
        list->SetBounds({0, 0, 600, 300});
    }
    CRecord* Scene(uint32_t n) { return h.Scenes()->GetElement(T::kScnsScenes, n); }
    std::vector<float> Times() {
        std::vector<float> out;
        for (uint32_t i = 0; i < h.Scenes()->ArrayCount(T::kScnsScenes); ++i)
            out.push_back(Scene(i)->GetFloat(T::kScneTime));
        return out;
    }
    std::vector<std::string> Names() {
        std::vector<std::string> out;
        for (uint32_t i = 0; i < h.Scenes()->ArrayCount(T::kScnsScenes); ++i)
            out.push_back(Str(Scene(i)->GetString(T::kScneName)));
        return out;
    }
    CRecord* Copy(const char* name, float time, const char* key = "F7") {
        CRecord* s = UDocScenes::NewScene();
        s->StringSlot(T::kScneName) = LString(name);
        s->StringSlot(T::kScneKey) = LString(key);
        s->Slot(T::kScneTime).f32 = time;
        return s;
    }
    CSceneCell* Cell(int32_t row) {
        CCellRef ref(list.get(), {0, row}, false);
        return static_cast<CSceneCell*>(ref.Pane());
    }
    void Select(std::initializer_list<int32_t> rows) {
        list->ClearSelection();
        for (int32_t r : rows) list->AddToSelection({0, r});
    }
    plat::headless::HeadlessHotKeys& Keys() { return screens.Backend().HotKeyService(); }

    BundleResources resources;
    testsupport::HeadlessScreens screens;
    HotKeyRegistry registry;
    UndoDocument doc;
    CDocModelHolder h;
    Requests requests;
    FakeOwner owner{&doc, {0, 0, 600, 300}};
    std::unique_ptr<CSceneList> list;
};

// Dropped scenes keep their spacing from the previous row's time, capped by the next row's and by
// the end of the day; copies lose their keys.
TEST_F(SceneListTest, DropTimesTable) {
    struct Case {
        std::vector<float> list;
        uint32_t row;
        std::vector<float> want;
    };
    const Case cases[] = {
        {{20, 30}, 1, {20, 20, 22, 25, 30}},
        {{20, 21}, 1, {20, 20, 21, 21, 21}},
        {{5, 86399}, 2, {5, 86399, 86399, 86399.99f, 86399.99f}},
        {{}, 0, {0, 2, 5}},
    };
    for (const Case& c : cases) {
        list.reset();
        while (h.Scenes()->ArrayCount(T::kScnsScenes) > 0) h.Scenes().DeleteElement(nullptr, T::kScnsScenes, 0);
        for (float t : c.list) AddScene("s", t);
        Open();
        const uint32_t n = list->DropScenes({Copy("a", 10), Copy("b", 12), Copy("c", 15)}, c.row, false);
        EXPECT_EQ(n, 3u);
        const std::vector<float> got = Times();
        ASSERT_EQ(got.size(), c.want.size());
        for (size_t i = 0; i < got.size(); ++i) EXPECT_FLOAT_EQ(got[i], c.want[i]) << i;
        EXPECT_EQ(Str(Scene(c.row)->GetString(T::kScneKey)), "");
        EXPECT_TRUE(list->IsSelected({0, static_cast<int32_t>(c.row)}));
        EXPECT_TRUE(list->IsSelected({0, static_cast<int32_t>(c.row) + 2}));
        EXPECT_EQ(list->Rows(), static_cast<int32_t>(c.want.size()));
    }
}

// A move deletes the selection first and lowers the drop row past the removed rows above it; the
// moved scene keeps its key. The whole drop is one undo step.
TEST_F(SceneListTest, MoveDropReordersAsOneUndoStep) {
    AddScene("one", 10);
    AddScene("two", 20);
    AddScene("three", 30, "F2");
    Open();
    Select({2});
    ASSERT_EQ(list->DropScenes({Copy("three", 30, "F2")}, 0, true), 1u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"three", "one", "two"}));
    EXPECT_FLOAT_EQ(Times()[0], 0.0f);
    EXPECT_EQ(Str(Scene(0)->GetString(T::kScneKey)), "F2");
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Names(), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_FLOAT_EQ(Times()[2], 30);
}

TEST_F(SceneListTest, RecordsOfOtherTypesAreSkippedAndNothingDropsWithoutAList) {
    AddScene("one", 10);
    Open();
    CRecord* other = CRecord::New(T::Type(T::kSQNC));
    EXPECT_EQ(list->DropScenes({other, Copy("x", 3)}, 1, false), 1u);
    EXPECT_EQ(list->Rows(), 2);
    // Field 16 at 0 without sequences: no list, no rows, no drop.
    h.Scenes()->Slot(T::kScnsEdited).i32 = -1;
    (void)h.Scenes().SetInt(nullptr, T::kScnsEdited, 0);
    EXPECT_EQ(list->Rows(), 0);
    EXPECT_EQ(list->DropScenes({Copy("y", 3)}, 0, false), 0u);
    LMenuBar bar(nullptr);
    LMessage ready(LMenuBar_Ready, &bar, list.get());
    (void)list->Handle(ready);
    LMenuItem* move = bar.FindCommand("cScnMoveTime");
    EXPECT_TRUE(move == nullptr || !move->IsEnabled());
}

// A typed time keeps the list sorted; with 'stfl' it ripples: earlier scenes end at the new time,
// this and the later ones move by the difference, capped at the end of the day; one undo step.
TEST_F(SceneListTest, TimeEditsSortOrRipple) {
    CAppPrefs prefs;
    for (float t : {10.0f, 20.0f, 30.0f, 86390.0f}) AddScene("s", t);
    Open();
    list->SetRowTime(0, 25);
    EXPECT_EQ(Times(), (std::vector<float>{20, 25, 30, 86390}));
    ASSERT_TRUE(prefs.RootRef().SetByte(nullptr, CAppPrefs::kPrefRippleTimes, 1));
    list->SetRowTime(1, 28);  // d = 3
    const std::vector<float> got = Times();
    EXPECT_FLOAT_EQ(got[0], 20);
    EXPECT_FLOAT_EQ(got[1], 28);
    EXPECT_FLOAT_EQ(got[2], 33);
    EXPECT_FLOAT_EQ(got[3], 86393);
    list->SetRowTime(2, 100);  // d = 67: the last one is capped
    EXPECT_FLOAT_EQ(Times()[3], CSceneList::kMaxTime);
    list->SetRowTime(0, 5);  // earlier: nothing before it; every later scene goes back by 15
    EXPECT_FLOAT_EQ(Times()[1], 13);
}

TEST_F(SceneListTest, MoveTimeShiftsTheSelectionWithCaps) {
    for (float t : {10.0f, 20.0f, 30.0f, 40.0f}) AddScene("s", t);
    Open();
    Select({1, 2});
    // Cancel and an unchanged time change nothing.
    Script::dialogResult = 2;
    Script::dialogMs = 35000;
    list->RunMoveTime();
    EXPECT_EQ(Script::presetMs, 20000);
    EXPECT_EQ(Times(), (std::vector<float>{10, 20, 30, 40}));
    Script::dialogResult = 1;
    Script::dialogMs = -1;
    list->RunMoveTime();
    EXPECT_EQ(Times(), (std::vector<float>{10, 20, 30, 40}));
    EXPECT_FALSE(doc.queue.CanUndo());
    Script::dialogMs = 35000;
    list->RunMoveTime();
    EXPECT_EQ(Times(), (std::vector<float>{10, 35, 40, 45}));
    EXPECT_TRUE(list->IsSelected({0, 1}));
    EXPECT_TRUE(list->IsSelected({0, 3}));
    EXPECT_FALSE(list->IsSelected({0, 2}));
    // Earlier: first first.
    Select({1, 3});
    Script::dialogMs = 5000;
    list->RunMoveTime();
    EXPECT_EQ(Times(), (std::vector<float>{5, 10, 15, 40}));
    // Later past the end of the day: capped.
    Select({2, 3});
    Script::dialogMs = 86399000;
    list->RunMoveTime();
    const std::vector<float> got = Times();
    EXPECT_FLOAT_EQ(got[2], 86399);
    EXPECT_FLOAT_EQ(got[3], CSceneList::kMaxTime);
}

TEST_F(SceneListTest, KeyMaskTable) {
    struct Case {
        const char* key;
        uint32_t bit;
    };
    const Case cases[] = {
        {"F1", 1u << 0},  {"F3", 1u << 2},  {"f3", 1u << 2}, {"F12", 1u << 11}, {"F", 0},
        {"F0", 0},        {"F13", 0},       {"F32", 0},      {"F33", 0},        {"F99999999999", 0},
        {"F03", 0},       {"Fx", 0},        {"G3", 0},       {"", 0},           {"F1a", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(CSceneList::KeyBit(LString(c.key)), c.bit) << c.key;
}

// Keys register function keys with the hot-key registry; a press asks the scene keyed "F"+n
// (without case) to be gone to, through field 10, which falls back to -1 silently.
TEST_F(SceneListTest, HotKeysFollowTheKeys) {
    AddScene("a", 1, "F1");
    AddScene("b", 2, "f3");
    AddScene("c", 3, "F13");
    AddScene("d", 4, "F99999999999");
    Open();
    EXPECT_EQ(list->KeyMask(), 0x5u);
    EXPECT_EQ(registry.EntryCount(), 2u);
    EXPECT_TRUE(Keys().PressHotKey(99, CSceneList::kFunctionKeyModifier));  // F3
    ASSERT_FALSE(requests.seen.empty());
    EXPECT_EQ(requests.seen.back(), (std::pair<uint32_t, int32_t>{T::kScnsGoTo, 1}));
    EXPECT_EQ(h.Scenes()->GetInt(T::kScnsGoTo), -1);
    // A changed key re-registers.
    CRecord* b = Scene(1);
    ASSERT_TRUE(CRecordRef(&b).SetString(nullptr, T::kScneKey, LString("F12")));
    EXPECT_EQ(list->KeyMask(), 0x801u);
    EXPECT_FALSE(Keys().PressHotKey(99, CSceneList::kFunctionKeyModifier));
    list.reset();
    EXPECT_EQ(registry.EntryCount(), 0u);
}

// Scenes coming and going one at a time (the model, undo) or in one step (the list) keep the keys
// registered while any scene has them.
TEST_F(SceneListTest, HotKeysFollowScenesThatComeAndGo) {
    AddScene("a", 1, "F1");
    AddScene("b", 2, "F1");
    AddScene("c", 3);
    Open();
    EXPECT_EQ(list->KeyMask(), 0x1u);
    ASSERT_TRUE(h.Scenes().InsertRecord(nullptr, T::kScnsScenes, 0, Copy("x", 0, "F2")));
    EXPECT_EQ(list->KeyMask(), 0x3u);
    EXPECT_EQ(list->Rows(), 4);
    h.Scenes().DeleteElement(nullptr, T::kScnsScenes, 1);  // "a": "b" still has F1
    EXPECT_EQ(list->KeyMask(), 0x3u);
    h.Scenes().DeleteElement(nullptr, T::kScnsScenes, 1);
    EXPECT_EQ(list->KeyMask(), 0x2u);
    EXPECT_EQ(registry.EntryCount(), 1u);
    Select({0, 1});
    list->DeleteSelection();
    EXPECT_EQ(list->Rows(), 0);
    EXPECT_EQ(list->KeyMask(), 0u);
    EXPECT_TRUE(list->Selection().IsEmpty());
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Names(), (std::vector<std::string>{"x", "c"}));
    EXPECT_EQ(list->Rows(), 2);
    EXPECT_EQ(list->KeyMask(), 0x2u);
}

// Two documents keyed F3: each list's callback runs, each document goes to its own scene.
TEST_F(SceneListTest, TwoDocumentsShareAFunctionKey) {
    AddScene("a", 1, "F3");
    Open();
    CDocModelHolder other;
    Requests otherRequests;
    (void)other.AddObserver(&otherRequests, &Requests::Observe);
    CRecord* s = UDocScenes::NewScene();
    s->StringSlot(T::kScneKey) = LString("F3");
    ASSERT_TRUE(other.Scenes().InsertRecord(nullptr, T::kScnsScenes, 0, UDocScenes::NewScene()));
    ASSERT_TRUE(other.Scenes().InsertRecord(nullptr, T::kScnsScenes, 1, s));
    {
        CSceneList second(&owner, &other, &registry);
        EXPECT_TRUE(Keys().PressHotKey(99, CSceneList::kFunctionKeyModifier));
        ASSERT_FALSE(requests.seen.empty());
        EXPECT_EQ(requests.seen.back().second, 0);
        ASSERT_FALSE(otherRequests.seen.empty());
        EXPECT_EQ(otherRequests.seen.back().second, 1);
    }
    (void)other.RemoveObserver(&otherRequests, &Requests::Observe);
}

// A click recalls the row's scene; a double click writes field 10 then -1 silently.
TEST_F(SceneListTest, ClicksRecallAndGoTo) {
    AddScene("a", 1);
    AddScene("b", 2);
    Open();
    ASSERT_NE(Cell(1), nullptr);
    CStateButton* button = Cell(1)->RecallButton();
    LHandler::Dispatch(LMessage(LStdCtl_Selected, button, Cell(1)));
    ASSERT_FALSE(requests.seen.empty());
    EXPECT_EQ(requests.seen.back(), (std::pair<uint32_t, int32_t>{T::kScnsRecall, 1}));
    EXPECT_FLOAT_EQ(h.Scenes()->GetFloat(T::kScnsPosition), -1);
    requests.seen.clear();
    LHandler::Dispatch(LMessage(CStateButton_DblClk, button, Cell(1)));
    ASSERT_EQ(requests.seen.size(), 1u);
    EXPECT_EQ(requests.seen.back(), (std::pair<uint32_t, int32_t>{T::kScnsGoTo, 1}));
    EXPECT_EQ(h.Scenes()->GetInt(T::kScnsGoTo), -1);
}

// The arrows move the marker, locate (field 9) and recall the scene above the marker.
TEST_F(SceneListTest, ArrowMarkerLocatesAndRecalls) {
    AddScene("a", 1);
    AddScene("b", 2);
    Open();
    list->StepMarker(-1);
    EXPECT_EQ(list->Marker(), 0u);
    EXPECT_TRUE(requests.seen.empty());
    list->StepMarker(1);
    EXPECT_EQ(list->Marker(), 1u);
    ASSERT_EQ(requests.seen.size(), 2u);
    EXPECT_EQ(requests.seen[0], (std::pair<uint32_t, int32_t>{T::kScnsLocate, 1}));
    EXPECT_EQ(requests.seen[1], (std::pair<uint32_t, int32_t>{T::kScnsRecall, 0}));
    list->StepMarker(5);
    EXPECT_EQ(list->Marker(), 2u);
    // The player's index moves the marker.
    (void)h.Scenes().SetUInt(nullptr, T::kScnsCurIndex, 1);
    EXPECT_EQ(list->Marker(), 1u);
}

// Holding a recall button for 500 ms pops the key menu at its row; a second scene given a key asks,
// and OK takes the key from the first. A row gone meanwhile pops nothing.
TEST_F(SceneListTest, HoldOpensTheKeyMenuAndKeysAreUnique) {
    AddScene("a", 1, "F3");
    AddScene("b", 2);
    AddScene("c", 3);
    Open();
    ASSERT_NE(list->KeyMenu(), nullptr);
    EXPECT_GE(list->KeyMenu()->ItemCount(), 13u);
    CStateButton* button = Cell(1)->RecallButton();
    LHandler::Dispatch(LMessage(CStateButton_Push, button, Cell(1)));
    ASSERT_TRUE(list->HoldTimer()->IsRunning());
    const uint32_t left = list->HoldTimer()->Due() - LTimer::Now();
    EXPECT_LE(left, CSceneList::kHoldMs);
    EXPECT_GE(left, CSceneList::kHoldMs - 100);
    EXPECT_EQ(list->PendingKeyRow(), 1);
    // Cancel first: nothing changes.
    Script::menuChoice = "F3";
    Script::confirm = false;
    LHandler::Dispatch(LMessage(LTimer_Expire, list->HoldTimer(), list.get()));
    EXPECT_EQ(Script::menuCalls, 1);
    EXPECT_EQ(Script::menuRow, 1);
    EXPECT_EQ(Script::confirmCalls, 1);
    EXPECT_EQ(Str(Scene(0)->GetString(T::kScneKey)), "F3");
    EXPECT_EQ(Str(Scene(1)->GetString(T::kScneKey)), "");
    EXPECT_EQ(list->PendingKeyRow(), -1);
    // OK: the key moves, in one undo step.
    Script::confirm = true;
    list->ChooseKey(1, LString("F3"));
    EXPECT_EQ(Str(Scene(0)->GetString(T::kScneKey)), "");
    EXPECT_EQ(Str(Scene(1)->GetString(T::kScneKey)), "F3");
    EXPECT_EQ(Str(Cell(1)->RecallButton()->GetTitle()), "F3");
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Str(Scene(0)->GetString(T::kScneKey)), "F3");
    EXPECT_EQ(Str(Scene(1)->GetString(T::kScneKey)), "");
    // A release before 500 ms stops the timer.
    LHandler::Dispatch(LMessage(CStateButton_Push, button, Cell(1)));
    LHandler::Dispatch(LMessage(CStateButton_Unpush, button, Cell(1)));
    EXPECT_FALSE(list->HoldTimer()->IsRunning());
    // The pressed row deleted before the timer fires (undo, OSC): nothing.
    Script::menuCalls = 0;
    LHandler::Dispatch(LMessage(CStateButton_Push, Cell(2)->RecallButton(), Cell(2)));
    h.Scenes().DeleteElement(nullptr, T::kScnsScenes, 2);
    LHandler::Dispatch(LMessage(LTimer_Expire, list->HoldTimer(), list.get()));
    EXPECT_EQ(Script::menuCalls, 0);
    list->ChooseKey(7, LString("F5"));  // no such row
    EXPECT_EQ(list->Rows(), 2);
}

// Times from files that are NaN, negative or past a day show and compute clamped.
TEST_F(SceneListTest, TimesFromFilesAreClamped) {
    struct Case {
        float stored;
        float shown;
    };
    const Case cases[] = {{std::numeric_limits<float>::quiet_NaN(), 0},
                          {-5, 0},
                          {1e9f, CSceneList::kMaxTime},
                          {std::numeric_limits<float>::infinity(), CSceneList::kMaxTime},
                          {62.5f, 62.5f}};
    for (const Case& c : cases) EXPECT_FLOAT_EQ(CSceneList::ClampTime(c.stored), c.shown) << c.stored;
    AddScene("nan", std::numeric_limits<float>::quiet_NaN());
    AddScene("far", 1e9f);
    Open();
    EXPECT_FLOAT_EQ(list->SceneTime(0), 0);
    EXPECT_FLOAT_EQ(list->SceneTime(1), CSceneList::kMaxTime);
    EXPECT_EQ(Str(Cell(1)->TimeField()->GetText()), "23:59:59.99");
    // A drop after the far scene computes from the clamped time.
    EXPECT_EQ(list->DropScenes({Copy("x", 1)}, 2, false), 1u);
    EXPECT_FLOAT_EQ(Times()[2], CSceneList::kMaxTime);
}

// A typed time is stored within the day, in the ripple mode too: the field cannot store a time
// past 23:59:59.99 nor below 0, and the cell shows what was stored.
TEST_F(SceneListTest, TypedTimesClampToTheDay) {
    struct Case {
        const char* typed;
        float stored;
        const char* shown;
    };
    const Case cases[] = {
        {"00:01:02.50", 62.5f, "00:01:02.50"},
        {"23:59:59.99", CSceneList::kMaxTime, "23:59:59.99"},
        {"24:00:00.00", CSceneList::kMaxTime, "23:59:59.99"},
        {"99:99:99.99", CSceneList::kMaxTime, "23:59:59.99"},
        {"-00:00:05.00", 0, "00:00:00.00"},
        {"00:00:00.00", 0, "00:00:00.00"},
    };
    CAppPrefs prefs;
    AddScene("only", 10);
    Open();
    for (bool ripple : {false, true}) {
        ASSERT_TRUE(prefs.RootRef().SetByte(nullptr, CAppPrefs::kPrefRippleTimes, ripple ? 1 : 0));
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.typed) + (ripple ? " ripple" : ""));
            CSceneCell* cell = Cell(0);
            ASSERT_NE(cell, nullptr);
            (void)cell->TimeField()->SetText(LString(c.typed));
            LHandler::Dispatch(LMessage(CNumVol_Fix, cell->TimeField(), cell));
            EXPECT_FLOAT_EQ(Scene(0)->GetFloat(T::kScneTime), c.stored);
            EXPECT_EQ(Str(Cell(0)->TimeField()->GetText()), c.shown);
        }
    }
}

// Cells: key, name, time and fade; the time field only on a time line.
TEST_F(SceneListTest, CellsShowTheSceneAndTimeModeHidesTheTime) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    AddScene("intro", 62.5f, "F2");
    Open();
    CSceneCell* cell = Cell(0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(Str(cell->RecallButton()->GetTitle()), "F2");
    EXPECT_EQ(Str(cell->NameField()->GetText()), "intro");
    EXPECT_EQ(Str(cell->TimeField()->GetText()), "00:01:02.50");
    // A fade typed 2.5 stores 2.5 in any locale; typed out of range it clamps.
    (void)cell->FadeField()->SetText(LString("2.5"));
    LHandler::Dispatch(LMessage(CNumVol_Fix, cell->FadeField(), cell));
    EXPECT_FLOAT_EQ(Scene(0)->GetFloat(T::kScneFade), 2.5f);
    (void)cell->FadeField()->SetText(LString("250"));
    LHandler::Dispatch(LMessage(CNumVol_Fix, cell->FadeField(), cell));
    EXPECT_FLOAT_EQ(Scene(0)->GetFloat(T::kScneFade), 99.9f);
    std::setlocale(LC_ALL, before.c_str());
    // A typed name is stored and undone.
    cell->NameField()->SetText(LString("opening"));
    LHandler::Dispatch(LMessage(LEditText_Change, cell->NameField(), cell));
    EXPECT_EQ(Str(Scene(0)->GetString(T::kScneName)), "opening");
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Str(Scene(0)->GetString(T::kScneName)), "intro");
    EXPECT_EQ(Str(Cell(0)->NameField()->GetText()), "intro");
    EXPECT_TRUE(Cell(0)->TimeField()->State() & LPane::kShown);
    ASSERT_TRUE(h.Scenes().SetByte(nullptr, T::kScnsTimeLine, 0));
    EXPECT_FALSE(Cell(0)->TimeField()->State() & LPane::kShown);
    if (!german) GTEST_SKIP() << "no de_DE.UTF-8 locale; ran in C";
}

// Field 16 switches the rows to the edited sequence's scenes and back.
TEST_F(SceneListTest, EditedSequenceSwitchesTheRows) {
    AddScene("own", 1);
    const int32_t n = UDocScenes::AppendSequence(h.Scenes(), nullptr);
    ASSERT_EQ(n, 0);
    Open();
    EXPECT_EQ(list->Rows(), 1);
    UDocScenes::SetSequenceEditing(h.Scenes(), true);
    EXPECT_EQ(list->Rows(), 0);
    EXPECT_EQ(list->DropScenes({Copy("x", 4)}, 0, false), 1u);
    EXPECT_EQ(list->Rows(), 1);
    EXPECT_EQ(Str(list->SceneAt(0)->GetString(T::kScneName)), "x");
    UDocScenes::SetSequenceEditing(h.Scenes(), false);
    EXPECT_EQ(Str(list->SceneAt(0)->GetString(T::kScneName)), "own");
}

TEST_F(SceneListTest, DeleteRemovesTheSelectionInOneStep) {
    for (const char* name : {"a", "b", "c", "d"}) AddScene(name, 1);
    Open();
    Select({1, 3});
    LMenuItem item(nullptr);
    item.AddCommand("LStdCmd_Delete");
    LHandler::Dispatch(LMessage(LMenuItem_Selected, &item, list.get()));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(list->Rows(), 2);
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST_F(SceneListTest, MoveTimeDialogRoundTripsMilliseconds) {
    CMoveTimeDlg d(nullptr, nullptr);
    EXPECT_EQ(Str(d.Label()->Text()).empty(), false);
    d.SetMilliseconds(62500);
    EXPECT_EQ(d.Milliseconds(), 62500);
    EXPECT_EQ(Str(d.TimeField()->GetText()), "00:01:02.50");
    d.SetMilliseconds(-5);
    EXPECT_EQ(d.Milliseconds(), 0);
    d.SetMilliseconds(int64_t{100} * 86400 * 1000);
    EXPECT_EQ(d.Milliseconds(), 86399990);
    // Typed past the day it reads as the day's end, not wrapped into the day.
    for (const char* typed : {"24:00:00.00", "99:99:99.99", "99999999999:0:0.0"}) {
        (void)d.TimeField()->SetText(LString(typed));
        EXPECT_EQ(d.Milliseconds(), 86399990) << typed;
    }
    (void)d.TimeField()->SetText(LString("01:00:00.25"));
    EXPECT_EQ(d.Milliseconds(), 3600250);
}

// Two documents' scene lists side by side in one window, dragged through the backend's drag loop.
class SceneListDragTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(resources.Ok());
        w.log.SetUpper(&doc);
        for (const char* name : {"one", "two", "three"}) Add(own, name);
        Add(other, "foreign");
        list = Make(&own, {10, 10, 190, 290});
        otherList = Make(&other, {200, 10, 390, 290});
    }
    void TearDown() override { lists.clear(); }
    static void Add(CDocModelHolder& h, const char* name) {
        CRecord* s = UDocScenes::NewScene();
        s->StringSlot(T::kScneName) = LString(name);
        s->Slot(T::kScneTime).f32 = float(h.Scenes()->ArrayCount(T::kScnsScenes) * 10);
        ASSERT_TRUE(
            h.Scenes().InsertRecord(nullptr, T::kScnsScenes, h.Scenes()->ArrayCount(T::kScnsScenes), s));
    }
    CSceneList* Make(CDocModelHolder* h, const CLRect& bounds) {
        auto* l = new CSceneList(w.root.get(), h, &registry);
        w.root->Adopt(l);
        l->SetBounds(bounds);
        lists.emplace_back(l);
        return l;
    }
    static std::vector<std::string> Names(CDocModelHolder& h) {
        std::vector<std::string> out;
        for (uint32_t i = 0; i < h.Scenes()->ArrayCount(T::kScnsScenes); ++i)
            out.push_back(Str(h.Scenes()->GetElement(T::kScnsScenes, i)->GetString(T::kScneName)));
        return out;
    }
    // Drags the row of `from` to before the row of `to`.
    void Drag(CSceneList* from, int32_t row, CSceneList* to, int32_t before) {
        from->SelectCell({0, row});
        CDragger* d = rowdrag::PressOn(w, from, from->Drag()->Helper(), row);
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(rowdrag::DragTo(w, d, rowdrag::Before(w, to, before)));
        EXPECT_EQ(from->Drag()->Helper().Dragger(), nullptr);
    }

    BundleResources resources;
    DropWindow w;
    HotKeyRegistry registry;
    UndoDocument doc;
    CDocModelHolder own;
    CDocModelHolder other;
    std::vector<std::unique_ptr<LPane>> lists;
    CSceneList* list = nullptr;
    CSceneList* otherList = nullptr;
};

// Rows move within their own list; 'SCNE' rows dragged from another document's list or written by
// another program are refused.
TEST_F(SceneListDragTest, ScenesDropOnlyFromTheirOwnList) {
    Drag(list, 2, list, 0);
    EXPECT_EQ(Names(own), (std::vector<std::string>{"three", "one", "two"}));
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Names(own), (std::vector<std::string>{"one", "two", "three"}));

    Drag(otherList, 0, list, 1);
    EXPECT_EQ(Names(own), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(Names(other), (std::vector<std::string>{"foreign"}));
    EXPECT_FALSE(doc.queue.CanUndo());

    CRecord* scns = other.Scenes().Get();
    std::unique_ptr<LScrapData> data = UListScrap::CopyRows(CSceneList::ScrapType(), CRecordRef(&scns),
                                                            T::kScnsScenes, CRgn(CLRect{0, 0, 1, 1}), 1);
    plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
    (void)UPasteboard::WriteScrap(*data, pb.get());
    ASSERT_TRUE(pb->HasType(CSceneList::ScrapType().PasteboardType()));
    for (uint32_t mask : {plat::kDragOperationEvery, plat::kDragOperationCopy}) {
        plat::ForeignDrag drag(pb.get(), mask);
        EXPECT_EQ(drag.MoveTo(rowdrag::Before(w, list, 1)), 0u) << mask;
        EXPECT_EQ(drag.Drop(), 0u) << mask;
    }
    EXPECT_EQ(Names(own), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(list->Rows(), 3);
    EXPECT_FALSE(doc.queue.CanUndo());
}

}  // namespace
