#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreData/SFieldDesc.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/CRecordRowDrag.h"
#include "Lib3/LSources/Mac/LScrapData.h"
#include "Lib3/LSources/Mac/UListScrap.h"
#include "Lib3/LSources/Mac/UPasteboard.h"
#include "Orbilume/CSources/Document/USchedule.h"
#include "Orbilume/CSources/Schedule/CSchCtl.h"
#include "Orbilume/CSources/Schedule/CSchEdWin.h"
#include "Orbilume/CSources/Schedule/CSchEntryList.h"
#include "Orbilume/CSources/Schedule/CSchPrdList.h"
#include "Orbilume/CSources/Schedule/CSchPrmFrame.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/WallClock.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/Orbilume/CSources/Document/ScheduleTestSupport.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"
#include "tests/support/EnvOverride.h"

using namespace showtest;
using namespace schedtest;

namespace {

struct Root : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LPane_ReqCapture)) {
            if (LMouse::Get()) LMouse::Get()->Capture(msg.sender);
            return LMessage();
        }
        if (msg.Is(LPane_ReqFocus) || msg.Is(LPane_Defer) || msg.Is(LMouse_Cursor) || msg.Is(LFrame_Place))
            return LMessage();
        return LHandler::Handle(msg);
    }
};

class FakeWallClock : public plat::WallClock {
public:
    double Now() const override { return seconds; }
    double seconds = 0;
};

double Local(int y, int mo, int d, int h, int mi) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_isdst = -1;
    return static_cast<double>(std::mktime(&t));
}

// The schedule editor in a window of its own on Xvfb, opened by its runner.
class SchEdWinX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root, kResources);
        if (IsSkipped() || HasFatalFailure()) return;
        tzset();
        plat::SetWallClock(&wall);
        misc = CRecord::New(&CParamSet::SetType());
        doc.SetUpper(&root);
        Conditions office, night;
        office.hour = "9-17";
        night.hour = "18-23";
        AddEntry(office, "office");
        AddEntry(night, "evening");
        CSchEdWin::InstallAsEditor();
        runner = std::make_unique<CSchCtl>(&doc, &h, CRecordRef(&misc));
        runner->OpenEditor();
        win = static_cast<CSchEdWin*>(runner->Editor());
        ASSERT_NE(win, nullptr);
        ASSERT_NE(win->Window(), nullptr);
        ASSERT_TRUE(RunUntil([&] { return win->List()->Bounds().Width() > 100; }));
        Xdotool("windowfocus --sync %W", win->Window()->NativeWindow());
    }
    void TearDown() override {
        runner.reset();
        CSchCtl::SetEditorFactory(nullptr);
        CRecord::Delete(misc);
        plat::SetWallClock(nullptr);
        tzset();
        X11FrameworkTest::TearDown();
    }
    void AddEntry(const Conditions& c, const char* name) {
        const uint32_t count = h.Schedule()->ArrayCount(T::kSchdEntries);
        ASSERT_TRUE(h.Schedule().InsertRecord(&editor, T::kSchdEntries, count, NewEntry(c, {}, name)));
    }
    // Green marker pixels (0, 191, 0, give or take the antialiasing) at the start of a row of the
    // list, as the window's content shows it.
    int GreenPixelsInRow(int32_t row) {
        plat::Window* native = win->Window()->NativeWindow();
        RunUntil([] { return false; }, 0.2);
        native->Display();
        plat::DrawContext* store = native->BackingStore();
        CSchEntryList* list = win->List();
        const CLPoint o = list->GetOriginIn(nullptr);
        const CLRect cell = list->CellRect({0, row});  // in the list's owner
        int green = 0;
        for (int32_t y = cell.top; y < cell.bottom; ++y) {
            for (int32_t x = cell.left; x < cell.left + 24; ++x) {
                const uint32_t p = store->PixelAt(o.x + x, o.y + y);
                const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                if (g > 120 && r < 80 && b < 80) ++green;
            }
        }
        return green;
    }

    // A screen point in row y of a list, x pixels into it.
    plat::Point ScreenAt(LListPane* list, int32_t row, int32_t x, int32_t dy) {
        const CLPoint o = list->GetOriginIn(nullptr);
        const CLRect cell = list->CellRect({0, row});
        return win->Window()->NativeWindow()->ConvertToScreen(
            {double(o.x + cell.left + x), double(o.y + cell.top + dy)});
    }
    // Presses on a row at its left end and lets the list's drag helper make its dragger.
    void PressOn(LListPane* list, CRecordRowDrag* drag, int32_t row) {
        LMouse* mouse = LMouse::Get();
        mouse->SetModifiers(0);
        const plat::Point p = ScreenAt(list, row, 6, list->CellHeight() / 2);
        mouse->SetLocation({int32_t(p.x), int32_t(p.y)});
        LHandler::Dispatch(LMessage(LMouse_Click, mouse, list));
        LHandler::Dispatch(LMessage(LTimer_Expire, drag->Helper().Timer(), list));
    }
    std::vector<std::string> Names() {
        std::vector<std::string> out;
        for (uint32_t i = 0; i < h.Schedule()->ArrayCount(T::kSchdEntries); ++i)
            out.emplace_back(h.Schedule()->GetElement(T::kSchdEntries, i)->GetString(T::kScevName).CStr());
        return out;
    }

    Root root;
    testsupport::EnvOverride tz{"TZ", "Europe/Berlin"};
    FakeWallClock wall;
    UndoDocument doc;
    LHandler editor{&doc};
    CDocModelHolder h;
    CRecord* misc = nullptr;
    std::unique_ptr<CSchCtl> runner;
    CSchEdWin* win = nullptr;
};

TEST_F(SchEdWinX11Test, TheGreenMarkerStandsOnTheLiveEntry) {
    wall.seconds = Local(2024, 6, 3, 20, 0);
    runner->Tick();
    ASSERT_EQ(win->List()->Current(), 1);
    EXPECT_GT(GreenPixelsInRow(1), 10);
    EXPECT_EQ(GreenPixelsInRow(0), 0);
    wall.seconds = Local(2024, 6, 4, 10, 0);
    runner->Tick();
    EXPECT_GT(GreenPixelsInRow(0), 10);
    EXPECT_EQ(GreenPixelsInRow(1), 0);
}

TEST_F(SchEdWinX11Test, ScriptedAddEventPutsASelectedEntryAtTheTop) {
    Xdotool("key ctrl+e", win->Window()->NativeWindow());
    ASSERT_TRUE(RunUntil([&] { return h.Schedule()->ArrayCount(T::kSchdEntries) == 3; }));
    EXPECT_TRUE(win->List()->IsSelected({0, 0}));
    EXPECT_EQ(win->Conditions()->Entry(), h.Schedule()->GetElement(T::kSchdEntries, 0));
    EXPECT_STREQ(h.Schedule()->GetElement(T::kSchdEntries, 1)->GetString(T::kScevName).CStr(), "office");
    // Closing the window stops the schedule and keeps its place.
    LHandler::Dispatch(LMessage(LFrame_Close, win, runner.get()));
    EXPECT_FALSE(runner->IsRunning());
    RunUntil([] { return false; }, 0.2);
}

// Dragging the first entry below the second moves it, as one undo group, and its row stays selected.
TEST_F(SchEdWinX11Test, DraggingAnEntryMovesItAsOneUndoGroup) {
    CSchEntryList* list = win->List();
    list->SelectCell({0, 0});
    PressOn(list, list->Drag(), 0);
    ASSERT_NE(list->Drag()->Helper().Dragger(), nullptr);
    plat::Pasteboard::Drag()->DeclareTypes({"lumetra.scraptype.quillantorn.schedule"}, nullptr);
    {
        plat::DragSession drag(plat::Pasteboard::Drag(), plat::kDragOperationEvery, nullptr);
        drag.MoveTo(ScreenAt(list, 1, 6, list->CellHeight() - 3));  // the gap below the last row
        EXPECT_EQ(list->Drag()->Helper().TargetCell(), (CLPoint{0, 2}));
        EXPECT_NE(drag.Drop(), 0u);
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"evening", "office"}));
    EXPECT_TRUE(list->IsSelected({0, 1}));
    EXPECT_FALSE(list->IsSelected({0, 0}));
    LHandler::Dispatch(LMessage(LMouse_Release, LMouse::Get(), list->Drag()->Helper().Dragger()));
    EXPECT_EQ(list->Drag()->Helper().Dragger(), nullptr);
    // One undo step puts it back (the entries were added before, step by step).
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Names(), (std::vector<std::string>{"office", "evening"}));
}

// A period dragged above the first moves there, as one undo step.
TEST_F(SchEdWinX11Test, DraggingAPeriodMovesIt) {
    CRecord* entry = h.Schedule()->GetElement(T::kSchdEntries, 0);
    for (uint8_t kind : {4, 6}) {
        CRecord* period = USchedule::NewPeriod();
        period->Slot(T::kScepRange).u8 = kind;
        ASSERT_GE(USchedule::AppendPeriod(CRecordRef(&entry), &editor, period), 0);
    }
    win->List()->SelectCell({0, 0});
    CSchPrdList* periods = win->Periods();
    ASSERT_EQ(periods->Rows(), 2);
    ASSERT_TRUE(RunUntil([&] { return periods->Bounds().Height() > periods->CellHeight(); }));
    auto kinds = [&] {
        return std::to_string(entry->GetElement(T::kScevPeriods, 0)->GetByte(T::kScepRange)) +
               std::to_string(entry->GetElement(T::kScevPeriods, 1)->GetByte(T::kScepRange));
    };
    periods->SelectCell({0, 1});
    PressOn(periods, periods->Drag(), 1);
    ASSERT_NE(periods->Drag()->Helper().Dragger(), nullptr);
    plat::Pasteboard::Drag()->DeclareTypes({"lumetra.scraptype.quillantorn.schperiod"}, nullptr);
    {
        plat::DragSession drag(plat::Pasteboard::Drag(), plat::kDragOperationEvery, nullptr);
        drag.MoveTo(ScreenAt(periods, 0, 3, 3));  // the gap above the first row
        EXPECT_EQ(periods->Drag()->Helper().TargetCell(), (CLPoint{0, 0}));
        EXPECT_NE(drag.Drop(), 0u);
    }
    EXPECT_EQ(kinds(), "64");
    EXPECT_TRUE(periods->IsSelected({0, 0}));
    LHandler::Dispatch(LMessage(LMouse_Release, LMouse::Get(), periods->Drag()->Helper().Dragger()));
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(kinds(), "46");
}

// A copied sequence dropped on a row's command field becomes its command; a copied scene is refused.
TEST_F(SchEdWinX11Test, CommandFieldTakesSequencesAndRefusesScenes) {
    const int32_t n = UDocScenes::AppendSequence(h.Scenes(), &editor);
    ASSERT_GE(n, 0);
    CRecordRef seq(&(*h.Scenes()->GetRecordArray(T::kScnsSequences))[uint32_t(n)]);
    ASSERT_TRUE(seq.SetString(&editor, T::kSqncName, LString("encore")));
    CSchEntryList* list = win->List();
    const int32_t x = list->CellWidth() - 40;  // inside the command field at the right
    auto offer = [&](uint32_t code, const CRecord* record) {
        plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
        CListScrap scrap;
        EXPECT_TRUE(scrap.PutRecord(record));
        std::unique_ptr<LScrapData> data = scrap.MakeScrapData(LScrapType{LString(), code});
        EXPECT_NE(data, nullptr);
        if (data) (void)UPasteboard::WriteScrap(*data, pb.get());
        return pb;
    };
    CRecord* scene = UDocScenes::NewScene();
    plat::Ref<plat::Pasteboard> scenes = offer(Fcc("SCNE"), scene);
    CRecord::Delete(scene);
    plat::ForeignDrag refused(scenes.get(), plat::kDragOperationEvery);
    EXPECT_EQ(refused.MoveTo(ScreenAt(list, 0, x, list->CellHeight() / 2)), 0u);
    EXPECT_EQ(refused.Drop(), 0u);
    EXPECT_EQ(h.Schedule()->GetElement(T::kSchdEntries, 0)->GetSubRecord(T::kScevCommand), nullptr);

    plat::Ref<plat::Pasteboard> sequences = offer(Fcc("SEQC"), seq.Get());
    plat::ForeignDrag taken(sequences.get(), plat::kDragOperationEvery);
    EXPECT_EQ(taken.MoveTo(ScreenAt(list, 0, x, list->CellHeight() / 2)), plat::kDragOperationCopy);
    EXPECT_EQ(taken.Drop(), plat::kDragOperationCopy);
    const CRecord* command = h.Schedule()->GetElement(T::kSchdEntries, 0)->GetSubRecord(T::kScevCommand);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->GetUInt(T::kScexSeqId), seq->GetUInt(T::kSqncId));
}

}  // namespace
