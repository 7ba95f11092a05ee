#include "Platform/AppKit/DisplayList.h"

#include <atomic>
#include <cmath>
#include <vector>

#include "Platform/AppKit/Screen.h"

namespace plat {

namespace {

std::atomic<uint32_t> gPresentationMode{0};

int32_t Edge(double v) {
    return static_cast<int32_t>(std::lround(v));
}

DisplayInfo Info(const Screen& s) {
    return {s.displayId, Edge(s.frame.x), Edge(s.frame.y), Edge(s.frame.MaxX()), Edge(s.frame.MaxY())};
}

}  // namespace

uint32_t DisplayList::Count() {
    return static_cast<uint32_t>(Screens().size());
}

bool DisplayList::Get(uint32_t index, DisplayInfo& out) {
    std::vector<Screen> all = Screens();
    if (index >= all.size()) return false;
    out = Info(all[index]);
    return true;
}

bool DisplayList::Find(uint32_t id, DisplayInfo& out) {
    for (const Screen& s : Screens()) {
        if (s.displayId != id) continue;
        out = Info(s);
        return true;
    }
    return false;
}

void DisplayList::SetPresentationMode(uint32_t mode) {
    gPresentationMode.store(mode);
}

uint32_t DisplayList::PresentationMode() {
    return gPresentationMode.load();
}

}  // namespace plat
