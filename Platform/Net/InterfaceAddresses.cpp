#include "Platform/Net/InterfaceAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Platform/Net/NetlinkMessages.h"

namespace plat {

InterfaceAddresses::InterfaceAddresses() {
    if (getifaddrs(&fList) != 0) fList = nullptr;
}

InterfaceAddresses::~InterfaceAddresses() {
    if (fList) freeifaddrs(fList);
}

bool InterfaceAddresses::IsEthernet(const char* name) const {
    if (!name) return false;
    for (const ifaddrs* a = fList; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET || !a->ifa_name) continue;
        if (std::strcmp(a->ifa_name, name) != 0) continue;
        auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
        return ll->sll_hatype == ARPHRD_ETHER;
    }
    return false;
}

bool InterfaceAddresses::HasFlags(const char* name, uint32_t flags) const {
    if (!name) return false;
    for (const ifaddrs* a = fList; a; a = a->ifa_next) {
        if (a->ifa_name && std::strcmp(a->ifa_name, name) == 0 && (a->ifa_flags & flags) == flags)
            return true;
    }
    return false;
}

std::vector<InterfaceAddressPair> BroadcastInterfaces() {
    std::vector<InterfaceAddressPair> out;
    InterfaceAddresses list;
    constexpr uint32_t kNeed = IFF_UP | IFF_BROADCAST | IFF_RUNNING;
    constexpr uint32_t kExclude = IFF_LOOPBACK | IFF_POINTOPOINT;
    for (const ifaddrs* a = list.First(); a; a = a->ifa_next) {
        if ((a->ifa_flags & kNeed) != kNeed || (a->ifa_flags & kExclude) != 0) continue;
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
        InterfaceAddressPair pair;
        pair.address = ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
        if (a->ifa_netmask && a->ifa_netmask->sa_family == AF_INET)
            pair.netmask = ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr);
        out.push_back(pair);
    }
    return out;
}

namespace {

// Dumps the main route tables of both families over a private rtnetlink socket.
bool DumpDefaultRoutes(std::vector<DefaultRoute>& routes) {
    int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return false;
    timeval timeout{1, 0};  // the kernel answers at once; never hang on a broken socket
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    struct {
        nlmsghdr h;
        rtmsg r;
    } req{};
    req.h.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    req.h.nlmsg_type = RTM_GETROUTE;
    req.h.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    req.h.nlmsg_seq = 1;
    req.r.rtm_family = AF_UNSPEC;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    bool ok = sendto(fd, &req, req.h.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) >= 0;
    alignas(nlmsghdr) uint8_t buffer[16384];
    RouteDumpStatus status = RouteDumpStatus::kMore;
    while (ok && status == RouteDumpStatus::kMore) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        status = ParseRouteDump(buffer, size_t(n), routes);
    }
    close(fd);
    return ok && status == RouteDumpStatus::kDone;
}

}  // namespace

uint32_t PrimaryInterfaceIndex() {
    std::vector<DefaultRoute> routes;
    if (!DumpDefaultRoutes(routes)) return 0;
    InterfaceAddresses list;
    uint32_t best = 0;
    uint32_t bestMetric = 0;
    for (const DefaultRoute& r : routes) {
        char name[IF_NAMESIZE] = {};
        if (!if_indextoname(r.interfaceIndex, name)) continue;
        if (!list.HasFlags(name, IFF_UP | IFF_RUNNING)) continue;
        if (best == 0 || r.metric < bestMetric) {
            best = r.interfaceIndex;
            bestMetric = r.metric;
        }
    }
    return best;
}

}  // namespace plat
