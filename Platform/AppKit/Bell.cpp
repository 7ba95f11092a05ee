#include "Platform/AppKit/Bell.h"

#include <atomic>

namespace plat {

namespace {

std::atomic<Bell::Ringer> gRinger{nullptr};
std::atomic<uint32_t> gRings{0};

}  // namespace

void Bell::Ring() {
    gRings.fetch_add(1, std::memory_order_relaxed);
    if (Ringer r = gRinger.load()) r();
}

void Bell::SetRinger(Ringer ringer) {
    gRinger.store(ringer);
}

uint32_t Bell::RingCount() {
    return gRings.load(std::memory_order_relaxed);
}

}  // namespace plat
