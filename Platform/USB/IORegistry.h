#pragma once

#include <cstdint>

#include "Platform/Foundation/Object.h"

namespace plat {

// Device-registry objects and iterators as opaque u32 handles (0 = none) with reference counts.
// A matching dictionary is a retained object that a lookup consumes.
class MatchingDict : public Object {
public:
    MatchingDict(uint16_t vendor, uint16_t product) : vendor(vendor), product(product) {}
    const uint16_t vendor;
    const uint16_t product;
};

class IORegistry {
public:
    // A registered object (count 1) standing for a device; 0 when the table is full.
    static uint32_t AddDevice(uint16_t vendor, uint16_t product);
    static void Retain(uint32_t object);
    static void Release(uint32_t object);
    // Objects alive (count above zero).
    static uint32_t LiveCount();
    // Takes the dictionary's reference; returns an iterator over the matching devices (0 when
    // none could be made).
    static uint32_t GetMatchingServices(Ref<const MatchingDict> dict);
    // The next object of an iterator, retained for the caller; 0 at the end.
    static uint32_t IteratorNext(uint32_t iterator);
};

}  // namespace plat
