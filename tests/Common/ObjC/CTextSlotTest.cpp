#include <gtest/gtest.h>

#include <string>

#include "Common/ObjC/CClipboardHolder.h"
#include "Common/ObjC/CTextSlot.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/support/GeneralPasteboardText.h"
#include "tests/support/HeadlessScreens.h"

namespace {

const char* const kCommands[] = {"LStdCmd_Cut", "LStdCmd_Copy", "LStdCmd_Paste", "LStdCmd_Delete"};

class CTextSlotTest : public ::testing::Test {
protected:
    CTextSlotTest() {
        menu = new LMenu(&bar, LString("Edit"));
        bar.AppendMenu(menu);
        for (const char* c : kCommands) {
            auto* item = new LMenuItem(menu);
            item->SetCommand(c);
            item->SetTexts(LString(c));
            menu->AppendItem(item);
            items.push_back(item);
        }
    }
    std::unique_ptr<CTextSlot> Make(uint8_t options, const char* text) {
        auto slot = std::make_unique<CTextSlot>(&owner, options);
        slot->ChangeState(LPane::kChainShow);
        slot->ChangeState(LPane::kChainEnable);
        slot->SetBounds({10, 10, 110, 30});
        slot->SetText(LString(text));
        log.ids.clear();
        return slot;
    }
    // Cut, copy, paste, delete: which the slot enabled.
    std::string Enabled(CTextSlot& slot) {
        bar.ResetItemStates();
        LHandler::Dispatch(LMessage(LMenuBar_Ready, &bar, &slot));
        std::string out;
        for (const char* c : kCommands) out += bar.SelectCommand(c) ? "1" : "0";
        return out;
    }
    void Choose(CTextSlot& slot, int i) { LHandler::Dispatch(LMessage(LMenuItem_Selected, items[i], &slot)); }
    int Count(const char* id) const {
        int n = 0;
        for (const std::string& s : log.ids) n += s == id;
        return n;
    }

    testsupport::HeadlessScreens screens;
    testsupport::GeneralPasteboardText board;
    CClipboardHolder holder;
    MessageLog log;
    FakeOwner owner{&log};
    LMenuBar bar{nullptr};
    LMenu* menu;
    std::vector<LMenuItem*> items;
};

TEST_F(CTextSlotTest, CommandsFollowTheOptionsTheTextAndTheClipboard) {
    struct Case {
        uint8_t options;
        const char* text;
        bool clipboard;
        const char* enabled;
    };
    const Case cases[] = {
        {0, "cue", true, "0100"},
        {0, "", true, "0000"},
        {CTextSlot::kEditable, "cue", true, "1111"},
        {CTextSlot::kEditable, "", true, "0010"},
        {CTextSlot::kEditable, "cue", false, "1101"},
        {CTextSlot::kDeletable, "cue", true, "0101"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.options) + c.text);
        auto slot = Make(c.options, c.text);
        board.SetHas(c.clipboard);
        EXPECT_EQ(Enabled(*slot), c.enabled);
    }
}

TEST_F(CTextSlotTest, CutPutsTheTextEmptiesTheSlotAndTellsOnce) {
    auto slot = Make(CTextSlot::kEditable, "Scene 1");
    Choose(*slot, 0);
    EXPECT_TRUE(slot->Text().IsEmpty());
    EXPECT_EQ(board.Text(), "Scene 1");
    EXPECT_EQ(Count("CTextSlot_Changed"), 1);
    board.WriteString("Scene 2");
    Choose(*slot, 2);
    EXPECT_TRUE(slot->Text() == "Scene 2");
    EXPECT_EQ(Count("CTextSlot_Changed"), 2);
}

TEST_F(CTextSlotTest, PasteWithoutTextAndCopyOfNothingChangeNothing) {
    auto slot = Make(CTextSlot::kEditable, "keep");
    board.SetHas(false);
    Choose(*slot, 2);
    EXPECT_TRUE(slot->Text() == "keep");
    EXPECT_EQ(Count("CTextSlot_Changed"), 0);
    auto empty = Make(CTextSlot::kEditable, "");
    board.WriteString("on the clipboard");
    Choose(*empty, 1);
    EXPECT_EQ(board.Text(), "on the clipboard");
}

TEST_F(CTextSlotTest, BackspaceDeletesOnlyWhereDeletingIsAllowed) {
    LKeyboard keyboard;
    plat::Event e;
    e.type = plat::EventType::kKeyDown;
    e.characters = e.charactersIgnoringModifiers = "\x7f";
    keyboard.Fill(e);
    auto readOnly = Make(0, "fixed");
    LHandler::Dispatch(LMessage(LKeyboard_Char, &keyboard, readOnly.get()));
    EXPECT_TRUE(readOnly->Text() == "fixed");
    auto deletable = Make(CTextSlot::kDeletable, "gone");
    LHandler::Dispatch(LMessage(LKeyboard_Char, &keyboard, deletable.get()));
    EXPECT_TRUE(deletable->Text().IsEmpty());
    EXPECT_EQ(Count("CTextSlot_Changed"), 1);
}

TEST_F(CTextSlotTest, ClicksAreReportedAndAnEditableSlotTakesTheFocus) {
    LMouse mouse;
    auto slot = Make(0, "x");
    LHandler::Dispatch(LMessage(LMouse_Click, &mouse, slot.get()));
    EXPECT_EQ(Count("CTextSlot_Click"), 1);
    EXPECT_EQ(Count("LPane_ReqFocus"), 0);
    auto editable = Make(CTextSlot::kEditable, "x");
    LHandler::Dispatch(LMessage(LMouse_Click, &mouse, editable.get()));
    EXPECT_EQ(Count("CTextSlot_Click"), 1);
    EXPECT_EQ(Count("LPane_ReqFocus"), 1);
}

}  // namespace
