#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Platform/Foundation/PropertyList.h"

namespace plat {

// Structural checks run before a list reaches libplist, whose parsers and tree walks recurse and
// copy shared binary objects without bounds of their own.

// Binary lists: trailer and offset table in range, every reachable object inside the object area, no
// reference cycles, no NUL characters in strings, and the expanded tree within the depth, node and
// byte limits. With shared, marks (1) each object referenced from more than one place.
bool CheckBinaryPropertyList(const uint8_t* data, size_t size, const PropertyListLimits& limits,
                             std::vector<uint8_t>* shared = nullptr);

// XML lists: nesting of array and dict elements (outside comments, CDATA and declarations) within the
// depth limit, and no more element tags than the node limit.
bool CheckXmlPropertyList(const uint8_t* data, size_t size, const PropertyListLimits& limits);

}  // namespace plat
