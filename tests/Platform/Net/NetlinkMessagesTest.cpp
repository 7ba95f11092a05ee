#include <gtest/gtest.h>

#include <string>

#include "Platform/Net/NetlinkMessages.h"
#include "tests/Platform/Net/NetlinkBuilder.h"

namespace {

using plat::DefaultRoute;
using plat::RouteDumpStatus;

std::vector<uint8_t> Cut(std::vector<uint8_t> b, size_t n) {
    b.resize(n);
    return b;
}

TEST(NetlinkMessages, InterfaceChangesAmongOtherMessages) {
    ifinfomsg link{};
    ifaddrmsg addr{};
    rtmsg route = DefaultRouteMsg();
    auto newLink = NetlinkBuilder().Message(RTM_NEWLINK, link).Bytes();
    auto delAddr = NetlinkBuilder().Message(RTM_NEWROUTE, route).Message(RTM_DELADDR, addr).Bytes();
    auto onlyRoutes = NetlinkBuilder().Message(RTM_NEWROUTE, route).Message(0x7fff, route).Bytes();
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        bool changed;
    } cases[] = {
        {"empty", {}, false},
        {"new link", newLink, true},
        {"address after a route", delAddr, true},
        {"routes and an unknown type", onlyRoutes, false},
        {"header cut short", Cut(newLink, 10), false},
        {"length past the end", Cut(newLink, newLink.size() - 1), false},
        {"second message cut", Cut(delAddr, delAddr.size() - 2), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::HasInterfaceChange(c.bytes.data(), c.bytes.size()), c.changed) << c.name;
}

TEST(NetlinkMessages, ZeroLengthHeaderEndsTheWalk) {
    std::vector<uint8_t> bytes(64, 0);
    EXPECT_FALSE(plat::HasInterfaceChange(bytes.data(), bytes.size()));
    std::vector<DefaultRoute> routes;
    EXPECT_EQ(plat::ParseRouteDump(bytes.data(), bytes.size(), routes), RouteDumpStatus::kError);
}

TEST(NetlinkMessages, RouteDumpKeepsDefaultRoutesOfTheMainTable) {
    rtmsg def = DefaultRouteMsg();
    rtmsg subnet = DefaultRouteMsg();
    subnet.rtm_dst_len = 24;
    rtmsg local = DefaultRouteMsg();
    local.rtm_table = RT_TABLE_LOCAL;
    rtmsg v6 = DefaultRouteMsg(AF_INET6);
    rtmsg bigTable = DefaultRouteMsg();
    bigTable.rtm_table = RT_TABLE_UNSPEC;  // tables above 255 come as an attribute
    auto bytes = NetlinkBuilder()
                     .Message(RTM_NEWROUTE, def)
                     .Attr(RTA_OIF, 3)
                     .Attr(RTA_PRIORITY, 100)
                     .Message(RTM_NEWROUTE, subnet)
                     .Attr(RTA_OIF, 4)
                     .Message(RTM_NEWROUTE, local)
                     .Attr(RTA_OIF, 5)
                     .Message(RTM_NEWROUTE, v6)
                     .Attr(RTA_OIF, 6)
                     .Attr(RTA_PRIORITY, 1024)
                     .Message(RTM_NEWROUTE, bigTable)
                     .Attr(RTA_TABLE, 1000)
                     .Attr(RTA_OIF, 7)
                     .Message(RTM_NEWROUTE, def)
                     .Attr(0x7ff0, 9)
                     .Attr(RTA_OIF, 8)
                     .Message(RTM_NEWROUTE, def)  // no interface
                     .Done()
                     .Bytes();
    std::vector<DefaultRoute> routes;
    ASSERT_EQ(plat::ParseRouteDump(bytes.data(), bytes.size(), routes), RouteDumpStatus::kDone);
    ASSERT_EQ(routes.size(), 3u);
    EXPECT_EQ(routes[0].interfaceIndex, 3u);
    EXPECT_EQ(routes[0].metric, 100u);
    EXPECT_EQ(routes[1].interfaceIndex, 6u);
    EXPECT_EQ(routes[1].metric, 1024u);
    EXPECT_EQ(routes[2].interfaceIndex, 8u);
    EXPECT_EQ(routes[2].metric, 0u);
}

TEST(NetlinkMessages, RouteDumpStatus) {
    rtmsg def = DefaultRouteMsg();
    auto more = NetlinkBuilder().Message(RTM_NEWROUTE, def).Attr(RTA_OIF, 2).Bytes();
    nlmsgerr failed{};
    failed.error = -EPERM;
    nlmsgerr ack{};
    auto error = NetlinkBuilder().Message(NLMSG_ERROR, failed).Bytes();
    auto ackThenDone = NetlinkBuilder().Message(NLMSG_ERROR, ack).Done().Bytes();
    auto shortError = Cut(error, NLMSG_HDRLEN + 2);
    std::vector<uint8_t> shortErrorFixed = shortError;
    uint32_t len = uint32_t(shortError.size());
    std::memcpy(shortErrorFixed.data(), &len, 4);
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        RouteDumpStatus status;
    } cases[] = {
        {"route, no end yet", more, RouteDumpStatus::kMore},
        {"kernel error", error, RouteDumpStatus::kError},
        {"ack then done", ackThenDone, RouteDumpStatus::kDone},
        {"error message too short", shortErrorFixed, RouteDumpStatus::kError},
        {"cut in an attribute", Cut(more, more.size() - 2), RouteDumpStatus::kError},
        {"empty", {}, RouteDumpStatus::kMore},
    };
    for (const Case& c : cases) {
        std::vector<DefaultRoute> routes;
        EXPECT_EQ(plat::ParseRouteDump(c.bytes.data(), c.bytes.size(), routes), c.status) << c.name;
    }
}

TEST(NetlinkMessages, AttributeLongerThanItsMessageIsIgnored) {
    rtmsg def = DefaultRouteMsg();
    auto bytes = NetlinkBuilder().Message(RTM_NEWROUTE, def).Attr(RTA_OIF, 2).Done().Bytes();
    // Make the attribute claim more than the message holds.
    size_t attr = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(rtmsg));
    uint16_t huge = 200;
    std::memcpy(bytes.data() + attr, &huge, sizeof huge);
    std::vector<DefaultRoute> routes;
    EXPECT_EQ(plat::ParseRouteDump(bytes.data(), bytes.size(), routes), RouteDumpStatus::kDone);
    EXPECT_TRUE(routes.empty());
}

}  // namespace
