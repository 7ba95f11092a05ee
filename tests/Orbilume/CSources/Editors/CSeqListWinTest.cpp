#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/ObjC/CLatentEditText.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Mac/CRecordRowDrag.h"
#include "Lib3/LSources/Mac/HotKeyRegistry.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CSceneList.h"
#include "Orbilume/CSources/Editors/CSeqListWin.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"
#include "tests/Orbilume/CSources/Editors/RowDragSupport.h"
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

// Two documents' sequence lists side by side in one window, dragged through the backend's drag loop.
class SeqListDragTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(resources.Ok());
        w.log.SetUpper(&doc);
        for (const char* name : {"intro", "main", "encore"}) Add(own, name);
        Add(other, "guest");
        list = Make(&own, {10, 10, 190, 290});
        otherList = Make(&other, {200, 10, 390, 290});
    }
    void TearDown() override { lists.clear(); }
    static void Add(CDocModelHolder& h, const char* name) {
        const int32_t n = UDocScenes::AppendSequence(h.Scenes(), nullptr);
        CRecordRef seq(&(*h.Scenes()->GetRecordArray(T::kScnsSequences))[static_cast<uint32_t>(n)]);
        ASSERT_TRUE(seq.SetString(nullptr, T::kSqncName, LString(name)));
    }
    CSeqList* Make(CDocModelHolder* h, const CLRect& bounds) {
        auto* l = new CSeqList(w.root.get(), h);
        w.root->Adopt(l);
        l->SetBounds(bounds);
        lists.emplace_back(l);
        return l;
    }
    static std::vector<std::string> Names(CDocModelHolder& h) {
        std::vector<std::string> out;
        for (uint32_t i = 0; i < h.Scenes()->ArrayCount(T::kScnsSequences); ++i)
            out.push_back(Str(h.Scenes()->GetElement(T::kScnsSequences, i)->GetString(T::kSqncName)));
        return out;
    }
    static std::string Edited(CDocModelHolder& h) {
        const int32_t e = h.Scenes()->GetInt(T::kScnsEdited);
        return e < 0 ? ""
                     : Str(h.Scenes()->GetElement(T::kScnsSequences, uint32_t(e))->GetString(T::kSqncName));
    }
    // Drags the selected rows of `from`, pressed on `row`, to before the row of `to`.
    void Drag(CSeqList* from, int32_t row, CSeqList* to, int32_t before) {
        CDragger* d = rowdrag::PressOn(w, from, from->Drag()->Helper(), row);
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(rowdrag::DragTo(w, d, rowdrag::Before(w, to, before)));
    }

    BundleResources resources;
    DropWindow w;
    UndoDocument doc;
    CDocModelHolder own;
    CDocModelHolder other;
    std::vector<std::unique_ptr<LPane>> lists;
    CSeqList* list = nullptr;
    CSeqList* otherList = nullptr;
};

// 'SEQC' rows dragged within the list move there in one undo step, and the edited sequence stays
// the same sequence; rows from another document's list are inserted as copies.
TEST_F(SeqListDragTest, RowsMoveWithinTheListAndCopyFromAnother) {
    UDocScenes::SetSequenceEditing(own.Scenes(), true);
    ASSERT_EQ(Edited(own), "intro");
    list->SelectCell({0, 1});
    list->AddToSelection({0, 2});
    Drag(list, 2, list, 0);
    EXPECT_EQ(Names(own), (std::vector<std::string>{"main", "encore", "intro"}));
    EXPECT_EQ(list->Rows(), 3);
    EXPECT_TRUE(list->IsSelected({0, 0}) && list->IsSelected({0, 1}) && !list->IsSelected({0, 2}));
    EXPECT_EQ(Edited(own), "intro");
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Names(own), (std::vector<std::string>{"intro", "main", "encore"}));
    EXPECT_EQ(Edited(own), "intro");
    EXPECT_FALSE(doc.queue.CanUndo());

    // Down past the last row.
    list->SelectCell({0, 0});
    Drag(list, 0, list, 3);
    EXPECT_EQ(Names(own), (std::vector<std::string>{"main", "encore", "intro"}));
    ASSERT_TRUE(doc.queue.Perform(0));

    otherList->SelectCell({0, 0});
    Drag(otherList, 0, list, 1);
    EXPECT_EQ(Names(own), (std::vector<std::string>{"intro", "guest", "main", "encore"}));
    EXPECT_EQ(Names(other), (std::vector<std::string>{"guest"}));
    EXPECT_TRUE(list->IsSelected({0, 1}));
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Names(own), (std::vector<std::string>{"intro", "main", "encore"}));
}

// The panel's place ('sqwp') comes back where it was left, opened again and again; the document's
// frame calls agree with each other.
TEST(SeqListWinPlace, ThePlaceRoundTripsWithoutDrifting) {
    BundleResources resources;
    ASSERT_TRUE(resources.Ok());
    testsupport::HeadlessScreens screens;
    CMacWindowMgr mgr;
    CAppPrefs prefs;
    CRecord* dcpf = prefs.AppendDocument();
    ASSERT_NE(dcpf, nullptr);
    UndoDocument doc;
    CDocModelHolder h;
    const CLRect content{300, 200, 560, 500};
    CLRect outer;
    {
        CSeqListWin win(&doc, &h, dcpf);
        ASSERT_NE(win.Window(), nullptr);
        win.SetWindowFrame(content);  // moved there
        LHandler::Dispatch(LMessage(LWindow_Place, win.Window(), &win));
        outer = win.GetWindowFrame();
        ASSERT_NE(outer, content);  // the panel has a title bar
    }
    for (int i = 0; i < 2; ++i) {
        CSeqListWin win(&doc, &h, dcpf);
        EXPECT_EQ(win.GetWindowRect(), content) << i;
        EXPECT_EQ(win.GetWindowFrame(), outer) << i;
        LHandler::Dispatch(LMessage(LWindow_Place, win.Window(), &win));
    }
    CDocSeqListWin seqs(SDocWindowArgs{&doc, nullptr, &h, dcpf, nullptr, false});
    const CLRect frame{100, 120, 400, 520};
    seqs.SetFrame(frame);
    EXPECT_EQ(seqs.Frame(), frame);
}

}  // namespace
