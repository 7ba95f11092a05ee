#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Orbilume/CSources/Led/CDimLayoutView.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace dimtest;
using dimlayout::Hit;

namespace {

// The document's end of the chain: lends its undo queue.
struct Root : LHandler {
    CUndoQueue undo{1 << 20};
    LMessage Handle(const LMessage& msg) override {
        if (undo.HandleMessage(msg)) return LMessage();
        return LHandler::Handle(msg);
    }
};

// A 240 × 240 pane: one view unit is 100 pixels, the centre at (120, 120).
double Px(double u) {
    return u * 100 + 120;
}
double Py(double v) {
    return 120 - v * 100;
}

struct DimLayoutViewTest : ::testing::Test {
    Root root;
    Documents docs;
    std::unique_ptr<CDimLayoutView> view;

    void Make(const std::vector<Device>& devices) {
        ASSERT_TRUE(docs.Read(DimsXml(devices)));
        view = std::make_unique<CDimLayoutView>(nullptr, &docs.dims, &docs.defs, &docs.prefs, docs.Settings());
        view->SetUpper(&root);
        view->SetBounds({0, 0, 240, 240});
    }
    uint32_t Count() { return docs.dims.Root()->ArrayCount(T::kDimsDevices); }
    bool Selected(uint32_t i) { return docs.DeviceAt(i)->GetByte(T::kDidvSelected) != 0; }
    float F(uint32_t i, uint32_t field) { return docs.DeviceAt(i)->GetFloat(field); }
    void Drag(double x0, double y0, double x1, double y1, int steps = 4) {
        view->Click(x0, y0, false);
        for (int s = 1; s <= steps; ++s) view->DragStep(x0 + (x1 - x0) * s / steps, y0 + (y1 - y0) * s / steps);
    }
    int UndoAll() {
        int n = 0;
        while (root.undo.Perform(0)) ++n;
        return n;
    }
};

}  // namespace

TEST_F(DimLayoutViewTest, ClickSelectsOnlyTheClickedDeviceAndSnapshotsIt) {
    Make({{.x = -0.5f, .y = 0, .w = 0.2f, .h = 0.2f}, {.x = 0.5f, .y = 0, .w = 0.2f, .h = 0.2f}});
    view->Click(Px(-0.5), Py(0), false);
    EXPECT_EQ(view->CurrentHit().kind, Hit::kBody);
    EXPECT_TRUE(Selected(0));
    view->Release();
    view->Click(Px(0.5), Py(0.05), false);
    EXPECT_FALSE(Selected(0));
    EXPECT_TRUE(Selected(1));
    EXPECT_FLOAT_EQ(F(1, T::kDidvSnapshot), 0.5f);
    view->Release();
    // Shift on a device toggles it and ends the click.
    view->Click(Px(-0.5), Py(0), true);
    EXPECT_TRUE(Selected(0) && Selected(1));
    EXPECT_FALSE(view->IsDragging());
    // A plain click on empty space clears the selection.
    view->Click(Px(0), Py(0.8), false);
    EXPECT_FALSE(Selected(0) || Selected(1));
}

TEST_F(DimLayoutViewTest, ResizeDragIsOneUndoStepAndCollapsesPastTheAnchor) {
    Make({{.x = 0, .y = 0, .w = 0.4f, .h = 0.4f}});
    // Corner 2 at (0.2, 0.2); dragged past the anchor at (-0.2, -0.2).
    Drag(Px(0.2), Py(0.2), Px(-0.6), Py(-0.6));
    EXPECT_EQ(view->CurrentHit().kind, Hit::kResize);
    EXPECT_FLOAT_EQ(F(0, T::kDidvWidth), 0);
    EXPECT_FLOAT_EQ(F(0, T::kDidvHeight), 0);
    EXPECT_NEAR(F(0, T::kDidvPosX), -0.2, 1e-6);
    view->Release();
    EXPECT_EQ(UndoAll(), 1);
    EXPECT_FLOAT_EQ(F(0, T::kDidvWidth), 0.4f);
    EXPECT_FLOAT_EQ(F(0, T::kDidvPosX), 0);
}

TEST_F(DimLayoutViewTest, RotateDragStoresTheWrappedAngle) {
    Make({{.x = 0, .y = 0, .w = 0.4f, .h = 0.4f, .rota = 170}});
    // The handle of a device turned 170 degrees points down and a little to the right.
    const double t = 170 * M_PI / 180;
    const double hx = -std::sin(t) * 0.25, hy = std::cos(t) * 0.25;
    view->Click(Px(hx), Py(hy), false);
    ASSERT_EQ(view->CurrentHit().kind, Hit::kRotate);
    const double u = 190 * M_PI / 180;  // 20 degrees further
    view->DragStep(Px(-std::sin(u) * 0.25), Py(std::cos(u) * 0.25));
    EXPECT_NEAR(F(0, T::kDidvRotation), -170, 1e-3);
}

TEST_F(DimLayoutViewTest, GesturesOnAnUnchangedSelectionMergeIntoOneStep) {
    Make({{.x = -0.5f, .y = 0, .w = 0.2f, .h = 0.2f}, {.x = 0.5f, .y = 0, .w = 0.2f, .h = 0.2f}});
    // Select both, then two moves and a resize: one step.
    view->Click(Px(-0.5), Py(0), false);
    view->Release();
    view->Click(Px(0.5), Py(0), true);
    for (int i = 0; i < 2; ++i) {
        Drag(Px(-0.5 + 0.1 * i), Py(0), Px(-0.4 + 0.1 * i), Py(0));
        EXPECT_TRUE(view->IsMoving());
        view->Drop(false);
        view->Release();
    }
    EXPECT_NEAR(F(0, T::kDidvPosX), -0.3, 1e-5);
    EXPECT_NEAR(F(1, T::kDidvPosX), 0.7, 1e-5);
    Drag(Px(0.8), Py(0.1), Px(0.9), Py(0.1));  // corner 2 of the right device
    EXPECT_EQ(view->CurrentHit().kind, Hit::kResize);
    view->Release();
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_NEAR(F(0, T::kDidvPosX), -0.5, 1e-6);
    EXPECT_NEAR(F(1, T::kDidvPosX), 0.5, 1e-6);
    EXPECT_NEAR(F(1, T::kDidvWidth), 0.2, 1e-6);
    EXPECT_FALSE(root.undo.Perform(0));
    // A changed selection starts a new step.
    EXPECT_TRUE(root.undo.Perform(1));
    const float left = F(0, T::kDidvPosX), right = F(1, T::kDidvPosX);
    view->Click(Px(0), Py(0.9), false);  // clears
    view->Release();
    Drag(Px(-0.3), Py(0), Px(-0.2), Py(0));
    view->Drop(false);
    view->Release();
    EXPECT_NEAR(F(0, T::kDidvPosX), left + 0.1, 1e-5);
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_FLOAT_EQ(F(0, T::kDidvPosX), left);
    EXPECT_FLOAT_EQ(F(1, T::kDidvPosX), right);
}

TEST_F(DimLayoutViewTest, CopyDropAppendsSelectedClonesInOneGroup) {
    Make({{.x = -0.5f, .y = 0, .w = 0.2f, .h = 0.2f, .dxch = 7}, {.x = 0.5f, .y = 0, .w = 0.2f, .h = 0.2f}});
    Drag(Px(-0.5), Py(0), Px(-0.5), Py(-0.5));
    view->Drop(true);
    view->Release();
    ASSERT_EQ(Count(), 3u);
    EXPECT_FALSE(Selected(0));
    EXPECT_TRUE(Selected(2));
    EXPECT_NEAR(F(2, T::kDidvPosY), -0.5, 1e-6);
    EXPECT_FLOAT_EQ(F(0, T::kDidvPosY), 0);
    EXPECT_EQ(docs.DeviceAt(2)->GetUInt(T::kDidvFirstSlot), 7u);
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_EQ(Count(), 2u);
}

TEST_F(DimLayoutViewTest, ShiftBandKeepsTheSelectionAndTogglesWhatItSweeps) {
    Make({{.x = -0.5f, .y = 0.5f, .w = 0.2f, .h = 0.2f},
          {.x = 0.5f, .y = 0.5f, .w = 0.2f, .h = 0.2f},
          {.x = 0, .y = -0.5f, .w = 1.0f, .h = 0.6f}});
    view->Click(Px(-0.5), Py(0.5), false);
    view->Release();
    // Shift on empty space: the band from (0.2, 0.9) to (0.8, 0.3) sweeps device 1 only.
    view->Click(Px(0.2), Py(0.9), true);
    EXPECT_EQ(view->CurrentHit().kind, Hit::kNone);
    EXPECT_TRUE(Selected(0));
    view->DragStep(Px(0.8), Py(0.3));
    EXPECT_TRUE(Selected(0) && Selected(1));
    // Pulled back, it leaves device 1 again.
    view->DragStep(Px(0.3), Py(0.8));
    EXPECT_FALSE(Selected(1));
    view->Release();
}

TEST_F(DimLayoutViewTest, DeleteNeedsASelectionAndIsOneStep) {
    Make({{.x = -0.5f}, {.x = 0}, {.x = 0.5f}});
    EXPECT_FALSE(view->CanDelete());
    view->Click(Px(-0.5), Py(0), false);
    view->Release();
    view->Click(Px(0.5), Py(0), true);
    EXPECT_TRUE(view->CanDelete());
    view->DeleteSelection();
    ASSERT_EQ(Count(), 1u);
    EXPECT_FLOAT_EQ(F(0, T::kDidvPosX), 0);
    EXPECT_FALSE(view->CanDelete());
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_EQ(Count(), 3u);
    EXPECT_FALSE(root.undo.Perform(0));
}

TEST_F(DimLayoutViewTest, EmptyPaneHitsNothing) {
    Make({{.x = 0, .y = 0, .w = 2.4f, .h = 2.4f}});
    for (CLRect bounds : {CLRect{0, 0, 0, 0}, CLRect{0, 0, 0, 200}, CLRect{0, 0, 200, 0}}) {
        view->SetBounds(bounds);
        view->Hover(0, 0);
        EXPECT_EQ(view->CurrentHit().kind, Hit::kNone);
        view->Click(0, 0, false);
        EXPECT_EQ(view->CurrentHit().kind, Hit::kNone);
        view->DragStep(10, 10);
        view->Release();
        EXPECT_FALSE(Selected(0));
    }
}

TEST_F(DimLayoutViewTest, RecordChangesAndHoverRequestRedraws) {
    Make({{.x = 0, .y = 0, .w = 0.4f, .h = 0.4f}});
    uint32_t n = view->RedrawRequests();
    docs.DeviceRef(0).SetFloat(nullptr, T::kDidvPosX, 0.1f);
    EXPECT_GT(view->RedrawRequests(), n);
    n = view->RedrawRequests();
    UDimPrefs::SetDotBounds(docs.Settings(), true);
    EXPECT_GT(view->RedrawRequests(), n);
    n = view->RedrawRequests();
    docs.DeviceRef(0).SetUInt(nullptr, T::kDidvFirstSlot, 9);  // not drawn
    EXPECT_EQ(view->RedrawRequests(), n);
    view->Hover(Px(0.1), Py(0));
    EXPECT_EQ(view->CurrentHit().kind, Hit::kBody);
    EXPECT_GT(view->RedrawRequests(), n);
    n = view->RedrawRequests();
    view->Hover(Px(0.12), Py(0));  // the same hit
    EXPECT_EQ(view->RedrawRequests(), n);
    view->Leave();
    EXPECT_EQ(view->CurrentHit().kind, Hit::kNone);
}
