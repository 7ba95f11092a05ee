#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreUI/CHeaderFrame.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LWindowPlacer.h"
#include "Orbilume/CSources/Led/CDIMDefSel.h"
#include "Orbilume/CSources/Led/CDimDeviceList.h"
#include "Orbilume/CSources/Led/CDimLayoutView.h"
#include "Orbilume/CSources/Led/CDimWindow.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoFinder.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/USB/sim/SimDmxInterface.h"
#include "Platform/USB/sim/SimUsbHost.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/support/PinnedFonts.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

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

namespace {

// The window with a window of its own on the headless backend, over the simulated USB bus.
struct DimWindowShownTest : dialogtest::HeadlessDialogTest {
    Documents docs;
    plat::sim::SimUsbHost host;
    std::unique_ptr<CDimWindow> window;

    std::unique_ptr<CDimWindow> Make() {
        SDimWindowSources sources;
        sources.settingsHolder = &docs.prefs;
        sources.settings = docs.Settings();
        sources.dims = &docs.dims;
        sources.defs = &docs.defs;
        sources.usb = &host;
        return std::make_unique<CDimWindow>(&root, nullptr, CDimWindow::MakeSpec(), sources);
    }
    CLRect StoredPlace() { return CParamSet::GetRect(docs.Settings(), LString("winplace")); }
    // The window's pixels of a list row: dark ones 1, the rest 0.
    std::vector<uint8_t> RowInk(int32_t row) {
        CDimDeviceList* list = window->DeviceList();
        const CLPoint o = list->GetOriginIn(nullptr);
        const CLRect r = list->CellRect({0, row});
        plat::DrawContext* store = window->Window()->NativeWindow()->BackingStore();
        std::vector<uint8_t> px;
        for (int32_t y = o.y + r.top; y < o.y + r.bottom; ++y)
            for (int32_t x = o.x + r.left; x < o.x + r.right; ++x) {
                const uint32_t p = store->PixelAt(x, y);
                px.push_back(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 128);
            }
        return px;
    }
};

}  // namespace

// Without a proper stored placement the window opens at its layout's size; a proper one is used as
// the content rectangle, and closing stores the content rectangle again.
TEST_F(DimWindowShownTest, AnEmptyPlacementOpensAtTheLayoutSize) {
    ASSERT_TRUE(resources.Ok());
    ASSERT_TRUE(docs.Read(DimsXml({{}})));
    window = Make();
    int32_t width = 0, height = 0;
    {
        LPanePort port(window.get());
        LDrawContext ctx(port);
        width = std::max(window->PreferredWidth(ctx, 0), LWindowPlacer::kMinimum);
        height = std::max(window->PreferredHeight(ctx, 0), LWindowPlacer::kMinimum);
    }
    window.reset();
    ASSERT_GT(width, LWindowPlacer::kMinimum);
    // Never stored, then stored but not proper.
    const char* const empty[] = {nullptr, "", "0 0 0 0", "300 200 100 50", "100 100 100 400"};
    for (const char* stored : empty) {
        SCOPED_TRACE(stored ? stored : "none");
        if (stored) CParamSet::SetString(docs.Settings(), nullptr, LString("winplace"), LString(stored));
        window = Make();
        const CLRect content = window->GetWindowRect();
        EXPECT_EQ(content.Width(), width);
        EXPECT_EQ(content.Height(), height);
        window.reset();
        EXPECT_EQ(StoredPlace(), content);
    }
    const CLRect place{120, 140, 1020, 760};
    CParamSet::SetRect(docs.Settings().Get(), LString("winplace"), place);
    window = Make();
    EXPECT_EQ(window->GetWindowRect(), place);
    window.reset();
    EXPECT_EQ(StoredPlace(), place);
}

// Serial numbers of any bytes: an interface whose serial is broken UTF-8 is found by its bytes and
// drawn with U+FFFD, the same ink as a serial spelt with U+FFFD.
TEST_F(DimWindowShownTest, BrokenSerialsAreFoundAndDrawnAsReplacementCharacters) {
    ASSERT_TRUE(resources.Ok());
    const char* const kBroken = "Box \xff\xc3";
    const char* const kShown = "Box \xef\xbf\xbd\xef\xbf\xbd";
    plat::Ref<plat::sim::SimDmxInterface> broken = plat::sim::SimDmxInterface::Make(1, 2, kBroken);
    plat::Ref<plat::sim::SimDmxInterface> shown = plat::sim::SimDmxInterface::Make(1, 3, kShown);
    plat::Ref<plat::sim::SimDmxInterface> other = plat::sim::SimDmxInterface::Make(1, 4, "Box AB");
    host.Plug(broken.get());
    host.Plug(shown.get());
    host.Plug(other.get());
    const Device usb{.conn = 1, .universe = ""};
    ASSERT_TRUE(docs.Read(DimsXml({usb, usb, usb})));
    docs.SetParam(0, "drsern", kBroken);
    docs.SetParam(1, "drsern", kShown);
    docs.SetParam(2, "drsern", "Box AB");
    window = Make();
    window->ShowWindow();
    CDimDeviceList* list = window->DeviceList();
    ASSERT_EQ(list->Rows(), 3);
    ASSERT_GE(list->VisibleRows(), 3);
    const int32_t chosen[] = {1, 2, 3};
    for (int32_t row = 0; row < 3; ++row) {
        CCellRef ref(list, {0, row}, false);
        auto* cell = static_cast<CDimDeviceCell*>(ref.Pane());
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->Interface()->Count(), 4) << row;  // none and the three: no separator
        EXPECT_EQ(cell->Interface()->GetValue(), chosen[row]) << row;
    }

    plat::Window* native = window->Window()->NativeWindow();
    const CRgn all(CLRect{0, 0, window->Bounds().Width(), window->Bounds().Height()});
    window->Invalidate(all, all);
    native->Display();
    const std::vector<uint8_t> ink = RowInk(0);
    EXPECT_NE(std::count(ink.begin(), ink.end(), 1), 0);
    EXPECT_EQ(ink, RowInk(1));
    EXPECT_NE(ink, RowInk(2));

    // Choosing the broken interface stores its own bytes, which the output looks it up by.
    auto* cell = static_cast<CDimDeviceCell*>(CCellRef(list, {0, 2}, false).Pane());
    ASSERT_NE(cell, nullptr);
    cell->Interface()->SetValue(1);
    LHandler::Dispatch(LMessage(LPopupList_Changed, cell->Interface(), cell));
    LString serial;
    CRecord* prms = docs.DeviceAt(2)->GetSubRecord(T::kDidvParams);
    ASSERT_GE(CParamSet::Find(CRecordRef(&prms), LString("drsern"), &serial), 0);
    EXPECT_EQ(std::string(serial.CStr(), serial.Length()), kBroken);
    EXPECT_FALSE(CDmxIoFinder::FindPath(host, std::string(serial.CStr(), serial.Length())).empty());
}
