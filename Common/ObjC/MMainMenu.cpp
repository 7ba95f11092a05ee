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
        // Retained: an action may replace the main menu.
        bar->Retain();
        bool taken = false;
        for (int32_t i = 0; i < bar->NumberOfItems() && !taken; ++i) {
            plat::MenuItem* top = bar->ItemAtIndex(i);
            if (top->HasSubmenu()) taken = top->Submenu()->PerformKeyEquivalent(event);
        }
        bar->Release();
        if (taken) return true;
    }
    return gLookup && gLookup(event);
}

void MMainMenu::InstallDefault() {
    plat::Menu* bar = plat::Menu::Create("");
    plat::Menu* app = plat::Menu::Create("%0");
    plat::MenuItem* quit = plat::MenuItem::Create("Quit %0", plat::kTerminateAction, "q");
    app->AddItem(quit);
    quit->Release();
    plat::MenuItem* holder = plat::MenuItem::Create("%0", "", "");
    bar->AddItem(holder);
    bar->SetSubmenu(app, holder);
    holder->Release();
    app->Release();
    plat::Application::Shared()->SetMainMenu(bar);
    bar->Release();
}
