#include <gtest/gtest.h>

#include <memory>

#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMenuKeySpec.h"
#include "Lib3/LSources/CoreUI/LMenuTracer.h"
#include "tests/Lib3/LSources/CoreUI/MenuResources.h"

namespace {

// Records the messages that reach it and passes them on.
class Recorder : public LHandler {
public:
    Recorder() : LHandler(nullptr) {}
    LMessage Handle(const LMessage& msg) override {
        seen.push_back(msg.id.Text());
        senders.push_back(msg.sender);
        return LHandler::Handle(msg);
    }
    int Count(const char* id) const {
        int n = 0;
        for (const std::string& s : seen) n += s == id;
        return n;
    }
    std::vector<std::string> seen;
    std::vector<LHandler*> senders;
};

void FireTimers() {
    for (int guard = 0; guard < 100; ++guard) {
        LMessage m = LTimer::NextExpired(LTimer::Now() + 1000, nullptr, nullptr, true);
        if (m.IsEmpty()) return;
        LHandler::Dispatch(m);
    }
}

LMenuItem* AddItem(LMenu* menu, const char* command, const char* text, const char* key = nullptr) {
    auto* item = new LMenuItem(menu);
    item->SetCommand(command);
    item->SetTexts(LString(text));
    if (key) item->SetKeySpec(LString(key));
    menu->AppendItem(item);
    return item;
}

TEST(LMenuKeySpecTest, ParsesTheStoredForm) {
    using K = SMenuKeySpec;
    struct Case {
        const char* text;
        bool ok;
        char key;
        uint32_t mods;
    } cases[] = {
        {"cZ", true, 'Z', K::kControl | K::kCommand},
        {"nsA", true, 'A', K::kShift},
        {"c", false, 0, 0},
        {"", false, 0, 0},
        {"Z", true, 'Z', K::kCommand},
        {"osn ", true, ' ', K::kOption | K::kShift},
        {"xqZ", true, 'Z', K::kCommand},  // other lower-case letters are ignored
        {"c\x7f", false, 0, 0},
        {"c\xc3\xa9", false, 0, 0},
    };
    for (const Case& c : cases) {
        SMenuKeySpec spec;
        EXPECT_EQ(LMenuKeySpec::ParseKeySpec(c.text, &spec), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(spec.key, uint8_t(c.key)) << c.text;
        EXPECT_EQ(spec.modifiers, c.mods) << c.text;
    }
}

TEST(LMenuKeySpecTest, WritesGlyphsAndItemModifiers) {
    SMenuKeySpec spec{' ', SMenuKeySpec::kOption | SMenuKeySpec::kShift | SMenuKeySpec::kCommand};
    LVariStr<64> out;
    ASSERT_TRUE(LMenuKeySpec::WriteKeyText(spec, out));
    EXPECT_STREQ(out.CStr(), "\xE2\x8C\xA5\xE2\x87\xA7\xE2\x8C\x98Space");
    out.Reset();
    EXPECT_TRUE(LMenuKeySpec::WriteKeyText({'Z', SMenuKeySpec::kControl}, out));
    EXPECT_STREQ(out.CStr(), "^Z");
    out.Reset();
    EXPECT_FALSE(LMenuKeySpec::WriteKeyText({0x7f, 0}, out));
    EXPECT_EQ(out.Length(), 0u);
    // Three layouts kept apart: record (1 Shift, 2 Control, 4 Option, 8 Command) to item (1 Shift,
    // 2 Option, 4 Control, 8 no Command).
    EXPECT_EQ(LMenuKeySpec::ItemModifiers({'Z', SMenuKeySpec::kControl | SMenuKeySpec::kCommand}), 4u);
    EXPECT_EQ(LMenuKeySpec::ItemModifiers({'A', SMenuKeySpec::kShift}), 1u | 8u);
    EXPECT_EQ(LMenuKeySpec::ItemModifiers({'A', SMenuKeySpec::kOption | SMenuKeySpec::kCommand}), 2u);
}

class LMenuTest : public ::testing::Test {
protected:
    LMenuTest() : bar(&root) {
        edit = new LMenu(&bar, LString("Edit"));
        edit->SetName(LString("EDIT"));
        bar.AppendMenu(edit);
        undo = AddItem(edit, "LStdCmd_Undo", "Undo", "Z");
        copy = AddItem(edit, "LStdCmd_Copy", "Copy", "C");
        copy2 = AddItem(edit, "LStdCmd_Copy", "Copy Style");
        FireTimers();
        root.seen.clear();
    }
    Recorder root;
    LMenuBar bar;
    LMenu* edit;
    LMenuItem* undo;
    LMenuItem* copy;
    LMenuItem* copy2;
};

TEST_F(LMenuTest, TheFirstBarIsTheMainBar) {
    EXPECT_EQ(LMenuBar::Main(), &bar);
    {
        LMenuBar other(nullptr);
        EXPECT_EQ(LMenuBar::Main(), &bar);
    }
    EXPECT_EQ(LMenuBar::Main(), &bar);
}

TEST_F(LMenuTest, EnableAndCheckCommands) {
    bar.EnableCommand("LStdCmd_Undo", "Undo Typing", true);
    EXPECT_FALSE(undo->IsEnabled());
    EXPECT_STREQ(undo->Text().CStr(), "Undo Typing");
    bar.EnableCommand("LStdCmd_Undo", "", false);
    EXPECT_TRUE(undo->IsEnabled());
    EXPECT_STREQ(undo->Text().CStr(), "Undo Typing");
    // An enabled item is left alone.
    bar.EnableCommand("LStdCmd_Undo", "Other", false);
    EXPECT_STREQ(undo->Text().CStr(), "Undo Typing");

    EXPECT_TRUE(bar.CheckCommand("LStdCmd_Copy", "Copy Style"));
    EXPECT_FALSE(copy->IsMarked());
    EXPECT_TRUE(copy2->IsMarked());
    EXPECT_TRUE(bar.CheckCommand("LStdCmd_Copy", ""));
    EXPECT_TRUE(copy->IsMarked());
    EXPECT_FALSE(bar.CheckCommand("LStdCmd_Nothing", ""));

    bar.ResetItemStates();
    EXPECT_FALSE(undo->IsEnabled());
    EXPECT_STREQ(undo->Text().CStr(), "Undo");
    // A check mark lasts one pass only: what is checked no more shows no mark.
    EXPECT_FALSE(copy->IsMarked());
}

// A menu enables its bound items at any depth and opens the way to them: openers of submenus holding
// one are enabled, others stay as they were.
TEST_F(LMenuTest, MenuEnablesCommandsAndTheSubmenusHoldingThem) {
    LMenu* outer = edit->MakeSubmenu(uint32_t(edit->IndexOfItem(copy2)));
    LMenuItem* mid = AddItem(outer, "", "Mid");
    LMenuItem* side = AddItem(outer, "", "Side");
    LMenu* inner = outer->MakeSubmenu(uint32_t(outer->IndexOfItem(mid)));
    (void)outer->MakeSubmenu(uint32_t(outer->IndexOfItem(side)));
    LMenuItem* deep = AddItem(inner, "Deep", "Deep");
    LMenuItem* other = AddItem(inner, "Other", "Other");
    bar.ResetItemStates();

    EXPECT_FALSE(edit->EnableCommand("Nothing"));
    EXPECT_TRUE(edit->EnableCommand("Deep"));
    const struct {
        LMenuItem* item;
        bool enabled;
    } cases[] = {{copy2, true},  {mid, true},   {deep, true}, {side, false},
                 {other, false}, {undo, false}, {copy, false}};
    for (const auto& c : cases) EXPECT_EQ(c.item->IsEnabled(), c.enabled) << c.item->Text().CStr();
    EXPECT_TRUE(edit->EnableCommand("LStdCmd_Undo"));
    EXPECT_TRUE(undo->IsEnabled());
    EXPECT_FALSE(copy->IsEnabled());
}

TEST_F(LMenuTest, SelectionFindsEnabledItemsWithoutSubmenu) {
    EXPECT_EQ(bar.SelectCommand("LStdCmd_Copy"), nullptr);
    bar.EnableCommand("LStdCmd_Copy");
    EXPECT_EQ(bar.SelectCommand("LStdCmd_Copy"), copy);
    bar.EnableCommand("LStdCmd_Undo");
    EXPECT_EQ(bar.SelectItemByKey("Z"), undo);
    EXPECT_EQ(bar.SelectItemByKey("cZ"), nullptr);
    EXPECT_EQ(bar.SelectNativeItem(copy2->Tag()), copy2);
    EXPECT_NE(copy->Tag(), copy2->Tag());

    // Submenus only through enabled items; an item with a submenu is never chosen.
    LMenu* sub = edit->MakeSubmenu(uint32_t(edit->IndexOfItem(copy2)));
    LMenuItem* deep = AddItem(sub, "Deep", "Deep");
    deep->SetEnabled(true);
    copy2->SetEnabled(false);
    EXPECT_EQ(bar.SelectCommand("Deep"), nullptr);
    copy2->SetEnabled(true);
    EXPECT_EQ(bar.SelectCommand("Deep"), deep);
    EXPECT_EQ(bar.SelectCommand("LStdCmd_Copy"), copy);

    // With a command target the choice goes there instead.
    Recorder target;
    LMenuBar::SetCommandTarget(&target);
    EXPECT_EQ(bar.SelectCommand("LStdCmd_Copy"), nullptr);
    LMenuBar::SetCommandTarget(nullptr);
    ASSERT_EQ(target.Count("LMenuItem_Selected"), 1);
    EXPECT_EQ(target.senders[0], copy);
}

TEST_F(LMenuTest, TenAdditionsGiveOneAddedNotice) {
    for (int i = 0; i < 10; ++i) AddItem(edit, "X", "X");
    EXPECT_EQ(root.Count("LMenuBar_Added"), 0);
    FireTimers();
    EXPECT_EQ(root.Count("LMenuBar_Added"), 1);
    FireTimers();
    EXPECT_EQ(root.Count("LMenuBar_Added"), 1);
}

TEST_F(LMenuTest, InsertRemoveAndPositions) {
    auto* first = new LMenuItem(edit);
    first->SetTexts(LString("First"));
    edit->InsertItem(first, 0);
    auto* last = new LMenuItem(edit);
    edit->InsertItem(last, 99);
    auto* second = new LMenuItem(edit);
    edit->InsertItem(second, 1);
    EXPECT_EQ(edit->IndexOfItem(first), 0);
    EXPECT_EQ(edit->IndexOfItem(second), 1);
    EXPECT_EQ(edit->IndexOfItem(undo), 2);
    EXPECT_EQ(edit->IndexOfItem(last), int32_t(edit->ItemCount()) - 1);
    edit->RemoveItemAt(1);
    EXPECT_EQ(edit->IndexOfItem(undo), 1);
    delete last;
    EXPECT_EQ(edit->ItemCount(), 4u);

    LMenu* parent = nullptr;
    int32_t index = -1;
    EXPECT_TRUE(bar.FindMenuPosition(edit, &parent, &index));
    EXPECT_EQ(parent, nullptr);
    EXPECT_EQ(index, 0);
    LMenu* sub = edit->MakeSubmenu(2);
    sub->SetName(LString("SUB"));
    EXPECT_EQ(bar.FindMenu(LString("SUB")), sub);
    EXPECT_TRUE(bar.FindMenuPosition(sub, &parent, &index));
    EXPECT_EQ(parent, edit);
    EXPECT_EQ(index, 2);

    // The tracer walks up from an item to the first bar.
    LMenuItem* deep = AddItem(sub, "Deep", "Deep");
    LMenuBar* found = nullptr;
    EXPECT_EQ(LMenuTracer::TraceMenu(deep, LString(), &found), sub);
    EXPECT_EQ(found, &bar);
    EXPECT_EQ(LMenuTracer::TraceMenu(deep, LString("EDIT"), &found), edit);
    EXPECT_EQ(LMenuTracer::TraceMenu(deep, LString("NONE"), &found), nullptr);
    EXPECT_EQ(found, &bar);
}

TEST_F(LMenuTest, DestroyingMenusAndBarsLeavesNothingBehind) {
    const uint32_t before = LMenu::LiveCount();
    {
        LMenuBar temp(nullptr);
        auto* a = new LMenu(&temp, LString("A"));
        temp.AppendMenu(a);
        a->MakeSubmenu(0);  // no item 0: nothing
        AddItem(a, "X", "X");
        a->MakeSubmenu(0);
        auto* b = new LMenu(&temp, LString("B"));
        temp.AppendMenu(b);
        delete b;  // its notice takes it out of the bar
        EXPECT_EQ(temp.MenuCount(), 1u);
        EXPECT_EQ(LMenu::LiveCount(), before + 2);
    }
    EXPECT_EQ(LMenu::LiveCount(), before);
}

TEST(LMenuGroupTest, GroupMenusComeBackInOrder) {
    LMenuBar main(nullptr);
    for (const char* name : {"FILE", "WINDOW", "HELP"}) {
        auto* m = new LMenu(&main, LString(name));
        m->SetName(LString(name));
        main.AppendMenu(m);
    }
    auto names = [&] {
        std::string s;
        for (LMenu* m = main.FirstMenu(); m; m = main.NextMenu(m)) s += std::string(m->Name().CStr()) + " ";
        return s;
    };
    LOwningMenuBar group(nullptr);
    for (const char* name : {"G1", "G2", "G3"}) {
        auto* m = new LMenu(&group, LString(name));
        m->SetName(LString(name));
        group.AppendMenu(m);
    }
    for (int cycle = 0; cycle < 2; ++cycle) {
        group.InsertIntoMain();
        EXPECT_EQ(names(), "FILE WINDOW HELP G1 G2 G3 ");
        EXPECT_EQ(group.MenuCount(), 0u);
        group.RemoveFromMain();
        EXPECT_EQ(names(), "FILE WINDOW HELP ");
        std::string order;
        for (LMenu* m = group.FirstMenu(); m; m = group.NextMenu(m)) order += m->Name().CStr();
        EXPECT_EQ(order, "G1G2G3");
    }
    group.InsertIntoMain();
    // A lent menu that dies leaves the main bar too.
    delete main.FindMenu(LString("G2"));
    EXPECT_EQ(names(), "FILE WINDOW HELP G1 G3 ");
}

TEST(LMenuGroupTest, AGroupRepeatingTheMainBarsMenusShowsEachOnce) {
    std::vector<LMenu*> own;
    auto names = [](LMenuBar& bar) {
        std::string s;
        for (LMenu* m = bar.FirstMenu(); m; m = bar.NextMenu(m))
            s += std::string(m->Name().CStr()) + (m->Parent() == &bar ? "" : "*") + " ";
        return s;
    };
    const uint32_t before = LMenu::LiveCount();
    {
        LMenuBar main(nullptr);
        for (const char* name : {"APPMENU", "FILE", "WINDOW", "HELP"}) {
            auto* m = new LMenu(&main, LString(name));
            m->SetName(LString(name));
            main.AppendMenu(m);
            own.push_back(m);
        }
        auto group = std::make_unique<LOwningMenuBar>(nullptr);
        for (const char* name : {"FILE", "SHOW", "WINDOW"}) {
            auto* m = new LMenu(group.get(), LString(name));
            m->SetName(LString(name));
            group->AppendMenu(m);
        }
        for (int cycle = 0; cycle < 2; ++cycle) {
            group->InsertIntoMain();
            group->InsertIntoMain();  // already lent: nothing more
            // The group's FILE and WINDOW stand in the places of the main bar's; SHOW joins at the end.
            EXPECT_EQ(names(main), "APPMENU FILE* WINDOW* HELP SHOW* ");
            EXPECT_NE(main.FindMenu(LString("FILE")), own[1]);
            group->RemoveFromMain();
            EXPECT_EQ(names(main), "APPMENU FILE WINDOW HELP ");
            EXPECT_EQ(main.FindMenu(LString("FILE")), own[1]);
            EXPECT_EQ(names(*group), "FILE SHOW WINDOW ");
        }
        // A second window's group activated before the first one's deactivates: it takes the
        // first group's place, and either order of taking them out gives the main bar back whole.
        auto other = std::make_unique<LOwningMenuBar>(nullptr);
        for (const char* name : {"FILE", "WINDOW"}) {
            auto* m = new LMenu(other.get(), LString(name));
            m->SetName(LString(name));
            other->AppendMenu(m);
        }
        for (bool otherFirst : {false, true}) {
            group->InsertIntoMain();
            other->InsertIntoMain();
            EXPECT_EQ(names(main), "APPMENU FILE* WINDOW* HELP ");
            EXPECT_EQ(group->LentCount(), 0u);
            if (otherFirst) other->RemoveFromMain();
            group->RemoveFromMain();
            other->RemoveFromMain();
            EXPECT_EQ(names(main), "APPMENU FILE WINDOW HELP ") << otherFirst;
            EXPECT_EQ(main.FindMenu(LString("FILE")), own[1]);
            EXPECT_EQ(names(*group), "FILE SHOW WINDOW ");
            EXPECT_EQ(names(*other), "FILE WINDOW ");
        }
        other.reset();
        // Destroyed while lent: the main bar gets its own menus back.
        group->InsertIntoMain();
        group.reset();
        EXPECT_EQ(names(main), "APPMENU FILE WINDOW HELP ");
        EXPECT_EQ(main.FindMenu(LString("WINDOW")), own[2]);
    }
    EXPECT_EQ(LMenu::LiveCount(), before);
    {
        // The main bar going first: its shadowed menus die with the group.
        auto main = std::make_unique<LMenuBar>(nullptr);
        auto* file = new LMenu(main.get(), LString("FILE"));
        file->SetName(LString("FILE"));
        main->AppendMenu(file);
        LOwningMenuBar group(nullptr);
        auto* lent = new LMenu(&group, LString("FILE"));
        lent->SetName(LString("FILE"));
        group.AppendMenu(lent);
        group.InsertIntoMain();
        main.reset();
        group.RemoveFromMain();
    }
    EXPECT_EQ(LMenu::LiveCount(), before);
}

std::string Texts(LMenu* menu) {
    std::string s;
    for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i)) s += std::string(i->Text().CStr()) + "|";
    return s;
}

TEST(LMenuLoadTest, LoadsFromCompiledResources) {
    MenuResources rsrc(MenuResources::Files{{"BAR.tmnb", "MAIN\nOTHER\n"},
                                            {"MAIN.tmnu",
                                             "MAIN \"Main Menu\"\n"
                                             "Open \"Open…\" O\n"
                                             "-\n"
                                             "\"\" Recent \"\" RECENT\n"
                                             "-\n"
                                             "-\n"
                                             "LStdCmd_Quit Quit Q\n"
                                             "After After\n"},
                                            {"OTHER.tmnu", "OTHER \\x14\n-\nLStdCmd_Quit Quit\n"},
                                            {"RECENT.tmnu", "RECENT Recent\nOne 'One''s' nsA\n"}});
    ASSERT_TRUE(rsrc.Ok()) << rsrc.CompilerOutput();
    Recorder root;
    LMenuBar bar(&root, SRsrcRequest("BAR"), rsrc.Provider());
    ASSERT_EQ(bar.MenuCount(), 2u);
    LMenu* main = bar.FirstMenu();
    EXPECT_STREQ(main->Name().CStr(), "MAIN");
    EXPECT_STREQ(main->Title().CStr(), "Main Menu");
    EXPECT_EQ(main->Parent(), &bar);
    // Loading stops after Quit; the separators just before it go.
    EXPECT_EQ(Texts(main), "Open…||Recent|Quit|");
    LMenuItem* open = main->FirstItem();
    EXPECT_TRUE(open->HasCommand("Open"));
    EXPECT_TRUE(open->HasBuiltInKey());
    EXPECT_EQ(open->KeyChar(), 'O');
    EXPECT_EQ(open->KeyModifiers(), 0u);
    LMenu* recent = main->ItemAt(2)->Submenu();
    ASSERT_NE(recent, nullptr);
    EXPECT_EQ(recent->Parent(), main);
    EXPECT_TRUE(main->ItemAt(2)->OwnsSubmenu());
    EXPECT_EQ(Texts(recent), "One's|");
    EXPECT_EQ(recent->FirstItem()->KeyModifiers(), uint32_t(LMenuItem::kShift | LMenuItem::kNoCommand));
    EXPECT_EQ(bar.FindMenu(LString("RECENT")), recent);
    EXPECT_STREQ(bar.NextMenu(main)->Title().CStr(), "\x14");
    EXPECT_EQ(Texts(bar.NextMenu(main)), "Quit|");
    FireTimers();
    EXPECT_EQ(root.Count("LMenuBar_Added"), 1);
}

TEST(LMenuLoadTest, BadResourcesLoadSafely) {
    MenuResources rsrc(std::vector<MenuResources::Raw>{
        {"TMNU", "SELF", {"SELF Self", "A A \"\" SELF", "B B c", "C C Z SUB extra tokens"}},
        {"TMNU", "SUB", {"SUB Sub", "Up Up \"\" LOOP"}},
        {"TMNU", "LOOP", {"LOOP Loop", "Down Down \"\" SUB"}},
        {"TMNU", "ONE", {"ONE"}},
    });
    ASSERT_TRUE(rsrc.Ok());
    LMenuBar bar(nullptr);
    const uint32_t before = LMenu::LiveCount();
    {
        LMenu self(&bar, SRsrcRequest("SELF"), rsrc.Provider());
        // A menu naming itself stops at the depth limit instead of loading for ever.
        uint32_t depth = 0;
        for (LMenu* m = &self; m && m->FirstItem(); m = m->FirstItem()->Submenu()) ++depth;
        EXPECT_EQ(depth, LMenu::kMaxDepth);
        // An unparsable key spec leaves no key; extra tokens are ignored.
        LMenuItem* b = self.ItemAt(1);
        EXPECT_FALSE(b->HasBuiltInKey());
        EXPECT_EQ(b->KeyModifiers(), uint32_t(LMenuItem::kNoKey));
        LMenuItem* c = self.ItemAt(2);
        EXPECT_EQ(c->KeyChar(), 'Z');
        ASSERT_NE(c->Submenu(), nullptr);
        EXPECT_STREQ(c->Submenu()->Name().CStr(), "SUB");
    }
    EXPECT_EQ(LMenu::LiveCount(), before);
    LMenu missing(&bar, SRsrcRequest("MISSING"), rsrc.Provider());
    EXPECT_EQ(missing.ItemCount(), 0u);
    EXPECT_TRUE(missing.Title().IsEmpty());
    LMenu one(&bar, SRsrcRequest("ONE"), rsrc.Provider());
    EXPECT_STREQ(one.Name().CStr(), "ONE");
    EXPECT_EQ(one.ItemCount(), 0u);
}

TEST(LMenuLoadTest, CompilerRefusesBadMenus) {
    struct Case {
        MenuResources::Files files;
        const char* message;
    } cases[] = {
        {{{"A.tmnu", "A A\nx y Z SUB five\n"}}, "A.tmnu:2: more than 4 tokens"},
        {{{"A.tmnu", "A A\nx y c\n"}}, "A.tmnu:2: bad key spec"},
        {{{"A.tmnu", "A A\nx y \"\" NONE\n"}}, "A.tmnu:2: submenu NONE is missing"},
        {{{"A.tmnu", "A A\nx y \"\" A\n"}}, "A.tmnu:2: submenu A contains itself"},
        {{{"A.tmnu", "A A\nx y \"\" B\n"}, {"B.tmnu", "B B\n-\nz w \"\" A\n"}}, "contains itself"},
        {{{"A.tmnu", "A A\nx \"y\n"}}, "A.tmnu:2: unterminated quote"},
        {{{"M.tmnb", "A\nB\n"}, {"A.tmnu", "A A\n"}}, "M.tmnb:2: menu B is missing"},
        {{{"A.tmnu", "A \\x1\n"}}, "A.tmnu:1: bad \\x escape"},
    };
    for (const Case& c : cases) {
        MenuResources rsrc(c.files);
        EXPECT_FALSE(rsrc.Ok());
        EXPECT_NE(rsrc.CompilerOutput().find(c.message), std::string::npos) << rsrc.CompilerOutput();
    }
}

TEST(LMenuLoadTest, TheApplicationBarLoads) {
    ResourceFileProvider* provider = nullptr;
    plat::ResFileRef ref = plat::OpenResFile(ORBILUME_RESOURCE_FILE);
    ASSERT_GT(ref, 0);
    ResourceFileProvider app(ref);
    provider = &app;
    {
        LMenuBar bar(nullptr, SRsrcRequest("APP"), provider);
        std::string names;
        for (LMenu* m = bar.FirstMenu(); m; m = bar.NextMenu(m)) names += std::string(m->Name().CStr()) + " ";
        EXPECT_EQ(names, "APPMENU FILE EDIT WINDOW HELP ");
        EXPECT_STREQ(bar.FirstMenu()->Title().CStr(), "\x14");
        LMenu* edit = bar.FindMenu(LString("EDIT"));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(Texts(edit), "Undo|Redo||Cut|Copy|Paste|Delete||Move Scenes in Time…||Load Composition…|Add Composition|");
        EXPECT_STREQ(edit->ItemAt(1)->KeySpec().CStr(), "sZ");
    }
    plat::CloseResFile(ref);
}

}  // namespace
