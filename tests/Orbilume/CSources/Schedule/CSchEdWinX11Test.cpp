#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Schedule/CSchCtl.h"
#include "Orbilume/CSources/Schedule/CSchEdWin.h"
#include "Orbilume/CSources/Schedule/CSchEntryList.h"
#include "Orbilume/CSources/Schedule/CSchPrmFrame.h"
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

}  // namespace
