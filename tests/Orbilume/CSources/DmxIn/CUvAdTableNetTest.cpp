#include <gtest/gtest.h>

#include "Orbilume/CSources/DmxIn/CUvAdTable.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/support/NetNamespace.h"

namespace {

using testsupport::NetNamespace;

constexpr uint32_t kVethBroadcast = 0x0A6300FF;  // 10.99.0.255

// Only loopback: no Ethernet interface gives a broadcast address.
TEST(CUvAdTableNet, WithoutEthernetTheDefaultIsTheLimitedBroadcast) {
    if (!NetNamespace::Inside()) GTEST_SKIP() << "needs netns-run";
    if (!NetNamespace::Veth().empty()) GTEST_SKIP() << "needs a namespace without the veth";
    nettest::MainLoop main;
    CUvAdTable t;
    EXPECT_EQ(t.DefaultAddress(), 0xFFFFFFFFu);
    uint32_t a = 0;
    EXPECT_TRUE(t.Lookup(4, a));
    EXPECT_EQ(a, 0xFFFFFFFFu);
}

// The default follows the veth: its broadcast address while it runs, the limited broadcast while it
// is down, and back.
TEST(CUvAdTableNet, DefaultFollowsTheVeth) {
    std::string veth = NetNamespace::Veth();
    if (veth.empty()) GTEST_SKIP() << "needs netns-run --veth";
    nettest::MainLoop main;
    CUvAdTable t;
    ASSERT_TRUE(main.RunUntil([&] { return t.DefaultAddress() == kVethBroadcast; }));
    uint32_t a = 0;
    EXPECT_TRUE(t.Lookup(4, a));
    EXPECT_EQ(a, kVethBroadcast);
    const UvAdRecord r[] = {{4, 0, "10.99.0.255"}};
    ASSERT_TRUE(t.Rebuild(r, 1));
    EXPECT_TRUE(t.Lookup(4, a)) << "a listed address equal to the default counts as broadcast";

    ASSERT_TRUE(NetNamespace::Ip("link set " + veth + " down"));
    EXPECT_TRUE(main.RunUntil([&] { return t.DefaultAddress() == 0xFFFFFFFF; }));
    EXPECT_FALSE(t.Lookup(4, a)) << "no longer the broadcast address";
    EXPECT_TRUE(t.Lookup(5, a));
    EXPECT_EQ(a, 0xFFFFFFFFu);

    ASSERT_TRUE(NetNamespace::Ip("link set " + veth + " up"));
    EXPECT_TRUE(main.RunUntil([&] { return t.DefaultAddress() == kVethBroadcast; }));
}

}  // namespace
