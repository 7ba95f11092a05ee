#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/App/DocDialogs.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Editors/CConsoleWin.h"
#include "Orbilume/CSources/TimecodeUI/CTimecodeEdit.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"
#include "tests/Orbilume/CSources/App/FakeDocWindow.h"
#include "tests/support/PinnedFonts.h"

namespace {

using apptest::AppFixture;
using apptest::Dialogs;
using P = CAppPrefs;

// The console draws text: one font configuration for the whole process.
const bool kFontsPinned = testsupport::PinFontsToDejaVu();

// A monitor window that only keeps what it is told; its handler sends the window's messages.
class FakeMonitor : public IMonitorWin {
public:
    explicit FakeMonitor(LHandler* upper) : handler(upper) {}
    LHandler* Handler() override { return &handler; }
    void Show() override { visible = true; }
    void Hide() override { visible = false; }
    bool IsVisible() const override { return visible; }
    void Select() override { ++selected; }
    CLRect Frame() const override { return frame; }
    void SetFrame(const CLRect& f) override { frame = f; }
    void SetTitle(const LString& t) override { title = t.CStr(); }
    bool IsFullScreen() const override { return false; }
    void SetFixedSize(bool f) override { fixed = f; }
    void ContentSize(uint32_t& w, uint32_t& h) const override {
        w = static_cast<uint32_t>(frame.right - frame.left);
        h = static_cast<uint32_t>(frame.bottom - frame.top);
    }
    void SetContentSize(uint32_t, uint32_t) override {}
    uint32_t RunSizeDialog() override {
        ++sizeDialogs;
        return 2;
    }

    LHandler handler;
    bool visible = false;
    int selected = 0;
    int sizeDialogs = 0;
    bool fixed = false;
    CLRect frame{100, 100, 420, 340};  // the window manager's default place
    std::string title;
};

FakeMonitor* gLast = nullptr;

std::unique_ptr<IMonitorWin> MakeFake(const SDocWindowArgs& args) {
    auto m = std::make_unique<FakeMonitor>(args.upper);
    gLast = m.get();
    return m;
}

// A console that keeps its place and the dividers it is given (NaN until set).
class FakeConsole : public apptest::FakeDocWindow<IConsoleWin> {
public:
    explicit FakeConsole(LHandler* upper) : FakeDocWindow(upper, CLRect{50, 60, 650, 560}) {}
    float Divider(uint32_t index) const override { return dividers[index & 1]; }
    void SetDivider(uint32_t index, float fraction) override { dividers[index & 1] = fraction; }

    float dividers[2] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::quiet_NaN()};
};

FakeConsole* gLastConsole = nullptr;

std::unique_ptr<IConsoleWin> MakeFakeConsole(const SDocWindowArgs& args) {
    auto c = std::make_unique<FakeConsole>(args.upper);
    gLastConsole = c.get();
    return c;
}

class DocWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SDocWindowFactories f;
        f.monitor = &MakeFake;
        f.console = &MakeFakeConsole;
        SetDocWindowFactories(&f);
        app.Create();
    }
    void TearDown() override {
        app.Delete();
        SetDocWindowFactories(nullptr);
    }
    CObDoc* Open(const std::string& path) {
        const uint32_t before = gMainApp->DocumentCount();
        EXPECT_EQ(gMainApp->OpenDocument(CMacFileU::LFsSpecFromPath(path.c_str()), nullptr), 1);
        EXPECT_EQ(gMainApp->DocumentCount(), before + 1);
        return gMainApp->DocumentAt(gMainApp->DocumentCount() - 1);
    }
    AppFixture app;
};

TEST_F(DocWindowsTest, TheMonitorShowsTitledAndFollowsTheFixedSizeSetting) {
    CObDoc* doc = Open(app.ShowPath());
    FakeMonitor* m = gLast;
    EXPECT_EQ(doc->Monitor(), m);
    EXPECT_TRUE(m->visible);
    EXPECT_EQ(m->title, "show.obm -Orbilume");
    EXPECT_FALSE(m->fixed);
    (void)gMainApp->Prefs().RootRef().SetByte(nullptr, P::kPrefMonitorFixed, 1);
    EXPECT_TRUE(m->fixed);
    // The monitor size command runs the window's size dialog.
    AppFixture::Command(doc, "CAppCmd_MonitorSize");
    EXPECT_EQ(m->sizeDialogs, 1);
}

TEST_F(DocWindowsTest, StoredMonitorPlacesApplyOnlyWhenSoundAndOnAScreen) {
    struct Case {
        const char* name;
        CLRect stored;
        CLRect want;
    } cases[] = {
        {"on the main screen", {200, 150, 840, 630}, {200, 150, 840, 630}},
        {"on the second screen", {1500, 100, 1900, 400}, {1500, 100, 1900, 400}},
        {"15 pixels on screen",
         {1425, 100, 1825, 400},
         {1425, 100, 1825, 400}},  // 15 wide on main, 385 on second
        {"off every screen", {5000, 5000, 5400, 5300}, {100, 100, 500, 400}},
        {"corner sliver", {-390, -290, 10, 10}, {100, 100, 500, 400}},
        {"inverted", {500, 500, 100, 100}, {100, 100, 420, 340}},
        {"empty", {0, 0, 0, 0}, {100, 100, 420, 340}},
        {"huge", {0, 0, 2000000000, 2000000000}, {100, 100, 420, 340}},
        {"wider than the number range", {-2000000000, 100, 2000000000, 400}, {100, 100, 420, 340}},
        {"at the ends of the number range", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {100, 100, 420, 340}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = std::string("place") + std::to_string(&c - cases) + ".obm";
        app.shows.Write(name, AppFixture::ReadFile(app.ShowPath()));
        // The record the next open finds carries the stored place.
        CRecord* record = gMainApp->Prefs().AppendDocument();
        record->StringSlot(P::kDocPath) = LString(app.shows.File(name).c_str());
        (void)CRecordRef(&record).SetRectField(nullptr, P::kDocMonitorRect, c.stored);
        CObDoc* doc = Open(app.shows.File(name));
        EXPECT_EQ(gLast->frame, c.want);
        // Closed again, so that the next opens at the default place (not cascaded off this one).
        AppFixture::Command(doc, "LStdCmd_Close");
        ASSERT_EQ(gMainApp->DocumentCount(), 0u);
    }
}

// The console's place follows the monitor's rules; each divider fraction applies only when it is
// a number within 0..1, and the console's own position stays otherwise.
TEST_F(DocWindowsTest, StoredConsolePlacesAndDividerFractionsApplyOnlyWhenSound) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const CLRect unplaced{50, 60, 650, 560};
    struct Case {
        const char* name;
        CLRect stored;
        float first, second;
        CLRect wantFrame;
        float wantFirst, wantSecond;  // NaN: not set
    } cases[] = {
        {"sound", {300, 200, 900, 700}, 0.25f, 0.75f, {300, 200, 900, 700}, 0.25f, 0.75f},
        {"the ends", {1500, 40, 2100, 540}, 0.0f, 1.0f, {1500, 40, 2100, 540}, 0.0f, 1.0f},
        {"NaN", {0, 0, 0, 0}, kNaN, -kNaN, unplaced, kNaN, kNaN},
        {"negative", {5000, 5000, 5600, 5500}, -0.25f, -0.0001f, unplaced, kNaN, kNaN},
        {"huge", {-2000000000, 0, 2000000000, 500}, 1e30f, 1.0001f, unplaced, kNaN, kNaN},
        {"infinite", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, kInf, -kInf, unplaced, kNaN, kNaN},
        {"one of two", {300, 200, 900, 700}, 0.5f, 40.0f, {300, 200, 900, 700}, 0.5f, kNaN},
    };
    auto same = [](float got, float want) { return std::isnan(want) ? std::isnan(got) : got == want; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = std::string("console") + std::to_string(&c - cases) + ".obm";
        app.shows.Write(name, AppFixture::ReadFile(app.ShowPath()));
        CRecord* record = gMainApp->Prefs().AppendDocument();
        record->StringSlot(P::kDocPath) = LString(app.shows.File(name).c_str());
        (void)CRecordRef(&record).SetRectField(nullptr, P::kDocConsoleRect, c.stored);
        record->Slot(P::kDocDivider1).f32 = c.first;
        record->Slot(P::kDocDivider2).f32 = c.second;
        CObDoc* doc = Open(app.shows.File(name));
        ASSERT_EQ(doc->Console(), gLastConsole);
        EXPECT_EQ(gLastConsole->frame, c.wantFrame);
        EXPECT_TRUE(same(gLastConsole->dividers[0], c.wantFirst)) << gLastConsole->dividers[0];
        EXPECT_TRUE(same(gLastConsole->dividers[1], c.wantSecond)) << gLastConsole->dividers[1];
        AppFixture::Command(doc, "LStdCmd_Close");
        ASSERT_EQ(gMainApp->DocumentCount(), 0u);
    }
}

TEST_F(DocWindowsTest, MonitorActivationFrontsTheDocumentAndItsCloseBoxAsksFirst) {
    app.shows.Write("second.obm", AppFixture::ReadFile(app.ShowPath()));
    CObDoc* first = Open(app.ShowPath());
    FakeMonitor* firstMonitor = gLast;
    CObDoc* second = Open(app.shows.File("second.obm"));
    FakeMonitor* secondMonitor = gLast;
    EXPECT_EQ(gMainApp->DocumentAt(0), first);

    // Activation: to the front of the list, its record last in 'docs'.
    LHandler::Dispatch(LMessage(LFrame_Activate, &secondMonitor->handler, second));
    EXPECT_EQ(gMainApp->DocumentAt(0), second);
    CRecord* prefs = gMainApp->Prefs().Root();
    EXPECT_EQ(prefs->GetElement(P::kPrefDocs, prefs->ArrayCount(P::kPrefDocs) - 1), second->DocPrefs());

    // The close box of a dirty document asks; cancel keeps it, discard closes it.
    AppFixture::Command(first, "cFaderZero");
    Dialogs().saveChangesAnswer = SDocDialogs::kCancel;
    LHandler::Dispatch(LMessage(LFrame_Close, &firstMonitor->handler, first));
    EXPECT_EQ(Dialogs().saveChangesAsked, 1u);
    EXPECT_EQ(gMainApp->DocumentCount(), 2u);
    Dialogs().saveChangesAnswer = SDocDialogs::kDiscard;
    LHandler::Dispatch(LMessage(LFrame_Close, &firstMonitor->handler, first));
    EXPECT_EQ(gMainApp->DocumentCount(), 1u);
    EXPECT_EQ(gMainApp->DocumentAt(0), second);
    // Opening the open file again selects its monitor.
    EXPECT_EQ(
        gMainApp->OpenDocument(CMacFileU::LFsSpecFromPath(app.shows.File("second.obm").c_str()), nullptr), 1);
    EXPECT_EQ(secondMonitor->selected, 1);
}

// The documents with their real console (and sequence window) beside the fake monitor.
class DocConsoleTest : public DocWindowsTest {
protected:
    void SetUp() override {
        DocWindowsTest::SetUp();
        CDocConsoleWin::Install();
    }
    void TearDown() override {
        DocWindowsTest::TearDown();
        CConsoleWin::SetChannelListFactory(nullptr);
    }
};

// The console's place and both dividers go to DCPF when the document closes and come back when it
// opens again.
TEST_F(DocConsoleTest, PlaceAndDividersRoundTripThroughTheDocument) {
    CObDoc* doc = Open(app.ShowPath());
    auto* console = static_cast<CDocConsoleWin*>(doc->Console());
    ASSERT_NE(console, nullptr);
    const CLRect place{180, 120, 1080, 820};
    console->SetFrame(place);
    EXPECT_EQ(console->Frame(), place);
    console->SetDivider(0, 0.35f);
    console->SetDivider(1, 0.6f);
    const float d0 = console->Divider(0), d1 = console->Divider(1);
    EXPECT_NEAR(d0, 0.35f, 0.01f);
    EXPECT_NEAR(d1, 0.6f, 0.01f);
    CRecord* record = doc->DocPrefs();
    AppFixture::Command(doc, "LStdCmd_Close");
    ASSERT_EQ(gMainApp->DocumentCount(), 0u);
    EXPECT_FLOAT_EQ(record->GetFloat(P::kDocDivider1), d0);
    EXPECT_FLOAT_EQ(record->GetFloat(P::kDocDivider2), d1);
    EXPECT_EQ(CRecordRef(&record).GetRectField(P::kDocConsoleRect), place);

    doc = Open(app.ShowPath());
    EXPECT_EQ(doc->DocPrefs(), record);
    console = static_cast<CDocConsoleWin*>(doc->Console());
    ASSERT_NE(console, nullptr);
    EXPECT_EQ(console->Frame(), place);
    EXPECT_NEAR(console->Divider(0), d0, 0.01f);
    EXPECT_NEAR(console->Divider(1), d1, 0.01f);
    // Closed and opened once more: nothing drifts.
    AppFixture::Command(doc, "LStdCmd_Close");
    doc = Open(app.ShowPath());
    console = static_cast<CDocConsoleWin*>(doc->Console());
    EXPECT_EQ(console->Frame(), place);
    EXPECT_NEAR(console->Divider(0), d0, 0.01f);
    EXPECT_NEAR(console->Divider(1), d1, 0.01f);
    AppFixture::Command(doc, "LStdCmd_Close");
}

// The console's time display locates the player at the time as typed, a time past the day at its
// end (never wrapped into it), and shows where it went.
TEST_F(DocConsoleTest, TheTimeDisplayLocatesThePlayerClampedToTheDay) {
    CObDoc* doc = Open(app.ShowPath());
    auto* console = static_cast<CDocConsoleWin*>(doc->Console());
    ASSERT_NE(console, nullptr);
    CTimecodeEdit* time = console->Window()->Scenes()->Transport()->Timecode()->TimeDisplay();
    ASSERT_NE(time, nullptr);
    struct Case {
        const char* typed;
        int64_t ms;
        const char* shown;
    };
    const Case cases[] = {
        {"00:01:02.50", 62500, "00:01:02.50"},
        {"23:59:59.99", 86399990, "23:59:59.99"},
        {"24:00:00.00", 86399990, "23:59:59.99"},  // where the player stands already
        {"00:00:10.00", 10000, "00:00:10.00"},
        {"25:00:00.00", 86399990, "23:59:59.99"},
        {"99:99:99.99", 86399990, "23:59:59.99"},
        {"-00:00:05.00", 0, "00:00:00.00"},
        {"00:00:00.00", 0, "00:00:00.00"},
    };
    const CRecord* scns = doc->Model().Scenes().Get();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        (void)time->SetText(LString(c.typed));
        int64_t ms = -1;
        ASSERT_TRUE(console->TimeFieldMs(time, ms));
        EXPECT_EQ(ms, c.ms);
        (void)time->SetText(LString(c.typed));
        LHandler::Dispatch(LMessage(CNumVol_Fix, time, time->Upper()));
        EXPECT_FLOAT_EQ(scns->GetFloat(CDocModelTypes::kScnsCurTime), float(double(c.ms) / 1000.0));
        EXPECT_STREQ(time->GetText().CStr(), c.shown);
    }
    int64_t ms = 0;
    EXPECT_FALSE(console->TimeFieldMs(console->Window()->Scenes()->Transport()->Timecode()->ToField(), ms));
}

}  // namespace
