#include <gtest/gtest.h>

#include <memory>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Orbilume/CSources/Led/CDimDeviceList.h"
#include "Orbilume/CSources/Led/CDimLayoutView.h"
#include "Orbilume/CSources/Led/CDimWindow.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
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
