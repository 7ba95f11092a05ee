#include "Platform/AppKit/HotKeys.h"

#include <algorithm>

#include "Platform/AppKit/Backend.h"
#include "Platform/Foundation/Check.h"

namespace plat {

uint32_t HotKeys::AddPressHandler(PressHandler handler, void* context) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!handler) return 0;
    const uint32_t token = fNextToken++;
    if (fNextToken == 0) fNextToken = 1;
    fHandlers.push_back({token, handler, context});
    return token;
}

void HotKeys::RemovePressHandler(uint32_t token) {
    PLAT_DCHECK_MAIN_THREAD();
    std::erase_if(fHandlers, [token](const Handler& h) { return h.token == token; });
}

void HotKeys::Deliver(HotKeyID id) {
    PLAT_DCHECK_MAIN_THREAD();
    const std::vector<Handler> snapshot = fHandlers;
    for (const Handler& h : snapshot) {
        // A handler removed by an earlier one is not called any more.
        const bool live = std::any_of(fHandlers.begin(), fHandlers.end(),
                                      [&](const Handler& x) { return x.token == h.token; });
        if (live) h.function(h.context, id);
    }
}

HotKeys* CurrentHotKeys() {
    Backend* b = CurrentBackend();
    return b ? b->GlobalHotKeys() : nullptr;
}

}  // namespace plat
