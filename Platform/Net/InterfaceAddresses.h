#pragma once

#include <cstdint>
#include <vector>

struct ifaddrs;

namespace plat {

// A snapshot of the system's interface address list (getifaddrs). A failure leaves it empty. Plain
// calls on the caller's thread; the snapshot is owned by this object and freed with it.
class InterfaceAddresses {
public:
    InterfaceAddresses();
    ~InterfaceAddresses();
    InterfaceAddresses(const InterfaceAddresses&) = delete;
    InterfaceAddresses& operator=(const InterfaceAddresses&) = delete;

    // The first entry, null when the list is empty; follow ifa_next.
    const ifaddrs* First() const { return fList; }

    // Whether the link entry (AF_PACKET) of the named interface is Ethernet.
    bool IsEthernet(const char* name) const;
    // Whether any entry of the named interface has all the given IFF_ flags.
    bool HasFlags(const char* name, uint32_t flags) const;

private:
    ifaddrs* fList = nullptr;
};

// An IPv4 interface address and its netmask, both in host order.
struct InterfaceAddressPair {
    uint32_t address = 0;
    uint32_t netmask = 0;
    bool operator==(const InterfaceAddressPair&) const = default;
};

// IPv4 entries that are up, broadcast-capable and running, and neither loopback nor point-to-point.
std::vector<InterfaceAddressPair> BroadcastInterfaces();

// Index of the running interface that carries the default route with the lowest metric (IPv4
// before IPv6 on equal metrics); 0 when there is none or the route table cannot be read.
uint32_t PrimaryInterfaceIndex();

}  // namespace plat
