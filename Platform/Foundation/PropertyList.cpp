#include "Platform/Foundation/PropertyList.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "Platform/Foundation/BinaryPropertyListReader.h"
#include "Platform/Foundation/FileIO.h"
#include "Platform/Foundation/PropertyListCheck.h"
#include "Platform/Foundation/PropertyListWriter.h"
#include "Platform/Foundation/TextEncoding.h"
#include "Platform/Foundation/XmlPropertyListReader.h"

namespace plat {

namespace {

bool BadText(std::string_view s) {
    return s.find('\0') != std::string_view::npos || !IsValidUtf8(s);
}

// Texts libplist would cut short or mangle: embedded NULs and invalid UTF-8.
bool ContainsBadText(const Value& v, uint32_t depth) {
    if (depth > 256) return true;
    switch (v.Kind()) {
        case ValueKind::String:
            return BadText(v.StringValue());
        case ValueKind::Array:
            for (const Value& e : v.ArrayValue())
                if (ContainsBadText(e, depth + 1)) return true;
            return false;
        case ValueKind::Dictionary:
            for (const auto& [key, e] : v.DictionaryValue())
                if (BadText(key) || ContainsBadText(e, depth + 1)) return true;
            return false;
        default:
            return false;
    }
}

}  // namespace

bool ReadPropertyList(const uint8_t* data, size_t size, Value& out, PropertyListFormat* format,
                      const PropertyListLimits& limits) {
    out = Value();
    if (!data || size == 0 || size > limits.maxInputBytes || size > UINT32_MAX) return false;
    bool binary = size >= 8 && std::memcmp(data, "bplist00", 8) == 0;
    Value v;
    if (binary) {
        if (!BinaryPropertyListReader(data, size, limits).Read(v)) return false;
    } else {
        if (!CheckXmlPropertyList(data, size, limits)) return false;
        if (!XmlPropertyListReader(data, size, limits).Read(v)) return false;
    }
    out = std::move(v);
    if (format) *format = binary ? PropertyListFormat::Binary : PropertyListFormat::Xml;
    return true;
}

bool ReadPropertyListFile(const std::string& path, Value& out, PropertyListFormat* format,
                          const PropertyListLimits& limits) {
    out = Value();
    std::string bytes;
    if (ReadWholeFile(path, limits.maxInputBytes, bytes) != ReadFileResult::kOk) return false;
    return ReadPropertyList(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out, format,
                            limits);
}

bool WritePropertyList(const Value& value, PropertyListFormat format, ByteArray& out) {
    out.clear();
    if (ContainsBadText(value, 0)) return false;
    return format == PropertyListFormat::Binary ? WriteBinaryPropertyList(value, out)
                                                : WriteXmlPropertyList(value, out);
}

bool WritePropertyListFile(const std::string& path, const Value& value, PropertyListFormat format) {
    ByteArray bytes;
    if (!WritePropertyList(value, format, bytes)) return false;
    return WriteFileAtomically(path, bytes.data(), bytes.size(), {.mode = 0644});
}

}  // namespace plat
