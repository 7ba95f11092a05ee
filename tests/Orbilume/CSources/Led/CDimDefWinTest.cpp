#include "Orbilume/CSources/Led/CDimDefWin.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/LScrapData.h"
#include "Lib3/LSources/Mac/UPasteboard.h"
#include "Orbilume/CSources/Led/CDIMDefSel.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"
#include "tests/support/TempDir.h"

namespace {

using T = CDimTypes;

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

class DimDefWinTest : public dialogtest::HeadlessDialogTest {
protected:
    DimDefWinTest() {
        mkdir(dir.File("Documents").c_str(), 0755);
        library = std::make_unique<CDimDefLibrary>(&store, dir.File("Documents"));
        mkdir(library->UserFolder().c_str(), 0755);
        // 4 × 2 dots, 3 per dot, one suffix channel.
        dir.Write("Documents/ObDimInstruments/Strip",
                  "<?xml version=\"1.0\"?>\n<YOBM_DIDF dfid=\"Strip\" dthz=\"4\" dtvt=\"2\" comp=\"0\" pscs=\"1\" "
                  "chcp=\"-1 -2 -3 9\"/>\n");
        store.LoadFolder(library->UserFolder(), true);
        ctl = std::make_unique<CDimDefEditorCtl>(&root, &store, library.get());
        ctl->SetViewFactory([this](CDimDefEditorCtl& c) {
            return CDimDefWin::Make(c, library.get(), settings.RootRef());
        });
    }
    ~DimDefWinTest() override { ctl.reset(); }
    CDimDefWin* Win() { return static_cast<CDimDefWin*>(ctl->View()); }
    CDimChCell* Row(int32_t row) {
        CCellRef ref(Win()->ChannelList(), {0, row}, false);
        return ref.IsLive() ? static_cast<CDimChCell*>(ref.Pane()) : nullptr;
    }
    void Type(int32_t row, const char* text) {
        CDimChCell* cell = Row(row);
        ASSERT_NE(cell, nullptr);
        cell->Value()->SetText(LString(text));
        LHandler::Dispatch(LMessage(LEditText_Change, cell->Value(), cell));
    }
    void Fix(CNumVol* knob, float value) {
        knob->SetValue(value);
        LHandler::Dispatch(LMessage(CNumVol_Fix, knob, knob->Upper()));
    }

    testsupport::TempDir dir;
    CDimDefStore store;
    CRecordHolder settings{CRecord::New(&CParamSet::SetType())};
    std::unique_ptr<CDimDefLibrary> library;
    std::unique_ptr<CDimDefEditorCtl> ctl;
};

TEST_F(DimDefWinTest, ShowsTheDefinition) {
    ASSERT_TRUE(resources.Ok());
    ctl->Open("Strip");
    ASSERT_NE(Win(), nullptr);
    EXPECT_EQ(Str(Win()->NameSel()->Text()), "Strip");
    EXPECT_EQ(Win()->Knob(CDimDefWin::kAcross)->GetValue(), 4.0f);
    EXPECT_EQ(Win()->Knob(CDimDefWin::kDown)->GetValue(), 2.0f);
    EXPECT_EQ(Win()->Knob(CDimDefWin::kPerDot)->GetValue(), 3.0f);
    EXPECT_EQ(Win()->Knob(CDimDefWin::kSuffix)->GetValue(), 1.0f);
    EXPECT_EQ(Win()->Composition()->GetValue(), 0);
    EXPECT_EQ(Win()->DotGrid()->Columns(), 4);
    EXPECT_EQ(Win()->DotGrid()->Rows(), 2);
    ASSERT_EQ(Win()->ChannelList()->Rows(), 4);
    ASSERT_NE(Row(3), nullptr);
    EXPECT_EQ(Str(Row(3)->Number()->Text()), "25");
    EXPECT_EQ(Str(Row(0)->Value()->GetText()), "R");
}

TEST_F(DimDefWinTest, TypedChannelValues) {
    ctl->Open("Strip");
    Type(3, "g");
    EXPECT_EQ(CDimDefStore::ChannelCode(store.Find("Strip"), 3), -2);
    EXPECT_EQ(Str(Row(3)->Value()->GetText()), "G");
    Type(3, "300");
    EXPECT_EQ(CDimDefStore::ChannelCode(store.Find("Strip"), 3), 255);
    Type(3, "X");
    EXPECT_EQ(CDimDefStore::ChannelCode(store.Find("Strip"), 3), 255);
}

TEST_F(DimDefWinTest, AnotherCompositionDetachesTheListAndLocksTheCounts) {
    ctl->Open("Strip");
    (void)Win()->Composition()->SetValue(1);
    LHandler::Dispatch(LMessage(LPopupList_Changed, Win()->Composition(), Win()->Composition()->Upper()));
    EXPECT_EQ(store.Find("Strip")->GetByte(T::kDidfComposition), 1);
    EXPECT_EQ(Win()->ChannelList()->Rows(), 0);
    for (uint32_t i = CDimDefWin::kPrefix; i <= CDimDefWin::kSuffix; ++i)
        EXPECT_FALSE(Win()->Knob(i)->State() & LPane::kEnabled) << i;
    EXPECT_EQ(Win()->Knob(CDimDefWin::kPerDot)->GetValue(), 3.0f);
    EXPECT_EQ(Win()->Knob(CDimDefWin::kSuffix)->GetValue(), 1.0f);
    // Undo brings the list back.
    ASSERT_TRUE(ctl->Undo().Perform(0));
    EXPECT_EQ(Win()->ChannelList()->Rows(), 4);
}

TEST_F(DimDefWinTest, EditsThroughTheWindowAreSavedOnClose) {
    ctl->Open("Strip");
    Fix(Win()->Knob(CDimDefWin::kAcross), 5);
    EXPECT_EQ(store.Find("Strip")->GetUInt(T::kDidfColumns), 5u);
    EXPECT_EQ(Win()->DotGrid()->Columns(), 5);
    EXPECT_EQ(Win()->ChannelList()->Rows(), 4);
    Type(0, "w");
    Fix(Win()->Knob(CDimDefWin::kPrefix), 2);
    EXPECT_EQ(Win()->ChannelList()->Rows(), 6);
    EXPECT_EQ(Str(Row(2)->Value()->GetText()), "W");
    LHandler::Dispatch(LMessage(LFrame_Close, Win(), ctl.get()));
    const std::string text = dir.Read("Documents/ObDimInstruments/Strip");
    EXPECT_NE(text.find("dthz=\"5\""), std::string::npos) << text;
    EXPECT_NE(text.find("prcs=\"2\""), std::string::npos) << text;
    EXPECT_NE(text.find("0 0 -4 -2 -3 9"), std::string::npos) << text;
}

// A channel row's handle drags its row, but a finished drag leaves the table as it was: no
// entry moves, nothing is undoable, nothing is marked for saving.
TEST_F(DimDefWinTest, AFinishedDragOfAChannelRowChangesNothing) {
    ctl->Open("Strip");
    Win()->SetWindowFrame({100, 100, 700, 700});
    LHandler::Dispatch(LMessage(LWindow_Place, Win()->Window(), Win()));
    Win()->Window()->NativeWindow()->MakeKeyAndOrderFront();
    Win()->UpdateLayout();
    ASSERT_EQ(Win()->ChannelList()->Rows(), 4);
    ASSERT_NE(Row(3), nullptr);
    auto codes = [this] {
        std::string s;
        for (uint32_t i = 0; i < 4; ++i)
            s += std::to_string(CDimDefStore::ChannelCode(store.Find("Strip"), i)) + " ";
        return s;
    };
    const std::string before = codes();
    ASSERT_EQ(before, "-1 -2 -3 9 ");
    // The centre of a row's handle on the screen (bounds are in the owner's coordinates).
    auto handleAt = [this](int32_t row) {
        CDimChHandle* grip = Row(row)->Grip();
        const CLPoint origin = grip->GetOriginIn(nullptr);
        const CLRect b = grip->Bounds();
        return Win()->Window()->NativeWindow()->ConvertToScreen(
            {double(origin.x + b.left + b.Width() / 2), double(origin.y + b.top + b.Height() / 2)});
    };
    plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
    LScrapData data;
    const uint8_t zero = 0;
    ASSERT_TRUE(data.AddFlavor(CDimChHandle::DragType().name, CDimChHandle::DragType().code, &zero, 1, 0));
    (void)UPasteboard::WriteScrap(data, pb.get());

    struct Case {
        const char* what;
        int32_t from, to;
    } cases[] = {
        {"onto a row above", 2, 0}, {"onto the suffix row", 2, 3}, {"back onto its own handle", 2, 2}};
    // With no prefix and one suffix channel only the last per-dot row shows its handle.
    for (int32_t row = 0; row < 4; ++row) EXPECT_EQ(Row(row)->Grip()->IsVisible(), row == 2) << row;
    for (const Case& c : cases) {
        CDimChHandle* grip = Row(c.from)->Grip();
        ASSERT_NE(LMouse::Get(), nullptr);
        LHandler::Dispatch(LMessage(LMouse_Click, LMouse::Get(), grip));
        ASSERT_TRUE(grip->Tracker().IsActive()) << c.what;
        uint32_t dropped = 0;
        {
            plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy | plat::kDragOperationMove);
            (void)drag.MoveTo(handleAt(c.from));
            (void)drag.MoveTo(handleAt(c.to));
            dropped = drag.Drop();
        }
        // Its own handle takes the drop (the drag really reached the row); elsewhere it is refused.
        EXPECT_EQ(dropped != 0, c.from == c.to) << c.what;
        if (CDragger* d = grip->Tracker().Dragger()) LHandler::Dispatch(LMessage(CDragger_End, d, grip));
        EXPECT_FALSE(grip->Tracker().IsActive()) << c.what;
        EXPECT_EQ(codes(), before) << c.what;
        EXPECT_EQ(Win()->ChannelList()->Rows(), 4) << c.what;
        EXPECT_EQ(Str(Row(0)->Value()->GetText()), "R") << c.what;
        EXPECT_EQ(Str(Row(3)->Value()->GetText()), "9") << c.what;
        EXPECT_FALSE(ctl->Undo().CanUndo()) << c.what;
    }
    // Nothing to save: closing leaves the file alone.
    const std::string file = dir.Read("Documents/ObDimInstruments/Strip");
    EXPECT_FALSE(Win()->TakeChanged());
    LHandler::Dispatch(LMessage(LFrame_Close, Win(), ctl.get()));
    EXPECT_EQ(dir.Read("Documents/ObDimInstruments/Strip"), file);
}

TEST_F(DimDefWinTest, ThePlaceIsKept) {
    UDimPrefs::SetDefWinPlace(settings.RootRef(), CLRect{60, 70, 700, 600});
    ctl->ShowEditor();
    ASSERT_NE(Win(), nullptr);
    ctl->Open({});
    EXPECT_EQ(Win()->ChannelList()->Rows(), 0);
    ctl.reset();
    CLRect place;
    ASSERT_TRUE(UDimPrefs::GetDefWinPlace(settings.RootRef(), place));
    EXPECT_LT(place.left, place.right);
}

}  // namespace
