#include "Common/ObjC/MMainMenu.h"

#include "Common/ObjC/AppDelegate.h"

namespace {
MMainMenu::Lookup gLookup = nullptr;
}

void MMainMenu::SetLookup(Lookup lookup) {
    gLookup = lookup;
}

bool MMainMenu::PerformKeyEquivalent(const plat::Event& event) {
    if (AppDelegate* d = AppDelegate::Get()) d->MenuBarTrack();
    return gLookup && gLookup(event);
}
