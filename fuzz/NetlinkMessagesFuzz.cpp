// Kernel rtnetlink buffers: the interface-change test and the default-route dump reader.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Platform/Net/NetlinkMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    // Copies into an exact-size buffer, so any read past the end is caught.
    std::vector<uint8_t> bytes(data, data + size);
    (void)plat::HasInterfaceChange(bytes.data(), bytes.size());
    std::vector<plat::DefaultRoute> routes;
    (void)plat::ParseRouteDump(bytes.data(), bytes.size(), routes);
    return 0;
}
