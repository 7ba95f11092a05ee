#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Common/ObjC/CEditText.h"
#include "Common/ObjC/MWindowBridge.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Platform/AppKit/ClipView.h"
#include "Platform/AppKit/TextField.h"
#include "tests/Common/ObjC/EditFieldFixture.h"

namespace {

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

int gFilterCalls = 0;

bool AppendX(LPane*, int32_t flag, LString& text) {
    ++gFilterCalls;
    if (flag || text.IsEmpty()) return true;
    text = LString((Str(text) + "x").c_str());
    return true;
}

bool Upper(LPane*, int32_t, LString& text) {
    std::string s = Str(text);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    text = LString(s.c_str());
    return true;
}

bool RemoveAll(LPane*, int32_t, LString& text) {
    const bool deletion = text.IsEmpty();
    text = LString();
    return deletion;
}

// A pane in the frame that owns one editor and records what it hears.
struct EditOwner : LPane {
    explicit EditOwner(LFrame* frame) : LPane(frame, frame) {
        ChangeState(kChainShow);
        ChangeState(kChainEnable);
        SetBounds({10, 10, 210, 40});
    }
    LMessage Handle(const LMessage& msg) override {
        ids.push_back(msg.id.Text());
        if (msg.Is(CEditText_Change) || msg.Is(CEditText_Scroll)) return LMessage();
        return LPane::Handle(msg);
    }
    std::vector<std::string> ids;
};

class CEditTextTest : public EditFieldFixture {
protected:
    CEditTextTest() { owner = new EditOwner(frame); }
    ~CEditTextTest() override { editor.reset(); }
    CEditText* Make(CEditTextFilter filter, bool secure = false, bool readOnly = false, uint32_t mode = 0) {
        editor = std::make_unique<CEditText>(owner, CLRect{10, 10, 210, 40}, CLRect{12, 12, 208, 38}, filter,
                                             mode, LTextStyleH(1), secure, readOnly, false);
        editor->Focus(true);
        return editor.get();
    }
    EditOwner* owner = nullptr;
    std::unique_ptr<CEditText> editor;
};

TEST_F(CEditTextTest, TheFieldSitsOverThePaneAndEditsThroughTheWindowsTextView) {
    CEditText* e = Make(nullptr);
    ASSERT_NE(e->Field(), nullptr);
    EXPECT_EQ(e->Field()->Superview(), native->ContentView());
    EXPECT_EQ(e->Field()->Frame(), (plat::Rect{12, 12, 196, 26}));
    ASSERT_NE(e->CurrentEditor(), nullptr);
    EXPECT_STREQ(e->Field()->ClassName(), "MTextField");
    // The window's shared field editor forwards mouse moves to the content view.
    EXPECT_EQ(e->CurrentEditor(), native->Delegate()->WindowWillReturnFieldEditor(native, e->Field()));
    EXPECT_EQ(native->FirstResponder(), e->CurrentEditor());
    const CLPoint before = mouse.Location();
    e->CurrentEditor()->MouseMoved(
        plat::headless::HeadlessBackend::MouseEvent(plat::EventType::kMouseMoved, native, {57, 23}));
    EXPECT_NE(mouse.Location(), before);
    EXPECT_EQ(mouse.Location(), MWindowView::GlobalLocation(plat::headless::HeadlessBackend::MouseEvent(
                                    plat::EventType::kMouseMoved, native, {57, 23})));
}

TEST_F(CEditTextTest, AFilterThatChangesTheTextRunsOncePerChange) {
    CEditText* e = Make(&AppendX);
    gFilterCalls = 0;
    Type("a");
    EXPECT_EQ(Str(e->GetText()), "ax");
    EXPECT_EQ(gFilterCalls, 1);
    Type("b");
    EXPECT_EQ(Str(e->GetText()), "axbx");
    EXPECT_EQ(gFilterCalls, 2);
}

TEST_F(CEditTextTest, FiltersRewriteOrRefuse) {
    CEditText* e = Make(&Upper);
    Type("abc");
    EXPECT_EQ(Str(e->GetText()), "ABC");
    e->CurrentEditor()->PerformSelector("undo:");
    EXPECT_EQ(Str(e->GetText()), "");  // one typing step
    editor.reset();
    owner->ids.clear();
    e = Make(&RemoveAll);
    e->SetText("keep");
    Type("zz");
    EXPECT_EQ(Str(e->GetText()), "keep");
    EXPECT_TRUE(owner->ids.empty());
}

TEST_F(CEditTextTest, TheChangedFlagFollowsTypingAndClearsOnReadingOrSetting) {
    CEditText* e = Make(nullptr);
    EXPECT_FALSE(e->Changed());
    Type("q");
    EXPECT_TRUE(e->Changed());
    EXPECT_EQ(owner->ids, (std::vector<std::string>{"CEditText_Change"}));
    EXPECT_EQ(Str(e->GetText()), "q");
    EXPECT_FALSE(e->Changed());
    Type("r");
    e->SetText("s");
    EXPECT_FALSE(e->Changed());
}

TEST_F(CEditTextTest, EscapeIsNotKeptOtherCharactersAre) {
    CEditText* e = Make(nullptr);
    plat::Event esc;
    esc.type = plat::EventType::kKeyDown;
    esc.characters = esc.charactersIgnoringModifiers = "\x1b";
    keyboard.Fill(esc);
    EXPECT_FALSE(e->HandleEditMessage(LMessage(LKeyboard_Char, &keyboard, owner)));
    EXPECT_TRUE(keyboard.Handled());
    plat::Event a = esc;
    a.characters = a.charactersIgnoringModifiers = "a";
    keyboard.Fill(a);
    EXPECT_TRUE(e->HandleEditMessage(LMessage(LKeyboard_Char, &keyboard, owner)));
    EXPECT_FALSE(keyboard.Handled());
}

TEST_F(CEditTextTest, TheMenuBarGetsWhatTheSelectionAndTheFieldAllow) {
    LMenuBar bar(nullptr);
    auto* menu = new LMenu(&bar, LString("Edit"));
    bar.AppendMenu(menu);
    const char* const commands[] = {"LStdCmd_Cut", "LStdCmd_Copy", "LStdCmd_Paste", "LStdCmd_Delete"};
    for (const char* c : commands) {
        auto* item = new LMenuItem(menu);
        item->SetCommand(c);
        item->SetTexts(LString(c));
        menu->AppendItem(item);
    }
    auto enabled = [&] {
        std::string out;
        for (const char* c : commands) out += bar.SelectCommand(c) ? "1" : "0";
        bar.ResetItemStates();
        return out;
    };
    struct Case {
        bool readOnly;
        bool selection;
        bool clipboard;
        const char* want;  // cut copy paste delete
    };
    const Case cases[] = {
        {true, false, true, "0000"},  {true, true, true, "0100"},  {false, false, false, "0000"},
        {false, false, true, "0010"}, {false, true, true, "1111"}, {false, true, false, "1101"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.want));
        CEditText* e = Make(nullptr, false, c.readOnly);
        e->SetText("text");
        e->SetSelection(0, c.selection ? 2 : 0);
        board.SetHas(c.clipboard);
        EXPECT_FALSE(e->HandleEditMessage(LMessage(LMenuBar_Ready, &bar, owner)));
        EXPECT_EQ(enabled(), c.want);
        editor.reset();
    }
    // Copy through the menu item reaches the field editor.
    CEditText* e = Make(nullptr);
    e->SetText("hello");
    e->SetSelection(1, 3);
    auto* item = new LMenuItem(menu);
    item->SetCommand("LStdCmd_Copy");
    EXPECT_TRUE(e->HandleEditMessage(LMessage(LMenuItem_Selected, item, owner)));
    EXPECT_EQ(board.Text(), "ell");
    delete item;
}

TEST_F(CEditTextTest, SelectionsAreClippedAndScrollingIsReported) {
    CEditText* e = Make(nullptr);
    e->SetText(
        "a\xF0\x9D\x84\x9E"
        "b");
    e->SetSelection(2, 100);
    uint32_t start = 0, length = 0;
    e->GetSelection(start, length);
    EXPECT_EQ(start, 1u);  // snapped to the pair's start
    EXPECT_EQ(length, 3u);
    EXPECT_TRUE(e->AllSelected() == false);
    e->SelectAll();
    EXPECT_TRUE(e->AllSelected());
    owner->ids.clear();
    e->SetText(std::string(200, 'w').c_str());
    e->CurrentEditor()->PerformSelector("moveToEndOfLine:");
    EXPECT_GT(e->GetScrollPosition().x, 0);
    EXPECT_NE(std::find(owner->ids.begin(), owner->ids.end(), "CEditText_Scroll"), owner->ids.end());
}

TEST_F(CEditTextTest, DestroyingTheEditorEndsEditing) {
    CEditText* e = Make(nullptr);
    plat::Ref<plat::TextField> field = plat::RetainRef(e->Field());
    editor.reset();
    EXPECT_EQ(field->Superview(), nullptr);
    EXPECT_EQ(field->CurrentEditor(), nullptr);
    EXPECT_EQ(native->FirstResponder(), native->ContentView());
}

}  // namespace
