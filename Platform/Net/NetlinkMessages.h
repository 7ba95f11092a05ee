#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat {

// Readers of rtnetlink message buffers as the kernel delivers them. Pure functions over bytes: every
// header and attribute is bounds-checked, unknown message and attribute types are skipped.

// True when the buffer holds at least one link or address change (new or deleted link, IPv4 or
// IPv6 address). A truncated message ends the walk.
bool HasInterfaceChange(const uint8_t* data, size_t length);

// A default route (destination length 0) of the main table from a route dump.
struct DefaultRoute {
    uint32_t interfaceIndex = 0;
    uint32_t metric = 0;
};

enum class RouteDumpStatus {
    kMore,   // the dump continues in the next buffer
    kDone,   // NLMSG_DONE was seen
    kError,  // NLMSG_ERROR with a non-zero code, or a malformed buffer
};

// Appends the default routes found in one buffer of an RTM_GETROUTE dump.
RouteDumpStatus ParseRouteDump(const uint8_t* data, size_t length, std::vector<DefaultRoute>& routes);

}  // namespace plat
