#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "Platform/Foundation/RunLoop.h"
#include "Platform/Net/InterfaceMonitor.h"
#include "tests/Platform/Net/NetlinkBuilder.h"
#include "tests/support/NetNamespace.h"

namespace {

using testsupport::NetNamespace;

void Count(void* counter) {
    ++*static_cast<int*>(counter);
}

bool RunUntil(const int& calls, int atLeast) {
    auto t0 = std::chrono::steady_clock::now();
    while (calls < atLeast) {
        if (std::chrono::steady_clock::now() - t0 > std::chrono::seconds(5)) return false;
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.01, false);
    }
    return true;
}

// Feeds recorded buffers as one burst.
struct Recorded {
    std::vector<std::vector<uint8_t>> buffers;
    size_t next = 0;
    static ptrdiff_t Read(void* self, uint8_t* buffer, size_t size) {
        auto* r = static_cast<Recorded*>(self);
        if (r->next >= r->buffers.size()) return 0;
        const auto& b = r->buffers[r->next++];
        if (b.size() > size) return -1;
        std::copy(b.begin(), b.end(), buffer);
        return ptrdiff_t(b.size());
    }
};

TEST(InterfaceMonitor, BurstOfMessagesGivesOneCall) {
    int calls = 0;
    auto monitor = plat::InterfaceMonitor::Create(&Count, &calls);
    if (!monitor) GTEST_SKIP() << "rtnetlink refused";
    ifinfomsg link{};
    ifaddrmsg addr{};
    rtmsg route = DefaultRouteMsg();
    Recorded burst;
    burst.buffers = {NetlinkBuilder().Message(RTM_NEWLINK, link).Message(RTM_NEWADDR, addr).Bytes(),
                     NetlinkBuilder().Message(RTM_DELADDR, addr).Bytes(),
                     NetlinkBuilder().Message(RTM_DELLINK, link).Bytes()};
    EXPECT_TRUE(monitor->ReadBurstFrom(&Recorded::Read, &burst));
    EXPECT_EQ(calls, 1);

    Recorded routesOnly;
    routesOnly.buffers = {NetlinkBuilder().Message(RTM_NEWROUTE, route).Bytes(), {1, 2, 3}};
    EXPECT_FALSE(monitor->ReadBurstFrom(&Recorded::Read, &routesOnly));
    EXPECT_EQ(calls, 1);
}

TEST(InterfaceMonitor, LinkDownCallsBack) {
    std::string veth = NetNamespace::Veth();
    if (veth.empty()) GTEST_SKIP() << "needs netns-run --veth";
    int calls = 0;
    auto monitor = plat::InterfaceMonitor::Create(&Count, &calls);
    ASSERT_TRUE(monitor);
    ASSERT_TRUE(NetNamespace::Ip("link set " + veth + " down"));
    EXPECT_TRUE(RunUntil(calls, 1));
    int afterDown = calls;
    ASSERT_TRUE(NetNamespace::Ip("link set " + veth + " up"));
    EXPECT_TRUE(RunUntil(calls, afterDown + 1));
    ASSERT_TRUE(NetNamespace::Ip("addr add 10.99.1.1/24 dev " + veth));
    EXPECT_TRUE(RunUntil(calls, afterDown + 2));
    NetNamespace::Ip("addr del 10.99.1.1/24 dev " + veth);
}

}  // namespace
