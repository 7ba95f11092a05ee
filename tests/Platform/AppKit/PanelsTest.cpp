#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/ColorPanel.h"
#include "Platform/AppKit/FontManager.h"
#include "Platform/AppKit/FontPanel.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/FontCatalog.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

using plat::Application;
using plat::ColorPanel;
using plat::EventType;
using plat::FontManager;
using plat::FontPanel;
using plat::GfxColor;
using plat::MenuItem;
using plat::MenuTarget;
using plat::Ref;
using plat::View;
using plat::Window;
using plat::headless::HeadlessBackend;

// A responder that records the actions it takes (only the one it answers for).
struct Taker : MenuTarget {
    Taker(std::string n, std::string a, std::vector<std::string>* l)
        : name(std::move(n)), answers(std::move(a)), log(l) {}
    std::string name;
    std::string answers;
    std::vector<std::string>* log;
    int validate = 1;
    uint32_t modes = plat::kFontPanelAllModesMask;
    bool RespondsToAction(const char* action) const override { return action && answers == action; }
    void PerformAction(const char* action, MenuItem*) override { log->push_back(name + " " + action); }
    int ValidateMenuItem(const MenuItem*) override { return validate; }
    uint32_t ValidModesForFontPanel() const override { return modes; }
};

// A view that answers one action.
class RespondingView : public View {
public:
    static Ref<RespondingView> Create(const plat::Rect& r, std::string name, std::vector<std::string>* log) {
        Ref<RespondingView> v = plat::Adopt(new RespondingView(r));
        v->fName = std::move(name);
        v->fLog = log;
        return v;
    }
    std::string answers;
    bool RespondsToAction(const char* action) const override { return action && answers == action; }
    void PerformAction(const char* action, MenuItem*) override { fLog->push_back(fName + " " + action); }

private:
    explicit RespondingView(const plat::Rect& r) : View(r) {}
    std::string fName;
    std::vector<std::string>* fLog = nullptr;
};

struct DelegateTaker : plat::WindowDelegate {
    std::string answers;
    std::vector<std::string>* log;
    int closes = 0;
    bool RespondsToAction(const char* action) const override { return action && answers == action; }
    void PerformAction(const char* action, MenuItem*) override {
        log->push_back(std::string("window ") + action);
    }
    void WindowWillClose(Window*) override { ++closes; }
};

struct AppTaker : plat::ApplicationDelegate {
    std::string answers;
    std::vector<std::string>* log;
    bool RespondsToAction(const char* action) const override { return action && answers == action; }
    void PerformAction(const char* action, MenuItem*) override {
        log->push_back(std::string("app ") + action);
    }
};

class PanelsTest : public ::testing::Test {
protected:
    PanelsTest() {
        app->DiscardEvents(plat::kAnyEventMask);
        app->Activate();
    }
    ~PanelsTest() override {
        app->SetNextResponder(nullptr);
        app->SetDelegate(nullptr);
        if (ColorPanel::SharedExists()) {
            ColorPanel::Shared()->SetTarget(nullptr);
            ColorPanel::Shared()->SetDelegate(nullptr);
            ColorPanel::Shared()->OrderOut();
        }
        if (FontPanel::SharedExists()) {
            FontPanel::Shared()->SetDelegate(nullptr);
            FontPanel::Shared()->OrderOut();
        }
        if (FontManager::SharedExists()) FontManager::Shared()->SetTarget(nullptr);
        app->DiscardEvents(plat::kAnyEventMask);
    }
    // Runs the function once, from a timer in the modal-panel mode, after the delay.
    struct Later {
        std::function<void()> fn;
        Ref<plat::RunLoopTimer> timer;
        Later(double delay, std::function<void()> f) : fn(std::move(f)) {
            timer = plat::RunLoopTimer::Create(plat::ClockNow() + delay, 0, &Fire, this);
            EXPECT_TRUE(plat::RunLoop::Main()->AddTimer(timer.get(), plat::kModalPanelRunLoopMode));
        }
        ~Later() { timer->Invalidate(); }
        static void Fire(plat::RunLoopTimer* t, void* self) {
            t->Invalidate();  // a nested run would fire it again
            static_cast<Later*>(self)->fn();
        }
    };

    testsupport::HeadlessScreens screens;
    Application* app = Application::Shared();
};

TEST_F(PanelsTest, ModalRunsEndWithTheirStopCodeAndNestInnermostFirst) {
    Ref<Window> outer = Window::Create({100, 100, 200, 100}, plat::kTitledWindowMask);
    Ref<Window> inner = Window::Create({150, 150, 200, 100}, plat::kTitledWindowMask);
    testsupport::NestedLoopGuard guard;
    int32_t innerCode = 0;
    Later start(0.01, [&] {
        Later stopInner(0.01, [&] { app->StopModalWithCode(7); });
        innerCode = app->RunModalForWindow(inner.get());
        EXPECT_EQ(app->ModalWindow(), outer.get());
        app->StopModal();
    });
    EXPECT_EQ(app->RunModalForWindow(outer.get()), Application::kRunStoppedResponse);
    EXPECT_EQ(innerCode, 7);
    EXPECT_EQ(app->ModalWindow(), nullptr);
    EXPECT_FALSE(guard.Fired());
    // Outside a modal run a stop does nothing, and the next run is not ended by it.
    app->StopModalWithCode(3);
    Later stop(0.01, [&] { app->StopModalWithCode(4); });
    EXPECT_EQ(app->RunModalForWindow(outer.get()), 4);
    outer->Close();
    inner->Close();
}

TEST_F(PanelsTest, AStopFromAnotherThreadEndsTheRunWithinASecond) {
    Ref<Window> w = Window::Create({100, 100, 200, 100}, plat::kTitledWindowMask);
    testsupport::NestedLoopGuard guard(5);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        app->StopModalWithCode(12);
    });
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(app->RunModalForWindow(w.get()), 12);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
    EXPECT_FALSE(guard.Fired());
    w->Close();
}

TEST_F(PanelsTest, ATerminationRequestAbortsTheModalRunAndStaysPending) {
    Ref<Window> w = Window::Create({100, 100, 200, 100}, plat::kTitledWindowMask);
    Later quit(0.01, [&] { app->Terminate(); });
    EXPECT_EQ(app->RunModalForWindow(w.get()), Application::kRunAbortedResponse);
    EXPECT_TRUE(app->TerminationRequested());
    app->WithdrawTermination();
    w->Close();
}

// Who takes a target-less action: the first responder, its superviews, the key window's delegate,
// the next responder, the application's delegate, in that order.
TEST_F(PanelsTest, TargetlessActionsTravelTheResponderChain) {
    struct Case {
        const char* responders;  // which of f(irst), s(uperview), w(indow delegate), n(ext), a(pp) answer
        const char* expected;
    };
    const Case cases[] = {
        {"fswna", "first act:"}, {"swna", "super act:"}, {"wna", "window act:"},
        {"na", "next act:"},     {"a", "app act:"},      {"", ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> log;
        const std::string r = c.responders;
        auto has = [&](char k) { return r.find(k) != std::string::npos ? "act:" : ""; };
        Ref<Window> w = Window::Create({100, 100, 300, 200}, plat::kTitledWindowMask);
        Ref<RespondingView> content = RespondingView::Create({0, 0, 300, 200}, "super", &log);
        Ref<RespondingView> first = RespondingView::Create({10, 10, 50, 20}, "first", &log);
        content->answers = has('s');
        first->answers = has('f');
        w->SetContentView(content.get());
        content->AddSubview(first.get());
        DelegateTaker wd;
        wd.answers = has('w');
        wd.log = &log;
        w->SetDelegate(&wd);
        Taker next{"next", has('n'), &log};
        AppTaker ad;
        ad.answers = has('a');
        ad.log = &log;
        app->SetDelegate(&ad);
        app->SetNextResponder(&next);
        w->MakeKeyAndOrderFront();
        ASSERT_TRUE(w->MakeFirstResponder(first.get()));

        const bool sent = app->SendAction("act:", nullptr, nullptr);
        EXPECT_EQ(sent, *c.expected != 0) << c.responders;
        EXPECT_EQ(log, *c.expected ? std::vector<std::string>{c.expected} : std::vector<std::string>{})
            << c.responders;
        // A menu item without a target goes the same way, and is validated by whoever takes it.
        log.clear();
        Ref<plat::Menu> menu = plat::Menu::Create("m");
        Ref<MenuItem> item = MenuItem::Create("Act", "act:", "");
        menu->AddItem(item.get());
        menu->PerformActionForItemAtIndex(0);
        EXPECT_EQ(log.size(), *c.expected ? 1u : 0u) << c.responders;
        EXPECT_EQ(app->RespondsToAction("act:"), *c.expected != 0);
        w->SetDelegate(nullptr);
        w->Close();
        app->SetNextResponder(nullptr);
        app->SetDelegate(nullptr);
    }
}

TEST_F(PanelsTest, MenuValidationAsksTheTakerAndAnExplicitTargetIsNotBypassed) {
    std::vector<std::string> log;
    Taker next{"next", "act:", &log};
    next.validate = 0;
    app->SetNextResponder(&next);
    Ref<MenuItem> item = MenuItem::Create("Act", "act:", "");
    EXPECT_EQ(app->ValidateMenuItem(item.get()), 0);
    next.validate = 1;
    EXPECT_EQ(app->ValidateMenuItem(item.get()), 1);
    // "terminate:" still ends with the application.
    Ref<MenuItem> quit = MenuItem::Create("Quit", plat::kTerminateAction, "");
    EXPECT_EQ(app->TargetForAction(plat::kTerminateAction), app);
    // A target that does not answer is not replaced by the chain.
    Taker other{"other", "else:", &log};
    EXPECT_FALSE(app->SendAction("act:", &other, nullptr));
    EXPECT_TRUE(log.empty());
    // The application cannot be its own next responder (no endless chain).
    app->SetNextResponder(app);
    EXPECT_EQ(app->NextResponder(), nullptr);
}

// The colour panel -------------------------------------------------------------------------------

struct ColourTaker : MenuTarget {
    std::vector<GfxColor> seen;
    bool RespondsToAction(const char* action) const override { return std::string(action) == "changeColor:"; }
    void PerformAction(const char*, MenuItem*) override { seen.push_back(ColorPanel::Shared()->Color()); }
};

TEST_F(PanelsTest, ColourPanelSendsChangeColorForEachSliderStepWhenContinuous) {
    ColorPanel* panel = ColorPanel::Shared();
    EXPECT_TRUE(panel->PanelWindow()->IsFloatingPanel());
    ColourTaker taker;
    panel->SetTarget(&taker);
    panel->SetShowsAlpha(true);
    panel->SetColor({0, 0, 0, 1});
    panel->OrderFront();
    ASSERT_TRUE(panel->IsVisible());
    Window* w = panel->PanelWindow();
    plat::Control* red = panel->Slider(ColorPanel::kRed);
    const plat::Rect f = red->Frame();
    const double left = f.x + red->KnobRect().width / 2, travel = f.width - red->KnobRect().width;
    auto drag = [&] {
        testsupport::NestedLoopGuard guard;
        screens.Backend().Inject(HeadlessBackend::MouseEvent(EventType::kLeftMouseDragged, w,
                                                             {left + travel, f.y + f.height / 2}));
        screens.Backend().Inject(
            HeadlessBackend::MouseEvent(EventType::kLeftMouseUp, w, {left + travel, f.y + f.height / 2}));
        app->SendEvent(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, w,
                                                   {left + travel / 2, f.y + f.height / 2}));
        EXPECT_FALSE(guard.Fired());
    };
    panel->SetContinuous(true);
    drag();
    ASSERT_EQ(taker.seen.size(), 2u);
    EXPECT_NEAR(taker.seen[0].red, 0.5, 0.01);
    EXPECT_EQ(taker.seen[1].red, 1.0);
    EXPECT_EQ(panel->HexField()->StringValue(), "FF0000FF");

    // Not continuous: one action when the slider is let go.
    taker.seen.clear();
    panel->SetColor({0, 0, 0, 1});
    panel->SetContinuous(false);
    drag();
    ASSERT_EQ(taker.seen.size(), 1u);
    EXPECT_EQ(taker.seen[0].red, 1.0);
    panel->SetContinuous(true);
}

TEST_F(PanelsTest, ColourPanelHexFieldAlphaAndClose) {
    struct Case {
        const char* text;
        bool ok;
        GfxColor colour;
    };
    const Case cases[] = {
        {"FF8000", true, {1, 128 / 255.0, 0, 1}},
        {"#00ff0080", true, {0, 1, 0, 128 / 255.0}},
        {" 0000FF ", true, {0, 0, 1, 1}},
        {"F80", false, {}},
        {"GG0000", false, {}},
        {"#1234567", false, {}},
        {"", false, {}},
        {"##FF0000", false, {}},
    };
    for (const Case& c : cases) {
        GfxColor got{9, 9, 9, 9};
        EXPECT_EQ(ColorPanel::ParseHex(c.text, got), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_NEAR(got.red, c.colour.red, 1e-9) << c.text;
        EXPECT_NEAR(got.green, c.colour.green, 1e-9) << c.text;
        EXPECT_NEAR(got.blue, c.colour.blue, 1e-9) << c.text;
        EXPECT_NEAR(got.alpha, c.colour.alpha, 1e-9) << c.text;
    }

    ColorPanel* panel = ColorPanel::Shared();
    ColourTaker taker;
    panel->SetTarget(&taker);
    panel->SetShowsAlpha(true);
    panel->SetColor({0.2, 0.4, 0.6, 0.5});
    // Typed hex that is malformed is put back; good hex sets the colour and sends.
    panel->HexField()->SetStringValue("nonsense");
    panel->ControlTextDidEndEditing(panel->HexField());
    EXPECT_TRUE(taker.seen.empty());
    EXPECT_EQ(panel->HexField()->StringValue(),
              "336699"
              "80");
    panel->HexField()->SetStringValue("#102030");
    panel->ControlTextDidEndEditing(panel->HexField());
    ASSERT_EQ(taker.seen.size(), 1u);
    EXPECT_NEAR(taker.seen[0].green, 0x20 / 255.0, 1e-9);

    // Typed into the field with the keyboard and confirmed with Return.
    taker.seen.clear();
    panel->OrderFront();
    panel->PanelWindow()->MakeKeyWindow();
    ASSERT_TRUE(panel->PanelWindow()->IsKeyWindow());
    panel->HexField()->SelectText();
    ASSERT_NE(panel->HexField()->CurrentEditor(), nullptr);
    for (const char* key : {"0", "0", "f", "F", "0", "0", "4", "0", "\r"})
        app->SendEvent(HeadlessBackend::KeyEvent(EventType::kKeyDown, panel->PanelWindow(), key, 0));
    ASSERT_EQ(taker.seen.size(), 1u);
    EXPECT_EQ(taker.seen[0].green, 1.0);
    EXPECT_NEAR(taker.seen[0].alpha, 0x40 / 255.0, 1e-9);
    EXPECT_EQ(panel->HexField()->StringValue(), "00FF0040");

    // Hiding alpha takes the slider out and makes the colour opaque.
    panel->SetShowsAlpha(false);
    EXPECT_EQ(panel->Slider(ColorPanel::kAlpha)->Superview(), nullptr);
    EXPECT_EQ(panel->Color().alpha, 1.0);
    EXPECT_EQ(panel->HexField()->StringValue().size(), 6u);
    panel->SetShowsAlpha(true);
    EXPECT_NE(panel->Slider(ColorPanel::kAlpha)->Superview(), nullptr);

    // The close box tells the delegate, orders the panel out, and the panel shows again.
    std::vector<std::string> log;
    DelegateTaker delegate;
    delegate.log = &log;
    panel->SetDelegate(&delegate);
    panel->OrderFront();
    panel->UserClose();
    EXPECT_EQ(delegate.closes, 1);
    EXPECT_FALSE(panel->IsVisible());
    panel->OrderFront();
    EXPECT_TRUE(panel->IsVisible());
    EXPECT_EQ(app->WindowWithNumber(panel->PanelWindow()->Number()), panel->PanelWindow());
}

// The font panel and manager, over the pinned DejaVu fonts -----------------------------------------

struct FontTaker : MenuTarget {
    Ref<plat::Font> font;
    int changes = 0;
    uint32_t modes = plat::kFontPanelAllModesMask;
    bool RespondsToAction(const char* action) const override { return std::string(action) == "changeFont:"; }
    void PerformAction(const char*, MenuItem*) override {
        font = FontManager::Shared()->ConvertFont(font.get());
        ++changes;
    }
    uint32_t ValidModesForFontPanel() const override { return modes; }
};

TEST_F(PanelsTest, FontCatalogListsThePinnedFamiliesAndFaces) {
    ASSERT_TRUE(kFontsPinned);
    std::vector<std::string> families = plat::FontCatalog::Families();
    EXPECT_NE(std::find(families.begin(), families.end(), "DejaVu Sans"), families.end());
    EXPECT_TRUE(std::is_sorted(families.begin(), families.end()));
    std::vector<plat::Typeface> faces = plat::FontCatalog::Typefaces("DejaVu Sans");
    ASSERT_GE(faces.size(), 4u);
    // Upright before slanted, lighter before bolder.
    EXPECT_TRUE(std::is_sorted(faces.begin(), faces.end(), [](auto& a, auto& b) {
        const bool ai = a.traits & plat::Font::kItalicTrait, bi = b.traits & plat::Font::kItalicTrait;
        return ai != bi ? bi : a.weight < b.weight;
    }));
    EXPECT_TRUE(std::any_of(faces.begin(), faces.end(),
                            [](auto& t) { return t.fontName == "DejaVuSans" && !t.traits; }));
    auto bold =
        std::find_if(faces.begin(), faces.end(), [](auto& t) { return t.fontName == "DejaVuSans-Bold"; });
    ASSERT_NE(bold, faces.end());
    EXPECT_EQ(bold->traits, uint32_t(plat::Font::kBoldTrait));
    EXPECT_TRUE(plat::FontCatalog::Typefaces("No Such Family").empty());

    Ref<plat::Font> f = plat::Font::CreateWithName("DejaVu Sans", 12)->CopyWithTrait(plat::Font::kBoldTrait);
    EXPECT_EQ(plat::FontCatalog::FontNameOf(*f), "DejaVuSans-Bold");
}

TEST_F(PanelsTest, FontPanelChoicesReachTheChainAsChangeFontAndConvertTheTargetsFont) {
    FontTaker taker;
    taker.font = plat::Font::CreateWithName("DejaVu Sans", 14)->CopyWithTrait(plat::Font::kItalicTrait);
    app->SetNextResponder(&taker);
    FontManager* fm = FontManager::Shared();
    fm->SetSelectedFont(taker.font.get(), false);
    FontPanel* panel = FontPanel::Shared();
    panel->OrderFront();
    EXPECT_EQ(panel->ShownFamily(), "DejaVu Sans");
    EXPECT_EQ(panel->ShownFace(), "DejaVuSans-Oblique");
    EXPECT_EQ(panel->ShownSize(), 14);

    // A family keeps size and traits.
    ASSERT_TRUE(panel->UserPickFamily("DejaVu Serif"));
    EXPECT_EQ(taker.changes, 1);
    EXPECT_EQ(taker.font->FamilyName(), "DejaVu Serif");
    EXPECT_EQ(taker.font->Size(), 14);
    EXPECT_TRUE(taker.font->Traits() & plat::Font::kItalicTrait);
    EXPECT_EQ(panel->ShownFamily(), "DejaVu Serif");
    // A face keeps the size.
    ASSERT_TRUE(panel->UserPickFace("DejaVuSerif-Bold"));
    EXPECT_EQ(plat::FontCatalog::FontNameOf(*taker.font), "DejaVuSerif-Bold");
    EXPECT_EQ(taker.font->Size(), 14);
    // A size keeps the face; sizes that are not above 0 are refused and send nothing.
    ASSERT_TRUE(panel->UserSetSize(20));
    EXPECT_EQ(taker.font->Size(), 20);
    EXPECT_EQ(plat::FontCatalog::FontNameOf(*taker.font), "DejaVuSerif-Bold");
    for (double bad : {0.0, -3.0, std::nan("")}) EXPECT_FALSE(panel->UserSetSize(bad));
    panel->SizeField()->SetStringValue("abc");
    panel->ControlTextDidEndEditing(panel->SizeField());
    EXPECT_EQ(panel->SizeField()->StringValue(), "20");
    EXPECT_EQ(taker.changes, 3);
    EXPECT_FALSE(panel->UserPickFamily("No Such Family"));
    app->SetNextResponder(nullptr);
}

TEST_F(PanelsTest, FontPanelShowsOnlyThePartsTheTargetsModesAllow) {
    struct Case {
        uint32_t modes;
        bool family, size, colour;
    };
    const Case cases[] = {
        {0xFFF000FC, false, false, false},
        {0xFFF000FC | 2, false, true, false},
        {0xFFF000FC | 1, true, false, false},
        {0xFFF000FC | 0x400, false, false, true},
        {plat::kFontPanelAllModesMask, true, true, true},
    };
    FontTaker taker;
    app->SetNextResponder(&taker);
    FontPanel* panel = FontPanel::Shared();
    for (const Case& c : cases) {
        taker.modes = c.modes;
        panel->OrderFront();
        EXPECT_EQ(panel->Modes(), c.modes);
        EXPECT_EQ(panel->ShowsPart(FontPanel::kFamilyPart), c.family) << std::hex << c.modes;
        EXPECT_EQ(panel->ShowsPart(FontPanel::kFacePart), c.family) << std::hex << c.modes;
        EXPECT_EQ(panel->ShowsPart(FontPanel::kSizePart), c.size) << std::hex << c.modes;
        EXPECT_EQ(panel->ShowsPart(FontPanel::kTextColorPart), c.colour) << std::hex << c.modes;
        EXPECT_TRUE(panel->ShowsPart(FontPanel::kPreviewPart));
    }
    // Nobody takes "changeFont:": every part shows.
    app->SetNextResponder(nullptr);
    panel->OrderFront();
    EXPECT_EQ(panel->Modes(), plat::kFontPanelAllModesMask);
    panel->PanelWindow()->Display();  // draws without a fault
}

}  // namespace
