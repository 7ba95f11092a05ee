#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "tests/support/HeadlessScreens.h"

namespace {

using plat::Application;
using plat::EventType;
using plat::Rect;
using plat::View;
using plat::Window;
using plat::headless::HeadlessBackend;

struct Log : plat::WindowDelegate {
    std::vector<std::string>* out;
    std::string name;
    Log(std::vector<std::string>* o, std::string n) : out(o), name(std::move(n)) {}
    void WindowDidBecomeKey(Window*) override { out->push_back(name + " key"); }
    void WindowDidResignKey(Window*) override { out->push_back(name + " unkey"); }
    void WindowDidBecomeMain(Window*) override { out->push_back(name + " main"); }
    void WindowDidResignMain(Window*) override { out->push_back(name + " unmain"); }
};

// Releases every window it made.
class WindowTest : public ::testing::Test {
protected:
    ~WindowTest() override {
        for (const plat::Ref<Window>& w : windows) w->Close();
    }
    Window* Make(uint32_t style, int32_t level = 0, bool panel = false) {
        plat::Ref<Window> w = panel ? Window::CreatePanel({100, 100, 200, 150}, style)
                                    : Window::Create({100, 100, 200, 150}, style);
        w->SetLevel(level);
        windows.push_back(w);
        return w.get();
    }
    static std::vector<int64_t> Numbers(std::initializer_list<Window*> ws) {
        std::vector<int64_t> n;
        for (Window* w : ws) n.push_back(w->Number());
        return n;
    }

    testsupport::HeadlessScreens screens;
    std::vector<plat::Ref<Window>> windows;
};

TEST_F(WindowTest, FrameAddsTheTitleBarAboveTheContent) {
    struct Case {
        uint32_t style;
        double bar;
    } cases[] = {{plat::kTitledWindowMask, plat::kTitleBarHeight},
                 {plat::kTitledWindowMask | plat::kUtilityWindowMask, plat::kUtilityTitleBarHeight},
                 {plat::kBorderlessWindowMask, 0}};
    for (const Case& c : cases) {
        Window* w = Make(c.style);
        EXPECT_EQ(w->ContentRect(), (Rect{100, 100, 200, 150}));
        EXPECT_EQ(w->Frame(), (Rect{100, 100 - c.bar, 200, 150 + c.bar}));
        EXPECT_EQ(w->ConvertToScreen({5, 6}), (plat::Point{105, 106}));
    }
}

TEST_F(WindowTest, OrderFollowsLevelsThenRecency) {
    Application* app = Application::Shared();
    Window* a = Make(plat::kTitledWindowMask);
    Window* b = Make(plat::kTitledWindowMask);
    Window* floating = Make(plat::kTitledWindowMask, plat::kFloatingWindowLevel);
    floating->OrderFront();
    a->OrderFront();
    b->OrderFront();
    EXPECT_EQ(app->WindowNumbers(), Numbers({floating, b, a}));
    a->OrderWindow(plat::WindowOrder::kBelow, floating->Number());
    EXPECT_EQ(app->WindowNumbers(), Numbers({floating, a, b}));
    b->OrderOut();
    EXPECT_FALSE(b->IsVisible());
    EXPECT_EQ(app->WindowNumbers(), Numbers({floating, a}));
    app->Hide();
    EXPECT_TRUE(app->WindowNumbers().empty());
    app->Unhide();
}

TEST_F(WindowTest, KeyAndMainMoveWithOrderingAndClosing) {
    std::vector<std::string> log;
    Log la(&log, "a"), lb(&log, "b"), lp(&log, "p");
    Window* a = Make(plat::kTitledWindowMask);
    Window* b = Make(plat::kTitledWindowMask);
    Window* panel = Make(plat::kTitledWindowMask | plat::kUtilityWindowMask, 3, true);
    Window* bare = Make(plat::kBorderlessWindowMask);
    a->SetDelegate(&la);
    b->SetDelegate(&lb);
    panel->SetDelegate(&lp);
    a->MakeKeyAndOrderFront();
    b->MakeKeyAndOrderFront();
    panel->MakeKeyAndOrderFront();  // key, but a panel never becomes main
    bare->MakeKeyAndOrderFront();   // borderless windows take no keys
    EXPECT_TRUE(panel->IsKeyWindow());
    EXPECT_TRUE(b->IsMainWindow());
    panel->Close();  // the key goes back to the main window
    EXPECT_TRUE(b->IsKeyWindow());
    b->Close();
    EXPECT_TRUE(a->IsKeyWindow());
    EXPECT_TRUE(a->IsMainWindow());
    EXPECT_EQ(log, (std::vector<std::string>{"a key", "a main", "a unkey", "b key", "a unmain", "b main",
                                             "b unkey", "p key", "p unkey", "b key", "b unkey", "b unmain",
                                             "a main", "a key"}));
    for (Window* w : {a, b, panel}) w->SetDelegate(nullptr);
}

struct Probe : View {
    explicit Probe(const Rect& r) : View(r) {}
    std::vector<std::string> got;
    void MouseDown(const plat::Event&) override { got.push_back("down"); }
    bool AcceptsFirstMouse(const plat::Event&) override { return true; }
    void ScrollWheel(const plat::Event& e) override {
        got.push_back("wheel " + std::to_string(int(e.deltaY)));
    }
    void KeyDown(const plat::Event& e) override { got.push_back("key " + e.characters); }
};

TEST_F(WindowTest, EventsReachTheViewUnderTheMouseAndModalSessionsDropForeignClicks) {
    Application* app = Application::Shared();
    HeadlessBackend& hb = screens.Backend();
    Window* w = Make(plat::kTitledWindowMask);
    Window* dialog = Make(plat::kTitledWindowMask);
    plat::Ref<Probe> content = plat::Adopt(new Probe({0, 0, 1, 1}));
    plat::Ref<Probe> child = plat::Adopt(new Probe({10, 10, 20, 20}));
    content->AddSubview(child.get());
    w->SetContentView(content.get());
    EXPECT_EQ(content->Frame(), (Rect{0, 0, 200, 150}));
    w->OrderFront();

    app->SendEvent(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, w, {15, 15}));
    app->SendEvent(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, w, {50, 50}));
    app->SendEvent(HeadlessBackend::WheelEvent(w, {12, 12}, 0, 3, false));
    app->SendEvent(HeadlessBackend::KeyEvent(EventType::kKeyDown, w, "x", 7));
    EXPECT_TRUE(w->IsKeyWindow());  // the click made it key
    EXPECT_EQ(child->got, (std::vector<std::string>{"down", "wheel 3"}));
    EXPECT_EQ(content->got, (std::vector<std::string>{"down", "key x"}));

    w->SetIgnoresMouseEvents(true);
    app->SendEvent(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, w, {50, 50}));
    EXPECT_EQ(content->got.size(), 2u);
    w->SetIgnoresMouseEvents(false);

    Application::ModalSession* s = app->BeginModalSession(dialog);
    EXPECT_TRUE(dialog->IsKeyWindow());
    uint32_t beeps = hb.Beeps();
    hb.Inject(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, w, {50, 50}));
    EXPECT_EQ(app->RunModalSession(s), Application::kRunContinuesResponse);
    EXPECT_EQ(content->got.size(), 2u);
    EXPECT_EQ(hb.Beeps(), beeps + 1);
    app->EndModalSession(s);
}

TEST_F(WindowTest, NeedsDisplayDrawsOnceOnDisplay) {
    Window* w = Make(plat::kTitledWindowMask);
    plat::Ref<View> v = View::Create({0, 0, 1, 1});
    int draws = 0;
    Rect last;
    struct Ctx {
        int* draws;
        Rect* last;
    } ctx{&draws, &last};
    v->SetDrawCallback(
        [](View*, const Rect& r, void* c) {
            ++*static_cast<Ctx*>(c)->draws;
            *static_cast<Ctx*>(c)->last = r;
        },
        &ctx);
    w->SetContentView(v.get());
    w->OrderFront();
    w->Display();
    EXPECT_EQ(draws, 1);
    v->SetNeedsDisplayInRect({10, 10, 5, 5});
    v->SetNeedsDisplayInRect({300, 300, 5, 5});  // outside: clipped away
    w->Display();
    w->Display();
    EXPECT_EQ(draws, 2);
    EXPECT_EQ(last, (Rect{10, 10, 5, 5}));
    v = nullptr;
}

// A view drawn over what lies beneath it: asking it to draw draws the area from the top view
// down, that view last. An opaque view draws alone (with its subviews).
TEST_F(WindowTest, AskingATransparentViewToDrawDrawsWhatLiesBeneathFirst) {
    struct Transparent : View {
        Transparent() : View({5, 5, 10, 10}) {}
        bool IsOpaque() const override { return false; }
    };
    Window* w = Make(plat::kTitledWindowMask);
    plat::Ref<View> content = View::Create({0, 0, 1, 1});
    plat::Ref<View> box = View::Create({20, 10, 60, 50});
    plat::Ref<View> label = plat::Adopt(new Transparent);
    plat::Ref<View> other = View::Create({100, 30, 20, 20});
    std::vector<std::pair<View*, Rect>> drawn;
    const auto record = [](View* v, const Rect& r, void* c) {
        static_cast<std::vector<std::pair<View*, Rect>>*>(c)->push_back({v, r});
    };
    for (View* v : {content.get(), box.get(), label.get(), other.get()}) v->SetDrawCallback(record, &drawn);
    box->AddSubview(label.get());
    content->AddSubview(box.get());
    content->AddSubview(other.get());
    w->SetContentView(content.get());
    w->OrderFront();
    w->Display();

    struct Case {
        const char* name;
        View* asked;
        Rect area;
        std::vector<std::pair<View*, Rect>> drawn;  // in order, each in its own coordinates
    };
    const Case cases[] = {
        {"label",
         label.get(),
         {1, 1, 4, 4},
         {{content.get(), {26, 16, 4, 4}}, {box.get(), {6, 6, 4, 4}}, {label.get(), {1, 1, 4, 4}}}},
        {"box", box.get(), {0, 0, 60, 50}, {{box.get(), {0, 0, 60, 50}}, {label.get(), {0, 0, 10, 10}}}},
        {"other", other.get(), {2, 2, 3, 3}, {{other.get(), {2, 2, 3, 3}}}},
    };
    for (const Case& c : cases) {
        drawn.clear();
        c.asked->SetNeedsDisplayInRect(c.area);
        EXPECT_FALSE(w->Damage().IsEmpty()) << c.name;
        w->Display();
        EXPECT_EQ(drawn, c.drawn) << c.name;
    }
}

#ifndef NDEBUG
// Main-thread-only classes stop a debug build that calls them from another thread.
TEST(MainThreadOnly, EntryPointsStopOtherThreads) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* off = "called off the main thread";
    EXPECT_DEATH(std::thread([] { Window::Create({0, 0, 10, 10}, 0); }).join(), off);
    EXPECT_DEATH(std::thread([] { plat::Menu::Create("menu"); }).join(), off);
    EXPECT_DEATH(std::thread([] { plat::NotificationCenter::Default().Post("note", nullptr); }).join(), off);
    EXPECT_DEATH(std::thread([] { Application::Shared()->UpdateWindows(); }).join(), off);
}
#endif

}  // namespace
