#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Platform/Foundation/Value.h"

namespace plat {

enum class PropertyListFormat : uint8_t { Xml, Binary };

// Bounds for lists read from outside. A binary list may share one object between many parents;
// the node and byte counts are those of the fully expanded tree.
struct PropertyListLimits {
    size_t maxInputBytes = 16u << 20;
    uint32_t maxDepth = 64;
    size_t maxNodes = 1u << 20;
    size_t maxExpandedBytes = 64u << 20;
};

// Reads an XML or binary property list (told apart by the "bplist00" header). Integers become
// integer numbers, reals numbers, dates numbers (seconds since 2001-01-01 UTC), UIDs integers, data
// byte arrays. False, with out null, for anything malformed or beyond the limits.
[[nodiscard]] bool ReadPropertyList(const uint8_t* data, size_t size, Value& out,
                                    PropertyListFormat* format = nullptr,
                                    const PropertyListLimits& limits = {});
bool ReadPropertyListFile(const std::string& path, Value& out, PropertyListFormat* format = nullptr,
                          const PropertyListLimits& limits = {});

// Writes booleans, numbers, strings, arrays, dictionaries and data; a colour is written as a
// dictionary of "red", "green", "blue", "alpha". Null, images and pointers cannot be written (false).
[[nodiscard]] bool WritePropertyList(const Value& value, PropertyListFormat format, ByteArray& out);
// Writes next to the file and renames over it, so a failed save leaves the previous file.
[[nodiscard]] bool WritePropertyListFile(const std::string& path, const Value& value,
                                         PropertyListFormat format);

}  // namespace plat
