#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "Common/ObjC/CMenuKeyDialog.h"
#include "Common/ObjC/CSimpleMessageDialog.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Platform/AppKit/Event.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

using dialogtest::HeadlessDialogTest;
using plat::headless::HeadlessBackend;

class CMenuKeyDialogTest : public HeadlessDialogTest {
public:
    void Press(LFrame* d, const char* key) { Inject(d, key); }
    void Type(LFrame* d, const char* chars, uint32_t mods) { Key(d, chars, mods); }

protected:
    void Key(LFrame* d, const char* chars, uint32_t mods) {
        screens.Backend().Inject(HeadlessBackend::KeyEvent(plat::EventType::kKeyDown,
                                                           d->Window()->NativeWindow(), chars, 0, mods));
    }
};

TEST_F(CMenuKeyDialogTest, TextsAndTidyLayout) {
    ASSERT_TRUE(resources.Ok());
    CMenuKeyDialog d(&root, nullptr);
    EXPECT_STREQ(d.OkButton()->GetTitle().CStr(), "OK");
    EXPECT_STREQ(d.CancelBtn()->GetTitle().CStr(), "Cancel");
    EXPECT_EQ(d.DefaultButton(), d.OkButton());
    EXPECT_EQ(d.CancelButton(), d.CancelBtn());
    EXPECT_STRNE(d.PromptPane()->Text().CStr(), "");
    EXPECT_TRUE(d.KeySpec().IsEmpty());
    // The layout placed every pane inside the window, none over another.
    const CLRect frame = d.Bounds();
    EXPECT_GT(frame.Width(), 100);
    for (LPane* p : {static_cast<LPane*>(d.OkButton()), static_cast<LPane*>(d.CancelBtn()),
                     static_cast<LPane*>(d.PromptPane()), static_cast<LPane*>(d.KeyPane())}) {
        const CLRect b = p->Bounds();
        EXPECT_FALSE(b.IsEmpty());
        EXPECT_GE(b.left, 0);
        EXPECT_LE(b.right, frame.Width());
        EXPECT_LE(b.bottom, frame.Height());
    }
    EXPECT_LE(d.PromptPane()->Bounds().bottom, d.KeyPane()->Bounds().top);
    EXPECT_LE(d.KeyPane()->Bounds().bottom, d.OkButton()->Bounds().top);
}

// Each key typed: its stored form and how the dialog shows it.
TEST_F(CMenuKeyDialogTest, KeysAreShownAsTheMenuStripWritesThem) {
    ASSERT_TRUE(resources.Ok());
    struct Case {
        const char* chars;
        uint32_t mods;
        const char* spec;
        const char* shown;
    };
    const Case cases[] = {
        {"k", plat::kCommandKeyMask, "K", "Ctrl+K"},
        {"K", plat::kCommandKeyMask | plat::kShiftKeyMask, "sK", "Ctrl+Shift+K"},
        {"k", plat::kCommandKeyMask | plat::kAlternateKeyMask | plat::kControlKeyMask, "coK",
         "Ctrl+Alt+Super+K"},
        {"1", plat::kCommandKeyMask | plat::kShiftKeyMask, "1", "Ctrl+1"},
        {" ", 0, "n ", "Space"},
        {"a", plat::kAlternateKeyMask, "onA", "Alt+A"},
    };
    for (const Case& c : cases) {
        CMenuKeyDialog d(&root, nullptr);
        Show(&d);
        Key(&d, c.chars, c.mods);
        Inject(&d, "\r");
        EXPECT_EQ(d.RunUntilResult(), 1u) << c.spec;
        EXPECT_STREQ(d.KeySpec().CStr(), c.spec);
        EXPECT_STREQ(d.KeyPane()->Text().CStr(), c.shown) << c.spec;
        EXPECT_STREQ(CMenuKeyDialog::DisplayText(LString(c.spec)).CStr(), c.shown);
    }
}

TEST_F(CMenuKeyDialogTest, EscapeCancelsAndReturnWithoutAKeyGivesNone) {
    ASSERT_TRUE(resources.Ok());
    {
        CMenuKeyDialog d(&root, nullptr);
        Show(&d);
        Key(&d, "k", plat::kCommandKeyMask);
        Inject(&d, "\x1b");
        EXPECT_EQ(d.RunUntilResult(), 2u);
    }
    {
        CMenuKeyDialog d(&root, nullptr);
        Show(&d);
        Inject(&d, "\r");
        EXPECT_EQ(d.RunUntilResult(), 1u);
        EXPECT_TRUE(d.KeySpec().IsEmpty());
    }
}

// The registry's two messages, each in a box without Cancel that Return closes.
struct MessageRoot : dialogtest::ModalRoot {
    CMenuKeyDialogTest* test = nullptr;
    std::string shown;
    bool cancelShown = true;
    LMessage Handle(const LMessage& msg) override;
};

TEST_F(CMenuKeyDialogTest, MessagesZeroAndOne) {
    ASSERT_TRUE(resources.Ok());
    const LString zero = CMenuKeyDialogs::MessageText(0);
    const LString one = CMenuKeyDialogs::MessageText(1);
    EXPECT_NE(std::string(zero.CStr()).find("fixed key"), std::string::npos);
    EXPECT_NE(std::string(one.CStr()).find("another menu command"), std::string::npos);
    MessageRoot boxRoot;
    boxRoot.test = this;
    boxRoot.loop = loop;
    CMenuKeyDialogs ui(&boxRoot);
    const LString texts[] = {zero, one};
    for (uint32_t index : {0u, 1u}) {
        boxRoot.shown.clear();
        ui.ShowMessage(index);
        EXPECT_EQ(boxRoot.shown, texts[index].CStr());
        EXPECT_FALSE(boxRoot.cancelShown);
    }
}

LMessage MessageRoot::Handle(const LMessage& msg) {
    if (msg.Is("LHandler_Mode") && msg.sender) {
        auto* box = static_cast<CSimpleMessageDialog*>(msg.sender);
        shown = box->MessagePane()->Text().CStr();
        cancelShown = box->CancelBtn()->IsVisible();
        test->Press(box, "\r");
        loop->RunModal(box);
        return LMessage();
    }
    return ModalRoot::Handle(msg);
}

// The registry with the real dialogs: a key that is another item's fixed key is refused with
// message 1 and asked again; the next key is registered.
struct ScriptRoot : dialogtest::ModalRoot {
    CMenuKeyDialogTest* test = nullptr;
    // Per modal dialog, in order: the keys typed (chars, modifiers).
    std::deque<std::vector<std::pair<const char*, uint32_t>>> script;
    std::vector<std::string> titles;
    LHandler* last = nullptr;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is("LHandler_Mode") && msg.sender) {
            auto* d = static_cast<LFrame*>(msg.sender);
            if (d != last && !script.empty()) {
                last = d;
                titles.push_back(d->Window()->NativeWindow()->Title());
                for (const auto& [chars, mods] : script.front()) test->Type(d, chars, mods);
                script.pop_front();
            }
        }
        return ModalRoot::Handle(msg);
    }
};

TEST_F(CMenuKeyDialogTest, TheRegistryAsksAgainAfterAFixedKey) {
    ASSERT_TRUE(resources.Ok());
    LMenuBar bar(nullptr);
    auto* menu = new LMenu(&bar, LString("Edit"));
    bar.AppendMenu(menu);
    auto add = [&](const char* cmd, const char* text) {
        auto* item = new LMenuItem(menu);
        item->SetCommand(cmd);
        item->SetTexts(LString(text));
        menu->AppendItem(item);
        return item;
    };
    LMenuItem* alpha = add("CmdA", "Alpha");
    LMenuItem* undo = add("CmdU", "Undo");
    undo->SetKeySpec(LString("Z"));

    ScriptRoot scripted;
    scripted.test = this;
    scripted.loop = loop;
    CMenuKeyDialogs ui(&scripted);
    CMenuKeyRegistry registry(&scripted, &ui);
    scripted.script = {{{"z", plat::kCommandKeyMask}, {"\r", 0}},  // Undo's key
                       {{"\r", 0}},                                // the message box
                       {{"k", plat::kCommandKeyMask}, {"\r", 0}}};
    registry.RegisterItem(alpha);
    EXPECT_TRUE(scripted.script.empty());
    ASSERT_EQ(scripted.titles.size(), 3u);
    EXPECT_EQ(scripted.titles[0], "Menu Key");
    EXPECT_NE(scripted.titles[1], "Menu Key");
    EXPECT_EQ(scripted.titles[2], "Menu Key");
    EXPECT_STREQ(alpha->KeySpec().CStr(), "K");
    EXPECT_STREQ(undo->KeySpec().CStr(), "Z");
    ASSERT_EQ(registry.RowCount(), 1u);
    EXPECT_STREQ(registry.Cell(0, "key").CStr(), "K");
}

}  // namespace
