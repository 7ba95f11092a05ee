#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreUI/CSlider.h"
#include "Lib3/LSources/CoreUI/CStateButton.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Lib3/LSources/CoreUI/LScrollBar.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LStdCtl.h"
#include "Lib3/LSources/CoreUI/LTitlePane.h"
#include "PaneTestSupport.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Graphics/BitmapImage.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/TestPNG.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

using plat::headless::HeadlessBackend;
using Ids = std::vector<std::string>;

// An owner in a real (headless) window: its port is the window's content, clipped to a settable
// rectangle.
class WindowOwner : public FakeOwner {
public:
    WindowOwner(LHandler* upper, plat::Window* w) : FakeOwner(upper, {0, 0, 300, 200}), window(w) {}
    void FillPort(LPanePort& port) override {
        FakeOwner::FillPort(port);
        port.window = window;
        port.contentView = window->ContentView();
        port.clip = CRgn(clip);
    }
    plat::Window* window;
    CLRect clip{0, 0, 300, 200};
};

class LStdCtlTest : public ::testing::Test {
protected:
    LStdCtlTest() {
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        plat::Application::Shared()->Activate();
        window = plat::Window::Create({100, 100, 300, 200}, plat::kTitledWindowMask).release();
        plat::View* content = plat::View::Create({0, 0, 300, 200}).release();
        window->SetContentView(content);
        content->Release();
        window->OrderFront();
        owner = std::make_unique<WindowOwner>(&log, window);
    }
    ~LStdCtlTest() override {
        for (LPane* p : panes) delete p;
        owner.reset();
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        window->Close();
        window->Release();
    }
    template <class T, class... Args>
    T* Make(const CLRect& r, Args... args) {
        auto* p = new T(owner.get(), LStdCtlSpec{}, args...);
        p->ChangeState(LPane::kChainShow);  // as a frame does for its children
        p->ChangeState(LPane::kChainEnable);
        p->SetBounds(r);
        panes.push_back(p);
        return p;
    }
    // A press in the pane's control delivered as the framework does, with the release queued.
    void Click(LStdCtl* pane, int32_t x, int32_t y, int32_t releaseX, int32_t releaseY,
               std::vector<plat::Point> drags = {}) {
        testsupport::NestedLoopGuard guard;
        for (plat::Point d : drags)
            screens.Backend().Inject(
                HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseDragged, window, d));
        screens.Backend().Inject(HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseUp, window,
                                                             {double(releaseX), double(releaseY)}));
        const plat::Event press =
            HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseDown, window, {double(x), double(y)});
        const plat::Point screen = window->ConvertToScreen(press.location);
        mouse.Fill(press, {int32_t(screen.x), int32_t(screen.y)});
        LHandler::Dispatch(LMessage(LMouse_Click, &mouse, pane));
        EXPECT_FALSE(guard.Fired());
    }
    Ids Messages() const {
        Ids out;
        for (const std::string& id : log.ids)
            if (id.rfind("LStd", 0) == 0 || id.rfind("LPopupList", 0) == 0 ||
                id.rfind("LScrollBar", 0) == 0 || id.rfind("CSlider", 0) == 0 ||
                id.rfind("CStateButton", 0) == 0 || id == "LPane_ReqCapture")
                out.push_back(id);
        return out;
    }

    testsupport::HeadlessScreens screens;
    LMouse mouse;
    MessageLog log;
    plat::Window* window = nullptr;
    std::unique_ptr<WindowOwner> owner;
    std::vector<LPane*> panes;  // the fake owner does not own its children
};

TEST_F(LStdCtlTest, CheckBoxTogglesOnceAndSendsOneChange) {
    auto* check = Make<LStdCheck>({10, 10, 100, 30});
    ASSERT_TRUE(check->Control());
    ASSERT_TRUE(window->ContentView());
    EXPECT_TRUE(check->Control()->IsEnabled()) << check->State();
    EXPECT_EQ(check->Control()->Superview(), window->ContentView());
    Click(check, 15, 20, 16, 20);
    EXPECT_EQ(Messages(), (Ids{"LStdCtl_Selected", "LStdCheck_Change"}));
    EXPECT_TRUE(check->GetValue());
    log.ids.clear();
    check->Control()->PerformClick();
    EXPECT_EQ(Messages(), (Ids{"LStdCtl_Selected", "LStdCheck_Change"}));
    EXPECT_FALSE(check->GetValue());
    // Released outside: nothing.
    log.ids.clear();
    Click(check, 15, 20, 250, 150);
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(check->GetValue());
}

TEST_F(LStdCtlTest, RadioRingsSwitchAndTheOneOnSendsNothing) {
    auto* a = Make<LStdRadio>({10, 10, 100, 30});
    auto* b = Make<LStdRadio>({10, 40, 100, 60});
    auto* c = Make<LStdRadio>({10, 70, 100, 90});
    a->LinkTo(b);
    b->LinkTo(c);
    c->LinkTo(a);
    a->SetGroupValue(1);
    EXPECT_EQ(a->GroupValue(), 1);
    EXPECT_EQ(c->GroupValue(), 2);
    b->Control()->PerformClick();
    EXPECT_EQ(Messages(), (Ids{"LStdCtl_Selected"}));
    EXPECT_TRUE(b->GetValue());
    log.ids.clear();
    c->Control()->PerformClick();
    EXPECT_EQ(Messages(), (Ids{"LStdCtl_Selected", "LStdCheck_Change"}));
    EXPECT_FALSE(b->GetValue());
    EXPECT_TRUE(c->GetValue());
    EXPECT_EQ(a->GroupValue(), 2);
    // Rings that do not close: a chain ending nowhere, and one that loops back past its start.
    c->LinkTo(nullptr);
    EXPECT_EQ(a->Ring().size(), 3u);
    c->LinkTo(b);
    EXPECT_EQ(a->Ring().size(), 3u);
    a->SetGroupValue(0);
    EXPECT_EQ(a->GroupValue(), 0);
    EXPECT_EQ(a->GetOuterRect({0, 0, 10, 10}), (CLRect{0, -1, 10, 11}));
}

TEST_F(LStdCtlTest, ButtonPreferredSizesAndDefault) {
    auto* b = Make<LStdButton>({10, 10, 100, 32});
    LPanePort port(b);
    LDrawContext ctx(port);
    b->SetTitle("OK");
    EXPECT_GE(b->PreferredWidth(ctx, 0), 58);
    EXPECT_LT(b->PreferredWidth(ctx, 1), 58);
    EXPECT_EQ(b->PreferredWidth(ctx, -11), 8);
    EXPECT_GT(b->PreferredWidth(ctx, -13), 0);
    b->SetTitle("A much longer button title");
    EXPECT_GT(b->PreferredWidth(ctx, 0), 58);
    EXPECT_GT(b->PreferredHeight(ctx, 0), 0);
    b->SetDefault(true);
    EXPECT_EQ(b->Control()->KeyEquivalent(), "\r");
    EXPECT_TRUE(b->Control()->IsDefault());
    b->SetDefault(false);
    EXPECT_EQ(b->Control()->KeyEquivalent(), "");
    b->Control()->PerformClick();
    EXPECT_EQ(Messages(), (Ids{"LStdCtl_Selected"}));
}

TEST_F(LStdCtlTest, PlacementFollowsVisibilityAndClip) {
    auto* b = Make<LStdButton>({10, 10, 110, 32});
    plat::Control* c = b->Control();
    EXPECT_EQ(c->Superview(), window->ContentView());
    EXPECT_EQ(c->Frame(), (plat::Rect{10, 10, 100, 22}));
    EXPECT_EQ(b->ClipView(), nullptr);
    // Half scrolled out: in a clip view over the visible part.
    owner->clip = {60, 0, 300, 200};
    b->Replace();
    ASSERT_NE(b->ClipView(), nullptr);
    EXPECT_EQ(c->Superview(), b->ClipView());
    EXPECT_EQ(b->ClipView()->Frame(), (plat::Rect{60, 10, 50, 22}));
    EXPECT_EQ(c->Frame(), (plat::Rect{-50, 0, 100, 22}));
    // Fully visible again, then hidden, then wholly outside.
    owner->clip = {0, 0, 300, 200};
    b->Replace();
    EXPECT_EQ(b->ClipView(), nullptr);
    EXPECT_EQ(c->Superview(), window->ContentView());
    b->ChangeState(LPane::kHide);
    EXPECT_EQ(c->Superview(), nullptr);
    b->ChangeState(LPane::kShow);
    EXPECT_EQ(c->Superview(), window->ContentView());
    owner->clip = {200, 0, 300, 200};
    b->Replace();
    EXPECT_EQ(c->Superview(), nullptr);
    // Disabled panes disable their control.
    b->ChangeState(LPane::kDisable);
    EXPECT_FALSE(c->IsEnabled());
    b->ChangeState(LPane::kEnable);
    EXPECT_TRUE(c->IsEnabled());
}

TEST_F(LStdCtlTest, ScrollBarArrowsStepByOneAndStopAtTheEnds) {
    auto* bar = Make<LScrollBar>({10, 10, 26, 170}, true, true);
    EXPECT_FALSE(bar->Control()->IsEnabled());  // no range yet
    bar->SetRange(5, 0, 10, 2);
    EXPECT_TRUE(bar->Control()->IsEnabled());
    EXPECT_EQ(bar->GetValue(), 5);
    struct Case {
        int32_t y;  // in the bar
        int32_t start;
        Ids messages;
        int32_t value;
    };
    const Case cases[] = {
        {155, 5, {"LScrollBar_Dw", "LScrollBar_Change"}, 6},
        {155, 10, {"LScrollBar_Dw"}, 10},
        {3, 5, {"LScrollBar_Up", "LScrollBar_Change"}, 4},
        {3, 0, {"LScrollBar_Up"}, 0},
        {30, 8, {"LScrollBar_PgUp", "LScrollBar_Change"}, 6},
        {140, 2, {"LScrollBar_PgDw", "LScrollBar_Change"}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y);
        bar->SetValue(c.start);
        log.ids.clear();
        Click(bar, 18, 10 + c.y, 18, 10 + c.y);
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_EQ(bar->GetValue(), c.value);
    }
    // An empty range disables the bar, also against a later enable.
    bar->SetRange(3, 10, 10, 1);
    EXPECT_FALSE(bar->Control()->IsEnabled());
    EXPECT_EQ(bar->GetValue(), 10);
    bar->ChangeState(LPane::kDisable);
    bar->ChangeState(LPane::kEnable);
    EXPECT_FALSE(bar->Control()->IsEnabled());
    LPanePort port(bar);
    LDrawContext ctx(port);
    EXPECT_EQ(bar->PreferredWidth(ctx, 0), 16);
    EXPECT_EQ(bar->PreferredHeight(ctx, 0), 64);
}

TEST_F(LStdCtlTest, SliderPressesThatBarelyMoveKeepTheValueAndDragsRise) {
    auto* s = Make<CSlider>({10, 50, 125, 71});  // travel 100 + knob 15 + 10 of margin
    s->SetRange(0, 110);
    s->SetValue(50);
    const plat::Rect k = s->Control()->KnobRect();
    const int32_t kx = int32_t(10 + k.x + k.width / 2);
    // A press on the knob moving a point: restored, no change.
    Click(s, kx, 60, kx + 1, 60, {{double(kx + 1), 60}});
    EXPECT_EQ(Messages(), (Ids{"CSlider_Click"}));
    EXPECT_EQ(s->GetValue(), 50);
    // A drag: rising changes.
    log.ids.clear();
    std::vector<int32_t> values;
    Click(s, kx, 60, kx + 30, 60, {{double(kx + 10), 60}, {double(kx + 20), 60}, {double(kx + 30), 60}});
    const Ids got = Messages();
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[0], "CSlider_Click");
    EXPECT_EQ(std::count(got.begin(), got.end(), std::string("CSlider_Change")), 3);
    EXPECT_GT(s->GetValue(), 75);
    // A switch slider jumps between its ends without tracking.
    s->SetSwitchMode(true);
    s->SetValue(110);
    log.ids.clear();
    Click(s, kx, 60, kx, 60);
    EXPECT_EQ(Messages(), (Ids{"CSlider_Click", "CSlider_Change"}));
    EXPECT_EQ(s->GetValue(), 0);
    plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    log.ids.clear();
    Click(s, kx, 60, kx, 60);
    EXPECT_EQ(s->GetValue(), 110);
    plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    LPanePort port(s);
    LDrawContext ctx(port);
    EXPECT_EQ(s->PreferredWidth(ctx, 0), 21);
    EXPECT_EQ(s->PreferredHeight(ctx, 0), 21);
}

TEST_F(LStdCtlTest, PopupListItemsIndicesAndTheEmptyList) {
    auto* p = Make<LPopupList>({10, 10, 150, 32});
    // An empty list has no item to report.
    EXPECT_EQ(p->SetValue(0), -1);
    EXPECT_EQ(p->SetValue(5), -1);
    EXPECT_EQ(p->GetValue(), -1);
    EXPECT_EQ(p->ItemTitle(0), "");
    p->AddItem("Beta");
    p->AddItem("");
    p->AddItem("Alpha");
    EXPECT_EQ(p->Count(), 3);
    EXPECT_TRUE(p->IsSeparator(1));
    EXPECT_FALSE(p->IsSeparator(7));
    EXPECT_EQ(p->FindItem("Alpha"), 2);
    EXPECT_EQ(p->FindItem("Gamma"), -1);
    EXPECT_EQ(p->SetValue(9), 2);
    EXPECT_EQ(p->SetValue(-4), 0);
    p->InsertItem(0, "First");
    EXPECT_EQ(p->GetValue(), 1);  // stays on its item
    EXPECT_EQ(p->Control()->SelectedItem(), 1);
    p->RemoveItem(0);
    EXPECT_EQ(p->GetValue(), 0);
    p->RemoveAll();
    EXPECT_EQ(p->GetValue(), -1);
    EXPECT_EQ(p->SetValue(0), -1);

    auto* sorted = Make<LPopupList>({10, 40, 150, 62}, uint32_t(LPopupList::kSorted));
    for (const char* t : {"b", "d", "a", "c"}) sorted->AddItem(t);
    EXPECT_EQ(sorted->ItemTitle(0), "a");
    EXPECT_EQ(sorted->ItemTitle(3), "d");

    // A choice through the menu: Down, Down, Return picks the second item.
    sorted->SetValue(0);
    log.ids.clear();
    testsupport::NestedLoopGuard guard;
    for (const char* k : {"\xEF\x9C\x81", "\xEF\x9C\x81", "\r"})
        screens.Backend().Inject(HeadlessBackend::KeyEvent(plat::EventType::kKeyDown, nullptr, k, 0));
    sorted->Control()->MouseDown(
        HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseDown, window, {20, 50}));
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(sorted->GetValue(), 1);
    EXPECT_EQ(Messages(), (Ids{"LStdCtl_Selected", "LPopupList_Changed"}));

    LPanePort port(p);
    LDrawContext ctx(port);
    EXPECT_EQ(p->PreferredWidth(ctx, 0), 36);  // no items
    EXPECT_EQ(p->PreferredWidth(ctx, -3), 36);
    EXPECT_EQ(p->GetOuterRect({0, 0, 10, 10}), (CLRect{-1, -2, 11, 12}));

    // The first title pane announced to the list is its title until it goes.
    auto* title = new LTitlePane(p, owner.get());
    LTitlePane second(p, owner.get());
    EXPECT_EQ(p->TitlePane(), title);
    delete title;
    EXPECT_EQ(p->TitlePane(), nullptr);
}

TEST_F(LStdCtlTest, StateButtonsTrackThroughTheCapture) {
    auto* b = Make<CStateButton>({10, 10, 60, 40});
    auto mouseAt = [&](int32_t x, int32_t y) {
        const plat::Point g = window->ConvertToScreen({double(x), double(y)});
        mouse.SetLocation({int32_t(g.x), int32_t(g.y)});
    };
    struct Case {
        int32_t releaseX;
        Ids messages;
    };
    const Case cases[] = {
        {20, {"CStateButton_Push", "LPane_ReqCapture", "CStateButton_Unpush", "LStdCtl_Selected"}},
        {200, {"CStateButton_Push", "LPane_ReqCapture", "CStateButton_Unpush"}},
    };
    for (const Case& c : cases) {
        log.ids.clear();
        mouseAt(20, 20);
        mouse.Fill(HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseDown, window, {20, 20}),
                   mouse.Location());
        LHandler::Dispatch(LMessage(LMouse_Click, &mouse, b));
        EXPECT_TRUE(b->IsHighlighted());
        mouseAt(c.releaseX, 20);
        LHandler::Dispatch(LMessage(LMouse_Move, &mouse, b));
        LHandler::Dispatch(LMessage(LMouse_Release, &mouse, b));
        EXPECT_EQ(Messages(), c.messages) << c.releaseX;
        EXPECT_FALSE(b->IsHighlighted());
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        screens.Backend().SetDoubleClickInterval(0);  // keep the presses apart
    }
}

TEST_F(LStdCtlTest, StateButtonImagesSizeTheButtonAndShowOnItsFace) {
    auto* b = Make<CStateButton>({10, 10, 40, 40});
    auto* small = Make<CStateButton>({50, 10, 80, 40}, uint32_t(CStateButton::kSmall));
    LPanePort port(b);
    LDrawContext ctx(port);
    EXPECT_EQ(b->PreferredWidth(ctx, 0), 10);  // no image, no title
    // A 12 x 8 red picture.
    std::vector<uint8_t> rgba(12 * 8 * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = rgba[i + 3] = 255;
    const std::vector<uint8_t> png = testsupport::EncodeTestPNG(12, 8, rgba);
    const LImageH image(new LRsrcImage(png.data(), png.size()));
    b->SetImage(image);
    small->SetImage(image);
    EXPECT_EQ(b->PreferredWidth(ctx, 0), 22);
    EXPECT_EQ(b->PreferredHeight(ctx, 0), 18);
    EXPECT_EQ(small->PreferredWidth(ctx, 0), 16);
    EXPECT_EQ(small->PreferredHeight(ctx, 0), 12);
    ASSERT_TRUE(b->Control()->Image());
    plat::Ref<plat::BitmapImage> face = b->Control()->CacheDisplayInRect(b->Control()->Bounds());
    ASSERT_TRUE(face);
    EXPECT_EQ(face->PixelAt(15, 15) & 0xFFFFFF, 0xFF0000u);  // the picture's middle
    b->SetImage(LImageH());
    EXPECT_EQ(b->Control()->Image(), nullptr);
}

}  // namespace
