#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Control.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Theme.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/MenuPixels.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

using plat::Application;
using plat::Control;
using plat::ControlKind;
using plat::EventType;
using plat::Point;
using plat::Rect;
using plat::Ref;
using plat::Window;
using plat::headless::HeadlessBackend;

struct Recorder : plat::ControlTarget {
    std::vector<std::string> actions;
    std::vector<int32_t> values;
    void ControlAction(const char* action, Control* sender) override {
        actions.push_back(action);
        values.push_back(sender->Kind() == ControlKind::kSlider        ? sender->IntValue()
                         : sender->Kind() == ControlKind::kScroller    ? sender->HitPart()
                         : sender->Kind() == ControlKind::kPopUpButton ? sender->SelectedItem()
                                                                       : sender->State());
    }
};

int Luminance(uint32_t p) {
    return int(((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100;
}

// Average luminance of an image's pixels over white.
double MeanLuminance(const plat::BitmapImage* img) {
    double sum = 0;
    for (int32_t y = 0; y < img->Height(); ++y)
        for (int32_t x = 0; x < img->Width(); ++x) {
            const uint32_t p = img->PixelAt(x, y);
            const uint32_t a = p >> 24;
            const int lum = Luminance(p) + int(255 - a);  // premultiplied over white
            sum += std::min(255, lum);
        }
    return sum / (img->Width() * img->Height());
}

class ControlTest : public ::testing::Test {
protected:
    ControlTest() {
        app->DiscardEvents(plat::kAnyEventMask);
        app->Activate();
        window = Window::Create({100, 100, 300, 200}, plat::kTitledWindowMask).release();
        content = plat::View::Create({0, 0, 300, 200}).release();
        window->SetContentView(content);
        content->Release();
        window->OrderFront();
    }
    ~ControlTest() override {
        app->DiscardEvents(plat::kAnyEventMask);
        window->Close();
        window->Release();
    }

    Control* Add(ControlKind kind, const Rect& frame) {
        Control* c = Control::Create(kind, frame).release();
        c->SetTarget(&rec);
        c->SetAction("act");
        content->AddSubview(c);
        c->Release();
        return c;
    }
    void Queue(EventType type, Point p) {
        screens.Backend().Inject(HeadlessBackend::MouseEvent(type, window, p));
    }
    // A press at the point: the rest of the gesture is queued before it, the press is sent.
    void Press(Point p, std::vector<std::pair<EventType, Point>> rest) {
        testsupport::NestedLoopGuard guard;
        for (auto& [t, q] : rest) Queue(t, q);
        app->SendEvent(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, window, p));
        EXPECT_FALSE(guard.Fired());
    }

    testsupport::HeadlessScreens screens;
    Application* app = Application::Shared();
    Window* window = nullptr;
    plat::View* content = nullptr;
    Recorder rec;
};

TEST_F(ControlTest, ButtonsFireOnAReleaseInsideAndSwitchTheirState) {
    struct Case {
        ControlKind kind;
        Point release;
        int32_t initial;
        size_t fires;
        int32_t state;
    };
    const Case cases[] = {
        {ControlKind::kPushButton, {20, 15}, 0, 1, 0},  {ControlKind::kPushButton, {200, 150}, 0, 0, 0},
        {ControlKind::kCheckBox, {20, 15}, 0, 1, 1},    {ControlKind::kCheckBox, {20, 15}, 1, 1, 0},
        {ControlKind::kCheckBox, {200, 150}, 0, 0, 0},  {ControlKind::kRadioButton, {20, 15}, 0, 1, 1},
        {ControlKind::kRadioButton, {20, 15}, 1, 1, 1}, {ControlKind::kToggleButton, {20, 15}, 0, 1, 1},
        {ControlKind::kImageToggle, {20, 15}, 1, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.kind));
        rec = {};
        Control* b = Add(c.kind, {10, 10, 80, 22});
        b->SetState(c.initial);
        Press({15, 15}, {{EventType::kLeftMouseDragged, {300, 300}},
                         {EventType::kLeftMouseDragged, c.release},
                         {EventType::kLeftMouseUp, c.release}});
        EXPECT_EQ(rec.actions.size(), c.fires);
        EXPECT_EQ(b->State(), c.state);
        EXPECT_FALSE(b->IsHighlighted());
        b->RemoveFromSuperview();
    }
}

TEST_F(ControlTest, DisabledControlsIgnorePressesAndClicks) {
    Control* b = Add(ControlKind::kCheckBox, {10, 10, 80, 22});
    b->SetEnabled(false);
    Press({15, 15}, {{EventType::kLeftMouseUp, {15, 15}}});
    b->PerformClick();
    EXPECT_TRUE(rec.actions.empty());
    EXPECT_EQ(b->State(), 0);
}

TEST_F(ControlTest, SliderJumpsToATrackPressFollowsTheDragAndFiresOnEachChange) {
    Control* s = Add(ControlKind::kSlider, {10, 50, 115, 21});  // travel 100
    s->SetRange(0, 100);
    // A press at the middle of the track jumps there; the drag rises.
    Press({10 + 7.5 + 50, 60}, {{EventType::kLeftMouseDragged, {10 + 7.5 + 60, 60}},
                                {EventType::kLeftMouseDragged, {10 + 7.5 + 80, 60}},
                                {EventType::kLeftMouseDragged, {500, 60}},
                                {EventType::kLeftMouseUp, {500, 60}}});
    EXPECT_EQ(rec.values, (std::vector<int32_t>{50, 60, 80, 100}));
    EXPECT_EQ(s->IntValue(), 100);
    // A press on the knob does not move it.
    rec = {};
    const Rect k = s->KnobRect();
    Press({10 + k.x + 3, 60}, {{EventType::kLeftMouseUp, {10 + k.x + 3, 60}}});
    EXPECT_TRUE(rec.actions.empty());
    // Vertical: the minimum at the bottom.
    s->SetFrame({200, 10, 21, 115});
    s->SetIntValue(0);
    EXPECT_TRUE(s->IsVertical());
    EXPECT_EQ(s->KnobRect().y, 100);
}

TEST_F(ControlTest, ScrollerPartsAndSteps) {
    Control* sc = Add(ControlKind::kScroller, {10, 10, 16, 160});
    sc->SetKnobProportion(0.25);
    sc->SetFloatValue(0.5);
    EXPECT_EQ(Control::ScrollerWidth(plat::ControlSize::kRegular), 16);
    EXPECT_EQ(Control::ScrollerWidth(plat::ControlSize::kSmall), 14);
    EXPECT_EQ(Control::ScrollerWidth(plat::ControlSize::kMini), 11);
    struct {
        double y;
        int32_t part;
    } hits[] = {{2, plat::kScrollerDecrementLine},
                {158, plat::kScrollerIncrementLine},
                {20, plat::kScrollerDecrementPage},
                {80, plat::kScrollerKnob},
                {140, plat::kScrollerIncrementPage}};
    for (auto& h : hits) EXPECT_EQ(sc->TestPart({8, h.y}), h.part) << h.y;
    for (auto& h : hits) {
        if (h.part == plat::kScrollerKnob) continue;
        rec = {};
        Press({18, 10 + h.y}, {{EventType::kLeftMouseUp, {18, 10 + h.y}}});
        EXPECT_EQ(rec.values, (std::vector<int32_t>{h.part})) << h.y;
    }
    // Dragging the knob to the end.
    rec = {};
    Press({18, 90}, {{EventType::kLeftMouseDragged, {18, 400}}, {EventType::kLeftMouseUp, {18, 400}}});
    EXPECT_EQ(sc->FloatValue(), 1.0);
    EXPECT_EQ(rec.values, (std::vector<int32_t>{plat::kScrollerKnob}));
    // The whole content visible: no knob, no page parts.
    sc->SetKnobProportion(1);
    EXPECT_EQ(sc->TestPart({8, 80}), plat::kScrollerKnobSlot);
}

TEST_F(ControlTest, PopUpItemsAndSelection) {
    Control* p = Add(ControlKind::kPopUpButton, {10, 10, 120, 22});
    EXPECT_EQ(p->SelectedItem(), -1);
    p->SelectItem(0);
    EXPECT_EQ(p->SelectedItem(), -1);
    p->AddItem("One");
    p->AddSeparator();
    p->AddItem("T\xFFwo");
    EXPECT_EQ(p->SelectedItem(), 0);
    EXPECT_EQ(p->ItemTitle(2), "T\xEF\xBF\xBDwo");
    EXPECT_EQ(p->ItemTitle(1), "");
    EXPECT_EQ(p->ItemTitle(9), "");
    p->SelectItem(7);
    EXPECT_EQ(p->SelectedItem(), 0);
    // Down to the first item, then past the separator; Return chooses.
    testsupport::NestedLoopGuard guard;
    for (const char* k : {"\xEF\x9C\x81", "\xEF\x9C\x81", "\r"})
        screens.Backend().Inject(HeadlessBackend::KeyEvent(EventType::kKeyDown, nullptr, k, 0));
    app->SendEvent(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, window, {20, 15}));
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(p->SelectedItem(), 2);
    EXPECT_EQ(rec.values, (std::vector<int32_t>{2}));
}

TEST_F(ControlTest, PixelsOfStatesAndSnapshots) {
    Control* box = Add(ControlKind::kCheckBox, {10, 10, 80, 20});
    box->SetTitle("Check");
    Ref<plat::BitmapImage> off = box->CacheDisplayInRect({0, 0, 14, 20});
    box->SetState(1);
    Ref<plat::BitmapImage> on = box->CacheDisplayInRect({0, 0, 14, 20});
    EXPECT_LT(MeanLuminance(on.get()), MeanLuminance(off.get()) - 40);

    Control* ok = Add(ControlKind::kPushButton, {10, 40, 80, 22});
    ok->SetTitle("OK");
    Ref<plat::BitmapImage> normal = ok->CacheDisplayInRect(ok->Bounds());
    ok->SetDefault(true);
    Ref<plat::BitmapImage> accent = ok->CacheDisplayInRect(ok->Bounds());
    const uint32_t px = accent->PixelAt(5, 11);
    EXPECT_GT(int(px & 0xFF), int((px >> 16) & 0xFF) + 60);  // blue
    ok->SetEnabled(false);
    Ref<plat::BitmapImage> disabled = ok->CacheDisplayInRect(ok->Bounds());
    EXPECT_GT(MeanLuminance(disabled.get()), MeanLuminance(normal.get()));

    Control* s = Add(ControlKind::kSlider, {10, 70, 115, 21});
    for (int32_t v : {0, 50, 100}) {
        s->SetIntValue(v);
        Ref<plat::BitmapImage> img = s->CacheDisplayInRect(s->Bounds());
        const int32_t centre = int32_t(7.5 + v);
        EXPECT_LT(Luminance(img->PixelAt(centre, 10)), 200) << v;
        EXPECT_GT(Luminance(img->PixelAt(v < 50 ? 100 : 5, 3)) +
                      int(255 - (img->PixelAt(v < 50 ? 100 : 5, 3) >> 24)),
                  200)
            << v;
    }
}

TEST_F(ControlTest, SnapshotsOfEveryControlInEveryStateAreWritten) {
    mkdir("control-snapshots", 0755);
    const ControlKind kinds[] = {ControlKind::kPushButton,  ControlKind::kToggleButton,
                                 ControlKind::kCheckBox,    ControlKind::kRadioButton,
                                 ControlKind::kImageToggle, ControlKind::kPopUpButton,
                                 ControlKind::kScroller,    ControlKind::kSlider};
    const char* names[] = {"push", "toggle", "check", "radio", "image", "popup", "scroller", "slider"};
    for (size_t i = 0; i < std::size(kinds); ++i)
        for (int st = 0; st < 5; ++st) {  // off, on, pressed, default, disabled
            Control* c =
                Add(kinds[i], kinds[i] == ControlKind::kScroller ? Rect{0, 0, 100, 16} : Rect{0, 0, 100, 22});
            c->SetTitle("Title");
            c->AddItem("Item");
            c->SetKnobProportion(0.3);
            c->SetFloatValue(0.4);
            c->SetIntValue(40);
            c->SetState(st == 1);
            c->Highlight(st == 2);
            c->SetDefault(st == 3);
            c->SetEnabled(st != 4);
            Ref<plat::BitmapImage> img = c->CacheDisplayInRect(c->Bounds());
            ASSERT_TRUE(img);
            Ref<plat::DrawContext> ctx = plat::DrawContext::CreateImage(img->Width(), img->Height());
            ctx->DrawImage({0, 0, double(img->Width()), double(img->Height())}, img.get());
            EXPECT_TRUE(ctx->WritePNG(
                (std::string("control-snapshots/") + names[i] + "-" + std::to_string(st) + ".png").c_str()));
            c->RemoveFromSuperview();
        }
}

TEST_F(ControlTest, TitlesAreSafeAndCellSizesFollowTheFont) {
    Control* b = Add(ControlKind::kPushButton, {0, 0, 10, 10});
    b->SetTitle("A\xC3");
    EXPECT_EQ(b->Title(), "A\xEF\xBF\xBD");
    b->SetTitle("Cancel");
    const plat::Size regular = b->CellSize();
    b->SetControlSize(plat::ControlSize::kMini);
    EXPECT_LT(b->CellSize().width, regular.width);
    EXPECT_LT(b->CellSize().height, regular.height);
    EXPECT_EQ(plat::theme::Metric(41), 21);
    EXPECT_EQ(plat::theme::Metric(45), 21);
}

TEST_F(ControlTest, KeyRepeatThresholdsAreSettableHeadless) {
    screens.Backend().SetKeyRepeatTicks(3, 1);
    EXPECT_EQ(screens.Backend().KeyRepeatDelayTicks(), 3);
    EXPECT_EQ(screens.Backend().KeyRepeatIntervalTicks(), 1);
    // A held arrow repeats after the delay.
    Control* sc = Add(ControlKind::kScroller, {10, 10, 16, 160});
    sc->SetKnobProportion(0.25);
    testsupport::NestedLoopGuard guard;
    testsupport::RunLater release(0.3, [&] { Queue(EventType::kLeftMouseUp, {18, 12}); });
    app->SendEvent(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, window, {18, 12}));
    EXPECT_FALSE(guard.Fired());
    EXPECT_TRUE(release.Ran());
    EXPECT_GE(rec.actions.size(), 4u);  // the first step, then repeats every tick after 3 ticks
}

TEST_F(ControlTest, EscapeEndsTrackingWithoutFiring) {
    Control* b = Add(ControlKind::kPushButton, {10, 10, 80, 22});
    testsupport::NestedLoopGuard guard;
    screens.Backend().Inject(HeadlessBackend::KeyEvent(EventType::kKeyDown, nullptr, "\x1b", 53));
    app->SendEvent(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, window, {15, 15}));
    EXPECT_TRUE(rec.actions.empty());
    EXPECT_FALSE(b->IsHighlighted());
}

}  // namespace
