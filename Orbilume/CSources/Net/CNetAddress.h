#pragma once

#include <cstdint>

struct sockaddr;
struct sockaddr_storage;

// An IPv4 or IPv6 address with a port, passed by value. For IPv4 the first 4 bytes hold the address
// as a host-order u32 (the other 12 are ignored); for IPv6 the 16 bytes are in network order. The
// port is in host order.
struct CNetAddress {
    enum : uint8_t { kIPv4 = 0, kIPv6 = 1 };

    uint8_t address[16] = {};
    uint16_t port = 0;
    uint8_t family = kIPv4;

    static CNetAddress IPv4(uint32_t hostOrder, uint16_t port);
    static CNetAddress IPv6(const uint8_t bytes[16], uint16_t port);

    uint32_t IPv4Address() const;
    void SetIPv4Address(uint32_t hostOrder);

    // Equal family and port, and the first 4 (IPv4) or all 16 (IPv6) address bytes.
    friend bool operator==(const CNetAddress& a, const CNetAddress& b);

    // The socket address; returns its length (16 for IPv4, 28 for IPv6 with the scope given).
    uint32_t ToSockaddr(sockaddr_storage& out, uint32_t scope = 0) const;
    // False for families other than AF_INET and AF_INET6, or a length too short for the family.
    [[nodiscard]] bool FromSockaddr(const sockaddr* in, uint32_t length);
};
