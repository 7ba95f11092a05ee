#include "Platform/Net/NetlinkMessages.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cstring>

namespace plat {

namespace {

// Copies the header out: kernel buffers are aligned, fuzzed and recorded ones need not be.
bool ReadHeader(const uint8_t* p, size_t left, nlmsghdr& h) {
    if (left < sizeof(nlmsghdr)) return false;
    std::memcpy(&h, p, sizeof h);
    return h.nlmsg_len >= sizeof(nlmsghdr) && h.nlmsg_len <= left;
}

size_t Advance(const nlmsghdr& h, size_t left) {
    size_t step = NLMSG_ALIGN(h.nlmsg_len);
    return step < left ? step : left;
}

bool ReadU32(const uint8_t* p, size_t n, uint32_t& out) {
    if (n < sizeof(uint32_t)) return false;
    std::memcpy(&out, p, sizeof out);
    return true;
}

// One RTM_NEWROUTE message body (after the netlink header).
void ParseRoute(const uint8_t* body, size_t length, std::vector<DefaultRoute>& routes) {
    if (length < sizeof(rtmsg)) return;
    rtmsg rt;
    std::memcpy(&rt, body, sizeof rt);
    if (rt.rtm_dst_len != 0 || rt.rtm_type != RTN_UNICAST) return;
    if (rt.rtm_family != AF_INET && rt.rtm_family != AF_INET6) return;
    uint32_t table = rt.rtm_table;
    DefaultRoute route;
    size_t off = NLMSG_ALIGN(sizeof(rtmsg));
    while (off + sizeof(rtattr) <= length) {
        rtattr a;
        std::memcpy(&a, body + off, sizeof a);
        if (a.rta_len < sizeof(rtattr) || a.rta_len > length - off) break;
        const uint8_t* payload = body + off + RTA_LENGTH(0);
        size_t n = a.rta_len - RTA_LENGTH(0);
        switch (a.rta_type) {
            case RTA_OIF:
                ReadU32(payload, n, route.interfaceIndex);
                break;
            case RTA_PRIORITY:
                ReadU32(payload, n, route.metric);
                break;
            case RTA_TABLE:
                ReadU32(payload, n, table);
                break;
            default:
                break;
        }
        off += RTA_ALIGN(a.rta_len);
    }
    if (table == RT_TABLE_MAIN && route.interfaceIndex != 0) routes.push_back(route);
}

}  // namespace

bool HasInterfaceChange(const uint8_t* data, size_t length) {
    nlmsghdr h;
    while (ReadHeader(data, length, h)) {
        switch (h.nlmsg_type) {
            case RTM_NEWLINK:
            case RTM_DELLINK:
            case RTM_NEWADDR:
            case RTM_DELADDR:
                return true;
            default:
                break;
        }
        size_t step = Advance(h, length);
        data += step;
        length -= step;
    }
    return false;
}

RouteDumpStatus ParseRouteDump(const uint8_t* data, size_t length, std::vector<DefaultRoute>& routes) {
    nlmsghdr h;
    while (length > 0) {
        if (!ReadHeader(data, length, h)) return RouteDumpStatus::kError;
        if (h.nlmsg_type == NLMSG_DONE) return RouteDumpStatus::kDone;
        if (h.nlmsg_type == NLMSG_ERROR) {
            nlmsgerr e;
            if (h.nlmsg_len < NLMSG_LENGTH(sizeof e)) return RouteDumpStatus::kError;
            std::memcpy(&e, data + NLMSG_HDRLEN, sizeof e);
            if (e.error != 0) return RouteDumpStatus::kError;
        } else if (h.nlmsg_type == RTM_NEWROUTE) {
            ParseRoute(data + NLMSG_HDRLEN, h.nlmsg_len - NLMSG_HDRLEN, routes);
        }
        size_t step = Advance(h, length);
        data += step;
        length -= step;
    }
    return RouteDumpStatus::kMore;
}

}  // namespace plat
