#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreUI/CHeaderFrame.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "PaneTestSupport.h"
#include "TestSurface.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

struct Listener : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CHeaderFrame_Place)) {
            ++places;
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
    int places = 0;
};

class CHeaderFrameTest : public ::testing::Test {
protected:
    CHeaderFrame* Make(bool selectable, uint32_t alignment = CHeaderFrame::kLeft) {
        auto* f = new CHeaderFrame(&log, &owner, alignment, selectable, true);
        f->ChangeState(LPane::kChainShow);
        f->ChangeState(LPane::kChainEnable);
        f->SetBounds({0, 0, 400, 20});
        frame.reset(f);
        return f;
    }
    int32_t Width(int32_t i) {
        LPanePort port(frame.get());
        LDrawContext ctx(port);
        return frame->Item(i)->PreferredWidth(ctx, 0);
    }
    void Place(int32_t i, int32_t position, uint32_t alignment) {
        LPanePort port(frame.get());
        LDrawContext ctx(port);
        frame->PlaceItem(i, position, alignment, ctx);
    }
    int Count(const char* id) const {
        return int(std::count(log.ids.begin(), log.ids.end(), std::string(id)));
    }

    LMouse mouse;
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 500, 100}};
    std::unique_ptr<CHeaderFrame> frame;
};

TEST_F(CHeaderFrameTest, ItemsArePlacedByAlignmentAndNeverOverlap) {
    ASSERT_TRUE(kFontsPinned);
    CHeaderFrame* f = Make(false);
    f->AddItem("Name", LTextStyleH());
    f->AddItem("Size", LTextStyleH());
    const int32_t w0 = Width(0), w1 = Width(1);
    ASSERT_GT(w0, 4);

    // Centred at 100: half the width either side ("Scene" is 40 wide in the pinned font).
    f->AddItem("Scene", LTextStyleH());
    ASSERT_EQ(Width(2), 40);
    Place(2, 100, CHeaderFrame::kCentre);
    EXPECT_EQ(f->Item(2)->Bounds(), (CLRect{80, 0, 120, 20}));
    f->SetItemVisible(2, false);
    Place(0, 100, CHeaderFrame::kCentre);
    EXPECT_EQ(f->Item(0)->Bounds(), (CLRect{100 - w0 / 2, 0, 100 - w0 / 2 + w0, 20}));
    Place(0, 100, CHeaderFrame::kRight);
    EXPECT_EQ(f->Item(0)->Bounds().right, 100);
    Place(0, 10, CHeaderFrame::kLeft);
    EXPECT_EQ(f->Item(0)->Bounds(), (CLRect{10, 0, 10 + w0, 20}));

    // Item 1 placed left of item 0's right edge cuts item 0 back to it.
    Place(1, 10 + w0 / 2, CHeaderFrame::kLeft);
    EXPECT_EQ(f->Item(0)->Bounds().right, 10 + w0 / 2);
    EXPECT_EQ(f->Item(1)->Bounds(), (CLRect{10 + w0 / 2, 0, 10 + w0 / 2 + w1, 20}));
    // Both at one place: the earlier is kept one pixel wide.
    Place(1, 10, CHeaderFrame::kLeft);
    EXPECT_EQ(f->Item(0)->Bounds().Width(), 1);

    // A hidden item is not placed.
    f->SetItemVisible(1, false);
    const CLRect hidden = f->Item(1)->Bounds();
    Place(1, 200, CHeaderFrame::kLeft);
    EXPECT_EQ(f->Item(1)->Bounds(), hidden);
    Place(5, 200, CHeaderFrame::kLeft);  // no such item

    LPanePort port(f);
    LDrawContext ctx(port);
    EXPECT_EQ(f->HeaderHeight(ctx, 0), f->Item(0)->PreferredHeight(ctx, 0));
}

TEST_F(CHeaderFrameTest, NewTextKeepsTheAnchorOfTheAlignment) {
    CHeaderFrame* f = Make(false);
    f->AddItem("ab", LTextStyleH());
    Place(0, 200, CHeaderFrame::kRight);
    LPanePort port(f);
    LDrawContext ctx(port);
    f->SetItemText(0, "a much longer title", ctx);
    EXPECT_EQ(f->Item(0)->Bounds().right, 200);
    EXPECT_EQ(f->Item(0)->Bounds().Width(), Width(0));
    Place(0, 200, CHeaderFrame::kCentre);
    f->SetItemText(0, "x", ctx);
    const CLRect b = f->Item(0)->Bounds();
    EXPECT_LE(std::abs((b.left + b.right) / 2 - 200), 1);
}

TEST_F(CHeaderFrameTest, SelectionFollowsClicksAndHiddenItemsClearIt) {
    CHeaderFrame* f = Make(true);
    f->AddItem("One", LTextStyleH());
    f->AddItem("Two", LTextStyleH());
    Place(0, 0, CHeaderFrame::kLeft);
    Place(1, 100, CHeaderFrame::kLeft);

    LHandler::Dispatch(LMessage(LMouse_Click, &mouse, f->Item(1)));
    EXPECT_EQ(f->Selected(), 1);
    EXPECT_TRUE(f->Item(1)->IsSelected());
    EXPECT_EQ(Count("CHeaderFrame_Selected"), 1);
    EXPECT_EQ(Count("LMouse_Click"), 0);

    EXPECT_TRUE(f->Select(0));
    EXPECT_FALSE(f->Item(1)->IsSelected());
    EXPECT_FALSE(f->Select(0));
    f->SetItemVisible(1, false);
    EXPECT_TRUE(f->Select(1));  // hidden: the selection clears
    EXPECT_EQ(f->Selected(), -1);
    EXPECT_FALSE(f->Item(0)->IsSelected());
    EXPECT_FALSE(f->Select(9));
}

TEST_F(CHeaderFrameTest, InAFrameThatIsNotSelectableAClickFallsThroughToTheFrame) {
    CHeaderFrame* f = Make(false);
    f->AddItem("One", LTextStyleH());
    Place(0, 0, CHeaderFrame::kLeft);
    LHandler::Dispatch(LMessage(LMouse_Click, &mouse, f->Item(0)));
    EXPECT_EQ(f->Selected(), -1);
    EXPECT_EQ(Count("CHeaderFrame_Selected"), 0);
    EXPECT_EQ(Count("LMouse_Click"), 1);
}

TEST_F(CHeaderFrameTest, MovesAndHeightChangesAskTheListenerToPlace) {
    CHeaderFrame* f = Make(true);
    Listener listener;
    f->SetPlaceListener(&listener);
    f->AddItem("One", LTextStyleH());
    Place(0, 10, CHeaderFrame::kLeft);
    const CLRect old = f->Bounds();
    f->SetBounds({0, 0, 400, 30});
    EXPECT_EQ(listener.places, 1);
    f->Relayout(old);
    EXPECT_EQ(listener.places, 2);
    EXPECT_EQ(f->Item(0)->Bounds().bottom, 30);
    f->ChangeState(LPane::kMoved);
    EXPECT_EQ(listener.places, 3);
}

TEST_F(CHeaderFrameTest, SelectedItemsFillWithTheSelectionColour) {
    CHeaderFrame* f = Make(true);
    f->AddItem("One", LTextStyleH());
    Place(0, 0, CHeaderFrame::kLeft);
    f->SetSelectionColor(LColor({0, 0, 255}, 0));
    f->Select(0);
    TestSurface surface(100, 30);
    LDrawContext ctx(surface.port, surface.native.get());
    f->Item(0)->Draw(ctx);
    EXPECT_EQ(surface.At(1, 18), 0x0000FFu);
}

}  // namespace
