#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/NotificationCenter.h"

namespace {

using plat::Menu;
using plat::MenuItem;

struct Target : plat::MenuTarget {
    std::vector<std::string> performed;
    bool RespondsToAction(const char* action) const override { return std::string(action) != "unknown:"; }
    void PerformAction(const char* action, MenuItem*) override { performed.push_back(action); }
};

plat::Event Key(const char* chars, uint32_t mods) {
    plat::Event e;
    e.type = plat::EventType::kKeyDown;
    e.characters = e.charactersIgnoringModifiers = chars;
    e.modifierFlags = mods;
    return e;
}

MenuItem* Add(Menu* menu, const char* title, const char* action, const char* key, Target* target) {
    plat::Ref<MenuItem> item = MenuItem::Create(title, action, key);
    item->SetTarget(target);
    menu->AddItem(item.get());
    return item.get();  // the menu keeps it
}

TEST(MenuTest, KeyEquivalentsMatchKeyAndModifiersThroughSubmenus) {
    Target target;
    plat::Ref<Menu> top = Menu::Create("File");
    Add(top.get(), "Open", "open:", "o", &target);
    MenuItem* off = Add(top.get(), "Off", "off:", "d", &target);
    off->SetEnabled(false);
    MenuItem* holder = Add(top.get(), "More", "", "", &target);
    plat::Ref<Menu> sub = Menu::Create("More");
    Add(sub.get(), "Export", "export:", "e", &target)
        ->SetKeyEquivalentModifierMask(plat::kCommandKeyMask | plat::kShiftKeyMask);
    top->SetSubmenu(sub.get(), holder);
    EXPECT_EQ(sub->Supermenu(), top);
    sub = nullptr;

    struct Case {
        const char* chars;
        uint32_t mods;
        bool taken;
        const char* action;
    } cases[] = {
        {"o", plat::kCommandKeyMask, true, "open:"},
        {"O", plat::kCommandKeyMask, true, "open:"},  // case does not matter
        {"o", 0, false, nullptr},
        {"o", plat::kCommandKeyMask | plat::kAlternateKeyMask, false, nullptr},
        {"d", plat::kCommandKeyMask, false, nullptr},  // disabled
        {"e", plat::kCommandKeyMask | plat::kShiftKeyMask, true, "export:"},
        {"e", plat::kCommandKeyMask, false, nullptr},
    };
    for (const Case& c : cases) {
        target.performed.clear();
        EXPECT_EQ(top->PerformKeyEquivalent(Key(c.chars, c.mods)), c.taken) << c.chars << c.mods;
        if (c.action) {
            ASSERT_EQ(target.performed.size(), 1u) << c.chars;
            EXPECT_EQ(target.performed[0], c.action);
        } else {
            EXPECT_TRUE(target.performed.empty()) << c.chars;
        }
    }
    top = nullptr;
}

TEST(MenuTest, ActionsGoToTheTargetOrTheApplicationAndAreAnnounced) {
    static std::vector<const void*> sent;
    sent.clear();
    int observer = 0;
    plat::NotificationCenter::Default().AddObserver(
        &observer, [](const char*, const void* item, void*) { sent.push_back(item); },
        plat::kMenuDidSendActionNotification, nullptr);
    Target target;
    plat::Ref<Menu> menu = Menu::Create("M");
    MenuItem* own = Add(menu.get(), "Own", "own:", "", &target);
    MenuItem* quit = Add(menu.get(), "Quit", plat::kTerminateAction, "q", nullptr);
    menu->AddItem(MenuItem::Separator().get());
    MenuItem* holder = Add(menu.get(), "Sub", "sub:", "", &target);
    plat::Ref<Menu> sub = Menu::Create("Sub");
    menu->SetSubmenu(sub.get(), holder);
    sub = nullptr;

    plat::Application* app = plat::Application::Shared();
    menu->PerformActionForItemAtIndex(0);
    EXPECT_EQ(target.performed, std::vector<std::string>{"own:"});
    EXPECT_FALSE(app->TerminationRequested());
    menu->PerformActionForItemAtIndex(1);  // no target: the application terminates
    EXPECT_TRUE(app->TerminationRequested());
    app->WithdrawTermination();
    menu->PerformActionForItemAtIndex(2);  // separator
    menu->PerformActionForItemAtIndex(3);  // holds a submenu
    menu->PerformActionForItemAtIndex(9);
    EXPECT_EQ(sent, (std::vector<const void*>{own, quit}));
    EXPECT_EQ(target.performed.size(), 1u);

    // Moving an item to another menu takes it out of the first.
    plat::Ref<Menu> other = Menu::Create("O");
    other->InsertItem(own, 5);
    EXPECT_EQ(other->IndexOfItem(own), 0);
    EXPECT_EQ(menu->IndexOfItem(own), -1);
    EXPECT_EQ(own->ParentMenu(), other);
    other = nullptr;
    menu = nullptr;
    plat::NotificationCenter::Default().RemoveObserver(&observer);
}

}  // namespace
