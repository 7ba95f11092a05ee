#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/CMenuKeyRegistry.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "tests/Lib3/LSources/CoreData/ParamTestTypes.h"

namespace {

// The key dialog and messages, scripted: each AskKey takes the next answer ("!" cancels).
struct ScriptedUI : CMenuKeyUI {
    std::deque<std::string> answers;
    std::vector<uint32_t> messages;
    int asked = 0;
    bool AskKey(LHandler*, LString* spec) override {
        ++asked;
        if (answers.empty()) return false;
        std::string a = answers.front();
        answers.pop_front();
        if (a == "!") return false;
        *spec = LString(a.c_str());
        return true;
    }
    void ShowMessage(uint32_t index) override { messages.push_back(index); }
};

class CMenuKeyRegistryTest : public ::testing::Test {
protected:
    CMenuKeyRegistryTest() : bar(nullptr), registry(&owner, &ui) {
        menu = new LMenu(&bar, LString("Edit"));
        bar.AppendMenu(menu);
        a = Add("CmdA", "Alpha");
        b = Add("CmdB", "Beta");
        c1 = Add("CmdC", "Copy");
        c2 = Add("CmdC", "Copy Style");
        builtin = Add("CmdU", "Undo");
        builtin->SetKeySpec(LString("Z"));
    }
    LMenuItem* Add(const char* cmd, const char* text) {
        auto* item = new LMenuItem(menu);
        item->SetCommand(cmd);
        item->SetTexts(LString(text));
        menu->AppendItem(item);
        return item;
    }
    void Register(LMenuItem* item, const char* key) {
        ui.answers.push_back(key);
        registry.RegisterItem(item);
    }
    std::string Keys() {
        std::string s;
        for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i))
            s += std::string(i->KeySpec().CStr()) + "|";
        return s;
    }
    std::string Rows() {
        std::string s;
        for (uint32_t r = 0; r < registry.RowCount(); ++r)
            s += std::string(registry.Cell(r, "cmd").CStr()) + "/" + registry.Cell(r, "text").CStr() + "/" +
                 registry.Cell(r, "key").CStr() + " ";
        return s;
    }

    LHandler owner{nullptr};
    LMenuBar bar;
    ScriptedUI ui;
    CMenuKeyRegistry registry;
    LMenu* menu;
    LMenuItem *a, *b, *c1, *c2, *builtin;
};

TEST_F(CMenuKeyRegistryTest, AKeyGivenToTwoCommandsStaysWithTheNewer) {
    Register(a, "cK");
    EXPECT_EQ(Keys(), "cK||||Z|");
    Register(b, "cK");
    EXPECT_EQ(Keys(), "|cK|||Z|");
    EXPECT_EQ(Rows(), "CmdA/Alpha/ CmdB/Beta/cK ");
    // The older row lost its key and goes with the next normalising.
    registry.Normalize();
    EXPECT_EQ(Rows(), "CmdB/Beta/cK ");
}

TEST_F(CMenuKeyRegistryTest, AnEmptyKeySurvivesOnlyBesideASameCommandSibling) {
    Register(a, "");
    EXPECT_EQ(Rows(), "");
    Register(c2, "cY");
    Register(c1, "");
    EXPECT_EQ(Rows(), "CmdC/Copy Style/cY CmdC/Copy/ ");
    EXPECT_EQ(Keys(), "|||cY|Z|");
    // Registering again for the same command and text replaces the older row; the empty row has no
    // earlier sibling left and goes, while the row of another text still gives Copy no key.
    Register(c2, "cJ");
    EXPECT_EQ(Rows(), "CmdC/Copy Style/cJ ");
    EXPECT_EQ(Keys(), "|||cJ|Z|");
}

TEST_F(CMenuKeyRegistryTest, OneCommandTwoTextsTwoKeys) {
    Register(c1, "cJ");
    Register(c2, "cY");
    EXPECT_EQ(Keys(), "||cJ|cY|Z|");
    EXPECT_EQ(Rows(), "CmdC/Copy/cJ CmdC/Copy Style/cY ");
}

TEST_F(CMenuKeyRegistryTest, BuiltInKeysAreRefused) {
    Register(builtin, "cQ");
    EXPECT_EQ(ui.messages, std::vector<uint32_t>{0});
    EXPECT_EQ(ui.asked, 0);
    EXPECT_EQ(Rows(), "");
    // A typed key that is another item's built-in key: message 1, and the dialog again.
    ui.answers = {"Z", "cQ"};
    registry.RegisterItem(a);
    EXPECT_EQ(ui.messages, (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(ui.asked, 2);
    EXPECT_EQ(Rows(), "CmdA/Alpha/cQ ");
    // Cancel changes nothing.
    ui.answers = {"!"};
    registry.RegisterItem(b);
    EXPECT_EQ(Rows(), "CmdA/Alpha/cQ ");
}

TEST_F(CMenuKeyRegistryTest, ArmingHooksTheNextChoice) {
    registry.Arm();
    EXPECT_EQ(LMenuBar::CommandTarget(), &owner);
    bar.ResetItemStates();
    EXPECT_FALSE(registry.HandleMenuMessage(LMessage(LMenuBar_Ready, &bar, &owner)));
    EXPECT_TRUE(a->IsEnabled());
    EXPECT_TRUE(builtin->IsEnabled());
    // The bar hands the choice to the hook instead of performing it.
    EXPECT_EQ(bar.SelectCommand("CmdB"), nullptr);
    ui.answers = {"cB"};
    EXPECT_TRUE(registry.HandleMenuMessage(LMessage(LMenuItem_Selected, b, &owner)));
    EXPECT_FALSE(registry.IsArmed());
    EXPECT_EQ(LMenuBar::CommandTarget(), nullptr);
    EXPECT_EQ(Rows(), "CmdB/Beta/cB ");
    EXPECT_FALSE(registry.HandleMenuMessage(LMessage(LMenuItem_Selected, a, &owner)));

    // A menu closed without a choice: the second readiness pass disarms.
    registry.Arm();
    registry.HandleMenuMessage(LMessage(LMenuBar_Ready, &bar, &owner));
    registry.HandleMenuMessage(LMessage(LMenuBar_Ready, &bar, &owner));
    EXPECT_FALSE(registry.IsArmed());
    EXPECT_EQ(LMenuBar::CommandTarget(), nullptr);
}

TEST_F(CMenuKeyRegistryTest, LoadAndSaveThroughACopy) {
    Register(a, "cK");
    CRecord* doc = CRecord::New(&ptest::gHolderType);
    ASSERT_NE(doc, nullptr);
    CRecordRef ref(&doc);
    registry.Save(ref, ptest::kTable);
    ASSERT_NE(doc->GetSubRecord(ptest::kTable), nullptr);

    // A table from a document: rows without command are dropped, missing columns read as empty.
    CRecordRef table(doc->Slot(ptest::kTable).record ? &doc->Slot(ptest::kTable).record : nullptr);
    CParamTable::AppendRow(table, nullptr);
    CParamTable::SetCell(table, nullptr, 0, 1, LString("text"), LString("orphan"));
    CParamTable::AppendRow(table, nullptr);
    CParamTable::SetCell(table, nullptr, 0, 2, LString("cmd"), LString("CmdB"));
    CParamTable::SetCell(table, nullptr, 0, 2, LString("key"), LString("cL"));
    CMenuKeyRegistry other(&owner, &ui);
    LMenuBar::SetCommandTarget(nullptr);
    other.Load(ref, ptest::kTable);
    EXPECT_EQ(other.RowCount(), 2u);
    EXPECT_STREQ(other.Cell(1, "cmd").CStr(), "CmdB");
    EXPECT_STREQ(other.Cell(1, "text").CStr(), "");
    // Another record type is ignored: the table stays.
    other.Load(ref, ptest::kSets);
    EXPECT_EQ(other.RowCount(), 2u);
    CRecord::Delete(doc);
}

}  // namespace
