#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreUI/CHeaderFrame.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"
#include "Orbilume/CSources/Editors/CUvAdList.h"
#include "Orbilume/CSources/Editors/CUvAdWin.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/support/PinnedFonts.h"

namespace {

using U = CUvAdTypes;

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

TEST(UUvAd, NumbersShownAndEditedIn15Bits) {
    EXPECT_EQ(UUvAd::Net(0x123), 1);
    EXPECT_EQ(UUvAd::SubNet(0x123), 2);
    EXPECT_EQ(UUvAd::Universe(0x123), 3);
    EXPECT_EQ(Str(UUvAd::LastArtNetText(0x123, 2)), "  1/ 2/ 5");
    EXPECT_EQ(UUvAd::Last(0x123, 2) + 1, 294);
    struct Case {
        const char* what;
        int32_t got, want;
    } cases[] = {
        {"net 127 on 0x0FF", UUvAd::WithNet(0x0FF, 127), 0x7FFF},
        {"net 0 on 0x7FFF", UUvAd::WithNet(0x7FFF, 0), 0x0FF},
        {"sub-net on 0x123", UUvAd::WithSubNet(0x123, 15), 0x1F3},
        {"universe on 0x123", UUvAd::WithUniverse(0x123, 9), 0x129},
        // 'univ' from a file with bits above 14: the edit drops them, so what is shown is sent.
        {"sub-net above 32767", UUvAd::WithSubNet(0x18123, 4), 0x0143},
        {"universe above 32767", UUvAd::WithUniverse(0x18123, 4), 0x0124},
        {"universe on negative", UUvAd::WithUniverse(-1, 0), 0x7FF0},
        {"net out of range", UUvAd::WithNet(0, 200), 0x7F00},
        {"sACN 1", UUvAd::FromSacn(1), 0},
        {"sACN 32768", UUvAd::FromSacn(32768), 32767},
        {"sACN 0", UUvAd::FromSacn(0), 0},
        {"sACN huge", UUvAd::FromSacn(70000), 32767},
        {"count 3", UUvAd::FromCount(3), 2},
        {"count 0", UUvAd::FromCount(0), 0},
        {"last capped", UUvAd::Last(32000, 5000), 32767},
        {"last of big values", UUvAd::Last(INT32_MAX, INT32_MAX), 32767},
        {"last of negatives", UUvAd::Last(-5, 2), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

class UndoRoot : public LHandler {
public:
    LMessage Handle(const LMessage& msg) override {
        if (queue.HandleMessage(msg)) return LMessage();
        for (const char* id : {"LPane_Defer", "LPane_ReqFocus", "LFrame_Place", "LPane_ReqCapture", "LMouse_Cursor"})
            if (msg.Is(id)) return LMessage();
        return LHandler::Handle(msg);
    }
    CUndoQueue queue{0x10000};
};

class CUvAdWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(resources.Ok());
        ASSERT_TRUE(kFontsPinned);
        holder = std::make_unique<CRecordHolder>(CRecord::New(U::Uvas()));
        settings = CRecord::New(&CParamSet::SetType());
    }
    void TearDown() override {
        win.reset();
        holder.reset();
        CRecord::Delete(settings);
    }
    void Add(int32_t univ, int32_t flws, const char* ipad) {
        const uint32_t i = holder->Root()->ArrayCount(U::kUvasList);
        ASSERT_TRUE(holder->RootRef().InsertRecord(nullptr, U::kUvasList, i, CRecord::New(U::Uvad())));
        CRecordRef r = Row(i);
        ASSERT_TRUE(r.SetInt(nullptr, U::kUvadUniverse, univ));
        ASSERT_TRUE(r.SetInt(nullptr, U::kUvadFollowing, flws));
        ASSERT_TRUE(r.SetString(nullptr, U::kUvadAddress, LString(ipad)));
    }
    CRecordRef Row(uint32_t i) { return CRecordRef(&(*holder->Root()->GetRecordArray(U::kUvasList))[i]); }
    int32_t Univ(uint32_t i) { return Row(i)->GetInt(U::kUvadUniverse); }
    void Open() {
        win = std::make_unique<CUvAdWin>(&doc, &owner, LFrameSpec::Default(), settings, holder.get(), holder->Root());
        win->ChangeState(LPane::kChainShow);
        win->ChangeState(LPane::kChainEnable);
        win->SetBounds({0, 0, 700, 300});
        win->UpdateLayout();
    }
    CUvAdCell* Cell(int32_t row) {
        CCellRef ref(win->List(), {0, row}, false);
        return static_cast<CUvAdCell*>(ref.Pane());
    }
    void Fix(CNumVol* knob, float value) {
        knob->SetValue(value);
        LHandler::Dispatch(LMessage(CNumVol_Fix, knob, knob->Upper()));
    }
    void Command(const char* id) {
        LMenuItem item(nullptr);
        item.AddCommand(id);
        LHandler::Dispatch(LMessage(LMenuItem_Selected, &item, win->List()));
    }

    BundleResources resources;
    UndoRoot doc;
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 800, 400}};
    std::unique_ptr<CRecordHolder> holder;
    CRecord* settings = nullptr;
    std::unique_ptr<CUvAdWin> win;
};

TEST_F(CUvAdWinTest, RowsShowArtNetAndSacnAndTheModeSwitchLeavesRecords) {
    Add(0x123, 2, "10.0.0.1");
    Add(32000, 5000, "10.0.0.2");
    Open();
    ASSERT_EQ(win->List()->Rows(), 2);
    CUvAdCell* c = Cell(0);
    EXPECT_TRUE(c->ArtNetFrame()->IsVisible());
    EXPECT_FALSE(c->SacnFrame()->IsVisible());
    EXPECT_FLOAT_EQ(c->NetKnob()->GetValue(), 1);
    EXPECT_FLOAT_EQ(c->SubNetKnob()->GetValue(), 2);
    EXPECT_FLOAT_EQ(c->UniverseKnob()->GetValue(), 3);
    EXPECT_FLOAT_EQ(c->CountKnob()->GetValue(), 3);
    EXPECT_EQ(Str(c->LastLabel()->Text()), "  1/ 2/ 5");
    EXPECT_EQ(Str(c->Address()->GetText()), "10.0.0.1");
    const uint32_t changes = holder->ChangeCount();
    win->List()->SetSacnMode(true);
    c = Cell(0);
    EXPECT_TRUE(c->SacnFrame()->IsVisible());
    EXPECT_FALSE(c->ArtNetFrame()->IsVisible());
    EXPECT_FLOAT_EQ(c->SacnKnob()->GetValue(), 292);
    EXPECT_EQ(Str(c->LastLabel()->Text()), "294");
    EXPECT_EQ(Str(Cell(1)->LastLabel()->Text()), "32768");
    EXPECT_EQ(holder->ChangeCount(), changes);
    EXPECT_EQ(Univ(0), 0x123);
}

TEST_F(CUvAdWinTest, EditsWrite15BitValuesEachOneUndoStep) {
    Add(0x0FF, 0, "");
    Add(0x18123, 0, "");  // from a file: bits above 14
    Open();
    Fix(Cell(0)->NetKnob(), 127);
    EXPECT_EQ(Univ(0), 0x7FFF);
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Univ(0), 0x0FF);
    // The row shows net 1 / sub-net 2 / universe 3 and sends just that after an edit.
    EXPECT_FLOAT_EQ(Cell(1)->NetKnob()->GetValue(), 1);
    Fix(Cell(1)->SubNetKnob(), 4);
    EXPECT_EQ(Univ(1), 0x143);
    Fix(Cell(1)->CountKnob(), 3);
    EXPECT_EQ(Row(1)->GetInt(U::kUvadFollowing), 2);
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Row(1)->GetInt(U::kUvadFollowing), 0);
    EXPECT_EQ(Univ(1), 0x143);
    win->List()->SetSacnMode(true);
    Fix(Cell(0)->SacnKnob(), 32768);
    EXPECT_EQ(Univ(0), 32767);
}

TEST_F(CUvAdWinTest, AddressCommitsOnUnfocus) {
    Add(0, 0, "10.0.0.1");
    Open();
    CUvAdCell* c = Cell(0);
    c->Address()->SetText(LString("127.0.0.1"));
    LHandler::Dispatch(LMessage(LEditText_Unfocused, c->Address(), c));
    EXPECT_EQ(Str(Row(0)->GetString(U::kUvadAddress)), "127.0.0.1");
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Str(Row(0)->GetString(U::kUvadAddress)), "10.0.0.1");
}

TEST_F(CUvAdWinTest, PlusInsertsAfterTheSelectionAndRowsCopyAndPaste) {
    Add(1, 0, "a");
    Add(2, 0, "b");
    Add(3, 0, "c");
    Open();
    win->List()->SelectCell({0, 0});
    LHandler::Dispatch(LMessage(LStdCtl_Selected, win->AddButton(), win.get()));
    ASSERT_EQ(win->List()->Rows(), 4);
    EXPECT_EQ(Univ(1), 0);
    EXPECT_TRUE(Row(1)->GetString(U::kUvadAddress).IsEmpty());
    EXPECT_TRUE(win->List()->IsSelected({0, 1}));
    EXPECT_FALSE(win->List()->IsSelected({0, 0}));
    // Nothing selected: at the end.
    win->List()->ClearSelection();
    LHandler::Dispatch(LMessage(LStdCtl_Selected, win->AddButton(), win.get()));
    ASSERT_EQ(win->List()->Rows(), 5);
    EXPECT_TRUE(win->List()->IsSelected({0, 4}));
    ASSERT_TRUE(doc.queue.Perform(0));
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(win->List()->Rows(), 3);
    // Copy the last row, paste at the focus row.
    win->List()->SelectCell({0, 2});
    Command("LStdCmd_Copy");
    Command("LStdCmd_Paste");
    ASSERT_EQ(win->List()->Rows(), 4);
    int pasted = 0;
    for (uint32_t i = 0; i < 4; ++i)
        if (Str(Row(i)->GetString(U::kUvadAddress)) == "c") ++pasted;
    EXPECT_EQ(pasted, 2);
    win->List()->SelectCell({0, 0});
    Command("LStdCmd_Delete");
    EXPECT_EQ(win->List()->Rows(), 3);
    EXPECT_EQ(Str(Row(0)->GetString(U::kUvadAddress)), "b");
}

TEST_F(CUvAdWinTest, FollowsTheRecordAndTheHeaderTitles) {
    Open();
    EXPECT_EQ(win->List()->Rows(), 0);
    ASSERT_EQ(win->Header()->ItemCount(), 3);
    EXPECT_EQ(Str(win->Header()->Item(0)->Text()), "Universe");
    Add(5, 1, "x");
    EXPECT_EQ(win->List()->Rows(), 1);
    ASSERT_TRUE(Row(0).SetInt(nullptr, U::kUvadUniverse, 0x21));
    EXPECT_FLOAT_EQ(Cell(0)->SubNetKnob()->GetValue(), 2);
    holder->RootRef().DeleteElement(nullptr, U::kUvasList, 0);
    EXPECT_EQ(win->List()->Rows(), 0);
}

}  // namespace
