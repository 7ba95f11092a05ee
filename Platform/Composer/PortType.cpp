#include "Platform/Composer/PortType.h"

#include "Platform/Composer/CompositionKeys.h"

namespace plat {

namespace {

struct TypeName {
    PortType type;
    const char* name;
};

constexpr TypeName kTypeNames[] = {
    {PortType::Boolean, kPortTypeBoolean},     {PortType::Index, kPortTypeIndex},
    {PortType::Number, kPortTypeNumber},       {PortType::String, kPortTypeString},
    {PortType::Color, kPortTypeColor},         {PortType::Image, kPortTypeImage},
    {PortType::Structure, kPortTypeStructure},
};

}  // namespace

const char* PortTypeName(PortType type) {
    for (const TypeName& t : kTypeNames)
        if (t.type == type) return t.name;
    return "";
}

PortType PortTypeFromName(std::string_view name) {
    for (const TypeName& t : kTypeNames)
        if (name == t.name) return t.type;
    return PortType::Other;
}

bool ConvertForPort(const Value& in, PortType type, Value& out) {
    switch (type) {
        case PortType::Boolean:
            if (in.Kind() != ValueKind::Boolean && in.Kind() != ValueKind::Number &&
                in.Kind() != ValueKind::String)
                return false;
            out = Value(in.ToBool());
            return true;
        case PortType::Index:
        case PortType::Number:
            if (in.Kind() != ValueKind::Boolean && in.Kind() != ValueKind::Number &&
                in.Kind() != ValueKind::String)
                return false;
            out = type == PortType::Index ? Value(in.ToIndex()) : Value(in.ToNumber());
            return true;
        case PortType::String:
            if (in.Kind() == ValueKind::Image || in.Kind() == ValueKind::Pointer ||
                in.Kind() == ValueKind::Dictionary || in.Kind() == ValueKind::Data)
                return false;
            out = Value(in.ToText());
            return true;
        case PortType::Color: {
            // Null is an absent colour.
            if (in.IsNull()) {
                out = in;
                return true;
            }
            Color c;
            if (!in.ToColor(c)) return false;
            out = Value(c);
            return true;
        }
        case PortType::Image:
            if (in.Kind() != ValueKind::Image && !in.IsNull()) return false;
            out = in;
            return true;
        case PortType::Structure:
            if (in.Kind() != ValueKind::Array && in.Kind() != ValueKind::Dictionary && !in.IsNull())
                return false;
            out = in;
            return true;
        case PortType::Other:
            out = in;
            return true;
    }
    return false;
}

Value DefaultForPort(PortType type) {
    switch (type) {
        case PortType::Boolean:
            return Value(false);
        case PortType::Index:
            return Value(uint32_t{0});
        case PortType::Number:
            return Value(0.0);
        case PortType::String:
            return Value(std::string());
        case PortType::Color:
            return Value(Color{0, 0, 0, 1});
        default:
            return Value();
    }
}

}  // namespace plat
