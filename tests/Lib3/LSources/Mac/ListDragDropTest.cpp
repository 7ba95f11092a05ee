#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DropTestSupport.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/LScrapData.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Graphics/DrawContext.h"
#include "RecordListSupport.h"
#include "tests/support/NestedLoopGuard.h"

using namespace rtest;

namespace {

using Strings = std::vector<std::string>;
using plat::headless::HeadlessBackend;

const LScrapType kLeafScrap{LString(), 0x4F524C66};  // 'ORLf'
const LScrapType kNodeScrap{LString("org.orbilume.nodes"), 0};

CRgn Rows(std::initializer_list<int32_t> rows) {
    CRgn r;
    for (int32_t y : rows) r |= CRgn(CLRect{0, y, 1, y + 1});
    return r;
}

class ListScrapTest : public ::testing::Test {
protected:
    ListScrapTest() {
        CRecord* root = NewNode("root");
        for (const char* k : {"k0", "k1", "k2", "k3", "k4", "k5"})
            EXPECT_TRUE(root->InsertElementRaw(kKids, -1, NewLeaf(k)));
        EXPECT_TRUE(root->InsertElementRaw(kNodes, -1, NewNode("n0")));
        holder = std::make_unique<CRecordHolder>(root);
        editor.SetUpper(&doc);
    }
    CRecordRef Root() { return holder->RootRef(); }
    Strings Kids() { return Labels(holder->Root(), kKids); }

    UndoDocument doc;
    LHandler editor;
    std::unique_ptr<CRecordHolder> holder;
    CPasteboardU general;
};

TEST_F(ListScrapTest, CutDeletesFromTheBottomInOneUndoGroup) {
    EXPECT_EQ(UListScrap::DoEditCommand(&editor, Root(), kKids, Rows({2, 4}), 1, kLeafScrap,
                                        LMsgId("LStdCmd_Cut"), nullptr, general),
              -1);
    EXPECT_EQ(Kids(), (Strings{"k0", "k1", "k3", "k5"}));
    EXPECT_TRUE(general.HasScrapType(kLeafScrap));
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Kids(), (Strings{"k0", "k1", "k2", "k3", "k4", "k5"}));
    EXPECT_FALSE(doc.queue.CanUndo());
    EXPECT_EQ(UListScrap::DoEditCommand(&editor, Root(), kKids, CRgn(), 1, kLeafScrap, LMsgId("LStdCmd_Cut"),
                                        nullptr, general),
              0);
}

TEST_F(ListScrapTest, PastePastTheEndAppendsAndForeignTypesInsertNothing) {
    ASSERT_EQ(UListScrap::DoEditCommand(&editor, Root(), kKids, Rows({0, 1}), 1, kLeafScrap,
                                        LMsgId("LStdCmd_Copy"), nullptr, general),
              -1);
    uint32_t index = 99;
    EXPECT_EQ(UListScrap::DoEditCommand(&editor, Root(), kKids, CRgn(), 1, kLeafScrap,
                                        LMsgId("LStdCmd_Paste"), &index, general),
              2);
    EXPECT_EQ(index, 6u);
    EXPECT_EQ(Kids(), (Strings{"k0", "k1", "k2", "k3", "k4", "k5", "k0", "k1"}));
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Kids().size(), 6u);

    // Nodes copied under the leaves' scrap type: the typed field takes none of them.
    ASSERT_EQ(UListScrap::DoEditCommand(&editor, Root(), kNodes, Rows({0}), 1, kLeafScrap,
                                        LMsgId("LStdCmd_Copy"), nullptr, general),
              -1);
    index = 0;
    EXPECT_EQ(UListScrap::DoEditCommand(&editor, Root(), kKids, CRgn(), 1, kLeafScrap,
                                        LMsgId("LStdCmd_Paste"), &index, general),
              0);
    EXPECT_EQ(Kids().size(), 6u);
    // Another type on the pasteboard, or none of it, or a cut-off scrap: nothing.
    EXPECT_EQ(UListScrap::DoEditCommand(&editor, Root(), kKids, CRgn(), 1, kNodeScrap,
                                        LMsgId("LStdCmd_Paste"), &index, general),
              0);
    plat::Pasteboard::General()->DeclareTypes({"ORLf"}, nullptr);
    const uint8_t cut[] = {'F', 'O', 'R', 'M', 0, 0, 0, 40, 0, 0};
    ASSERT_TRUE(plat::Pasteboard::General()->SetData("ORLf", cut, sizeof cut));
    EXPECT_EQ(UListScrap::DoEditCommand(&editor, Root(), kKids, CRgn(), 1, kLeafScrap,
                                        LMsgId("LStdCmd_Paste"), &index, general),
              0);
    ASSERT_TRUE(plat::Pasteboard::General()->SetData("ORLf", nullptr, 0));
    EXPECT_EQ(UListScrap::DoEditCommand(&editor, Root(), kKids, CRgn(), 1, kLeafScrap,
                                        LMsgId("LStdCmd_Paste"), &index, general),
              0);
    EXPECT_EQ(Kids().size(), 6u);
}

TEST_F(ListScrapTest, MovedRowsFormABlock) {
    struct Case {
        std::initializer_list<int32_t> rows;
        uint32_t to;
        Strings after;
        uint32_t start;
    } cases[] = {
        {{0, 5}, 3, {"k1", "k2", "k0", "k5", "k3", "k4"}, 2},
        {{4}, 6, {"k0", "k1", "k2", "k3", "k5", "k4"}, 5},
        {{2, 3}, 0, {"k2", "k3", "k0", "k1", "k4", "k5"}, 0},
        {{1, 4}, 3, {"k0", "k2", "k1", "k4", "k3", "k5"}, 2},
        {{1, 2}, 5, {"k0", "k3", "k4", "k1", "k2", "k5"}, 3},
    };
    for (const Case& c : cases) {
        uint32_t index = c.to;
        EXPECT_EQ(UListScrap::MoveSelectedRows(&editor, Root(), kKids, 1, Rows(c.rows), &index),
                  c.rows.size());
        EXPECT_EQ(Kids(), c.after) << c.to;
        EXPECT_EQ(index, c.start) << c.to;
        while (doc.queue.Perform(0)) {
        }
        EXPECT_EQ(Kids(), (Strings{"k0", "k1", "k2", "k3", "k4", "k5"}));
    }
}

TEST_F(ListScrapTest, TextAndPrivateScraps) {
    plat::Pasteboard* pb = plat::Pasteboard::General();
    UPasteboard::PutText(LString("hello"));
    EXPECT_TRUE(UPasteboard::HasText());
    const int64_t count = pb->ChangeCount();
    UPasteboard::PutText(LString(""));
    EXPECT_EQ(pb->ChangeCount(), count);
    EXPECT_TRUE(UPasteboard::HasText());

    LScrapData priv;
    ASSERT_TRUE(priv.AddFlavor(LString("a"), 0, "x", 1, 1));
    ASSERT_TRUE(priv.AddFlavor(LString(), 0x41424344, "y", 1, 1));
    plat::Ref<plat::Pasteboard> drag = plat::Pasteboard::CreateUnique();
    EXPECT_TRUE(UPasteboard::WriteScrap(priv, drag.get()));
    EXPECT_EQ(drag->Types(), (std::vector<std::string>{"a", "ABCD"}));
    ASSERT_TRUE(priv.AddFlavor(LString("b"), 0, "z", 1, 0));
    EXPECT_FALSE(UPasteboard::WriteScrap(priv, drag.get()));
}

// Two record lists in one window: the left over k0..k5, the right over the same field of another
// holder.
class ListDragTest : public ListScrapTest {
public:
    ListDragTest() {
        list = new RecordList(w.root.get(), Root(), kKids, kLeafScrap, &editor);
        list->SetBounds({10, 10, 110, 210});
        w.root->Adopt(list);
        lists.emplace_back(list);
    }
    // Presses on a row and lets the helper make its dragger (the timer fired).
    void PressOn(RecordList* l, int32_t row) {
        LMouse* mouse = LMouse::Get();
        mouse->SetModifiers(0);
        mouse->SetLocation(Screen(l, 50, row * 20 + 10));
        LHandler::Dispatch(LMessage(LMouse_Click, mouse, l));
        LHandler::Dispatch(LMessage(LTimer_Expire, l->Helper().Timer(), l));
    }
    CLPoint Screen(RecordList* l, int32_t x, int32_t y) {
        const plat::Point p = w.Screen(l->Bounds().left + x, l->Bounds().top + y);
        return {int32_t(p.x), int32_t(p.y)};
    }
    plat::Point Gap(RecordList* l, int32_t gap) {
        return w.Screen(l->Bounds().left + 50, l->Bounds().top + gap * 20 - 3);
    }

    DropWindow w;
    RecordList* list;
    std::vector<std::unique_ptr<LPane>> lists;
};

TEST_F(ListDragTest, RowDroppedNextToItsPlaceStaysElsewhereMoves) {
    list->SetSelection(Rows({4}));
    struct Case {
        int32_t gap;
        uint32_t mask;
        bool moved;
    } cases[] = {
        {4, plat::kDragOperationEvery, false},
        {5, plat::kDragOperationEvery, false},
        {6, plat::kDragOperationEvery, true},
        {5, plat::kDragOperationCopy, true},  // copy-only: not refused
    };
    for (const Case& c : cases) {
        PressOn(list, 4);
        ASSERT_NE(list->Helper().Dragger(), nullptr);
        EXPECT_EQ(list->Helper().SourceCell(), (CLPoint{0, 4}));
        plat::DragSession drag(plat::Pasteboard::Drag(), c.mask, nullptr);
        plat::Pasteboard::Drag()->DeclareTypes({"ORLf"}, nullptr);
        std::unique_ptr<LScrapData> data = UListScrap::CopyRows(kLeafScrap, Root(), kKids, Rows({4}), 1);
        (void)UPasteboard::WriteScrap(*data, plat::Pasteboard::Drag());
        drag.MoveTo(Gap(list, c.gap));
        EXPECT_EQ(list->Helper().TargetCell(), (CLPoint{0, c.gap})) << c.gap;
        const uint32_t op = drag.Drop();
        if (c.moved) {
            EXPECT_NE(op, 0u) << c.gap;
            EXPECT_NE(Kids(), (Strings{"k0", "k1", "k2", "k3", "k4", "k5"})) << c.gap;
        } else {
            EXPECT_EQ(op, 0u) << c.gap;
            EXPECT_EQ(Kids(), (Strings{"k0", "k1", "k2", "k3", "k4", "k5"})) << c.gap;
        }
        // End the press: the helper retires its dragger.
        LHandler::Dispatch(LMessage(LMouse_Release, LMouse::Get(), list->Helper().Dragger()));
        EXPECT_EQ(list->Helper().Dragger(), nullptr);
        while (doc.queue.Perform(0)) {
        }
        list->SyncRows();
        list->SetSelection(Rows({4}));
    }
    // Two rows next to their place are not refused either.
    list->SetSelection(Rows({4, 5}));
    PressOn(list, 4);
    list->Helper().SetDragData(nullptr, true);
    plat::DragSession drag(plat::Pasteboard::Drag(), plat::kDragOperationEvery, nullptr);
    drag.MoveTo(Gap(list, 5));
    EXPECT_NE(drag.Drop(), 0u);
    LHandler::Dispatch(LMessage(LMouse_Release, LMouse::Get(), list->Helper().Dragger()));
}

TEST_F(ListDragTest, MovingRowTwoBelowRowFourIsOneUndo) {
    list->SetSelection(Rows({2}));
    PressOn(list, 2);
    plat::Pasteboard::Drag()->DeclareTypes({"ORLf"}, nullptr);
    plat::DragSession drag(plat::Pasteboard::Drag(), plat::kDragOperationEvery, nullptr);
    drag.MoveTo(Gap(list, 5));
    EXPECT_NE(drag.Drop(), 0u);
    EXPECT_EQ(Kids(), (Strings{"k0", "k1", "k3", "k4", "k2", "k5"}));
    EXPECT_EQ(list->lastIndex, 4u);
    EXPECT_TRUE(list->Selection() == Rows({4}));
    LHandler::Dispatch(LMessage(LMouse_Release, LMouse::Get(), list->Helper().Dragger()));
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Kids(), (Strings{"k0", "k1", "k2", "k3", "k4", "k5"}));
    EXPECT_FALSE(doc.queue.CanUndo());
}

TEST_F(ListDragTest, OnlyMovesInsideNeverTakeAForeignDrag) {
    // Flags bit 0: rows only move inside the list; a foreign drag with the type gets no feedback.
    auto* inside = new RecordList(w.root.get(), Root(), kKids, kLeafScrap, &editor, 1);
    inside->SetBounds({200, 10, 300, 210});
    w.root->Adopt(inside);
    lists.emplace_back(inside);
    plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
    std::unique_ptr<LScrapData> data = UListScrap::CopyRows(kLeafScrap, Root(), kKids, Rows({0}), 1);
    (void)UPasteboard::WriteScrap(*data, pb.get());
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationEvery);
    EXPECT_EQ(drag.MoveTo(Gap(inside, 2)), 0u);
    EXPECT_EQ(drag.Drop(), 0u);
    EXPECT_EQ(Kids().size(), 6u);
    // Without the flag the same drag copies.
    plat::ForeignDrag copy(pb.get(), plat::kDragOperationEvery);
    EXPECT_EQ(copy.MoveTo(Gap(list, 2)), plat::kDragOperationCopy);
    EXPECT_EQ(copy.Drop(), plat::kDragOperationCopy);
    EXPECT_EQ(Kids(), (Strings{"k0", "k1", "k0", "k2", "k3", "k4", "k5"}));
}

TEST_F(ListDragTest, AListWithoutColumnsTakesDropsAtColumnZero) {
    CRecord* empty = NewNode("empty");
    CRecordHolder other(empty);
    auto* bare = new RecordList(w.root.get(), other.RootRef(), kKids, kLeafScrap, &editor);
    bare->SetBounds({200, 10, 300, 210});
    bare->SetGridSize(0, 0);
    w.root->Adopt(bare);
    lists.emplace_back(bare);
    plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
    std::unique_ptr<LScrapData> data = UListScrap::CopyRows(kLeafScrap, Root(), kKids, Rows({1}), 1);
    (void)UPasteboard::WriteScrap(*data, pb.get());
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    drag.MoveTo(Gap(bare, 3));
    EXPECT_EQ(bare->Helper().TargetCell(), (CLPoint{0, 0}));
    EXPECT_EQ(drag.Drop(), plat::kDragOperationCopy);
    EXPECT_EQ(Labels(other.Root(), kKids), (Strings{"k1"}));
}

TEST_F(ListDragTest, HoverNearTheTopScrollsUpAfterTheInitialDelay) {
    list->SetBounds({10, 10, 110, 50});  // 100 × 40
    list->SetScrollPos(0, 3);
    w.screens.Backend().SetKeyRepeatTicks(15, 2);
    plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
    pb->DeclareTypes({"ORLf"}, nullptr);
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    drag.MoveTo(w.Screen(60, 15));  // 5 pixels inside the top edge
    CScrollHelper& scroll = list->Helper().ScrollHelper();
    EXPECT_EQ(scroll.DirectionY(), -1);
    ASSERT_TRUE(scroll.Timer()->IsRunning());
    EXPECT_NEAR(int32_t(scroll.Timer()->Due() - LTimer::Now()), 250, 3);
    LHandler::Dispatch(LMessage(LTimer_Expire, scroll.Timer(), &scroll));
    EXPECT_EQ(list->FirstRow(), 2);
    LHandler::Dispatch(LMessage(LTimer_Expire, scroll.Timer(), &scroll));
    LHandler::Dispatch(LMessage(LTimer_Expire, scroll.Timer(), &scroll));
    EXPECT_EQ(list->FirstRow(), 0);
    EXPECT_NEAR(int32_t(scroll.Timer()->Due() - LTimer::Now()), 33, 3);  // repeating now
    drag.MoveTo(w.Screen(60, 30));                                       // back inside the margins
    EXPECT_FALSE(scroll.Timer()->IsRunning());
}

TEST_F(ListDragTest, MarkerAndSelectionPixels) {
    list->SetSelection(Rows({1}));
    plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
    pb->DeclareTypes({"ORLf"}, nullptr);
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    drag.MoveTo(Gap(list, 3));
    ASSERT_TRUE(list->Helper().IsHighlighted());
    plat::Ref<plat::DrawContext> native = plat::DrawContext::CreateImage(200, 250);
    {
        LPanePort port(list);
        LDrawContext ctx(port, native.get());
        list->Draw(ctx);
    }
    // The colours as the context paints them.
    auto argb = [&](uint32_t system) {
        plat::Ref<plat::DrawContext> one = plat::DrawContext::CreateImage(200, 250);
        LPanePort port(list);
        LDrawContext ctx(port, one.get());
        LPaint(CRgn(CLRect{50, 100, 51, 101}), LColor::System(system)).Fill(ctx);
        return one->PixelAt(50, 100);
    };
    const uint32_t c3 = 3, c4 = 4;
    EXPECT_EQ(native->PixelAt(50, 10 + 25), argb(c3));  // row 1 selected
    EXPECT_EQ(native->PixelAt(50, 10 + 5), 0u);
    EXPECT_EQ(native->PixelAt(50, 10 + 45), 0u);
    // The bar: 2 pixels each side of the gap between rows 2 and 3.
    for (int32_t y = 68; y < 72; ++y) EXPECT_EQ(native->PixelAt(50, y), argb(c4)) << y;
    EXPECT_NE(native->PixelAt(50, 67), argb(c4));
    EXPECT_NE(native->PixelAt(50, 72), argb(c4));
}

// The dragger's End reaches the owner and, untaken, comes back to the dragger: one deletion, after
// the dispatch (ASan).
TEST_F(ListDragTest, DraggerEndsThroughEveryCodeWithOneDeletion) {
    LMouse* mouse = LMouse::Get();
    // No drag: a press on a selected row released without moving selects it alone (code 3).
    list->SetSelection(Rows({1, 2}));
    PressOn(list, 2);
    CDragger* d = list->Helper().Dragger();
    ASSERT_NE(d, nullptr);
    LHandler::Dispatch(LMessage(LMouse_Release, mouse, d));
    EXPECT_EQ(list->Helper().Dragger(), nullptr);
    EXPECT_TRUE(list->Selection() == Rows({2}));

    // A real drag that ends outside every window (code 0, no drop).
    Strings before = Kids();
    PressOn(list, 2);
    d = list->Helper().Dragger();
    ASSERT_NE(d, nullptr);
    HeadlessBackend& be = w.screens.Backend();
    be.Inject(HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseDragged, nullptr, {1000, 800}));
    be.Inject(HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseUp, nullptr, {1000, 800}));
    mouse->SetLocation(Screen(list, 50, 60));
    {
        testsupport::NestedLoopGuard guard;
        LHandler::Dispatch(LMessage(LMouse_Move, mouse, d));
        EXPECT_FALSE(guard.Fired());
    }
    EXPECT_EQ(list->Helper().Dragger(), nullptr);
    EXPECT_EQ(Kids(), before);

    // A real drag dropped in the list (code 6 during the drag, then End with code 0).
    PressOn(list, 2);
    d = list->Helper().Dragger();
    ASSERT_NE(d, nullptr);
    const plat::Point to = Gap(list, 5);
    be.Inject(HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseDragged, nullptr, to));
    be.Inject(HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseUp, nullptr, to));
    mouse->SetLocation(Screen(list, 50, 60));
    {
        testsupport::NestedLoopGuard guard;
        LHandler::Dispatch(LMessage(LMouse_Move, mouse, d));
        EXPECT_FALSE(guard.Fired());
    }
    EXPECT_EQ(list->Helper().Dragger(), nullptr);
    EXPECT_EQ(Kids(), (Strings{"k0", "k1", "k3", "k4", "k2", "k5"}));
    EXPECT_EQ(std::count(list->codes.begin(), list->codes.end(), 1), 1);
}

TEST_F(ListDragTest, ATimerClosingTheWindowMidDragEndsItQuietly) {
    LMouse* mouse = LMouse::Get();
    list->SetSelection(Rows({2}));
    PressOn(list, 2);
    CDragger* d = list->Helper().Dragger();
    ASSERT_NE(d, nullptr);
    struct Ctx {
        ListDragTest* t;
        int fired = 0;
    } ctx{this};
    plat::Ref<plat::RunLoopTimer> timer = plat::RunLoopTimer::Create(
        plat::ClockNow(), 0,
        [](plat::RunLoopTimer*, void* c) {
            auto* x = static_cast<Ctx*>(c);
            if (x->fired++) return;
            x->t->lists.clear();  // the list and its helper go with the window
            x->t->w.Close();
            auto* be = static_cast<HeadlessBackend*>(plat::CurrentBackend());
            be->Inject(HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseUp, nullptr, {300, 300}));
        },
        &ctx);
    w.screens.Backend().Inject(
        HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseDragged, nullptr, Gap(list, 4)));
    mouse->SetLocation(Screen(list, 50, 60));
    ASSERT_TRUE(plat::RunLoop::Main()->AddTimer(timer.get(), plat::kRunLoopCommonModes));
    {
        testsupport::NestedLoopGuard guard;
        LHandler::Dispatch(LMessage(LMouse_Move, mouse, d));
        EXPECT_FALSE(guard.Fired());
    }
    timer->Invalidate();
    EXPECT_EQ(ctx.fired, 1);
    EXPECT_EQ(Kids(), (Strings{"k0", "k1", "k2", "k3", "k4", "k5"}));
}

}  // namespace
