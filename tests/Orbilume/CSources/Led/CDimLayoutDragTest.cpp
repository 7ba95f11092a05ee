#include <gtest/gtest.h>

#include <memory>

#include "Lib3/LSources/CoreData/CMainLoopUI.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/LScrapData.h"
#include "Lib3/LSources/Mac/UPasteboard.h"
#include "Orbilume/CSources/Led/CDimDragTracker.h"
#include "Orbilume/CSources/Led/CDimLayoutView.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"
#include "tests/Lib3/LSources/Mac/DropTestSupport.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace dimtest;

namespace {

// Lends the undo queue and gives the mouse to the pane that asks.
struct Root : LHandler {
    CUndoQueue undo{1 << 20};
    LMessage Handle(const LMessage& msg) override {
        if (undo.HandleMessage(msg)) return LMessage();
        if (msg.Is(LPane_ReqCapture) && LMouse::Get()) {
            LMouse::Get()->SetTracker(msg.sender);
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
};

// A 240 × 240 view: one view unit is 100 pixels, the centre at (120, 120).
int32_t Px(double u) {
    return int32_t(u * 100 + 120);
}
int32_t Py(double v) {
    return int32_t(120 - v * 100);
}

// The move of the layout view as a 'DMDG' drag session in a window (the platform drag driven as a
// foreign session over a pasteboard carrying the type).
class DimLayoutDragTest : public ::testing::Test {
protected:
    void Make(const std::vector<Device>& devices) {
        ASSERT_TRUE(docs.Read(DimsXml(devices)));
        host = w.root->Adopt(new LFrame(&root, w.root.get()));
        host->SetBounds({0, 0, 300, 300});
        view = new CDimLayoutView(host, &docs.dims, &docs.defs, &docs.prefs, docs.Settings());
        // Away from the window's corner, so the drop point is seen through the pane's origin.
        view->SetBounds({15, 25, 255, 265});
        view->ChangeState(LPane::kChainShow);
        view->ChangeState(LPane::kChainEnable);
    }
    void TearDown() override {
        if (!host) return;
        std::erase(w.root->children, host);
        delete host;  // and the view
    }
    void Offer() {
        LScrapData data;
        const uint8_t zero = 0;
        ASSERT_TRUE(data.AddFlavor(CDimLayoutView::DragType().name, CDimLayoutView::kDragType, &zero, 1, 0));
        (void)UPasteboard::WriteScrap(data, pb.get());
    }
    // A pane point on the screen.
    plat::Point At(int32_t x, int32_t y) {
        const CLPoint origin = view->GetOriginIn(nullptr);
        return w.Screen(origin.x + x, origin.y + y);
    }
    // The dragger's end, as the platform drag sends it once over.
    void End() {
        ASSERT_NE(view->Tracker(), nullptr);
        if (CDragger* d = view->Tracker()->Dragger()) LHandler::Dispatch(LMessage(CDragger_End, d, view));
    }
    uint32_t Count() { return docs.dims.Root()->ArrayCount(T::kDimsDevices); }
    float F(uint32_t i, uint32_t field) { return docs.DeviceAt(i)->GetFloat(field); }
    bool Selected(uint32_t i) { return docs.DeviceAt(i)->GetByte(T::kDidvSelected) != 0; }

    DropWindow w;
    Root root;
    Documents docs;
    LFrame* host = nullptr;
    CDimLayoutView* view = nullptr;
    plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
};

TEST_F(DimLayoutDragTest, ADropMovesTheSelectionByThePointersOffsetInOneStep) {
    Make({{.x = -0.5f, .y = 0, .w = 0.2f, .h = 0.2f}, {.x = 0.5f, .y = 0, .w = 0.2f, .h = 0.2f}});
    view->Click(Px(-0.5), Py(0), false);
    ASSERT_TRUE(view->StartMoveDrag());
    EXPECT_TRUE(view->Tracker()->IsActive());
    EXPECT_NE(view->GetOriginIn(nullptr), (CLPoint{0, 0}));
    Offer();
    {
        plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy | plat::kDragOperationMove);
        (void)drag.MoveTo(At(Px(-0.4), Py(0)));
        // The selection follows the pointer while nothing is stored yet.
        EXPECT_TRUE(view->IsMoving());
        EXPECT_FLOAT_EQ(F(0, T::kDidvPosX), -0.5f);
        (void)drag.MoveTo(At(Px(-0.2), Py(-0.3)));
        EXPECT_NE(drag.Drop(), 0u);
    }
    End();
    EXPECT_FALSE(view->IsDragging());
    EXPECT_FALSE(view->Tracker()->IsActive());
    ASSERT_EQ(Count(), 2u);
    EXPECT_NEAR(F(0, T::kDidvPosX), -0.2, 1e-5);
    EXPECT_NEAR(F(0, T::kDidvPosY), -0.3, 1e-5);
    EXPECT_FLOAT_EQ(F(1, T::kDidvPosX), 0.5f);
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_FLOAT_EQ(F(0, T::kDidvPosX), -0.5f);
    EXPECT_FLOAT_EQ(F(0, T::kDidvPosY), 0);
}

TEST_F(DimLayoutDragTest, ACopyOnlyDropAppendsSelectedClones) {
    Make({{.x = -0.5f, .y = 0, .w = 0.2f, .h = 0.2f, .dxch = 9}});
    view->Click(Px(-0.5), Py(0), false);
    ASSERT_TRUE(view->StartMoveDrag());
    Offer();
    {
        plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
        (void)drag.MoveTo(At(Px(0), Py(0.5)));
        EXPECT_NE(drag.Drop(), 0u);
    }
    End();
    ASSERT_EQ(Count(), 2u);
    EXPECT_FALSE(Selected(0));
    EXPECT_TRUE(Selected(1));
    EXPECT_FLOAT_EQ(F(0, T::kDidvPosX), -0.5f);
    EXPECT_NEAR(F(1, T::kDidvPosX), 0, 1e-5);
    EXPECT_NEAR(F(1, T::kDidvPosY), 0.5, 1e-5);
    EXPECT_EQ(docs.DeviceAt(1)->GetUInt(T::kDidvFirstSlot), 9u);
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_EQ(Count(), 1u);
}

TEST_F(DimLayoutDragTest, AnEndWithoutADropChangesNothing) {
    Make({{.x = 0, .y = 0, .w = 0.4f, .h = 0.4f}});
    view->Click(Px(0), Py(0), false);
    ASSERT_TRUE(view->StartMoveDrag());
    Offer();
    {
        // Moves over the pane, then leaves the window before the button goes up.
        plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy | plat::kDragOperationMove);
        (void)drag.MoveTo(At(Px(0.3), Py(0)));
        (void)drag.MoveTo({5, 5});
        EXPECT_EQ(drag.Drop(), 0u);
    }
    End();
    EXPECT_FALSE(view->IsDragging());
    EXPECT_FLOAT_EQ(F(0, T::kDidvPosX), 0);
    EXPECT_FALSE(root.undo.Perform(0));
}

TEST_F(DimLayoutDragTest, OnlyAPressOnABodyStartsASession) {
    Make({{.x = 0, .y = 0, .w = 0.4f, .h = 0.4f}});
    view->Click(Px(0.9), Py(0.9), false);  // empty space: the band
    EXPECT_FALSE(view->StartMoveDrag());
    view->Release();
    // Without a window there is no session: the press ends at the release.
    CDimLayoutView bare(nullptr, &docs.dims, &docs.defs, &docs.prefs, docs.Settings());
    bare.SetUpper(&root);
    bare.SetBounds({0, 0, 240, 240});
    bare.Click(Px(0), Py(0), false);
    EXPECT_FALSE(bare.StartMoveDrag());
    EXPECT_FALSE(bare.IsMoving());
    bare.Release();
}

}  // namespace
