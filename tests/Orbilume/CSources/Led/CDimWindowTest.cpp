#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreUI/CHeaderFrame.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Orbilume/CSources/Led/CDIMDefSel.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Orbilume/CSources/Led/CDimDeviceList.h"
#include "Orbilume/CSources/Led/CDimLayoutView.h"
#include "Orbilume/CSources/Led/CDimWindow.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/support/PinnedFonts.h"

using namespace dimtest;

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

struct Root : LHandler {
    CUndoQueue undo{1 << 20};
    LMessage Handle(const LMessage& msg) override {
        if (undo.HandleMessage(msg)) return LMessage();
        return LHandler::Handle(msg);
    }
};

// The window's panes without a window of their own.
struct DimWindowTest : ::testing::Test {
    Root root;
    Documents docs;
    std::unique_ptr<CDimWindow> window;

    void SetUp() override {
        ASSERT_TRUE(docs.Read(DimsXml({})));
        SDimWindowSources sources;
        sources.settingsHolder = &docs.prefs;
        sources.settings = docs.Settings();
        sources.dims = &docs.dims;
        sources.defs = &docs.defs;
        window = std::make_unique<CDimWindow>(&root, nullptr, LFrameSpec::Default(), sources);
    }
    CRecordRef Dims() { return docs.dims.RootRef(); }
};

}  // namespace

TEST(DimWindow, Title) {
    EXPECT_STREQ(CDimWindow::TitleFor(LString(""), LString("LED Dimmer")).CStr(), "LED Dimmer");
    EXPECT_STREQ(CDimWindow::TitleFor(LString("Stage.dim"), LString("LED Dimmer")).CStr(), "Stage.dim -LED Dimmer");
}

TEST_F(DimWindowTest, HeaderFollowsTheDocumentAndTheSettings) {
    ASSERT_NE(window->View(), nullptr);
    EXPECT_FALSE(window->DivisionKnob()->IsReadOnly());
    Dims().SetByte(nullptr, T::kDimsAutoDivision, 1);
    EXPECT_TRUE(window->DivisionKnob()->IsReadOnly());
    Dims().SetByte(nullptr, T::kDimsAutoDivision, 0);
    EXPECT_FALSE(window->DivisionKnob()->IsReadOnly());
    Dims().SetUInt(nullptr, T::kDimsDivision, 48);
    EXPECT_FLOAT_EQ(window->DivisionKnob()->GetValue(), 48);
    UDimPrefs::SetUse(docs.Settings(), true);
    EXPECT_TRUE(window->OutputCheck()->GetValue());
    UDimPrefs::SetUse(docs.Settings(), false);
    EXPECT_FALSE(window->OutputCheck()->GetValue());
}

TEST_F(DimWindowTest, ControlsWriteTheDocumentAndTheSettings) {
    window->OutputCheck()->SetValue(1);
    window->Dispatch(LMessage(LStdCheck_Change, window->OutputCheck(), window.get()));
    EXPECT_TRUE(UDimPrefs::GetUse(docs.Settings()));
    // The knob writes 'dvsn' directly: no undo entry.
    window->DivisionKnob()->SetValue(120);
    window->Dispatch(LMessage(CNumVol_Fix, window->DivisionKnob(), window.get()));
    EXPECT_EQ(docs.dims.Root()->GetUInt(T::kDimsDivision), 120u);
    window->DivisionKnob()->SetValue(900);  // out of range
    window->Dispatch(LMessage(CNumVol_Fix, window->DivisionKnob(), window.get()));
    EXPECT_EQ(docs.dims.Root()->GetUInt(T::kDimsDivision), 500u);
    EXPECT_FALSE(root.undo.CanUndo());
}

TEST_F(DimWindowTest, TheListShowsTheDevices) {
    ASSERT_NE(window->DeviceList(), nullptr);
    EXPECT_EQ(window->DeviceList()->Rows(), 0);
    docs.dims.RootRef().InsertRecord(nullptr, T::kDimsDevices, CRecordRef::kAppend, CRecord::New(T::Didv()));
    EXPECT_EQ(window->DeviceList()->Rows(), 1);
}

// Laid out at its preferred size, a row fits the list's column, and each column title stands over
// its part of the rows in both modes.
TEST(DimWindowLaidOut, ARowFitsTheColumnAndEachTitleStandsOverItsPart) {
    BundleResources resources;
    ASSERT_TRUE(resources.Ok());
    Root root;
    Documents docs;
    ASSERT_TRUE(docs.Read(DimsXml({{}})));
    SDimWindowSources sources;
    sources.settingsHolder = &docs.prefs;
    sources.settings = docs.Settings();
    sources.dims = &docs.dims;
    sources.defs = &docs.defs;
    auto window = std::make_unique<CDimWindow>(&root, nullptr, LFrameSpec::Default(), sources);
    ASSERT_TRUE(window->HasLayout());
    int32_t width = 0, height = 0;
    {
        LPanePort port(window.get());
        LDrawContext ctx(port);
        width = window->PreferredWidth(ctx, 0);
        height = window->PreferredHeight(ctx, 0);
    }
    ASSERT_GT(width, 0);
    window->SetBounds({0, 0, width, height});
    window->UpdateLayout();
    CDimDeviceList* list = window->DeviceList();
    auto* cell = static_cast<CDimDeviceCell*>(list->GetPrototypeCell());
    ASSERT_NE(cell, nullptr);
    {
        LPanePort port(cell);
        LDrawContext ctx(port);
        EXPECT_GE(list->CellRect({0, 0}).Width(), cell->PreferredWidth(ctx, 0));
    }
    EXPECT_LE(list->GetOriginIn(nullptr).x + list->Bounds().Width(), window->Bounds().right);

    CHeaderFrame* header = window->ColumnHeader();
    auto left = [](const LPane* p) { return p->Owner()->GetOriginIn(nullptr).x + p->Bounds().left; };
    auto right = [](const LPane* p) { return p->Owner()->GetOriginIn(nullptr).x + p->Bounds().right; };
    struct Title {
        int32_t item;
        const LPane* part;
    };
    auto check = [&](const std::vector<Title>& shown, const char* mode) {
        for (const Title& t : shown) {
            ASSERT_TRUE(header->IsItemVisible(t.item)) << mode << " " << t.item;
            CRespText* item = header->Item(t.item);
            EXPECT_EQ(left(item), left(t.part)) << mode << " title " << t.item;
            // Whole: not cut back by its neighbour.
            LPanePort port(item);
            LDrawContext ctx(port);
            EXPECT_GE(item->Bounds().Width(), item->PreferredWidth(ctx, 0)) << mode << " title " << t.item;
            EXPECT_GT(item->Bounds().Width(), 1) << mode << " title " << t.item;
        }
    };
    check({{0, cell->Definition()}, {1, cell->FirstChannel()}, {2, cell->Output()}}, "assignment");
    for (int32_t i = 3; i <= 8; ++i) EXPECT_FALSE(header->IsItemVisible(i)) << i;

    docs.dims.RootRef().SetByte(nullptr, T::kDimsViewMode, 1);
    using S = dimcell::CEdits::Setter;
    check({{3, cell->Knob(S::kX)}, {4, cell->Knob(S::kY)}, {5, cell->Knob(S::kW)}, {6, cell->Knob(S::kH)},
           {7, cell->Knob(S::kRotation)}},
          "layout");
    for (int32_t i = 0; i <= 2; ++i) EXPECT_FALSE(header->IsItemVisible(i)) << i;
    // The units note, right-aligned at the H knob's right edge.
    ASSERT_TRUE(header->IsItemVisible(8));
    EXPECT_EQ(right(header->Item(8)), right(cell->Knob(S::kH)));
}
