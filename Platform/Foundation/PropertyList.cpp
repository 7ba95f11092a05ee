#include "Platform/Foundation/PropertyList.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "Platform/Foundation/BinaryPropertyListReader.h"
#include "Platform/Foundation/FileIO.h"
#include "Platform/Foundation/PropertyListCheck.h"
#include "Platform/Foundation/PropertyListWriter.h"
#include "Platform/Foundation/TextEncoding.h"

namespace plat {

namespace {

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

class Converter {
public:
    explicit Converter(const PropertyListLimits& limits) : fLimits(limits) {}

    bool Convert(plist_t node, Value& out, uint32_t depth) {
        if (depth > fLimits.maxDepth || ++fNodes > fLimits.maxNodes) return false;
        switch (plist_get_node_type(node)) {
            case PLIST_BOOLEAN: {
                uint8_t b = 0;
                plist_get_bool_val(node, &b);
                out = Value(b != 0);
                return true;
            }
            case PLIST_UINT: {
                // libplist keeps negative integers as their two's complement.
                uint64_t u = 0;
                plist_get_uint_val(node, &u);
                out = Value(static_cast<int64_t>(u));
                return true;
            }
            case PLIST_UID: {
                uint64_t u = 0;
                plist_get_uid_val(node, &u);
                out = Value(static_cast<int64_t>(u));
                return true;
            }
            case PLIST_REAL: {
                double d = 0;
                plist_get_real_val(node, &d);
                out = Value(d);
                return true;
            }
            case PLIST_DATE: {
                int32_t sec = 0, usec = 0;
                plist_get_date_val(node, &sec, &usec);
                out = Value(static_cast<double>(sec) + usec / 1e6);
                return true;
            }
            case PLIST_STRING:
            case PLIST_KEY: {
                uint64_t length = 0;
                const char* p = plist_get_string_ptr(node, &length);
                if (!Account(length)) return false;
                out = Value(ValidUtf8(std::string_view(p ? p : "", p ? length : 0)));
                return true;
            }
            case PLIST_DATA: {
                uint64_t length = 0;
                const char* p = plist_get_data_ptr(node, &length);
                if (!Account(length)) return false;
                const uint8_t* b = reinterpret_cast<const uint8_t*>(p);
                out = Value(ByteArray(b, b + (p ? length : 0)));
                return true;
            }
            case PLIST_ARRAY: {
                uint32_t n = plist_array_get_size(node);
                if (!Account(uint64_t{n} * sizeof(Value))) return false;
                ValueArray a;
                a.reserve(n);
                // Arrays parsed from binary lists have no index: going by position would walk the
                // list from its start for every element.
                plist_array_iter it = nullptr;
                plist_array_new_iter(node, &it);
                if (!it) return false;
                bool ok = true;
                for (uint32_t i = 0; ok && i < n; ++i) {
                    plist_t item = nullptr;
                    plist_array_next_item(node, it, &item);
                    Value v;
                    ok = item && Convert(item, v, depth + 1);
                    if (ok) a.push_back(std::move(v));
                }
                std::free(it);
                if (!ok) return false;
                out = Value(std::move(a));
                return true;
            }
            case PLIST_DICT: {
                Dictionary d;
                d.Reserve(plist_dict_get_size(node));
                plist_dict_iter it = nullptr;
                plist_dict_new_iter(node, &it);
                if (!it) return false;
                bool ok = true;
                for (;;) {
                    char* key = nullptr;
                    plist_t item = nullptr;
                    plist_dict_next_item(node, it, &key, &item);
                    if (!item) {
                        std::free(key);
                        break;
                    }
                    Value v;
                    ok = key && Account(std::strlen(key) + sizeof(Value)) && Convert(item, v, depth + 1);
                    if (ok) d.Set(ValidUtf8(key), std::move(v));
                    std::free(key);
                    if (!ok) break;
                }
                std::free(it);
                if (!ok) return false;
                out = Value(std::move(d));
                return true;
            }
            default:
                return false;
        }
    }

private:
    bool Account(uint64_t bytes) {
        if (bytes > fLimits.maxExpandedBytes - fBytes) return false;
        fBytes += bytes;
        return true;
    }

    const PropertyListLimits& fLimits;
    size_t fNodes = 0;
    uint64_t fBytes = 0;
};

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
        plist_t root = nullptr;
        plist_from_xml(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size), &root);
        if (!root) return false;
        PlistPtr holder(root);
        if (!Converter(limits).Convert(root, v, 1)) return false;
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
