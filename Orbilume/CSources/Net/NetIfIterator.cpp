#include "Orbilume/CSources/Net/NetIfIterator.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

NetIfIterator::NetIfIterator() : fList(std::make_unique<plat::InterfaceAddresses>()) {}

NetIfIterator::~NetIfIterator() = default;

bool NetIfIterator::Next() {
    if (!fStarted) {
        fStarted = true;
        fCurrent = fList->First();
    } else if (fCurrent) {
        fCurrent = fCurrent->ifa_next;
    }
    return fCurrent != nullptr;
}

bool NetIfIterator::GetBroadcast(uint32_t& address) const {
    if (!fCurrent || !(fCurrent->ifa_flags & IFF_BROADCAST)) return false;
    const sockaddr* b = fCurrent->ifa_broadaddr;
    if (!b || b->sa_family != AF_INET) return false;
    address = ntohl(reinterpret_cast<const sockaddr_in*>(b)->sin_addr.s_addr);
    return true;
}

bool NetIfIterator::IsEthernet() const {
    return fCurrent && fList->IsEthernet(fCurrent->ifa_name);
}

uint32_t NetIfIterator::Flags() const {
    return fCurrent ? fCurrent->ifa_flags : 0;
}

bool NetIfIterator::IsRunning() const {
    return Flags() & IFF_RUNNING;
}

bool NetIfIterator::IsLoopback() const {
    return Flags() & IFF_LOOPBACK;
}

bool NetIfIterator::IsPointToPoint() const {
    return Flags() & IFF_POINTOPOINT;
}

void NetGetBroadcastInterfaces(std::vector<SNetIfAddrPair>& out) {
    out = plat::BroadcastInterfaces();
}

uint32_t NetPrimaryInterfaceIndex() {
    return plat::PrimaryInterfaceIndex();
}
