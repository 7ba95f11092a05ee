#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "Orbilume/CSources/Net/CNetAddress.h"

namespace {

CNetAddress WithJunk(CNetAddress a) {
    for (int i = 4; i < 16; ++i) a.address[i] = uint8_t(i * 7);
    return a;
}

TEST(CNetAddress, Equality) {
    const uint8_t six[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    uint8_t sixOther[16];
    std::memcpy(sixOther, six, 16);
    sixOther[15] = 2;
    struct Case {
        const char* name;
        CNetAddress a, b;
        bool equal;
    } cases[] = {
        {"same v4", CNetAddress::IPv4(0x7f000001, 80), CNetAddress::IPv4(0x7f000001, 80), true},
        {"v4 ignores the last 12 bytes", CNetAddress::IPv4(0x7f000001, 80),
         WithJunk(CNetAddress::IPv4(0x7f000001, 80)), true},
        {"port differs", CNetAddress::IPv4(0x7f000001, 80), CNetAddress::IPv4(0x7f000001, 81), false},
        {"address differs", CNetAddress::IPv4(0x7f000001, 80), CNetAddress::IPv4(0x7f000002, 80), false},
        {"same v6", CNetAddress::IPv6(six, 9), CNetAddress::IPv6(six, 9), true},
        {"v6 compares all 16 bytes", CNetAddress::IPv6(six, 9), CNetAddress::IPv6(sixOther, 9), false},
        {"family differs", CNetAddress::IPv4(0x20010db8, 9), CNetAddress::IPv6(six, 9), false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.a == c.b, c.equal) << c.name;
}

TEST(CNetAddress, SocketAddressesRoundTripInNetworkOrder) {
    CNetAddress v4 = CNetAddress::IPv4(0x0a630002, 6454);
    sockaddr_storage ss;
    ASSERT_EQ(v4.ToSockaddr(ss), 16u);
    auto* s4 = reinterpret_cast<sockaddr_in*>(&ss);
    EXPECT_EQ(s4->sin_family, AF_INET);
    EXPECT_EQ(ntohs(s4->sin_port), 6454);
    EXPECT_EQ(ntohl(s4->sin_addr.s_addr), 0x0a630002u);
    CNetAddress back;
    ASSERT_TRUE(back.FromSockaddr(reinterpret_cast<sockaddr*>(&ss), 16));
    EXPECT_EQ(back, v4);

    const uint8_t loop6[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    CNetAddress v6 = CNetAddress::IPv6(loop6, 5568);
    ASSERT_EQ(v6.ToSockaddr(ss, 3), 28u);
    EXPECT_EQ(reinterpret_cast<sockaddr_in6*>(&ss)->sin6_scope_id, 3u);
    ASSERT_TRUE(back.FromSockaddr(reinterpret_cast<sockaddr*>(&ss), 28));
    EXPECT_EQ(back, v6);
}

TEST(CNetAddress, RejectsShortOrForeignSocketAddresses) {
    sockaddr_storage ss{};
    CNetAddress a;
    EXPECT_FALSE(a.FromSockaddr(nullptr, 16));
    ss.ss_family = AF_INET;
    EXPECT_FALSE(a.FromSockaddr(reinterpret_cast<sockaddr*>(&ss), 8));
    ss.ss_family = AF_INET6;
    EXPECT_FALSE(a.FromSockaddr(reinterpret_cast<sockaddr*>(&ss), 16));
    ss.ss_family = AF_UNIX;
    EXPECT_FALSE(a.FromSockaddr(reinterpret_cast<sockaddr*>(&ss), sizeof ss));
}

}  // namespace
