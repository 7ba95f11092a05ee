#pragma once

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstring>
#include <vector>

// Builds rtnetlink message buffers the way the kernel lays them out.
class NetlinkBuilder {
public:
    // Starts a message of the type with a body (ifinfomsg, ifaddrmsg, rtmsg, ...).
    template <class Body>
    NetlinkBuilder& Message(uint16_t type, const Body& body, uint16_t flags = 0) {
        Finish();
        fStart = fBytes.size();
        nlmsghdr h{};
        h.nlmsg_type = type;
        h.nlmsg_flags = flags;
        Append(&h, sizeof h);
        Append(&body, sizeof body);
        Pad();
        return *this;
    }
    NetlinkBuilder& Attr(uint16_t type, uint32_t value) {
        rtattr a{};
        a.rta_len = RTA_LENGTH(sizeof value);
        a.rta_type = type;
        Append(&a, sizeof a);
        Append(&value, sizeof value);
        Pad();
        return *this;
    }
    NetlinkBuilder& Done() {
        int zero = 0;
        return Message(NLMSG_DONE, zero);
    }
    std::vector<uint8_t> Bytes() {
        Finish();
        return fBytes;
    }

private:
    void Append(const void* p, size_t n) {
        auto* b = static_cast<const uint8_t*>(p);
        fBytes.insert(fBytes.end(), b, b + n);
    }
    void Pad() { fBytes.resize(NLMSG_ALIGN(fBytes.size())); }
    void Finish() {
        if (fStart == SIZE_MAX) return;
        uint32_t len = uint32_t(fBytes.size() - fStart);
        std::memcpy(fBytes.data() + fStart, &len, sizeof len);
        fStart = SIZE_MAX;
    }
    std::vector<uint8_t> fBytes;
    size_t fStart = SIZE_MAX;
};

inline rtmsg DefaultRouteMsg(uint8_t family = AF_INET) {
    rtmsg r{};
    r.rtm_family = family;
    r.rtm_table = RT_TABLE_MAIN;
    r.rtm_type = RTN_UNICAST;
    return r;
}
