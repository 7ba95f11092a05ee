#include <sys/stat.h>

#include "Common/ObjC/CMacMenuBridge.h"
#include "Common/ObjC/MMainMenu.h"
#include "Lib3/LSources/CoreData/CMainLoopUI.h"
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

class CMacMenuBridgeTest : public MainLoopFixture {
protected:
    CMacMenuBridgeTest() { MMainMenu::InstallDefault(); }
    ~CMacMenuBridgeTest() override { plat::Application::Shared()->SetMainMenu(nullptr); }

    static SMacMenuItem Item(LHandler* handler, const char* title, const char* command = "") {
        SMacMenuItem item;
        item.item = handler;
        item.title = title;
        item.command = command;
        return item;
    }
    Menu* Bar() { return plat::Application::Shared()->MainMenu(); }

    LHandler fileItem{nullptr};
    LHandler quitItem{nullptr};
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
    for (const Case& c : cases) {
        MMainMenu::InstallDefault();
        NamedBundle bundle(c.entries);
        Menu* system = Bar()->ItemAtIndex(0)->Submenu();
        CMacMenuBridge app(LString("\x14"));
        EXPECT_EQ(app.NativeMenu(), system);
        EXPECT_EQ(Bar()->NumberOfItems(), 0);  // taken out of the bar
        EXPECT_EQ(system->Title(), c.name);
        EXPECT_EQ(system->ItemAtIndex(0)->Title(), std::string("Quit ") + c.name);
        EXPECT_FALSE(system->AutoenablesItems());
    }
    CMacMenuBridge plain(LString("Edit %0"));
    EXPECT_EQ(plain.NativeMenu()->Title(), "Edit %0");  // only the application menu is named
}

TEST_F(CMacMenuBridgeTest, ItemsFollowTheFrameworkMenu) {
    CMacMenuBridge menu(LString("File"));
    LHandler help{nullptr};
    menu.InsertItem(0, Item(&fileItem, "Open"));
    menu.InsertItem(1, Item(&help, "Help", "LStdCmd_Help"));
    Menu* native = menu.NativeMenu();
    ASSERT_EQ(native->NumberOfItems(), 2);
    EXPECT_EQ(native->ItemAtIndex(0)->Action(), "menuitemchoosen:");
    EXPECT_EQ(native->ItemAtIndex(0)->KeyEquivalent(), "");
    EXPECT_EQ(native->ItemAtIndex(1)->Action(), plat::kShowHelpAction);
    EXPECT_EQ(native->ItemAtIndex(1)->Target(), plat::Application::Shared());
    EXPECT_EQ(menu.ItemFor(native->ItemAtIndex(1)), &help);
    EXPECT_EQ(CMacMenuBridge::ForMenu(native), &menu);

    struct Case {
        uint8_t modifiers;
        const char* key;
        uint32_t mask;
    } cases[] = {
        {0, "o", plat::kCommandKeyMask},
        {0x80, "", plat::kCommandKeyMask},
        {0x01, "o", plat::kCommandKeyMask | plat::kShiftKeyMask},
        {0x09, "o", plat::kShiftKeyMask},
        {0x06, "o", plat::kCommandKeyMask | plat::kAlternateKeyMask | plat::kControlKeyMask},
    };
    for (const Case& c : cases) {
        SMacMenuItem item = Item(&fileItem, "Open…");
        item.key = 'O';
        item.modifiers = c.modifiers;
        item.checked = true;
        item.enabled = false;
        menu.UpdateItem(0, item);
        MenuItem* n = native->ItemAtIndex(0);
        EXPECT_EQ(n->Title(), "Open…");
        EXPECT_EQ(n->KeyEquivalent(), c.key) << int(c.modifiers);
        EXPECT_EQ(n->KeyEquivalentModifierMask(), c.mask) << int(c.modifiers);
        EXPECT_EQ(n->State(), 1);
        EXPECT_FALSE(n->IsEnabled());
    }

    // An empty title turns the slot into a separator and back.
    menu.UpdateItem(0, Item(&fileItem, ""));
    EXPECT_TRUE(native->ItemAtIndex(0)->IsSeparator());
    menu.UpdateItem(0, Item(&fileItem, "Close"));
    EXPECT_FALSE(native->ItemAtIndex(0)->IsSeparator());
    EXPECT_EQ(native->ItemAtIndex(0)->Action(), "menuitemchoosen:");

    // A submenu, then none again.
    CMacMenuBridge sub(LString("Recent"));
    SMacMenuItem holder = Item(&fileItem, "Recent");
    holder.submenu = &sub;
    menu.UpdateItem(0, holder);
    EXPECT_EQ(native->ItemAtIndex(0)->Submenu(), sub.NativeMenu());
    menu.UpdateItem(0, Item(&fileItem, "Recent"));
    EXPECT_FALSE(native->ItemAtIndex(0)->HasSubmenu());
    EXPECT_EQ(sub.NativeMenu()->Supermenu(), nullptr);

    menu.UpdateItem(7, Item(&fileItem, "Nothing"));  // out of range
    menu.RemoveItem(0);
    EXPECT_EQ(native->NumberOfItems(), 1);
    EXPECT_EQ(menu.ItemFor(native->ItemAtIndex(0)), &help);
}

TEST_F(CMacMenuBridgeTest, MenuBarPlacement) {
    Bar()->RemoveItemAtIndex(0);
    CMacMenuBridge file(LString("File")), edit(LString("Edit")), window(LString("Window"));
    CMacMenuBridge absent(LString("Absent"));
    file.InstallInMenuBar(nullptr);
    window.InstallInMenuBar(&absent);  // not in the bar: appended
    edit.InstallInMenuBar(&window);
    ASSERT_EQ(Bar()->NumberOfItems(), 3);
    EXPECT_EQ(Bar()->ItemAtIndex(0)->Submenu(), file.NativeMenu());
    EXPECT_EQ(Bar()->ItemAtIndex(1)->Submenu(), edit.NativeMenu());
    EXPECT_EQ(Bar()->ItemAtIndex(1)->Title(), "Edit");
    EXPECT_EQ(Bar()->ItemAtIndex(2)->Submenu(), window.NativeMenu());
    edit.RemoveFromMenuBar();
    absent.RemoveFromMenuBar();
    ASSERT_EQ(Bar()->NumberOfItems(), 2);
    EXPECT_EQ(Bar()->ItemAtIndex(1)->Submenu(), window.NativeMenu());
}

// A user-interface layer whose only framework item is Quit, enabled or not.
struct QuitUI : CMainLoopUI {
    LHandler* quit = nullptr;
    LHandler* FrontModalOwner() override { return nullptr; }
    bool HasKeyWindow() override { return false; }
    LHandler* KeyWindowTarget() override { return nullptr; }
    LHandler* MouseRecord() override { return nullptr; }
    LHandler* CaptureHolder() override { return nullptr; }
    void ReleaseCapture() override {}
    void SetCaptureHolder(LHandler*) override {}
    void SetArrowCursor() override {}
    LHandler* KeyboardRecord() override { return nullptr; }
    uint32_t KeyChar() override { return 0; }
    uint32_t KeyModifiers() override { return 0; }
    void ClearKeyHandled() override {}
    LHandler* MenuBar() override { return nullptr; }
    void ResetMenuCommands() override {}
    void EnableCommand(const char*, const char*) override {}
    LHandler* FindEnabledItem(const char* command) override {
        return std::string(command) == "LStdCmd_Quit" ? quit : nullptr;
    }
    LHandler* FindEnabledKeyItem() override { return nullptr; }
    bool ItemHasCommand(LHandler*, const char*) override { return false; }
    void TakeFocus(LHandler*) override {}
    void RunAboutBox(LHandler*) override {}
    LHandler* MakeViewPrefsWindow(LHandler*) override { return nullptr; }
    void ShowWindow(LHandler*) override {}
};

TEST_F(CMacMenuBridgeTest, SystemItemsAreValidatedAndQuitGoesThroughTheApplication) {
    QuitUI ui;
    CMainLoopUI::Install(&ui);
    CMacMenuBridge app(LString("\x14"));
    app.InsertItem(0, Item(&fileItem, "About"));
    Menu* native = app.NativeMenu();
    plat::Ref<Menu> sub = Menu::Create("Services");
    plat::Ref<MenuItem> services = MenuItem::Create("Services", "unknown:", "");
    native->AddItem(services.get());
    native->SetSubmenu(sub.get(), services.get());
    sub = nullptr;
    plat::Ref<MenuItem> other = MenuItem::Create("Other", "unknown:", "");
    native->AddItem(other.get());
    MenuItem* quit = native->ItemAtIndex(1);
    ASSERT_EQ(quit->Action(), plat::kTerminateAction);
    EXPECT_EQ(app.ItemFor(quit), nullptr);  // not one of the framework's

    app.ValidateForeignItems();
    EXPECT_FALSE(quit->IsEnabled());  // no enabled framework Quit
    EXPECT_TRUE(services->IsEnabled());
    EXPECT_FALSE(other->IsEnabled());
    ui.quit = &quitItem;
    app.ValidateForeignItems();
    EXPECT_TRUE(quit->IsEnabled());

    // Command-Q: the menu sends "terminate:", the send-action notice asks the application to quit.
    app.InstallInMenuBar(nullptr);
    plat::Application* application = plat::Application::Shared();
    plat::Event key;
    key.type = plat::EventType::kKeyDown;
    key.characters = key.charactersIgnoringModifiers = "q";
    key.modifierFlags = plat::kCommandKeyMask;
    EXPECT_TRUE(MMainMenu::PerformKeyEquivalent(key));
    EXPECT_TRUE(application->TerminationRequested());
    application->WithdrawTermination();
    CMainLoopUI::Install(nullptr);
}

TEST_F(CMacMenuBridgeTest, ChosenItemsReachTheFocusTargetUnlessTheyHoldASubmenu) {
    CMacMenuBridge menu(LString("File"));
    menu.InsertItem(0, Item(&fileItem, "Open"));
    menu.InsertItem(1, Item(&quitItem, "Recent"));
    CMacMenuBridge sub(LString("Recent"));
    SMacMenuItem holder = Item(&quitItem, "Recent");
    holder.submenu = &sub;
    menu.UpdateItem(1, holder);
    menu.NativeMenu()->PerformActionForItemAtIndex(0);
    ASSERT_EQ(root.Count("LMenuItem_Selected"), 1);
    EXPECT_EQ(root.senders.back(), &fileItem);
    delegate.PerformAction("menuitemchoosen:", menu.NativeMenu()->ItemAtIndex(1));
    EXPECT_EQ(root.Count("LMenuItem_Selected"), 1);
}

}  // namespace
