#include "Platform/Foundation/PropertyListWriter.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Platform/Foundation/Bytes.h"
#include "Platform/Foundation/TextEncoding.h"

namespace plat {

namespace {

constexpr uint32_t kMaxDepth = 256;

// A colour is written as a dictionary of its components.
Value ColorDictionary(const Color& c) {
    Dictionary d;
    d.Set("red", Value(static_cast<double>(c.red)));
    d.Set("green", Value(static_cast<double>(c.green)));
    d.Set("blue", Value(static_cast<double>(c.blue)));
    d.Set("alpha", Value(static_cast<double>(c.alpha)));
    return Value(std::move(d));
}

class BinaryWriter {
public:
    bool Write(const Value& root, ByteArray& out) {
        if (!Add(root, 0)) return false;
        const size_t count = fObjects.size();
        fRefSize = count <= 0xFF ? 1 : count <= 0xFFFF ? 2 : 4;
        out.clear();
        out.reserve(count * 16 + 64);
        out.insert(out.end(), {'b', 'p', 'l', 'i', 's', 't', '0', '0'});
        std::vector<uint64_t> offsets(count);
        for (size_t i = 0; i < count; ++i) {
            offsets[i] = out.size();
            WriteObject(fObjects[i], out);
        }
        const uint64_t table = out.size();
        const unsigned offsetSize = table <= 0xFF ? 1 : table <= 0xFFFF ? 2 : table <= 0xFFFFFFFFu ? 4 : 8;
        for (uint64_t o : offsets) PutSized(o, offsetSize, out);
        uint8_t trailer[32] = {};
        trailer[6] = static_cast<uint8_t>(offsetSize);
        trailer[7] = static_cast<uint8_t>(fRefSize);
        StoreBE64(trailer + 8, count);
        StoreBE64(trailer + 16, 0);
        StoreBE64(trailer + 24, table);
        out.insert(out.end(), trailer, trailer + 32);
        return true;
    }

private:
    enum class Kind : uint8_t { Scalar, String, Array, Dictionary };
    struct Object {
        Kind kind;
        const Value* value;       // scalars, containers
        std::string_view text;    // strings and keys
        uint32_t firstChild = 0;  // into fChildren
        uint32_t children = 0;    // references (a dictionary's keys, then its values)
    };

    uint32_t AddString(std::string_view s) {
        auto [it, added] = fStrings.try_emplace(s, static_cast<uint32_t>(fObjects.size()));
        if (added) fObjects.push_back({Kind::String, nullptr, s});
        return it->second;
    }

    bool Add(const Value& v, uint32_t depth) {
        fLast = 0;
        if (depth > kMaxDepth) return false;
        switch (v.Kind()) {
            case ValueKind::Boolean:
            case ValueKind::Number:
            case ValueKind::Data:
                fLast = static_cast<uint32_t>(fObjects.size());
                fObjects.push_back({Kind::Scalar, &v, {}});
                return true;
            case ValueKind::String:
                fLast = AddString(v.StringValue());
                return true;
            case ValueKind::Color:
                fColors.push_back(std::make_unique<Value>(ColorDictionary(v.ColorValue())));
                return Add(*fColors.back(), depth);
            case ValueKind::Array: {
                const ValueArray& a = v.ArrayValue();
                const uint32_t self = static_cast<uint32_t>(fObjects.size());
                fObjects.push_back({Kind::Array, &v, {}});
                std::vector<uint32_t> refs;
                refs.reserve(a.size());
                for (const Value& e : a) {
                    if (!Add(e, depth + 1)) return false;
                    refs.push_back(fLast);
                }
                Finish(self, refs);
                return true;
            }
            case ValueKind::Dictionary: {
                const Dictionary& d = v.DictionaryValue();
                const uint32_t self = static_cast<uint32_t>(fObjects.size());
                fObjects.push_back({Kind::Dictionary, &v, {}});
                std::vector<uint32_t> refs(d.Count() * 2);
                for (size_t i = 0; i < d.Count(); ++i) refs[i] = AddString(d.KeyAt(i));
                for (size_t i = 0; i < d.Count(); ++i) {
                    if (!Add(d.ValueAt(i), depth + 1)) return false;
                    refs[d.Count() + i] = fLast;
                }
                Finish(self, refs);
                return true;
            }
            default:
                return false;
        }
    }

    void Finish(uint32_t self, const std::vector<uint32_t>& refs) {
        fObjects[self].firstChild = static_cast<uint32_t>(fChildren.size());
        fObjects[self].children = static_cast<uint32_t>(refs.size());
        fChildren.insert(fChildren.end(), refs.begin(), refs.end());
        fLast = self;
    }

    static void PutSized(uint64_t v, unsigned bytes, ByteArray& out) {
        for (unsigned i = bytes; i-- > 0;) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }

    static void PutMarker(uint8_t type, uint64_t length, ByteArray& out) {
        if (length < 15) {
            out.push_back(static_cast<uint8_t>(type << 4 | length));
            return;
        }
        out.push_back(static_cast<uint8_t>(type << 4 | 0x0F));
        PutInteger(length, out);
    }

    static void PutInteger(uint64_t u, ByteArray& out) {
        // Negative numbers take all eight bytes.
        const unsigned log = u <= 0xFF ? 0 : u <= 0xFFFF ? 1 : u <= 0xFFFFFFFFu ? 2 : 3;
        out.push_back(static_cast<uint8_t>(0x10 | log));
        PutSized(u, 1u << log, out);
    }

    void WriteObject(const Object& o, ByteArray& out) const {
        switch (o.kind) {
            case Kind::String: {
                bool ascii = true;
                for (char c : o.text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
                if (ascii) {
                    PutMarker(0x5, o.text.size(), out);
                    out.insert(out.end(), o.text.begin(), o.text.end());
                    return;
                }
                std::u16string units;
                DecodeUtf8(reinterpret_cast<const uint8_t*>(o.text.data()), o.text.size(), units);
                PutMarker(0x6, units.size(), out);
                for (char16_t u : units) PutSized(u, 2, out);
                return;
            }
            case Kind::Array:
            case Kind::Dictionary: {
                const uint32_t n = o.kind == Kind::Array ? o.children : o.children / 2;
                PutMarker(o.kind == Kind::Array ? 0xA : 0xD, n, out);
                for (uint32_t i = 0; i < o.children; ++i)
                    PutSized(fChildren[o.firstChild + i], fRefSize, out);
                return;
            }
            case Kind::Scalar:
                break;
        }
        const Value& v = *o.value;
        switch (v.Kind()) {
            case ValueKind::Boolean:
                out.push_back(v.BoolValue() ? 0x09 : 0x08);
                return;
            case ValueKind::Number:
                if (v.IsInteger()) {
                    PutInteger(static_cast<uint64_t>(v.IntegerValue()), out);
                } else {
                    uint64_t bits;
                    const double d = v.NumberValue();
                    std::memcpy(&bits, &d, sizeof bits);
                    out.push_back(0x23);
                    PutSized(bits, 8, out);
                }
                return;
            case ValueKind::Data: {
                const ByteArray& d = v.DataValue();
                PutMarker(0x4, d.size(), out);
                out.insert(out.end(), d.begin(), d.end());
                return;
            }
            default:
                return;
        }
    }

    std::vector<Object> fObjects;
    std::vector<uint32_t> fChildren;
    std::unordered_map<std::string_view, uint32_t> fStrings;
    std::vector<std::unique_ptr<Value>> fColors;
    unsigned fRefSize = 1;
    uint32_t fLast = 0;
};

class XmlWriter {
public:
    explicit XmlWriter(ByteArray& out) : fOut(out) {}

    bool Write(const Value& root) {
        Put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n");
        if (!Node(root, 0)) return false;
        Put("</plist>\n");
        return true;
    }

private:
    void Put(std::string_view s) { fOut.insert(fOut.end(), s.begin(), s.end()); }
    void Indent(uint32_t depth) { fOut.insert(fOut.end(), depth, '\t'); }

    void Escaped(std::string_view s) {
        size_t run = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            const char* entity = nullptr;
            switch (s[i]) {
                case '&':
                    entity = "&amp;";
                    break;
                case '<':
                    entity = "&lt;";
                    break;
                case '>':
                    entity = "&gt;";
                    break;
                default:
                    continue;
            }
            Put(s.substr(run, i - run));
            Put(entity);
            run = i + 1;
        }
        Put(s.substr(run));
    }

    void Element(uint32_t depth, std::string_view name, std::string_view text, bool escape) {
        Indent(depth);
        Put("<");
        Put(name);
        Put(">");
        if (escape)
            Escaped(text);
        else
            Put(text);
        Put("</");
        Put(name);
        Put(">\n");
    }

    void Base64(const ByteArray& d) {
        static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        size_t i = 0;
        for (; i + 3 <= d.size(); i += 3) {
            const uint32_t n = uint32_t{d[i]} << 16 | uint32_t{d[i + 1]} << 8 | d[i + 2];
            const char chunk[4] = {kDigits[n >> 18], kDigits[(n >> 12) & 63], kDigits[(n >> 6) & 63],
                                   kDigits[n & 63]};
            fOut.insert(fOut.end(), chunk, chunk + 4);
        }
        if (i < d.size()) {
            const uint32_t n = uint32_t{d[i]} << 16 | (i + 1 < d.size() ? uint32_t{d[i + 1]} << 8 : 0);
            const char chunk[4] = {kDigits[n >> 18], kDigits[(n >> 12) & 63],
                                   i + 1 < d.size() ? kDigits[(n >> 6) & 63] : '=', '='};
            fOut.insert(fOut.end(), chunk, chunk + 4);
        }
    }

    bool Node(const Value& v, uint32_t depth) {
        if (depth > kMaxDepth) return false;
        char buf[64];
        switch (v.Kind()) {
            case ValueKind::Boolean:
                Indent(depth);
                Put(v.BoolValue() ? "<true/>\n" : "<false/>\n");
                return true;
            case ValueKind::Number: {
                if (v.IsInteger()) {
                    auto r = std::to_chars(buf, buf + sizeof buf, v.IntegerValue());
                    Element(depth, "integer", std::string_view(buf, r.ptr - buf), false);
                    return true;
                }
                const double d = v.NumberValue();
                std::string_view text;
                if (std::isnan(d)) {
                    text = "nan";
                } else if (std::isinf(d)) {
                    text = d < 0 ? "-inf" : "+inf";
                } else {
                    auto r = std::to_chars(buf, buf + sizeof buf, d);
                    text = std::string_view(buf, r.ptr - buf);
                }
                Element(depth, "real", text, false);
                return true;
            }
            case ValueKind::String:
                Element(depth, "string", v.StringValue(), true);
                return true;
            case ValueKind::Data:
                Indent(depth);
                Put("<data>");
                Base64(v.DataValue());
                Put("</data>\n");
                return true;
            case ValueKind::Color:
                return Node(ColorDictionary(v.ColorValue()), depth);
            case ValueKind::Array: {
                const ValueArray& a = v.ArrayValue();
                Indent(depth);
                if (a.empty()) {
                    Put("<array/>\n");
                    return true;
                }
                Put("<array>\n");
                for (const Value& e : a)
                    if (!Node(e, depth + 1)) return false;
                Indent(depth);
                Put("</array>\n");
                return true;
            }
            case ValueKind::Dictionary: {
                const Dictionary& d = v.DictionaryValue();
                Indent(depth);
                if (d.Empty()) {
                    Put("<dict/>\n");
                    return true;
                }
                Put("<dict>\n");
                for (const auto& [key, e] : d) {
                    Element(depth + 1, "key", key, true);
                    if (!Node(e, depth + 1)) return false;
                }
                Indent(depth);
                Put("</dict>\n");
                return true;
            }
            default:
                return false;
        }
    }

    ByteArray& fOut;
};

}  // namespace

bool WriteBinaryPropertyList(const Value& value, ByteArray& out) {
    out.clear();
    if (!BinaryWriter().Write(value, out)) {
        out.clear();
        return false;
    }
    return true;
}

bool WriteXmlPropertyList(const Value& value, ByteArray& out) {
    out.clear();
    if (!XmlWriter(out).Write(value)) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace plat
