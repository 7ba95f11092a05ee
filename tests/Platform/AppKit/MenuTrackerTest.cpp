#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/MenuDrawing.h"
#include "Platform/AppKit/MenuStrip.h"
#include "Platform/AppKit/MenuTracker.h"
#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/MenuPixels.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

using plat::Menu;
using plat::MenuItem;
using plat::Ref;
using plat::headless::HeadlessBackend;

struct Target : plat::MenuTarget {
    std::vector<std::string> performed;
    bool RespondsToAction(const char*) const override { return true; }
    void PerformAction(const char* action, MenuItem*) override { performed.push_back(action); }
};

constexpr const char* kDown = "\xEF\x9C\x81";
constexpr const char* kUp = "\xEF\x9C\x80";
constexpr const char* kRight = "\xEF\x9C\x83";
constexpr const char* kLeft = "\xEF\x9C\x82";

class MenuTrackerTest : public ::testing::Test {
protected:
    MenuTrackerTest() {
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        plat::Application::Shared()->Activate();
        menu = Menu::Create("File");
        open = Add(menu.get(), "Open", "open:", "o");
        menu->AddItem(Ref<MenuItem>(MenuItem::Separator()).get());
        disabled = Add(menu.get(), "Disabled", "disabled:", "");
        disabled->SetEnabled(false);
        more = Add(menu.get(), "More", "", "");
        Ref<Menu> sub = Menu::Create("More");
        deep = Add(sub.get(), "Deep", "deep:", "");
        menu->SetSubmenu(sub.get(), more);
        last = Add(menu.get(), "Last", "last:", "");
    }
    ~MenuTrackerTest() override { plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask); }

    MenuItem* Add(Menu* m, const char* title, const char* action, const char* key) {
        Ref<MenuItem> item = MenuItem::Create(title, action, key);
        item->SetTarget(&target);
        m->AddItem(item.get());
        return item.get();
    }
    void Key(const char* chars) {
        screens.Backend().Inject(HeadlessBackend::KeyEvent(plat::EventType::kKeyDown, nullptr, chars, 0));
    }
    void Mouse(plat::EventType type, plat::Point screen) {
        screens.Backend().Inject(HeadlessBackend::MouseEvent(type, nullptr, screen));
    }

    testsupport::HeadlessScreens screens;
    Target target;
    Ref<Menu> menu;
    MenuItem *open, *disabled, *more, *deep, *last;
};

TEST_F(MenuTrackerTest, ArrowsSkipWhatCannotBeChosenAndSubmenusCascade) {
    testsupport::NestedLoopGuard guard;
    for (const char* k : {kDown, kDown, kUp, kDown, kRight, "\r"}) Key(k);
    Ref<MenuItem> chosen = menu->PopUp(nullptr, {100, 100}, nullptr);
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(chosen.get(), deep);
    EXPECT_EQ(target.performed, std::vector<std::string>{"deep:"});
    EXPECT_FALSE(plat::MenuTracker::IsTracking());

    for (const char* k : {kDown, kDown, kDown, " "}) Key(k);  // Open, More, Last (wrapping)
    EXPECT_EQ(menu->PopUp(nullptr, {100, 100}, nullptr).get(), last);
    for (const char* k : {kDown, kDown, kRight, kLeft, kDown, "\r"}) Key(k);
    EXPECT_EQ(menu->PopUp(nullptr, {100, 100}, nullptr).get(), last);
    EXPECT_FALSE(guard.Fired());
}

TEST_F(MenuTrackerTest, DismissalsChooseNothing) {
    testsupport::NestedLoopGuard guard;
    Key("\x1b");
    EXPECT_EQ(menu->PopUp(nullptr, {100, 100}, nullptr), nullptr);
    Mouse(plat::EventType::kLeftMouseDown, {900, 700});
    EXPECT_EQ(menu->PopUp(nullptr, {100, 100}, nullptr), nullptr);
    // Return on nothing highlighted, or on a disabled row, chooses nothing either.
    Key("\r");
    Mouse(plat::EventType::kLeftMouseUp, {110, 100 + 1 + 20 + 7 + 10});  // the disabled row
    Key("\x1b");
    EXPECT_EQ(menu->PopUp(nullptr, {100, 100}, nullptr), nullptr);
    EXPECT_TRUE(target.performed.empty());
    EXPECT_FALSE(guard.Fired());
    // Deactivation ends tracking.
    plat::Application::Shared()->Deactivate();
    EXPECT_EQ(menu->PopUp(nullptr, {100, 100}, nullptr), nullptr);
    plat::Application::Shared()->Activate();
}

TEST_F(MenuTrackerTest, ClicksChooseAndThePositionedItemLiesUnderThePoint) {
    testsupport::NestedLoopGuard guard;
    Mouse(plat::EventType::kLeftMouseDown, {110, 110});
    Mouse(plat::EventType::kLeftMouseUp, {110, 110});
    EXPECT_EQ(menu->PopUp(nullptr, {100, 100}, nullptr).get(), open);
    // A release where the menu opened, before any move or press, is not a choice.
    Mouse(plat::EventType::kRightMouseUp, {300, 300});
    Key("\x1b");
    EXPECT_EQ(menu->PopUp(last, {300, 300}, nullptr), nullptr);
    plat::Rect where;
    testsupport::RunLater probe(0.02, [&] {
        where = plat::MenuTracker::OpenWindow(0)->ContentRect();
        Key("\x1b");
    });
    (void)menu->PopUp(last, {300, 300}, nullptr);
    ASSERT_TRUE(probe.Ran());
    plat::MenuLayout layout(menu.get());
    EXPECT_DOUBLE_EQ(where.y + layout.Rows()[4].y, 300);
    EXPECT_FALSE(guard.Fired());
}

TEST_F(MenuTrackerTest, DisabledItemsDrawDimmer) {
    testsupport::NestedLoopGuard guard;
    int enabledInk = 255, disabledInk = 255, windows = 0;
    testsupport::RunLater probe(0.02, [&] {
        windows = plat::MenuTracker::OpenWindowCount();
        plat::Window* w = plat::MenuTracker::OpenWindow(0);
        plat::MenuLayout layout(menu.get());
        plat::DrawContext* ctx = w->BackingStore();
        enabledInk = testsupport::DarkestIn(ctx, layout.Rows()[0]);
        disabledInk = testsupport::DarkestIn(ctx, layout.Rows()[2]);
        EXPECT_EQ(w->Level(), plat::kPopUpMenuWindowLevel);
        Key("\x1b");
    });
    (void)menu->PopUp(nullptr, {100, 100}, nullptr);
    ASSERT_TRUE(probe.Ran());
    EXPECT_EQ(windows, 1);
    EXPECT_LT(enabledInk, 80);
    EXPECT_GT(disabledInk, enabledInk + 60);
    EXPECT_FALSE(guard.Fired());
}

TEST(MenuTextTest, KeysTheLinuxWayAndAnyUtf8) {
    Ref<MenuItem> item = MenuItem::Create("x", "x:", "k");
    EXPECT_EQ(plat::MenuKeyText(*item), "Ctrl+K");
    item->SetKeyEquivalentModifierMask(plat::kCommandKeyMask | plat::kShiftKeyMask | plat::kAlternateKeyMask |
                                       plat::kControlKeyMask);
    EXPECT_EQ(plat::MenuKeyText(*item), "Ctrl+Shift+Alt+Super+K");
    item->SetKeyEquivalent(" ");
    item->SetKeyEquivalentModifierMask(plat::kShiftKeyMask);
    EXPECT_EQ(plat::MenuKeyText(*item), "Shift+Space");
    item->SetKeyEquivalent("");
    EXPECT_EQ(plat::MenuKeyText(*item), "");
    EXPECT_EQ(plat::MenuSafeText("a\xff"
                                 "b\xc3"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    EXPECT_EQ(plat::MenuSafeText("\xed\xa0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // a surrogate
    EXPECT_EQ(plat::MenuSafeText("\xc3\xa9\xe2\x82\xac"), "\xc3\xa9\xe2\x82\xac");
}

TEST_F(MenuTrackerTest, TheStripShowsTitlesAndOpensMenusUnderThem) {
    Ref<Menu> bar = Menu::Create("");
    for (Menu* m : {menu.get()}) {
        Ref<MenuItem> holder = MenuItem::Create("File", "", "");
        bar->AddItem(holder.get());
        bar->SetSubmenu(m, holder.get());
    }
    plat::Application* app = plat::Application::Shared();
    app->SetMainMenu(bar.get());
    Ref<plat::Window> w = plat::Window::Create({200, 200, 300, 150}, plat::kTitledWindowMask);
    const plat::Rect content = w->ContentRect();
    w->SetHasMenuStrip(true);
    EXPECT_EQ(w->ContentRect().y, content.y);
    EXPECT_DOUBLE_EQ(w->Frame().height, 150 + plat::kTitleBarHeight + plat::kMenuStripHeight);
    w->MakeKeyAndOrderFront();
    plat::MenuStrip* strip = w->Strip();
    ASSERT_NE(strip, nullptr);
    const plat::Rect title = strip->TitleRect(0);
    EXPECT_LT(testsupport::DarkestIn(strip->Image(), {title.x, 0, title.width, plat::kMenuStripHeight}), 80);

    int began = 0;
    plat::NotificationCenter::Default().AddObserver(
        &began, [](const char*, const void*, void* n) { ++*static_cast<int*>(n); },
        plat::kMenuDidBeginTrackingNotification, bar.get());
    testsupport::NestedLoopGuard guard;
    plat::Rect popup;
    int highlight = -1;
    testsupport::RunLater probe(0.02, [&] {
        popup = plat::MenuTracker::OpenWindow(0)->ContentRect();
        highlight = strip->Highlight();
        Key(kDown);
        Key("\r");
    });
    screens.Backend().Inject(
        HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseDown, w.get(), {title.x + 5, title.y + 5}));
    screens.Backend().Inject(
        HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseUp, w.get(), {title.x + 5, title.y + 5}));
    plat::Event e;
    while (app->NextEvent(plat::kAnyEventMask, 0, plat::kRunLoopDefaultMode, true, &e)) app->SendEvent(e);
    ASSERT_TRUE(probe.Ran());
    EXPECT_EQ(began, 1);
    EXPECT_EQ(highlight, 0);
    EXPECT_DOUBLE_EQ(popup.x, content.x + title.x);
    EXPECT_DOUBLE_EQ(popup.y, content.y);
    EXPECT_EQ(target.performed, std::vector<std::string>{"open:"});
    EXPECT_EQ(strip->Highlight(), -1);

    // F10 opens the first menu with its first item highlighted.
    target.performed.clear();
    screens.Backend().Inject(
        HeadlessBackend::KeyEvent(plat::EventType::kKeyDown, w.get(), "\xEF\x9C\x8D", 0));
    Key("\r");
    while (app->NextEvent(plat::kAnyEventMask, 0, plat::kRunLoopDefaultMode, true, &e)) app->SendEvent(e);
    EXPECT_EQ(target.performed, std::vector<std::string>{"open:"});
    EXPECT_FALSE(guard.Fired());
    plat::NotificationCenter::Default().RemoveObserver(&began);
    app->SetMainMenu(nullptr);
    w->Close();
}

}  // namespace
