#include "Platform/AppKit/DisplayList.h"

#include <atomic>
#include <mutex>

namespace plat {

namespace {

struct State {
    std::mutex lock;
    DisplayInfo displays[DisplayList::kMaxDisplays] = {{1, 0, 0, 1920, 1080}};
    uint32_t count = 1;
    std::atomic<uint32_t> mode{0};
};

State& Shared() {
    static State state;
    return state;
}

}  // namespace

uint32_t DisplayList::Count() {
    State& s = Shared();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.count;
}

bool DisplayList::Get(uint32_t index, DisplayInfo& out) {
    State& s = Shared();
    std::lock_guard<std::mutex> guard(s.lock);
    if (index >= s.count) return false;
    out = s.displays[index];
    return true;
}

bool DisplayList::Find(uint32_t id, DisplayInfo& out) {
    State& s = Shared();
    std::lock_guard<std::mutex> guard(s.lock);
    for (uint32_t i = 0; i < s.count; ++i) {
        if (s.displays[i].id != id) continue;
        out = s.displays[i];
        return true;
    }
    return false;
}

void DisplayList::Configure(const DisplayInfo* displays, uint32_t count) {
    State& s = Shared();
    std::lock_guard<std::mutex> guard(s.lock);
    s.count = count < kMaxDisplays ? count : kMaxDisplays;
    for (uint32_t i = 0; i < s.count; ++i) s.displays[i] = displays[i];
}

void DisplayList::SetPresentationMode(uint32_t mode) {
    Shared().mode.store(mode);
}

uint32_t DisplayList::PresentationMode() {
    return Shared().mode.load();
}

}  // namespace plat
