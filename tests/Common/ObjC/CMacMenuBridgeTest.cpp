#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CMacMenuBridge.h"
#include "Common/ObjC/MMainMenu.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMenuNative.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/Foundation/Bundle.h"
#include "tests/Common/ObjC/MainLoopFixture.h"
#include "tests/support/TempDir.h"

namespace {

using plat::Menu;
using plat::MenuItem;

// A bundle whose information list names the application.
struct NamedBundle {
    explicit NamedBundle(const char* entries) {
        mkdir(dir.File("Resources").c_str(), 0755);
        dir.Write("Resources/Info.plist",
                  std::string("<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict>") + entries +
                      "</dict></plist>\n");
        plat::SetMainBundlePathForTesting(dir.Path());
    }
    ~NamedBundle() { plat::SetMainBundlePathForTesting(""); }
    testsupport::TempDir dir;
};

LMenuItem* AddItem(LMenu* menu, const char* command, const char* text, const char* key = nullptr) {
    auto* item = new LMenuItem(menu);
    item->SetCommand(command);
    item->SetTexts(LString(text));
    if (key) item->SetKeySpec(LString(key));
    menu->AppendItem(item);
    return item;
}

Menu* NativeOf(LMenu* menu) {
    return CMacMenuBridge::NativeMenuOf(menu);
}

plat::Event Key(const char* key, uint32_t mods) {
    plat::Event e;
    e.type = plat::EventType::kKeyDown;
    e.characters = e.charactersIgnoringModifiers = key;
    e.modifierFlags = mods;
    return e;
}

class CMacMenuBridgeTest : public MainLoopFixture {
protected:
    CMacMenuBridgeTest() { MMainMenu::InstallDefault(); }
    ~CMacMenuBridgeTest() override { plat::Application::Shared()->SetMainMenu(nullptr); }

    Menu* Bar() { return plat::Application::Shared()->MainMenu(); }
    LMenuBar* MainBar() { return loop->MenuBar(); }
};

TEST_F(CMacMenuBridgeTest, ApplicationMenuTakesOverTheSystemOneWithTheBundleName) {
    struct Case {
        const char* entries;
        const char* name;
    } cases[] = {
        {"<key>CFBundleDisplayName</key><string>Orbi "
         "Show</string><key>CFBundleName</key><string>Orbi</string>",
         "Orbi Show"},
        {"<key>CFBundleName</key><string>Orbi</string>", "Orbi"},
        {"", "App"},
    };
    ASSERT_EQ(LMenuBar::Main(), MainBar());
    for (const Case& c : cases) {
        MMainMenu::InstallDefault();
        NamedBundle bundle(c.entries);
        Menu* system = Bar()->ItemAtIndex(0)->Submenu();
        LMenu app(nullptr, LString("\x14"));
        EXPECT_EQ(NativeOf(&app), system);
        EXPECT_EQ(Bar()->NumberOfItems(), 0);  // taken out of the bar
        EXPECT_EQ(system->Title(), c.name);
        EXPECT_EQ(system->ItemAtIndex(0)->Title(), std::string("Quit ") + c.name);
        EXPECT_FALSE(system->AutoenablesItems());
    }
    LMenu plain(nullptr, LString("Edit %0"));
    EXPECT_EQ(NativeOf(&plain)->Title(), "Edit %0");  // only the application menu is named
}

TEST_F(CMacMenuBridgeTest, ItemsFollowTheFrameworkMenu) {
    LMenu file(nullptr, LString("File"));
    LMenuItem* open = AddItem(&file, "Open", "Open…");
    AddItem(&file, "LStdCmd_Help", "Help");
    Menu* native = NativeOf(&file);
    ASSERT_EQ(native->NumberOfItems(), 2);
    EXPECT_EQ(native->ItemAtIndex(0)->Action(), "menuitemchoosen:");
    EXPECT_EQ(native->ItemAtIndex(0)->KeyEquivalent(), "");
    EXPECT_EQ(native->ItemAtIndex(0)->Tag(), open->Tag());
    EXPECT_EQ(native->ItemAtIndex(1)->Action(), plat::kShowHelpAction);
    EXPECT_EQ(native->ItemAtIndex(1)->Target(), plat::Application::Shared());
    EXPECT_EQ(CMacMenuBridge::ForMenu(native), file.Native());

    // The key spec's modifiers reach the native mask; bits 3 and 0 give Shift alone.
    struct Case {
        const char* spec;
        const char* key;
        uint32_t mask;
    } cases[] = {
        {"O", "o", plat::kCommandKeyMask},
        {"", "", plat::kCommandKeyMask},
        {"sO", "o", plat::kCommandKeyMask | plat::kShiftKeyMask},
        {"nsO", "o", plat::kShiftKeyMask},
        {"coO", "o", plat::kCommandKeyMask | plat::kAlternateKeyMask | plat::kControlKeyMask},
    };
    for (const Case& c : cases) {
        open->SetKeySpec(LString(c.spec));
        open->SetMarked(true);
        open->SetEnabled(false);
        file.SyncToNative();
        MenuItem* n = native->ItemAtIndex(0);
        EXPECT_EQ(n->Title(), "Open…");
        EXPECT_EQ(n->KeyEquivalent(), c.key) << c.spec;
        EXPECT_EQ(n->KeyEquivalentModifierMask(), c.mask) << c.spec;
        EXPECT_EQ(n->State(), 1);
        EXPECT_FALSE(n->IsEnabled());
    }
    EXPECT_EQ(CMacMenuBridge::ModifierMask(0x89), plat::kCommandKeyMask);
    EXPECT_EQ(CMacMenuBridge::ModifierMask(0x09), plat::kShiftKeyMask);

    // An empty title turns the slot into a separator and back.
    open->SetTexts(LString());
    file.SyncToNative();
    EXPECT_TRUE(native->ItemAtIndex(0)->IsSeparator());
    open->SetTexts(LString("Close"));
    file.SyncToNative();
    EXPECT_FALSE(native->ItemAtIndex(0)->IsSeparator());
    EXPECT_EQ(native->ItemAtIndex(0)->Action(), "menuitemchoosen:");
    EXPECT_EQ(native->ItemAtIndex(0)->Tag(), open->Tag());

    // A submenu, then none again.
    LMenu* sub = file.MakeSubmenu(0);
    file.SyncToNative();
    EXPECT_EQ(native->ItemAtIndex(0)->Submenu(), NativeOf(sub));
    open->SetSubmenu(nullptr);
    file.SyncToNative();
    EXPECT_FALSE(native->ItemAtIndex(0)->HasSubmenu());

    delete open;
    EXPECT_EQ(native->NumberOfItems(), 1);
    EXPECT_EQ(native->ItemAtIndex(0)->Action(), plat::kShowHelpAction);
}

TEST_F(CMacMenuBridgeTest, MenuBarPlacement) {
    Bar()->RemoveItemAtIndex(0);
    auto* file = new LMenu(MainBar(), LString("File"));
    auto* window = new LMenu(MainBar(), LString("Window"));
    auto* edit = new LMenu(MainBar(), LString("Edit"));
    LMenu absent(nullptr, LString("Absent"));
    MainBar()->AppendMenu(file);
    MainBar()->InsertMenuBefore(window, &absent);  // not in the bar: appended
    MainBar()->InsertMenuBefore(edit, window);
    ASSERT_EQ(Bar()->NumberOfItems(), 3);
    EXPECT_EQ(Bar()->ItemAtIndex(0)->Submenu(), NativeOf(file));
    EXPECT_EQ(Bar()->ItemAtIndex(1)->Submenu(), NativeOf(edit));
    EXPECT_EQ(Bar()->ItemAtIndex(1)->Title(), "Edit");
    EXPECT_EQ(Bar()->ItemAtIndex(2)->Submenu(), NativeOf(window));
    MainBar()->RemoveMenu(edit);
    delete edit;
    ASSERT_EQ(Bar()->NumberOfItems(), 2);
    EXPECT_EQ(Bar()->ItemAtIndex(1)->Submenu(), NativeOf(window));
    delete window;  // its notice takes it out of the bar
    EXPECT_EQ(Bar()->NumberOfItems(), 1);
    // A bar that is not the main one installs nothing.
    LPopupMenuBar popup(nullptr);
    LMenu other(nullptr, LString("Other"));
    popup.AppendMenu(&other);
    EXPECT_EQ(Bar()->NumberOfItems(), 1);
    popup.RemoveMenu(&other);
}

TEST_F(CMacMenuBridgeTest, SystemItemsAreValidatedAndQuitGoesThroughTheApplication) {
    auto* app = new LMenu(MainBar(), LString("\x14"));
    MainBar()->AppendMenu(app);
    AddItem(app, "LStdCmd_About", "About");
    LMenuItem* quitItem = AddItem(app, "LStdCmd_Quit", "Quit");
    Menu* native = NativeOf(app);
    // Quit stays out of the native menu: the system's own Quit follows the framework's items.
    ASSERT_EQ(native->NumberOfItems(), 2);
    plat::Ref<Menu> sub = Menu::Create("Services");
    plat::Ref<MenuItem> services = MenuItem::Create("Services", "unknown:", "");
    native->AddItem(services.get());
    native->SetSubmenu(sub.get(), services.get());
    sub = nullptr;
    plat::Ref<MenuItem> other = MenuItem::Create("Other", "unknown:", "");
    native->AddItem(other.get());
    MenuItem* quit = native->ItemAtIndex(1);
    ASSERT_EQ(quit->Action(), plat::kTerminateAction);
    EXPECT_EQ(MainBar()->FindNativeItem(quit->Tag()), nullptr);  // not one of the framework's

    auto* bridge = static_cast<CMacMenuBridge*>(app->Native());
    EXPECT_EQ(bridge->OwnItemCount(), 1u);
    bridge->ValidateForeignItems();
    EXPECT_FALSE(quit->IsEnabled());  // no enabled framework Quit
    EXPECT_TRUE(services->IsEnabled());
    EXPECT_FALSE(other->IsEnabled());
    quitItem->SetEnabled(true);
    bridge->ValidateForeignItems();
    EXPECT_TRUE(quit->IsEnabled());

    // Command-Q: readied first, so only while the focus chain enables Quit; then the menu sends
    // "terminate:" and the send-action notice asks the application to quit.
    plat::Application* application = plat::Application::Shared();
    EXPECT_FALSE(MMainMenu::PerformKeyEquivalent(Key("q", plat::kCommandKeyMask)));
    EXPECT_FALSE(application->TerminationRequested());
    root.enable = {"LStdCmd_Quit"};
    EXPECT_TRUE(MMainMenu::PerformKeyEquivalent(Key("q", plat::kCommandKeyMask)));
    EXPECT_TRUE(application->TerminationRequested());
    application->WithdrawTermination();
}

// Items after one bound to Quit map back to themselves, chosen by click and by key.
TEST_F(CMacMenuBridgeTest, ItemsAfterQuitMapToThemselves) {
    auto* menu = new LMenu(MainBar(), LString("File"));
    MainBar()->AppendMenu(menu);
    LMenuItem* first = AddItem(menu, "First", "First");
    AddItem(menu, "LStdCmd_Quit", "Quit", "Q");
    LMenuItem* after = AddItem(menu, "After", "After", "K");
    LMenuItem* last = AddItem(menu, "Last", "Last");
    root.enable = {"First", "After", "Last", "LStdCmd_Quit"};
    delegate.MenuBarTrack();
    Menu* native = NativeOf(menu);
    ASSERT_EQ(native->NumberOfItems(), 3);
    EXPECT_EQ(native->ItemAtIndex(1)->Title(), "After");

    root.ids.clear();
    root.senders.clear();
    native->PerformActionForItemAtIndex(1);
    native->PerformActionForItemAtIndex(2);
    native->PerformActionForItemAtIndex(0);
    ASSERT_EQ(root.Count("LMenuItem_Selected"), 3);
    std::vector<LHandler*> chosen;
    for (size_t i = 0; i < root.ids.size(); ++i)
        if (root.ids[i] == "LMenuItem_Selected") chosen.push_back(root.senders[i]);
    EXPECT_EQ(chosen, (std::vector<LHandler*>{after, last, first}));

    root.ids.clear();
    root.senders.clear();
    EXPECT_TRUE(MMainMenu::PerformKeyEquivalent(Key("k", plat::kCommandKeyMask)));
    ASSERT_EQ(root.Count("LMenuItem_Selected"), 1);
    for (size_t i = 0; i < root.ids.size(); ++i)
        if (root.ids[i] == "LMenuItem_Selected") {
            EXPECT_EQ(root.senders[i], after);
        }
    // Inserting before After keeps the native order.
    auto* between = new LMenuItem(menu);
    between->SetTexts(LString("Between"));
    menu->InsertItem(between, 2);
    EXPECT_EQ(native->ItemAtIndex(1)->Title(), "Between");
    EXPECT_EQ(native->ItemAtIndex(2)->Title(), "After");
}

TEST_F(CMacMenuBridgeTest, ChosenItemsReachTheFocusTargetUnlessTheyHoldASubmenu) {
    auto* menu = new LMenu(MainBar(), LString("File"));
    MainBar()->AppendMenu(menu);
    LMenuItem* open = AddItem(menu, "Open", "Open");
    AddItem(menu, "Recent", "Recent");
    menu->MakeSubmenu(1);
    root.enable = {"Open", "Recent"};
    delegate.MenuBarTrack();
    root.ids.clear();
    root.senders.clear();
    NativeOf(menu)->PerformActionForItemAtIndex(0);
    ASSERT_EQ(root.Count("LMenuItem_Selected"), 1);
    EXPECT_EQ(root.senders.back(), open);
    delegate.PerformAction("menuitemchoosen:", NativeOf(menu)->ItemAtIndex(1));
    EXPECT_EQ(root.Count("LMenuItem_Selected"), 1);
    // Plain typing is not offered to the menus.
    open->SetKeySpec(LString("nO"));
    delegate.MenuBarTrack();
    EXPECT_FALSE(plat::Application::Shared()->QueuedEventCount());
}

}  // namespace

namespace {

// The main menu's titles in order.
std::string Titles(Menu* bar) {
    std::string s;
    for (int32_t i = 0; bar && i < bar->NumberOfItems(); ++i)
        s += (bar->ItemAtIndex(i)->Submenu() ? bar->ItemAtIndex(i)->Submenu()->Title() : "?") + " ";
    return s;
}

}  // namespace

// Every window's group has an application menu of its own; lending two groups in turn shows each
// title once, in the main bar's order.
TEST_F(CMacMenuBridgeTest, GroupsWithTheirOwnApplicationMenuShowEachTitleOnceInPlace) {
    NamedBundle bundle("<key>CFBundleName</key><string>Orbi</string>");
    auto add = [](LMenuBar* bar, const char* name, const char* title) {
        auto* m = new LMenu(bar, LString(title));
        m->SetName(LString(name));
        bar->AppendMenu(m);
        return m;
    };
    LMenu* app = add(MainBar(), "APPMENU", "\x14");
    add(MainBar(), "FILE", "File");
    add(MainBar(), "WINDOW", "Window");
    add(MainBar(), "HELP", "Help");
    ASSERT_EQ(Titles(Bar()), "Orbi File Window Help ");
    std::vector<std::unique_ptr<LOwningMenuBar>> groups;
    for (int g = 0; g < 2; ++g) {
        groups.push_back(std::make_unique<LOwningMenuBar>(nullptr));
        add(groups.back().get(), "APPMENU", "\x14");
        add(groups.back().get(), "FILE", "File");
    }
    EXPECT_NE(NativeOf(groups[0]->FirstMenu()), NativeOf(app));
    EXPECT_NE(NativeOf(groups[0]->FirstMenu()), NativeOf(groups[1]->FirstMenu()));
    for (int cycle = 0; cycle < 2; ++cycle)
        for (auto& group : groups) {
            group->InsertIntoMain();
            EXPECT_EQ(Titles(Bar()), "Orbi File Window Help ");
            EXPECT_EQ(Bar()->ItemAtIndex(0)->Submenu(), NativeOf(MainBar()->FirstMenu()));
            EXPECT_NE(MainBar()->FirstMenu(), app);  // the group's stands in for it
        }
    groups.clear();
    EXPECT_EQ(Titles(Bar()), "Orbi File Window Help ");
    EXPECT_EQ(Bar()->ItemAtIndex(0)->Submenu(), NativeOf(app));
    // Installing a menu again moves it: it is shown once.
    app->Native()->InstallInMenuBar(nullptr);
    EXPECT_EQ(Titles(Bar()), "File Window Help Orbi ");
}
