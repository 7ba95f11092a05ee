#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "Platform/Net/InterfaceAddresses.h"
#include "tests/support/NetNamespace.h"

namespace {

using testsupport::NetNamespace;

constexpr uint32_t kNear = 0x0a630001;  // 10.99.0.1
constexpr uint32_t kMask24 = 0xffffff00;

TEST(InterfaceAddresses, OnlyLoopbackGivesNoBroadcastInterfaceAndNoPrimary) {
    if (!NetNamespace::Inside()) GTEST_SKIP() << "needs the private namespace of netns-run";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A fresh namespace of its own holds nothing but loopback.
        uint32_t answer[2] = {0xffffffff, 0xffffffff};
        if (unshare(CLONE_NEWNET) == 0) {
            answer[0] = uint32_t(plat::BroadcastInterfaces().size());
            answer[1] = plat::PrimaryInterfaceIndex();
        }
        (void)!write(fds[1], answer, sizeof answer);
        _exit(0);
    }
    close(fds[1]);
    uint32_t answer[2] = {};
    ASSERT_EQ(read(fds[0], answer, sizeof answer), ssize_t(sizeof answer));
    close(fds[0]);
    waitpid(child, nullptr, 0);
    if (answer[0] == 0xffffffff) GTEST_SKIP() << "unshare refused in the child";
    EXPECT_EQ(answer[0], 0u);
    EXPECT_EQ(answer[1], 0u);
}

TEST(InterfaceAddresses, VethIsTheBroadcastInterfaceAndEthernet) {
    std::string veth = NetNamespace::Veth();
    if (veth.empty()) GTEST_SKIP() << "needs netns-run --veth";
    auto list = plat::BroadcastInterfaces();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], (plat::InterfaceAddressPair{kNear, kMask24}));

    plat::InterfaceAddresses addrs;
    EXPECT_TRUE(addrs.IsEthernet(veth.c_str()));
    EXPECT_FALSE(addrs.IsEthernet("lo"));
    EXPECT_FALSE(addrs.IsEthernet("no-such-interface"));
    EXPECT_TRUE(addrs.HasFlags(veth.c_str(), IFF_UP | IFF_BROADCAST));
}

TEST(InterfaceAddresses, DownInterfaceLeavesTheBroadcastList) {
    std::string veth = NetNamespace::Veth();
    if (veth.empty()) GTEST_SKIP() << "needs netns-run --veth";
    ASSERT_TRUE(NetNamespace::Ip("link set " + veth + " down"));
    EXPECT_TRUE(plat::BroadcastInterfaces().empty());
    ASSERT_TRUE(NetNamespace::Ip("link set " + veth + " up"));
    // The carrier comes back once both ends are up again.
    for (int i = 0; i < 200 && plat::BroadcastInterfaces().empty(); ++i) usleep(10000);
    EXPECT_EQ(plat::BroadcastInterfaces().size(), 1u);
}

TEST(InterfaceAddresses, PrimaryIsTheInterfaceOfTheDefaultRoute) {
    std::string veth = NetNamespace::Veth();
    if (veth.empty()) GTEST_SKIP() << "needs netns-run --veth";
    EXPECT_EQ(plat::PrimaryInterfaceIndex(), 0u);
    ASSERT_TRUE(NetNamespace::Ip("route add default via 10.99.0.2 dev " + veth + " metric 50"));
    uint32_t index = if_nametoindex(veth.c_str());
    EXPECT_NE(index, 0u);
    EXPECT_EQ(plat::PrimaryInterfaceIndex(), index);
    // A lower metric on a dummy that is down does not win: it is not running.
    bool dummy = NetNamespace::Ip("link add orbdummy type dummy");
    if (dummy) {
        NetNamespace::Ip("addr add 10.98.0.1/24 dev orbdummy");
        NetNamespace::Ip("link set orbdummy up");
        NetNamespace::Ip("route add default via 10.98.0.2 dev orbdummy metric 10");
        EXPECT_EQ(plat::PrimaryInterfaceIndex(), if_nametoindex("orbdummy"));
        NetNamespace::Ip("link set orbdummy down");
        EXPECT_EQ(plat::PrimaryInterfaceIndex(), index);
        NetNamespace::Ip("link del orbdummy");
    }
    ASSERT_TRUE(NetNamespace::Ip("route del default via 10.99.0.2 dev " + veth));
    EXPECT_EQ(plat::PrimaryInterfaceIndex(), 0u);
}

}  // namespace
