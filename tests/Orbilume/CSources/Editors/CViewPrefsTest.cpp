#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CTextSlot.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Orbilume/CSources/Editors/CViewPrefs.h"
#include "Orbilume/CSources/Editors/CViewPrefsDlg.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

LFrameSpec DocSpec() {
    return LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(0)));
}

// A window that counts "CViewPrefs_Changed" and may run an action on receipt.
struct CountingFrame : LFrame {
    explicit CountingFrame(LHandler* upper) : LFrame(upper, nullptr, DocSpec()) {}
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CViewPrefs_Changed)) {
            ++changes;
            if (onChange) onChange();
        }
        return LFrame::Handle(msg);
    }
    int changes = 0;
    std::function<void()> onChange;
};

class CViewPrefsTest : public dialogtest::HeadlessDialogTest {
protected:
    CViewPrefsTest() { set = CRecord::New(&CParamSet::SetType()); }
    ~CViewPrefsTest() override {
        CViewPrefs::Get().Uninstall();
        CViewPrefs::Get().SetParamSet(nullptr);
        CRecord::Delete(set);
    }
    void StorePts(uint32_t slot, const char* fam, const char* pts) {
        CRecord* fonts = CParamSet::GetOrCreateSubSet(CRecordRef(&set), nullptr, LString("fonts"));
        CRecord* s = CParamSet::GetOrCreateSubSet(CRecordRef(&fonts), nullptr, LString(std::to_string(slot).c_str()));
        CParamSet::SetString(CRecordRef(&s), nullptr, LString("fam"), LString(fam));
        CParamSet::SetString(CRecordRef(&s), nullptr, LString("pts"), LString(pts));
    }
    LString StoredPts(uint32_t slot) {
        CRecord* fonts = CParamSet::GetSubSet(CRecordRef(&set), LString("fonts"));
        CRecord* s = fonts ? CParamSet::GetSubSet(CRecordRef(&fonts), LString(std::to_string(slot).c_str())) : nullptr;
        LString v;
        if (s) (void)CParamSet::Find(CRecordRef(&s), LString("pts"), &v);
        return v;
    }
    CRecord* set;
};

TEST_F(CViewPrefsTest, WithoutASetNothingIsStoredOrRead) {
    CViewPrefs& prefs = CViewPrefs::Get();
    prefs.SetParamSet(nullptr);
    CountingFrame w(&root);
    w.ShowWindow();
    const int before = w.changes;
    prefs.SetFont(0, LString("DejaVu Serif"), 18);
    EXPECT_EQ(w.changes, before);
    LString fam;
    double pts = 0;
    EXPECT_FALSE(prefs.GetFont(0, fam, pts));
}

TEST_F(CViewPrefsTest, StoredSizesReadAtOneDecimalAnythingElseIs12) {
    CViewPrefs& prefs = CViewPrefs::Get();
    prefs.SetParamSet(set);
    struct Case {
        const char* pts;
        double read;
    } cases[] = {{"", 12},      {"18", 18},     {"18.5", 18.5}, {"abc", 12},   {"nan", 12},  {"inf", 12},
                 {"0", 12},     {"-3", 12},     {"1000", 12},   {"999", 999},  {"1", 1},     {"14x", 12},
                 {"1e2", 100}};
    for (const Case& c : cases) {
        StorePts(1, "DejaVu Sans", c.pts);
        LString fam;
        double pts = 0;
        EXPECT_TRUE(prefs.GetFont(1, fam, pts)) << c.pts;
        EXPECT_EQ(Str(fam), "DejaVu Sans");
        EXPECT_DOUBLE_EQ(pts, c.read) << c.pts;
    }
    // No slot sub-set: false.
    LString fam;
    double pts = 0;
    EXPECT_FALSE(prefs.GetFont(2, fam, pts));
}

TEST_F(CViewPrefsTest, ChangesBroadcastOnceSameValuesAtOneDecimalDoNot) {
    CViewPrefs& prefs = CViewPrefs::Get();
    CountingFrame a(&root), b(&root);
    a.ShowWindow();
    b.ShowWindow();
    prefs.SetParamSet(set);
    a.changes = b.changes = 0;
    struct Step {
        const char* fam;
        double pts;
        bool broadcasts;
        const char* stored;
    } steps[] = {
        {"DejaVu Serif", 18, true, "18"},
        {"DejaVu Serif", 18, false, "18"},
        {"DejaVu Serif", 18.04, false, "18"},  // only differs below the stored decimal
        {"DejaVu Serif", 18.06, true, "18.1"},
        {"DejaVu Serif", 18.1f, false, "18.1"},  // a float of the stored text
        {"DejaVu Sans", 18.1, true, "18.1"},
        {"", 0, true, "0"},  // cleared: the default style again
        {"", 0, false, "0"},
    };
    int expected = 0;
    for (const Step& s : steps) {
        prefs.SetFont(0, LString(s.fam), s.pts);
        expected += s.broadcasts ? 1 : 0;
        EXPECT_EQ(a.changes, expected) << s.fam << " " << s.pts;
        EXPECT_EQ(b.changes, expected) << s.fam << " " << s.pts;
        EXPECT_EQ(Str(StoredPts(0)), s.stored);
    }
    LString fam;
    double pts = 0;
    EXPECT_FALSE(prefs.GetFont(0, fam, pts));  // cleared
    EXPECT_TRUE(fam.IsEmpty());
}

TEST_F(CViewPrefsTest, ABroadcastSurvivesReceiversThatCloseAndOpenWindows) {
    CViewPrefs& prefs = CViewPrefs::Get();
    prefs.SetParamSet(set);
    auto a = std::make_unique<CountingFrame>(&root);
    auto b = std::make_unique<CountingFrame>(&root);
    auto c = std::make_unique<CountingFrame>(&root);
    std::unique_ptr<CountingFrame> opened;
    for (CountingFrame* f : {a.get(), b.get(), c.get()}) f->ShowWindow();
    a->changes = b->changes = c->changes = 0;
    // Whichever of them hears first closes the others and opens a new window.
    bool acted = false;
    auto act = [&] {
        if (acted) return;
        acted = true;
        CountingFrame* keep = nullptr;
        for (auto* p : {&a, &b, &c})
            if (*p && (*p)->changes == 1) keep = p->get();
        for (auto* p : {&a, &b, &c})
            if (p->get() != keep) p->reset();
        opened = std::make_unique<CountingFrame>(&root);
        opened->ShowWindow();
    };
    a->onChange = act;
    b->onChange = act;
    c->onChange = act;
    prefs.SetFont(3, LString("DejaVu Sans Mono"), 11);
    int alive = 0;
    for (auto* p : {&a, &b, &c})
        if (*p) {
            ++alive;
            EXPECT_EQ((*p)->changes, 1);
        }
    EXPECT_EQ(alive, 1);
    // Not listed when the walk began.
    EXPECT_EQ(opened->changes, 0);
}

TEST_F(CViewPrefsTest, TextStylesTakeTheSlotsFontAndEveryWindowHearsOnce) {
    ASSERT_TRUE(resources.Ok());
    CViewPrefs& prefs = CViewPrefs::Get();
    prefs.SetParamSet(set);
    prefs.Install();
    CountingFrame a(&root), b(&root);
    a.ShowWindow();
    b.ShowWindow();
    auto* pane = new LTextPane(&a, 0);
    (void)pane->SetText(LString("Wide text WWW"));
    const double before = LTextStyleH(0).PointSize();
    a.changes = b.changes = 0;
    prefs.SetFont(0, LString("DejaVu Serif"), 18);
    EXPECT_EQ(a.changes, 1);
    EXPECT_EQ(b.changes, 1);
    EXPECT_EQ(Str(LTextStyleH(0).FamilyName()), "DejaVu Serif");
    EXPECT_DOUBLE_EQ(LTextStyleH(0).PointSize(), 18);
    EXPECT_NE(before, 18);
    // Other kinds keep their own fonts.
    EXPECT_NE(Str(LTextStyleH(1).FamilyName()), "DejaVu Serif");
    prefs.SetFont(0, LString(), 0);
    EXPECT_NE(Str(LTextStyleH(0).FamilyName()), "DejaVu Serif");
}

// The font panel as the tests drive it.
struct ScriptedPanel {
    static inline void* owner = nullptr;
    static inline void* lastOwner = nullptr;
    static inline void (*callback)(void*, const SFontDesc*, int32_t) = nullptr;
    static inline std::vector<SFontDesc> opened;
    static inline int closes = 0;
    static int32_t Open(SFontDesc& d, void* o, void (*cb)(void*, const SFontDesc*, int32_t)) {
        owner = o;
        lastOwner = o;
        callback = cb;
        opened.push_back(d);
        return 2;
    }
    static void Close(void* o, void (*)(void*, const SFontDesc*, int32_t)) {
        if (o != owner) return;
        owner = nullptr;
        ++closes;
    }
    static bool Owned(void* o) { return o && o == owner; }
    static void Choose(const char* family, float size) {
        SFontDesc d;
        d.familyName = LString(family);
        d.fontName = LString("ignored");
        d.size = size;
        d.bold = 1;
        if (lastOwner) callback(lastOwner, &d, 2);
    }
    static void Reset() {
        owner = nullptr;
        lastOwner = nullptr;
        opened.clear();
        closes = 0;
    }
};
const CVPFontList::FontPanel kScripted{&ScriptedPanel::Open, &ScriptedPanel::Close, &ScriptedPanel::Owned};

class CViewPrefsDlgTest : public CViewPrefsTest {
protected:
    CViewPrefsDlgTest() {
        ScriptedPanel::Reset();
        CVPFontList::SetFontPanel(&kScripted);
    }
    ~CViewPrefsDlgTest() override { CVPFontList::SetFontPanel(nullptr); }
    CVPFontCell* FocusRow(CVPFontList* list, int32_t row) {
        EXPECT_TRUE(list->FocusCellAt({0, row}, {4, 4}));
        CCellRef ref(list, {0, row}, false);
        return static_cast<CVPFontCell*>(ref.Pane());
    }
    void Click(CVPFontCell* cell) { LHandler::Dispatch(LMessage(CTextSlot_Click, cell->Slot(), cell)); }
};

TEST_F(CViewPrefsDlgTest, RowsShowLabelsAndStoredFamilies) {
    ASSERT_TRUE(resources.Ok());
    CViewPrefs::Get().SetParamSet(set);
    StorePts(2, "DejaVu Sans Mono", "10");
    CViewPrefsDlg d(&root, nullptr, CViewPrefsDlg::DefaultSpec());
    EXPECT_EQ(Str(d.Window() ? LString("x") : LString()), "x");
    Show(&d);
    CVPFontCell* cell = FocusRow(d.List(), 2);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->Row(), 2u);
    EXPECT_EQ(Str(cell->Label()->Text()), "Small font:");
    EXPECT_EQ(Str(cell->Slot()->Text()), "DejaVu Sans Mono");
    cell = FocusRow(d.List(), 0);
    EXPECT_TRUE(cell->Slot()->Text().IsEmpty());
}

TEST_F(CViewPrefsDlgTest, ThePanelOpensOnlyWithListAndRowFocusedAndStoresTheChoice) {
    ASSERT_TRUE(resources.Ok());
    CViewPrefs::Get().SetParamSet(set);
    CViewPrefsDlg d(&root, nullptr, CViewPrefsDlg::DefaultSpec());
    Show(&d);
    CVPFontList* list = d.List();
    // No row focused: a click opens nothing.
    CVPFontCell* cell = FocusRow(list, 1);
    list->ChangeState(LPane::kUnfocus);
    Click(cell);
    EXPECT_TRUE(ScriptedPanel::opened.empty());
    // List and row focused: the panel opens on the default style's family, without a font name.
    list->ChangeState(LPane::kFocus);
    ASSERT_TRUE(list->State() & LPane::kFocused);
    cell = FocusRow(list, 1);
    Click(cell);
    ASSERT_EQ(ScriptedPanel::opened.size(), 1u);
    EXPECT_TRUE(ScriptedPanel::opened[0].fontName.IsEmpty());
    EXPECT_EQ(Str(ScriptedPanel::opened[0].familyName), Str(LTextStyleH(1).FamilyName()));
    EXPECT_FLOAT_EQ(ScriptedPanel::opened[0].size, float(LTextStyleH(1).PointSize()));
    // The choice is stored for the focused row, and the row shows it.
    ScriptedPanel::Choose("DejaVu Serif", 18);
    LString fam;
    double pts = 0;
    ASSERT_TRUE(CViewPrefs::Get().GetFont(1, fam, pts));
    EXPECT_EQ(Str(fam), "DejaVu Serif");
    EXPECT_DOUBLE_EQ(pts, 18);
    EXPECT_EQ(list->FocusedRow(), 1);
    cell = FocusRow(list, 1);
    EXPECT_EQ(Str(cell->Slot()->Text()), "DejaVu Serif");
    // The list loses the focus: the panel closes; it comes back with the focus.
    list->ChangeState(LPane::kUnfocus);
    EXPECT_EQ(ScriptedPanel::closes, 1);
    EXPECT_FALSE(list->PanelOpen());
    list->ChangeState(LPane::kFocus);
    EXPECT_TRUE(list->PanelOpen());
    ASSERT_EQ(ScriptedPanel::opened.size(), 2u);
    EXPECT_EQ(Str(ScriptedPanel::opened[1].familyName), "DejaVu Serif");
    EXPECT_FLOAT_EQ(ScriptedPanel::opened[1].size, 18);
    // Hidden: closed.
    list->ChangeState(LPane::kHide);
    EXPECT_FALSE(list->PanelOpen());
}

TEST_F(CViewPrefsDlgTest, AnEmptiedSlotResetsTheRowAndAModalDialogBlocksChoices) {
    ASSERT_TRUE(resources.Ok());
    CViewPrefs::Get().SetParamSet(set);
    StorePts(3, "DejaVu Sans Mono", "10");
    CViewPrefsDlg d(&root, nullptr, CViewPrefsDlg::DefaultSpec());
    Show(&d);
    CVPFontList* list = d.List();
    list->ChangeState(LPane::kFocus);
    CVPFontCell* cell = FocusRow(list, 3);
    cell->Slot()->Clear();
    LString fam;
    double pts = 0;
    EXPECT_FALSE(CViewPrefs::Get().GetFont(3, fam, pts));
    // While a modal dialog is up, a choice is not applied.
    Click(FocusRow(list, 3));
    ASSERT_TRUE(list->PanelOpen());
    LFrame modal(&root, nullptr, ModalSpec());
    modal.ShowWindow();
    ScriptedPanel::Choose("DejaVu Serif", 30);
    EXPECT_FALSE(CViewPrefs::Get().GetFont(3, fam, pts));
    modal.HideWindow();
    ScriptedPanel::Choose("DejaVu Serif", 30);
    EXPECT_TRUE(CViewPrefs::Get().GetFont(3, fam, pts));
    EXPECT_DOUBLE_EQ(pts, 30);
}

}  // namespace
