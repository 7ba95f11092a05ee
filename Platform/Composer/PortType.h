#pragma once

#include <cstdint>
#include <string_view>

#include "Platform/Foundation/Value.h"

namespace plat {

// Port types, numbered as the engine numbers parameter kinds.
enum class PortType : uint8_t {
    Other = 0,
    Boolean = 1,
    Index = 2,
    Number = 3,
    String = 4,
    Color = 5,
    Image = 6,
    Structure = 7,
};

// The type attribute's text for a type ("" for Other), and back (Other for anything unknown).
const char* PortTypeName(PortType type);
PortType PortTypeFromName(std::string_view name);

// A value as a port of that type holds it. Values that do not convert (a string to a colour, a
// number to an image) give false and leave out unchanged. Null stays null in colour, image and
// structure ports (absent). Other ports take any value as it is.
[[nodiscard]] bool ConvertForPort(const Value& in, PortType type, Value& out);

// The value a port of that type holds before anything is set.
Value DefaultForPort(PortType type);

}  // namespace plat
