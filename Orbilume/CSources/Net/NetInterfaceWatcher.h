#pragma once

#include <memory>

#include "Lib3/LSources/CoreData/LCallbackList.h"

namespace plat {
class InterfaceMonitor;
}

// Calls its listeners when network interfaces change (links up or down, addresses added or
// removed), on the run loop of the thread that created it; a burst of changes gives one call.
// Listeners are called as function(context, 1, nullptr). Created, used and destroyed on one thread.
class NetInterfaceWatcher {
public:
    NetInterfaceWatcher();
    ~NetInterfaceWatcher();
    NetInterfaceWatcher(const NetInterfaceWatcher&) = delete;
    NetInterfaceWatcher& operator=(const NetInterfaceWatcher&) = delete;

    bool AddListener(void* context, LCallbackList::CallFunction function) {
        return fListeners.Add(context, function);
    }
    bool RemoveListener(void* context, LCallbackList::CallFunction function) {
        return fListeners.Remove(context, function);
    }
    // False when the system refused the change notifications.
    bool IsWatching() const { return fMonitor != nullptr; }
    // The monitor, for tests that feed recorded kernel messages.
    plat::InterfaceMonitor* Monitor() const { return fMonitor.get(); }

private:
    static void Changed(void* self);

    LCallbackList fListeners;
    std::unique_ptr<plat::InterfaceMonitor> fMonitor;
};
