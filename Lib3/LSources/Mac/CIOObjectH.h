#pragma once

#include <cstdint>

namespace plat {
class MatchingDict;
}

// Holds one reference to a device-registry object (0 = none).
class CIOObjectH {
public:
    CIOObjectH() = default;
    // Adopts a reference the caller owns.
    explicit CIOObjectH(uint32_t object) : fObject(object) {}
    CIOObjectH(const CIOObjectH& other);
    CIOObjectH& operator=(const CIOObjectH& other);
    // Retains the new object, then releases the old one.
    CIOObjectH& operator=(uint32_t object);
    ~CIOObjectH() { Release(); }

    void Release();
    uint32_t Get() const { return fObject; }

private:
    uint32_t fObject = 0;
};

// An iterator over the registry objects matching a dictionary.
class CIOIterator {
public:
    // Keeps the caller's reference to the dictionary: the lookup consumes an extra one.
    explicit CIOIterator(const plat::MatchingDict* dict);
    ~CIOIterator();
    CIOIterator(const CIOIterator&) = delete;
    CIOIterator& operator=(const CIOIterator&) = delete;

    // The next object (a reference for the caller to release); 0 at the end.
    uint32_t Next();
    // Takes and releases every remaining object.
    void Drain();
    uint32_t Get() const { return fIterator; }

private:
    uint32_t fIterator = 0;
};
