#include "Platform/AppKit/NotificationCenter.h"

#include <algorithm>

#include "Platform/Foundation/Check.h"

namespace plat {

NotificationCenter& NotificationCenter::Default() {
    static NotificationCenter* center = new NotificationCenter;
    return *center;
}

void NotificationCenter::AddObserver(void* observer, Callback callback, const char* name,
                                     const void* object) {
    PLAT_DCHECK_MAIN_THREAD();
    fEntries.push_back({observer, callback, name ? name : "", name == nullptr, object, false});
}

void NotificationCenter::RemoveObserver(void* observer) {
    PLAT_DCHECK_MAIN_THREAD();
    for (Entry& e : fEntries)
        if (e.observer == observer) e.removed = true;
    if (fPosting) return;
    fEntries.erase(std::remove_if(fEntries.begin(), fEntries.end(), [](const Entry& e) { return e.removed; }),
                   fEntries.end());
}

void NotificationCenter::Post(const char* name, const void* object) {
    PLAT_DCHECK_MAIN_THREAD();
    ++fPosting;
    // By index: observers may register more while this runs; those wait for the next post.
    size_t n = fEntries.size();
    for (size_t i = 0; i < n; ++i) {
        Entry e = fEntries[i];
        if (e.removed) continue;
        if (!e.anyName && e.name != name) continue;
        if (e.object && e.object != object) continue;
        e.callback(name, object, e.observer);
    }
    if (--fPosting == 0)
        fEntries.erase(
            std::remove_if(fEntries.begin(), fEntries.end(), [](const Entry& e) { return e.removed; }),
            fEntries.end());
}

}  // namespace plat
