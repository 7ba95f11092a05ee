#include "Orbilume/CSources/Net/CNetAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

CNetAddress CNetAddress::IPv4(uint32_t hostOrder, uint16_t port) {
    CNetAddress a;
    a.SetIPv4Address(hostOrder);
    a.port = port;
    return a;
}

CNetAddress CNetAddress::IPv6(const uint8_t bytes[16], uint16_t port) {
    CNetAddress a;
    std::memcpy(a.address, bytes, 16);
    a.port = port;
    a.family = kIPv6;
    return a;
}

uint32_t CNetAddress::IPv4Address() const {
    uint32_t v;
    std::memcpy(&v, address, 4);
    return v;
}

void CNetAddress::SetIPv4Address(uint32_t hostOrder) {
    std::memcpy(address, &hostOrder, 4);
}

bool operator==(const CNetAddress& a, const CNetAddress& b) {
    if (a.family != b.family || a.port != b.port) return false;
    return std::memcmp(a.address, b.address, a.family == CNetAddress::kIPv6 ? 16 : 4) == 0;
}

uint32_t CNetAddress::ToSockaddr(sockaddr_storage& out, uint32_t scope) const {
    std::memset(&out, 0, sizeof out);
    if (family == kIPv6) {
        auto* s6 = reinterpret_cast<sockaddr_in6*>(&out);
        s6->sin6_family = AF_INET6;
        s6->sin6_port = htons(port);
        std::memcpy(&s6->sin6_addr, address, 16);
        s6->sin6_scope_id = scope;
        return sizeof(sockaddr_in6);
    }
    auto* s4 = reinterpret_cast<sockaddr_in*>(&out);
    s4->sin_family = AF_INET;
    s4->sin_port = htons(port);
    s4->sin_addr.s_addr = htonl(IPv4Address());
    return sizeof(sockaddr_in);
}

bool CNetAddress::FromSockaddr(const sockaddr* in, uint32_t length) {
    if (!in || length < sizeof(sa_family_t)) return false;
    if (in->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
        sockaddr_in s4;
        std::memcpy(&s4, in, sizeof s4);
        *this = IPv4(ntohl(s4.sin_addr.s_addr), ntohs(s4.sin_port));
        return true;
    }
    if (in->sa_family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
        sockaddr_in6 s6;
        std::memcpy(&s6, in, sizeof s6);
        *this = IPv6(s6.sin6_addr.s6_addr, ntohs(s6.sin6_port));
        return true;
    }
    return false;
}
