#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Led/CDIMDefSel.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDeviceList.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/Mac/DropTestSupport.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/support/PinnedFonts.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace dimtest;
using Setter = dimcell::CEdits::Setter;

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

struct Root : LHandler {
    CUndoQueue undo{1 << 20};
    LMessage Handle(const LMessage& msg) override {
        if (undo.HandleMessage(msg)) return LMessage();
        return LHandler::Handle(msg);
    }
};

struct DimDeviceListTest : ::testing::Test {
    Root root;
    Documents docs;
    CDimDefLibrary library{&docs.defs, "/nonexistent"};
    std::unique_ptr<CDimDeviceList> list;
    std::unique_ptr<CDimDeviceCell> cell;

    void Make(const std::vector<Device>& devices) {
        ASSERT_TRUE(docs.Read(DimsXml(devices)));
        list = std::make_unique<CDimDeviceList>(nullptr, &docs.prefs, docs.Settings(), &docs.dims, &docs.defs,
                                                nullptr, &library);
        list->SetUpper(&root);
        list->SetSerialSource([] { return std::vector<std::string>{"AAA", "BBB"}; });
        list->SetBounds({0, 0, 600, 400});
        cell.reset(static_cast<CDimDeviceCell*>(list->CreateCellPane()));
    }
    bool Selected(uint32_t i) { return docs.DeviceAt(i)->GetByte(T::kDidvSelected) != 0; }
    void Fix(CNumVol* knob, float v) {
        knob->SetValue(v);
        LHandler::Dispatch(LMessage(CNumVol_Fix, knob, cell.get()));
    }
};

}  // namespace

TEST_F(DimDeviceListTest, RowsFollowTheDevices) {
    Make({{}, {}});
    EXPECT_EQ(list->Rows(), 2);
    docs.dims.RootRef().InsertRecord(nullptr, T::kDimsDevices, CRecordRef::kAppend, CRecord::New(T::Didv()));
    EXPECT_EQ(list->Rows(), 3);
    docs.dims.RootRef().DeleteElement(nullptr, T::kDimsDevices, 0);
    EXPECT_EQ(list->Rows(), 2);
}

TEST_F(DimDeviceListTest, SelectionAndFlagsFollowEachOther) {
    Make({{}, {}, {}});
    list->SelectCell({0, 1});
    EXPECT_FALSE(Selected(0));
    EXPECT_TRUE(Selected(1));
    docs.DeviceRef(2).SetByte(nullptr, T::kDidvSelected, 1);
    EXPECT_EQ(list->SelectedRows(), (std::vector<uint32_t>{1, 2}));
    list->DeleteSelected();
    EXPECT_EQ(list->Rows(), 1);
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_EQ(list->Rows(), 3);
}

TEST_F(DimDeviceListTest, AssignmentCellShowsTheOutput) {
    Make({{.dxch = 10, .conn = 2, .universe = "32767"},
          {.def = "Strip-RGB-8", .dxch = 5, .conn = 1, .universe = "", .serial = "XXX"}});
    ASSERT_TRUE(list->BindCell(cell.get(), {0, 0}));
    EXPECT_EQ(cell->Output()->GetValue(), 2);
    EXPECT_FLOAT_EQ(cell->Knob(Setter::kNet)->GetValue(), 127);
    EXPECT_FLOAT_EQ(cell->Knob(Setter::kSubNet)->GetValue(), 15);
    EXPECT_FLOAT_EQ(cell->Knob(Setter::kUniverse)->GetValue(), 15);
    EXPECT_STREQ(cell->EndChannel()->Text().CStr(), "- 12");  // 3 channels from 10
    ASSERT_TRUE(list->BindCell(cell.get(), {0, 1}));
    EXPECT_EQ(cell->Output()->GetValue(), 1);
    // AAA, BBB, a separator, then the stored serial that is not plugged in.
    ASSERT_EQ(cell->Interface()->Count(), 5);
    EXPECT_TRUE(cell->Interface()->IsSeparator(3));
    EXPECT_EQ(cell->Interface()->GetValue(), 4);
    EXPECT_STREQ(cell->EndChannel()->Text().CStr(), "- 28");  // 24 channels from 5
    EXPECT_FALSE(list->BindCell(cell.get(), {0, 2}));
}

TEST_F(DimDeviceListTest, KnobOfASelectedRowEditsTheSelection) {
    Make({{.x = 0.1f}, {.x = 0.2f}, {.x = 0.3f}});
    docs.dims.RootRef().SetByte(nullptr, T::kDimsViewMode, 1);
    list->SelectCell({0, 0});
    list->AddToSelection({0, 2});
    ASSERT_TRUE(list->BindCell(cell.get(), {0, 2}));
    EXPECT_FLOAT_EQ(cell->Knob(Setter::kX)->GetValue(), 30);
    Fix(cell->Knob(Setter::kX), 50);
    Fix(cell->Knob(Setter::kX), 60);
    EXPECT_NEAR(docs.DeviceAt(0)->GetFloat(T::kDidvPosX), 0.6, 1e-6);
    EXPECT_NEAR(docs.DeviceAt(2)->GetFloat(T::kDidvPosX), 0.6, 1e-6);
    EXPECT_FLOAT_EQ(docs.DeviceAt(1)->GetFloat(T::kDidvPosX), 0.2f);
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_FLOAT_EQ(docs.DeviceAt(0)->GetFloat(T::kDidvPosX), 0.1f);
    EXPECT_FLOAT_EQ(docs.DeviceAt(2)->GetFloat(T::kDidvPosX), 0.3f);
    EXPECT_FALSE(root.undo.Perform(0));
}

TEST_F(DimDeviceListTest, DefinitionPickEditsTheSelectionWithUndo) {
    Make({{.def = "Pixel-RGB"}, {.def = "Pixel-RGB"}, {.def = "Pixel-RGB"}});
    list->SelectCell({0, 0});
    list->AddToSelection({0, 1});
    ASSERT_TRUE(list->BindCell(cell.get(), {0, 1}));
    CDIMDefSel* sel = cell->Definition();
    ASSERT_NE(sel, nullptr);
    EXPECT_EQ(sel->Library(), &library);
    EXPECT_STREQ(sel->Text().CStr(), "Pixel-RGB");
    (void)sel->SetText(LString("Strip-RGB-8"));
    LHandler::Dispatch(LMessage(CDIMDefSel_Changed, sel, cell.get()));
    EXPECT_STREQ(docs.DeviceAt(0)->GetString(T::kDidvDefinition).CStr(), "Strip-RGB-8");
    EXPECT_STREQ(docs.DeviceAt(1)->GetString(T::kDidvDefinition).CStr(), "Strip-RGB-8");
    EXPECT_STREQ(docs.DeviceAt(2)->GetString(T::kDidvDefinition).CStr(), "Pixel-RGB");
    // The row shows the new definition's end channel (24 channels from 1).
    ASSERT_TRUE(list->BindCell(cell.get(), {0, 1}));
    EXPECT_STREQ(cell->EndChannel()->Text().CStr(), "- 24");
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_STREQ(docs.DeviceAt(0)->GetString(T::kDidvDefinition).CStr(), "Pixel-RGB");
    EXPECT_STREQ(docs.DeviceAt(1)->GetString(T::kDidvDefinition).CStr(), "Pixel-RGB");
    EXPECT_FALSE(root.undo.Perform(0));
    // A row outside the selection changes alone.
    ASSERT_TRUE(list->BindCell(cell.get(), {0, 2}));
    (void)sel->SetText(LString("Strip-RGB-8"));
    LHandler::Dispatch(LMessage(CDIMDefSel_Changed, sel, cell.get()));
    EXPECT_STREQ(docs.DeviceAt(2)->GetString(T::kDidvDefinition).CStr(), "Strip-RGB-8");
    EXPECT_STREQ(docs.DeviceAt(0)->GetString(T::kDidvDefinition).CStr(), "Pixel-RGB");
}

TEST_F(DimDeviceListTest, ACellThatIsNotOnScreenHidesThePartsOfTheOtherMode) {
    // The list draws its rows through a prototype cell that is never visible as a whole: the parts
    // of the other mode and the warning must be hidden by their own flags.
    Make({{.conn = 2}});
    auto shown = [](LPane* p) { return (p->State() & LPane::kShown) != 0; };
    ASSERT_FALSE(cell->IsVisible());
    ASSERT_TRUE(list->BindCell(cell.get(), {0, 0}));
    EXPECT_TRUE(shown(cell->AssignFrame()));
    EXPECT_FALSE(shown(cell->LayoutFrame()));
    EXPECT_FALSE(shown(cell->Warning()));
    EXPECT_FALSE(shown(cell->UsbFrame()));
    docs.dims.RootRef().SetByte(nullptr, T::kDimsViewMode, 1);
    ASSERT_TRUE(list->BindCell(cell.get(), {0, 0}));
    EXPECT_FALSE(shown(cell->AssignFrame()));
    EXPECT_TRUE(shown(cell->LayoutFrame()));
    docs.DeviceAt(0)->Slot(T::kDidvPortFault).u8 = 1;
    docs.dims.RootRef().SetByte(nullptr, T::kDimsViewMode, 0);
    ASSERT_TRUE(list->BindCell(cell.get(), {0, 0}));
    EXPECT_TRUE(shown(cell->Warning()));
    EXPECT_FALSE(shown(cell->LayoutFrame()));
}

namespace {

// The list noting the rows it binds to its cells.
class BindCountingList : public CDimDeviceList {
public:
    using CDimDeviceList::CDimDeviceList;
    bool BindCell(LPane* pane, const CLPoint& cell) override {
        bound.push_back(cell.y);
        return CDimDeviceList::BindCell(pane, cell);
    }
    std::vector<int32_t> bound;
};

}  // namespace

// Thousands of devices: a drawing binds only the visible rows (and a margin), and the list keeps a
// handful of cell panes wherever it is scrolled.
TEST(DimDeviceListMany, DrawingBindsTheVisibleRowsOnly) {
    BundleResources resources;
    ASSERT_TRUE(resources.Ok());
    Documents docs;
    ASSERT_TRUE(docs.Read(DimsXml(std::vector<Device>(5000, Device{}))));
    DropWindow w;
    auto owned = std::make_unique<BindCountingList>(w.root.get(), &docs.prefs, docs.Settings(), &docs.dims,
                                                    &docs.defs, nullptr);
    BindCountingList& list = *w.root->Adopt(owned.get());
    list.SetBounds({0, 0, 400, 300});
    ASSERT_EQ(list.Rows(), 5000);
    const int32_t visible = list.VisibleRows();
    ASSERT_GT(visible, 1);
    ASSERT_LT(visible, 100);
    const int32_t margin = CCellGridPane::kLiveMargin;
    for (int32_t first : {0, 2500, 5000 - visible}) {
        SCOPED_TRACE(first);
        list.SetScrollPos(0, first);
        ASSERT_EQ(list.FirstRow(), first);
        list.bound.clear();
        plat::Ref<plat::DrawContext> image = plat::DrawContext::CreateImage(400, 300);
        {
            LPanePort port(&list);
            LDrawContext ctx(port, image.get());
            list.Draw(ctx);
        }
        ASSERT_FALSE(list.bound.empty());
        EXPECT_LE(int32_t(list.bound.size()), visible + 2 * margin);
        EXPECT_GE(*std::min_element(list.bound.begin(), list.bound.end()), first - margin);
        EXPECT_LE(*std::max_element(list.bound.begin(), list.bound.end()), first + visible + margin);
        EXPECT_LE(int32_t(list.PaneCount()), visible + 2 * margin);
    }
}
