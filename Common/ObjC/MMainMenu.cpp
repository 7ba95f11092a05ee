#include "Common/ObjC/MMainMenu.h"

#include "Common/ObjC/AppDelegate.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Menu.h"

namespace {
MMainMenu::Lookup gLookup = nullptr;
}

void MMainMenu::SetLookup(Lookup lookup) {
    gLookup = lookup;
}

bool MMainMenu::PerformKeyEquivalent(const plat::Event& event) {
    if (AppDelegate* d = AppDelegate::Get()) d->MenuBarTrack();
    if (plat::Menu* bar = plat::Application::Shared()->MainMenu()) {
        plat::Ref<plat::Menu> keep(bar);  // an action may replace the main menu
        bool taken = false;
        for (int32_t i = 0; i < bar->NumberOfItems() && !taken; ++i) {
            plat::MenuItem* top = bar->ItemAtIndex(i);
            if (top->HasSubmenu()) taken = top->Submenu()->PerformKeyEquivalent(event);
        }
        if (taken) return true;
    }
    return gLookup && gLookup(event);
}

plat::Ref<plat::Menu> MMainMenu::NewApplicationMenu() {
    plat::Ref<plat::Menu> app = plat::Menu::Create("%0");
    app->AddItem(plat::MenuItem::Create("Quit %0", plat::kTerminateAction, "q").get());
    return app;
}

void MMainMenu::InstallDefault() {
    plat::Ref<plat::Menu> bar = plat::Menu::Create("");
    plat::Ref<plat::Menu> app = NewApplicationMenu();
    plat::Ref<plat::MenuItem> holder = plat::MenuItem::Create("%0", "", "");
    bar->AddItem(holder.get());
    bar->SetSubmenu(app.get(), holder.get());
    plat::Application::Shared()->SetMainMenu(bar.get());
}
