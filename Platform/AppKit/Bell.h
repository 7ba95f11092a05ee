#pragma once

#include <cstdint>

namespace plat {

// The alert sound. Silent unless a backend installs a ringer; rings are counted either way.
class Bell {
public:
    using Ringer = void (*)();
    static void Ring();
    static void SetRinger(Ringer ringer);
    static uint32_t RingCount();
};

}  // namespace plat
