#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Platform/Foundation/Object.h"

namespace plat {

// Platform/Composer's image. A value holds it as a plat::Object; the image-typed calls below are
// templates, so that only code that sees the whole Image type instantiates them.
class Image;
class Value;
class Dictionary;

using ValueArray = std::vector<Value>;
using ByteArray = std::vector<uint8_t>;

// Red, green, blue, alpha in 0..1 (not clamped).
struct Color {
    float red = 0, green = 0, blue = 0, alpha = 1;
    bool operator==(const Color&) const = default;
};

enum class ValueKind : uint8_t {
    Null,
    Boolean,
    Number,
    String,
    Color,
    Array,
    Dictionary,
    Data,
    Image,
    Pointer,
};

// A value crossing composition ports or read from a property list. Copies are cheap: strings,
// arrays, dictionaries and data are shared and copied on the first change.
class Value {
public:
    Value() = default;
    Value(bool b);
    Value(int v) : Value(static_cast<int64_t>(v)) {}
    Value(int64_t v);
    Value(uint32_t v) : Value(static_cast<int64_t>(v)) {}
    Value(double v);
    Value(float v) : Value(static_cast<double>(v)) {}
    Value(const char* s) : Value(std::string(s)) {}
    Value(std::string_view s) : Value(std::string(s)) {}
    Value(std::string s);
    Value(const Color& c);
    Value(ValueArray a);
    Value(Dictionary d);
    Value(ByteArray bytes);
    // Holds one reference to the image (none for null, which gives a null value).
    template <typename I>
    requires std::is_base_of_v<Image, I>
    explicit Value(const I* image) : Value(static_cast<const Object*>(image), ImageTag{}) {}
    static Value FromPointer(void* pointer);
    // Other pointers would silently become booleans.
    template <typename T>
    requires(!std::is_base_of_v<Image, T> && !std::is_same_v<std::remove_cv_t<T>, char>) Value(T*)
    = delete;

    Value(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept;
    ~Value();

    ValueKind Kind() const { return fKind; }
    bool IsNull() const { return fKind == ValueKind::Null; }
    // A number that came from an integer (written back as one).
    bool IsInteger() const { return fKind == ValueKind::Number && fInteger; }

    // Direct access; the wrong kind gives false, 0, an empty string, array or dictionary.
    bool BoolValue() const { return fKind == ValueKind::Boolean && fBool; }
    double NumberValue() const;
    int64_t IntegerValue() const;
    const std::string& StringValue() const;
    Color ColorValue() const { return fKind == ValueKind::Color ? fColor : Color{}; }
    const ValueArray& ArrayValue() const;
    const Dictionary& DictionaryValue() const;
    const ByteArray& DataValue() const;
    template <typename I = Image>
    const I* ImageValue() const {
        return fKind == ValueKind::Image ? static_cast<const I*>(fImage) : nullptr;
    }
    void* PointerValue() const { return fKind == ValueKind::Pointer ? fPointer : nullptr; }

    // Mutable containers, copied first when shared. The wrong kind makes the value empty of that kind.
    ValueArray& MutableArray();
    Dictionary& MutableDictionary();

    // Conversions as ports apply them.
    bool ToBool() const;         // numbers: non-zero; strings: their number
    double ToNumber() const;     // booleans 0/1; strings parsed as a leading decimal number
    uint32_t ToIndex() const;    // the number truncated, not below 0 nor above UINT32_MAX
    std::string ToText() const;  // numbers shortest decimal, booleans "1"/"0", arrays joined by ", "
    // Colour from a colour, an array of 3 or 4 numbers, or a dictionary of "red", "green", "blue"
    // and "alpha" (alpha 1 when absent). False for anything else.
    bool ToColor(Color& out) const;
    // Each element as text; a non-array value is one element, null none.
    std::vector<std::string> ToTextArray() const;

    // Lookups that pass over missing steps: a key on a non-dictionary or an index out of range gives null.
    const Value& operator[](std::string_view key) const;
    const Value& At(size_t index) const;

    // Same kind and contents (NaN equals NaN; images and pointers by identity).
    bool operator==(const Value& other) const;

    static const Value& Null();

private:
    struct ImageTag {};
    Value(const Object* image, ImageTag);
    void Reset();
    void CopyFrom(const Value& other);

    ValueKind fKind = ValueKind::Null;
    bool fInteger = false;
    union {
        bool fBool;
        double fReal;
        int64_t fInt;
        Color fColor{};
        const Object* fImage;
        void* fPointer;
    };
    std::shared_ptr<void> fShared;  // string, array, dictionary or data
};

// Dictionary with string keys that keeps the order in which keys were first set.
class Dictionary {
public:
    size_t Count() const { return fEntries.size(); }
    bool Empty() const { return fEntries.empty(); }
    const std::string& KeyAt(size_t i) const { return fEntries[i].first; }
    const Value& ValueAt(size_t i) const { return fEntries[i].second; }

    const Value* Find(std::string_view key) const;
    // The value under key, or null.
    const Value& Get(std::string_view key) const;
    const Value& operator[](std::string_view key) const { return Get(key); }
    bool Contains(std::string_view key) const { return Find(key) != nullptr; }

    // Replaces in place, or appends a new key at the end.
    void Set(std::string_view key, Value value);
    // Room for count entries, for callers that know how many will come.
    void Reserve(size_t count) { fEntries.reserve(count); }
    bool Remove(std::string_view key);
    void Clear();

    auto begin() const { return fEntries.begin(); }
    auto end() const { return fEntries.end(); }

    bool operator==(const Dictionary& other) const;

private:
    long IndexOf(std::string_view key) const;
    void Reindex();

    std::vector<std::pair<std::string, Value>> fEntries;
    // Built once a dictionary grows past a few keys.
    std::unordered_map<std::string, size_t> fIndex;
};

}  // namespace plat
