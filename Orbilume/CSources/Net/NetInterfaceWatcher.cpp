#include "Orbilume/CSources/Net/NetInterfaceWatcher.h"

#include "Platform/Net/InterfaceMonitor.h"

NetInterfaceWatcher::NetInterfaceWatcher() : fMonitor(plat::InterfaceMonitor::Create(&Changed, this)) {}

NetInterfaceWatcher::~NetInterfaceWatcher() = default;

void NetInterfaceWatcher::Changed(void* self) {
    static_cast<NetInterfaceWatcher*>(self)->fListeners.Call(nullptr);
}
