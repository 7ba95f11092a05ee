// Property lists from outside: our readers against libplist's reading of the same bytes, and the
// round trip through the writer. Whatever we read, libplist must read too, to the same value.
//
// Where libplist reads on past what a property list can hold, ours refuses, and the input is not
// compared further: NUL bytes; text or elements after the value (libplist appends elements after
// </plist> to a root array); keys outside dictionaries or twice in a row (libplist makes them
// strings); "<plist/>" or a second plist element; entities named by a prefix ("&ltx;" is '<' to
// libplist); a '&' without ';' before more text; junk after numbers or in booleans (libplist reads
// the leading number or ignores it); dates not in "YYYY-MM-DDTHH:MM:SSZ"; base64 with stray
// characters, short groups or padding inside (libplist drops short groups, and indexes its table
// with bytes above 0x7F as negative numbers); comments or CDATA inside numbers, dates and data
// (data that starts with a comment is empty to libplist); unterminated comments or declarations
// after the value. Our limits also count values that a repeated key replaces.
#include <plist/plist.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/PropertyListCheck.h"
#include "Platform/Foundation/TextEncoding.h"

namespace plat {
namespace {

// libplist's tree as a Value, with the limits counted as the reader counts them.
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

bool ReadWithLibplist(const uint8_t* data, size_t size, const PropertyListLimits& limits, Value& out) {
    if (!CheckBinaryPropertyList(data, size, limits)) return false;
    plist_t root = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size), &root);
    if (!root) return false;
    bool ok = Converter(limits).Convert(root, out, 1);
    plist_free(root);
    return ok;
}

// libplist's XML parser recurses once per nested plist element without a bound: such input is not
// given to it.
bool SafeForLibplistXml(const uint8_t* data, size_t size, const PropertyListLimits& limits) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    size_t plists = 0;
    for (size_t at = text.find("<plist"); at != std::string_view::npos; at = text.find("<plist", at + 1))
        if (++plists > limits.maxDepth) return false;
    return true;
}

// It also reads one byte past the end at times; a NUL stops it there.
bool ReadXmlWithLibplist(const uint8_t* data, size_t size, const PropertyListLimits& limits, Value& out) {
    if (!CheckXmlPropertyList(data, size, limits)) return false;
    const std::string text(reinterpret_cast<const char*>(data), size);
    plist_t root = nullptr;
    plist_from_xml(text.c_str(), static_cast<uint32_t>(size), &root);
    if (!root) return false;
    bool ok = Converter(limits).Convert(root, out, 1);
    plist_free(root);
    return ok;
}

}  // namespace
}  // namespace plat

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    plat::PropertyListLimits limits;
    limits.maxNodes = 4096;
    limits.maxExpandedBytes = 1u << 20;
    plat::Value root;
    const bool ok = plat::ReadPropertyList(data, size, root, nullptr, limits);
    if (size >= 8 && std::memcmp(data, "bplist00", 8) == 0) {
        plat::Value theirs;
        const bool theirsOk = plat::ReadWithLibplist(data, size, limits, theirs);
        if (ok != theirsOk || !(root == theirs)) std::abort();
    } else if (ok && plat::SafeForLibplistXml(data, size, limits)) {
        plat::Value theirs;
        if (!plat::ReadXmlWithLibplist(data, size, limits, theirs) || !(root == theirs)) std::abort();
    }
    if (!ok) return 0;
    for (plat::PropertyListFormat format :
         {plat::PropertyListFormat::Xml, plat::PropertyListFormat::Binary}) {
        plat::ByteArray bytes;
        if (!plat::WritePropertyList(root, format, bytes)) continue;
        plat::Value back;
        if (!plat::ReadPropertyList(bytes.data(), bytes.size(), back) || !(back == root)) std::abort();
    }
    return 0;
}
