#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "Common/ObjC/MObserver.h"
#include "Common/ObjC/UMachPanel.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/ColorPanel.h"
#include "Platform/AppKit/FontManager.h"
#include "Platform/AppKit/FontPanel.h"
#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Graphics/Font.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

using plat::Application;
using plat::ColorPanel;
using plat::FontPanel;

struct ColourLog {
    std::vector<std::pair<LRGB, int32_t>> calls;
    bool closeInCallback = false;
    static void Callback(void* owner, const LRGB* colour, int32_t code) {
        auto* log = static_cast<ColourLog*>(owner);
        log->calls.push_back({*colour, code});
        if (log->closeInCallback) UMachPanel::CloseColorPanel(owner, &Callback);
    }
};

struct FontLog {
    std::vector<SFontDesc> calls;
    std::vector<int32_t> codes;
    bool closeInCallback = false;
    static void Callback(void* owner, const SFontDesc* d, int32_t code) {
        auto* log = static_cast<FontLog*>(owner);
        log->calls.push_back(*d);
        log->codes.push_back(code);
        if (log->closeInCallback) UMachPanel::CloseFontPanel(owner, &Callback);
    }
};

// Another responder that was the application's next responder before a font choice.
struct Bystander : plat::MenuTarget {};

// Runs once from a timer in the modal-panel mode.
struct InModal {
    std::function<void()> fn;
    plat::Ref<plat::RunLoopTimer> timer;
    explicit InModal(std::function<void()> f) : fn(std::move(f)) {
        timer = plat::RunLoopTimer::Create(plat::ClockNow() + 0.01, 0, &Fire, this);
        EXPECT_TRUE(plat::RunLoop::Main()->AddTimer(timer.get(), plat::kModalPanelRunLoopMode));
    }
    ~InModal() { timer->Invalidate(); }
    static void Fire(plat::RunLoopTimer* t, void* self) {
        t->Invalidate();
        static_cast<InModal*>(self)->fn();
    }
};

class UMachPanelTest : public ::testing::Test {
protected:
    UMachPanelTest() { app->DiscardEvents(plat::kAnyEventMask); }
    ~UMachPanelTest() override {
        UMachPanel::CloseColorPanel(nullptr, nullptr);
        if (MMachFontPanel* t = UMachPanel::FontTarget()) UMachPanel::CloseFontPanel(t->mRef, t->mCB);
        app->SetNextResponder(nullptr);
        app->DiscardEvents(plat::kAnyEventMask);
    }
    testsupport::HeadlessScreens screens;
    Application* app = Application::Shared();
};

TEST(UMachPanelNoWindowSystemTest, PanelsAnswerOneWithoutAWindowSystem) {
    ASSERT_EQ(plat::CurrentBackend(), nullptr);
    LRGB colour(1, 2, 3);
    EXPECT_EQ(UMachPanel::ChooseColor(false, colour, nullptr, nullptr, false, true), 1);
    SFontDesc d;
    EXPECT_EQ(UMachPanel::ChooseFont(false, d, nullptr, nullptr, false, 0), 1);
    EXPECT_EQ(UMachPanel::ColorTarget(), nullptr);
    EXPECT_EQ(UMachPanel::FontTarget(), nullptr);
}

TEST_F(UMachPanelTest, AModelessColourChoiceAnswersTwoAtOnceAndReportsEachChangeWithTwo) {
    ColourLog log;
    LRGB colour(255, 0, 0);
    EXPECT_EQ(UMachPanel::ChooseColor(false, colour, &log, &ColourLog::Callback, false, true), 2);
    ColorPanel* panel = ColorPanel::Shared();
    EXPECT_TRUE(panel->IsVisible());
    EXPECT_TRUE(panel->ShowsAlpha());
    EXPECT_TRUE(panel->IsContinuous());
    EXPECT_EQ(UMachPanel::ToLRGB(panel->Color()), colour);
    EXPECT_TRUE(log.calls.empty());

    panel->UserPickColor({0, 1, 0, 1});
    panel->UserPickColor({0, 0, 1, 0.5});
    ASSERT_EQ(log.calls.size(), 2u);
    EXPECT_EQ(log.calls[0].first, LRGB(0, 255, 0));
    EXPECT_EQ(log.calls[1].first, LRGB(0, 0, 255));
    EXPECT_EQ(log.calls[0].second, 2);
    EXPECT_EQ(log.calls[1].second, 2);

    // Another owner's close leaves the panel; the owner's close ends the reports.
    ColourLog other;
    UMachPanel::CloseColorPanel(&other, &ColourLog::Callback);
    EXPECT_TRUE(panel->IsVisible());
    UMachPanel::CloseColorPanel(&log, &ColourLog::Callback);
    EXPECT_FALSE(panel->IsVisible());
    EXPECT_EQ(UMachPanel::ColorTarget(), nullptr);
    panel->UserPickColor({1, 1, 1, 1});
    EXPECT_EQ(log.calls.size(), 2u);
}

TEST_F(UMachPanelTest, AModalColourChoiceClosedByItsCloseBoxReturnsTheColourAndZero) {
    testsupport::NestedLoopGuard guard;
    ColourLog log;
    LRGB colour(10, 20, 30);
    InModal user([&] {
        EXPECT_EQ(app->ModalWindow(), ColorPanel::Shared()->PanelWindow());
        ColorPanel::Shared()->UserPickColor({1, 0.5, 0, 1});
        ColorPanel::Shared()->UserClose();
    });
    EXPECT_EQ(UMachPanel::ChooseColor(true, colour, &log, &ColourLog::Callback, false, false), 0);
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(colour, LRGB(255, 128, 0));
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0].second, 2);
    EXPECT_FALSE(ColorPanel::Shared()->IsVisible());
    EXPECT_EQ(UMachPanel::ColorTarget(), nullptr);
    EXPECT_EQ(ColorPanel::Shared()->Delegate(), nullptr);
}

TEST_F(UMachPanelTest, ACallbackThatClosesTheModalPanelEndsTheRun) {
    testsupport::NestedLoopGuard guard;
    ColourLog log;
    log.closeInCallback = true;
    LRGB colour(0, 0, 0);
    InModal user([&] { ColorPanel::Shared()->UserPickColor({0, 0, 1, 1}); });
    EXPECT_EQ(UMachPanel::ChooseColor(true, colour, &log, &ColourLog::Callback, false, true), 0);
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(colour, LRGB(0, 0, 255));
}

TEST_F(UMachPanelTest, FontModesFollowTheOptions) {
    struct Case {
        uint32_t options;
        uint32_t modes;
    };
    const Case cases[] = {
        {0, 0xFFF000FC},
        {UMachPanel::kSizeOption, 0xFFF000FC + 2},
        {UMachPanel::kFaceOption, 0xFFF000FC + 1},
        {UMachPanel::kTextColorOption, 0xFFF000FC + 0x400},
        {UMachPanel::kSizeOption | UMachPanel::kFaceOption | UMachPanel::kTextColorOption, 0xFFF004FF},
    };
    FontLog log;
    for (const Case& c : cases) {
        SFontDesc d;
        ASSERT_EQ(UMachPanel::ChooseFont(false, d, &log, &FontLog::Callback, false, c.options), 2);
        ASSERT_NE(UMachPanel::FontTarget(), nullptr);
        EXPECT_EQ(UMachPanel::FontTarget()->ValidModesForFontPanel(), c.modes) << c.options;
        // The panel asked its target and shows that much.
        EXPECT_EQ(FontPanel::Shared()->Modes(), c.modes) << c.options;
        EXPECT_EQ(FontPanel::Shared()->ShowsPart(FontPanel::kSizePart), (c.options & 1) != 0);
        EXPECT_EQ(FontPanel::Shared()->ShowsPart(FontPanel::kFamilyPart), (c.options & 2) != 0);
        UMachPanel::CloseFontPanel(&log, &FontLog::Callback);
    }
}

TEST_F(UMachPanelTest, FontSizesNotAboveZeroMeanTheDefaultAndNamesFallBack) {
    ASSERT_TRUE(kFontsPinned);
    struct Case {
        const char* fontName;
        const char* family;
        float size;
        const char* shownFamily;
        double shownSize;
    };
    const Case cases[] = {
        {"", "DejaVu Serif", 20, "DejaVu Serif", 20},
        {"DejaVuSans-Bold", "ignored", 0, "DejaVu Sans", plat::Font::UserFontSize()},
        {"", "DejaVu Sans Mono", -4, "DejaVu Sans Mono", plat::Font::UserFontSize()},
        {"", "DejaVu Sans", std::nanf(""), "DejaVu Sans", plat::Font::UserFontSize()},
        // No installed font has the name: the user font.
        {"", "No Such Family", 30, "DejaVu Sans", plat::Font::UserFontSize()},
        {"", "", 0, "DejaVu Sans", plat::Font::UserFontSize()},
    };
    FontLog log;
    for (const Case& c : cases) {
        SFontDesc d;
        d.fontName = LString(c.fontName);
        d.familyName = LString(c.family);
        d.size = c.size;
        ASSERT_EQ(UMachPanel::ChooseFont(false, d, &log, &FontLog::Callback, false, 3), 2);
        const plat::Font* shown = plat::FontManager::Shared()->SelectedFont();
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->FamilyName(), c.shownFamily) << c.family;
        EXPECT_EQ(shown->Size(), c.shownSize) << c.family;
        EXPECT_EQ(FontPanel::Shared()->ShownSize(), c.shownSize) << c.family;
        UMachPanel::CloseFontPanel(&log, &FontLog::Callback);
    }
}

TEST_F(UMachPanelTest, TheResponderChainIsUnchangedAfterCloseFontPanel) {
    Bystander before;
    app->SetNextResponder(&before);
    FontLog log;
    SFontDesc d;
    d.familyName = LString("DejaVu Sans");
    d.size = 14;
    ASSERT_EQ(UMachPanel::ChooseFont(false, d, &log, &FontLog::Callback, false, 3), 2);
    EXPECT_EQ(app->NextResponder(), UMachPanel::FontTarget());
    // A second choice while the first is in place keeps what was there before both.
    ASSERT_EQ(UMachPanel::ChooseFont(false, d, &log, &FontLog::Callback, false, 3), 2);
    // Choices in the panel reach the target through the chain with code 2.
    ASSERT_TRUE(FontPanel::Shared()->UserPickFamily("DejaVu Serif"));
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.codes[0], 2);
    EXPECT_STREQ(log.calls[0].familyName.CStr(), "DejaVu Serif");
    EXPECT_EQ(log.calls[0].size, 14.0f);
    EXPECT_STREQ(log.calls[0].fontName.CStr(), "DejaVuSerif");
    // Another owner's close changes nothing.
    FontLog other;
    UMachPanel::CloseFontPanel(&other, &FontLog::Callback);
    EXPECT_EQ(app->NextResponder(), UMachPanel::FontTarget());
    UMachPanel::CloseFontPanel(&log, &FontLog::Callback);
    EXPECT_EQ(app->NextResponder(), &before);
    EXPECT_EQ(UMachPanel::FontTarget(), nullptr);
    EXPECT_FALSE(FontPanel::Shared()->IsVisible());

    // The close box gives the next responder back too, and a later close finds it in place.
    ASSERT_EQ(UMachPanel::ChooseFont(false, d, &log, &FontLog::Callback, false, 3), 2);
    FontPanel::Shared()->UserClose();
    EXPECT_EQ(app->NextResponder(), &before);
    EXPECT_FALSE(FontPanel::Shared()->IsVisible());
    UMachPanel::CloseFontPanel(&log, &FontLog::Callback);
    EXPECT_EQ(app->NextResponder(), &before);

    // A callback that closes the panel it is called from.
    log.closeInCallback = true;
    ASSERT_EQ(UMachPanel::ChooseFont(false, d, &log, &FontLog::Callback, false, 3), 2);
    ASSERT_TRUE(FontPanel::Shared()->UserSetSize(18));
    EXPECT_EQ(app->NextResponder(), &before);
    EXPECT_EQ(UMachPanel::FontTarget(), nullptr);
}

TEST_F(UMachPanelTest, AModalFontChoiceReturnsTheChosenFontAndZero) {
    testsupport::NestedLoopGuard guard;
    Bystander before;
    app->SetNextResponder(&before);
    FontLog log;
    SFontDesc d;
    d.familyName = LString("DejaVu Sans");
    d.size = 12;
    InModal user([&] {
        ASSERT_TRUE(FontPanel::Shared()->UserPickFace("DejaVuSans-Bold"));
        ASSERT_TRUE(FontPanel::Shared()->UserSetSize(30));
        FontPanel::Shared()->UserClose();
    });
    EXPECT_EQ(UMachPanel::ChooseFont(true, d, &log, &FontLog::Callback, false, 3), 0);
    EXPECT_FALSE(guard.Fired());
    EXPECT_STREQ(d.fontName.CStr(), "DejaVuSans-Bold");
    EXPECT_STREQ(d.familyName.CStr(), "DejaVu Sans");
    EXPECT_EQ(d.size, 30.0f);
    EXPECT_EQ(d.bold, 1);
    EXPECT_EQ(d.italic, 0);
    EXPECT_EQ(log.codes, (std::vector<int32_t>{2, 2}));
    EXPECT_EQ(app->NextResponder(), &before);
    EXPECT_EQ(UMachPanel::FontTarget(), nullptr);
}

struct Heard {
    std::vector<std::string> names;
    plat::Ref<MObserver>* drop = nullptr;
    static void Callback(void* ref, const char* name, const void*) {
        auto* h = static_cast<Heard*>(ref);
        h->names.push_back(name);
        if (h->drop) *h->drop = nullptr;  // the last reference goes inside the callback
    }
};

TEST(MObserverTest, PassesObservedNotificationsToItsFunctionUntilItGoes) {
    Heard heard;
    int sender = 0;
    plat::Ref<MObserver> observer = MObserver::Create(&heard, &Heard::Callback);
    observer->Observe("One", &sender);
    observer->Observe("Two", nullptr);
    auto& centre = plat::NotificationCenter::Default();
    centre.Post("One", &sender);
    centre.Post("One", nullptr);  // another object
    centre.Post("Two", nullptr);
    centre.Post("Three", nullptr);
    EXPECT_EQ(heard.names, (std::vector<std::string>{"One", "Two"}));
    heard.drop = &observer;
    centre.Post("Two", nullptr);
    EXPECT_EQ(observer, nullptr);
    centre.Post("Two", nullptr);
    EXPECT_EQ(heard.names.size(), 3u);
}

}  // namespace
