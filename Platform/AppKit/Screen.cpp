#include "Platform/AppKit/Screen.h"

#include "Platform/AppKit/Backend.h"

namespace plat {

std::vector<Screen> Screens() {
    Backend* b = CurrentBackend();
    return b ? b->Screens() : std::vector<Screen>();
}

bool FirstScreen(Screen* out) {
    std::vector<Screen> all = Screens();
    if (all.empty()) return false;
    if (out) *out = all.front();
    return true;
}

}  // namespace plat
