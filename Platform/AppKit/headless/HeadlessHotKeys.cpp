#include "Platform/AppKit/headless/HeadlessHotKeys.h"

#include "Platform/Foundation/Check.h"

namespace plat::headless {

uint32_t HeadlessHotKeys::Register(uint32_t keyCode, uint32_t modifiers, HotKeyID id) {
    PLAT_DCHECK_MAIN_THREAD();
    ++fRegisterCalls;
    if (fRefuseNext) {
        fRefuseNext = false;
        return 0;
    }
    for (const Registration& r : fRegistrations)
        if (r.keyCode == keyCode && r.modifiers == modifiers) return 0;  // held already
    const uint32_t ref = fNextRef++;
    fRegistrations.push_back({ref, keyCode, modifiers, id});
    return ref;
}

void HeadlessHotKeys::Unregister(uint32_t ref) {
    PLAT_DCHECK_MAIN_THREAD();
    std::erase_if(fRegistrations, [ref](const Registration& r) { return r.ref == ref; });
}

bool HeadlessHotKeys::PressHotKey(uint32_t keyCode, uint32_t modifiers) {
    PLAT_DCHECK_MAIN_THREAD();
    for (const Registration& r : fRegistrations) {
        if (r.keyCode == keyCode && r.modifiers == modifiers) {
            const HotKeyID id = r.id;  // the handlers may unregister it
            Deliver(id);
            return true;
        }
    }
    return false;
}

}  // namespace plat::headless
