#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Platform/Net/InterfaceAddresses.h"

struct ifaddrs;

// Walks a snapshot of the interface address list. Next moves to the first entry, then to each
// following one. Plain calls on the caller's thread.
class NetIfIterator {
public:
    NetIfIterator();
    ~NetIfIterator();
    NetIfIterator(const NetIfIterator&) = delete;
    NetIfIterator& operator=(const NetIfIterator&) = delete;

    // False at the end (and for an empty list).
    bool Next();
    // True when the current entry has an IPv4 broadcast address; the address in host order.
    bool GetBroadcast(uint32_t& address) const;
    // Whether the current entry's interface is Ethernet.
    bool IsEthernet() const;
    // IFF_ flags of the current entry (0 before the first Next).
    uint32_t Flags() const;
    bool IsRunning() const;
    bool IsLoopback() const;
    bool IsPointToPoint() const;
    // The current entry, null before the first Next and at the end.
    const ifaddrs* Current() const { return fCurrent; }

private:
    std::unique_ptr<plat::InterfaceAddresses> fList;
    const ifaddrs* fCurrent = nullptr;
    bool fStarted = false;
};

// {address, netmask} in host order.
using SNetIfAddrPair = plat::InterfaceAddressPair;

// The IPv4 interfaces that are up, broadcast-capable and running, neither loopback nor
// point-to-point. The array is replaced; empty when the list cannot be read.
void NetGetBroadcastInterfaces(std::vector<SNetIfAddrPair>& out);
// Index of the primary (default-route) interface; 0 when none.
uint32_t NetPrimaryInterfaceIndex();
