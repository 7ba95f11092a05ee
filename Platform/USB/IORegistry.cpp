#include "Platform/USB/IORegistry.h"

#include <mutex>

namespace plat {

namespace {

constexpr uint32_t kMaxObjects = 256;

struct Entry {
    int32_t count = 0;
    bool iterator = false;
    uint16_t vendor = 0;
    uint16_t product = 0;
    // Iterators: the devices still to hand out, as a bit set over handles.
    uint8_t pending[kMaxObjects / 8] = {};
};

struct Registry {
    std::mutex lock;
    Entry entries[kMaxObjects + 1];  // handle 0 is "none"
};

Registry& Shared() {
    static Registry registry;
    return registry;
}

uint32_t Allocate(Registry& r) {
    for (uint32_t h = 1; h <= kMaxObjects; ++h)
        if (r.entries[h].count == 0) {
            r.entries[h] = Entry{};
            r.entries[h].count = 1;
            return h;
        }
    return 0;
}

}  // namespace

uint32_t IORegistry::AddDevice(uint16_t vendor, uint16_t product) {
    Registry& r = Shared();
    std::lock_guard<std::mutex> guard(r.lock);
    const uint32_t h = Allocate(r);
    if (h) {
        r.entries[h].vendor = vendor;
        r.entries[h].product = product;
    }
    return h;
}

void IORegistry::Retain(uint32_t object) {
    Registry& r = Shared();
    std::lock_guard<std::mutex> guard(r.lock);
    if (object && object <= kMaxObjects && r.entries[object].count > 0) ++r.entries[object].count;
}

void IORegistry::Release(uint32_t object) {
    Registry& r = Shared();
    std::lock_guard<std::mutex> guard(r.lock);
    if (object && object <= kMaxObjects && r.entries[object].count > 0) --r.entries[object].count;
}

uint32_t IORegistry::LiveCount() {
    Registry& r = Shared();
    std::lock_guard<std::mutex> guard(r.lock);
    uint32_t n = 0;
    for (uint32_t h = 1; h <= kMaxObjects; ++h) n += r.entries[h].count > 0;
    return n;
}

uint32_t IORegistry::GetMatchingServices(Ref<const MatchingDict> dict) {
    if (!dict) return 0;
    uint32_t it = 0;
    {
        Registry& r = Shared();
        std::lock_guard<std::mutex> guard(r.lock);
        it = Allocate(r);
        if (it) {
            r.entries[it].iterator = true;
            for (uint32_t h = 1; h <= kMaxObjects; ++h) {
                const Entry& e = r.entries[h];
                if (e.count > 0 && !e.iterator && e.vendor == dict->vendor && e.product == dict->product)
                    r.entries[it].pending[h / 8] |= static_cast<uint8_t>(1u << (h % 8));
            }
        }
    }
    return it;
}

uint32_t IORegistry::IteratorNext(uint32_t iterator) {
    Registry& r = Shared();
    std::lock_guard<std::mutex> guard(r.lock);
    if (!iterator || iterator > kMaxObjects || !r.entries[iterator].iterator) return 0;
    Entry& it = r.entries[iterator];
    for (uint32_t h = 1; h <= kMaxObjects; ++h) {
        if (!(it.pending[h / 8] & (1u << (h % 8)))) continue;
        it.pending[h / 8] &= static_cast<uint8_t>(~(1u << (h % 8)));
        if (r.entries[h].count <= 0) continue;
        ++r.entries[h].count;
        return h;
    }
    return 0;
}

}  // namespace plat
