#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <cstring>

#include "Orbilume/CSources/Net/NetIfIterator.h"
#include "Orbilume/CSources/Net/NetInterfaceWatcher.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/support/NetNamespace.h"

namespace {

using testsupport::NetNamespace;

TEST(NetIfIterator, WalksEveryEntryAndReadsTheVeth) {
    std::string veth = NetNamespace::Veth();
    if (veth.empty()) GTEST_SKIP() << "needs netns-run --veth";
    NetIfIterator it;
    EXPECT_EQ(it.Current(), nullptr);
    EXPECT_EQ(it.Flags(), 0u);
    int entries = 0;
    bool sawLoopback = false, sawBroadcast = false;
    while (it.Next()) {
        ++entries;
        if (std::strcmp(it.Current()->ifa_name, "lo") == 0) {
            sawLoopback = true;
            EXPECT_TRUE(it.IsLoopback());
            EXPECT_FALSE(it.IsEthernet());
        }
        if (veth == it.Current()->ifa_name) {
            EXPECT_TRUE(it.IsEthernet());
            EXPECT_FALSE(it.IsPointToPoint());
            uint32_t b = 0;
            if (it.GetBroadcast(b)) {
                sawBroadcast = true;
                EXPECT_EQ(b, 0x0a6300ffu);  // 10.99.0.255
            }
        }
    }
    EXPECT_GT(entries, 2);
    EXPECT_TRUE(sawLoopback);
    EXPECT_TRUE(sawBroadcast);
    EXPECT_FALSE(it.Next());
}

TEST(NetIfIterator, BroadcastListAndPrimaryIndex) {
    std::string veth = NetNamespace::Veth();
    if (veth.empty()) GTEST_SKIP() << "needs netns-run --veth";
    std::vector<SNetIfAddrPair> list = {{1, 2}, {3, 4}};
    NetGetBroadcastInterfaces(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].address, 0x0a630001u);
    EXPECT_EQ(list[0].netmask, 0xffffff00u);
    EXPECT_EQ(NetPrimaryInterfaceIndex(), 0u);
    ASSERT_TRUE(NetNamespace::Ip("route add default via 10.99.0.2 dev " + veth));
    EXPECT_EQ(NetPrimaryInterfaceIndex(), if_nametoindex(veth.c_str()));
    ASSERT_TRUE(NetNamespace::Ip("route del default via 10.99.0.2 dev " + veth));
}

int Listener(void* context, int, void*) {
    ++*static_cast<int*>(context);
    return 0;
}

TEST(NetInterfaceWatcher, LinkDownCallsEveryListener) {
    std::string veth = NetNamespace::Veth();
    if (veth.empty()) GTEST_SKIP() << "needs netns-run --veth";
    nettest::MainLoop main;
    NetInterfaceWatcher watcher;
    ASSERT_TRUE(watcher.IsWatching());
    int a = 0, b = 0, removed = 0;
    EXPECT_TRUE(watcher.AddListener(&a, &Listener));
    EXPECT_TRUE(watcher.AddListener(&b, &Listener));
    EXPECT_TRUE(watcher.AddListener(&removed, &Listener));
    EXPECT_TRUE(watcher.RemoveListener(&removed, &Listener));
    ASSERT_TRUE(NetNamespace::Ip("link set " + veth + " down"));
    EXPECT_TRUE(main.RunUntil([&] { return a > 0 && b > 0; }));
    EXPECT_EQ(removed, 0);
    ASSERT_TRUE(NetNamespace::Ip("link set " + veth + " up"));
    main.RunUntil([&] { return a > 1; }, 2);
}

}  // namespace
