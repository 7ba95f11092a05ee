#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/ObjC/CLatentEditText.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/Mac/HotKeyRegistry.h"
#include "Orbilume/CSources/Editors/CSceneList.h"
#include "Orbilume/CSources/Editors/CSeqListWin.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/PinnedFonts.h"

using namespace showtest;

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

// The sequence window as a frame without window beside a scene list of the same show.
class SeqListWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(resources.Ok());
        AddScene(h.Scenes(), "own");
        for (const char* name : {"intro", "main", "encore"}) {
            const int32_t n = UDocScenes::AppendSequence(h.Scenes(), nullptr);
            CRecordRef seq(&(*h.Scenes()->GetRecordArray(T::kScnsSequences))[static_cast<uint32_t>(n)]);
            ASSERT_TRUE(seq.SetString(nullptr, T::kSqncName, LString(name)));
            AddScene(seq, name, T::kSqncScenes);
        }
        win = std::make_unique<CSeqListWin>(&doc, &h, nullptr, LFrameSpec::Default());
        win->SetBounds({0, 0, 300, 300});
        win->ChangeState(LPane::kChainShow);
        win->ChangeState(LPane::kChainEnable);
        win->UpdateLayout();
        scenes = std::make_unique<CSceneList>(&owner, &h, &registry);
    }
    void TearDown() override {
        scenes.reset();
        win.reset();
    }
    static void AddScene(CRecordRef owner, const char* name, uint32_t field = T::kScnsScenes) {
        CRecord* s = UDocScenes::NewScene();
        s->StringSlot(T::kScneName) = LString(name);
        ASSERT_TRUE(owner.InsertRecord(nullptr, field, owner->ArrayCount(field), s));
    }
    int32_t Edited() { return h.Scenes()->GetInt(T::kScnsEdited); }
    std::string FirstScene() {
        return scenes->Rows() > 0 ? Str(scenes->SceneAt(0)->GetString(T::kScneName)) : "";
    }
    CSeqCell* Cell(int32_t row) {
        CCellRef ref(win->List(), {0, row}, false);
        return static_cast<CSeqCell*>(ref.Pane());
    }
    void Click(int32_t row) {
        win->List()->SelectCell({0, row});
        LHandler::Dispatch(LMessage(LListPane_Clicked, win->List(), win.get()));
    }

    BundleResources resources;
    testsupport::HeadlessScreens screens;
    HotKeyRegistry registry;
    UndoDocument doc;
    CDocModelHolder h;
    FakeOwner owner{&doc, {0, 0, 600, 300}};
    std::unique_ptr<CSeqListWin> win;
    std::unique_ptr<CSceneList> scenes;
};

// Showing edits sequence 0, a click edits another, hiding returns the scene list to the show's own
// scenes, and showing again starts from sequence 0.
TEST_F(SeqListWinTest, ShowHideAndClickPickTheEditedSequence) {
    EXPECT_EQ(win->List()->Rows(), 3);
    EXPECT_EQ(Edited(), -1);
    EXPECT_EQ(FirstScene(), "own");
    win->Show();
    EXPECT_EQ(Edited(), 0);
    EXPECT_EQ(FirstScene(), "intro");
    EXPECT_EQ(Str(Cell(0)->Marker()->Text()), ">");
    Click(1);
    EXPECT_EQ(Edited(), 1);
    EXPECT_EQ(FirstScene(), "main");
    EXPECT_EQ(Str(Cell(0)->Marker()->Text()), "");
    EXPECT_EQ(Str(Cell(1)->Marker()->Text()), ">");
    win->Hide();
    EXPECT_EQ(Edited(), -1);
    EXPECT_EQ(FirstScene(), "own");
    win->Show();
    EXPECT_EQ(Edited(), 0);
    EXPECT_EQ(FirstScene(), "intro");
}

// A click on a name edits only on the row that alone is selected.
TEST_F(SeqListWinTest, NamesEditOnlyOnTheOnlySelectedRow) {
    win->Show();
    win->List()->SelectCell({0, 0});
    win->List()->AddToSelection({0, 1});
    LHandler::Dispatch(LMessage(CLatentEditText_Click, Cell(1)->NameField(), Cell(1)));
    EXPECT_FALSE(Cell(1)->NameField()->IsPending());
    win->List()->SelectCell({0, 1});
    LHandler::Dispatch(LMessage(CLatentEditText_Click, Cell(1)->NameField(), Cell(1)));
    EXPECT_TRUE(Cell(1)->NameField()->IsPending());
    Cell(1)->NameField()->SetText(LString("middle"));
    LHandler::Dispatch(LMessage(LEditText_Change, Cell(1)->NameField(), Cell(1)));
    EXPECT_EQ(Str(h.Scenes()->GetElement(T::kScnsSequences, 1)->GetString(T::kSqncName)), "middle");
}

// Deleting the edited sequence, last first, leaves the nearest one edited; "cAddSeq" adds one.
TEST_F(SeqListWinTest, DeleteAndAdd) {
    win->Show();
    Click(1);
    win->List()->AddToSelection({0, 2});
    LMenuItem del(nullptr);
    del.AddCommand("LStdCmd_Delete");
    LHandler::Dispatch(LMessage(LMenuItem_Selected, &del, win->List()));
    EXPECT_EQ(win->List()->Rows(), 1);
    EXPECT_EQ(Edited(), 0);
    EXPECT_EQ(FirstScene(), "intro");
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(win->List()->Rows(), 3);
    LMenuItem add(nullptr);
    add.AddCommand("cAddSeq");
    LHandler::Dispatch(LMessage(LMenuItem_Selected, &add, win.get()));
    EXPECT_EQ(win->List()->Rows(), 4);
    EXPECT_TRUE(win->List()->IsSelected({0, 3})) << win->List()->Selection().bounds().top;
}

}  // namespace
