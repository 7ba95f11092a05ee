#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Platform/Foundation/PropertyList.h"

namespace plat {

// Reads a binary property list ("bplist00") straight into a Value, in time linear in its size, after
// CheckBinaryPropertyList has passed it. Values are what libplist's reading gives. An object referenced from
// several places is decoded once and shared; the limits still count every place it appears.
class BinaryPropertyListReader {
public:
    BinaryPropertyListReader(const uint8_t* data, size_t size, const PropertyListLimits& limits);
    [[nodiscard]] bool Read(Value& out);

private:
    struct Cost {
        size_t nodes = 0;
        uint64_t bytes = 0;
        uint32_t height = 0;
    };

    bool Decode(size_t index, uint32_t depth, Value& out, Cost& cost);
    bool DecodeObject(size_t index, uint32_t depth, Value& out, Cost& cost);
    bool DecodeString(size_t pos, uint8_t type, uint64_t length, std::string& out) const;
    uint64_t ReadSized(size_t pos, unsigned bytes) const;
    bool Length(size_t& pos, uint8_t low, uint64_t& length) const;

    const uint8_t* fData;
    size_t fSize;
    const PropertyListLimits& fLimits;
    unsigned fOffsetSize = 0, fRefSize = 0;
    size_t fCount = 0, fTableOffset = 0;
    std::vector<uint8_t> fShared;
    // Objects referenced from several places, once decoded.
    std::unordered_map<size_t, std::pair<Value, Cost>> fDone;
};

}  // namespace plat
