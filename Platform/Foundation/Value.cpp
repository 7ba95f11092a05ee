#include "Platform/Foundation/Value.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace plat {

namespace {

const std::string kEmptyString{};
const ValueArray kEmptyArray{};
const Dictionary kEmptyDictionary{};
const ByteArray kEmptyData{};
const Value kNull{};

// Dictionaries up to this size are searched linearly.
constexpr size_t kIndexThreshold = 12;

double ParseLeadingNumber(const std::string& s) {
    const char* p = s.data();
    const char* end = p + s.size();
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
    if (p < end && *p == '+') ++p;
    double d = 0;
    auto [ptr, ec] = std::from_chars(p, end, d);
    if (ec != std::errc()) return 0;
    return d;
}

std::string FormatNumber(double d, bool integer, int64_t i) {
    char buf[64];
    if (integer) {
        auto r = std::to_chars(buf, buf + sizeof buf, i);
        return std::string(buf, r.ptr);
    }
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d < 0 ? "-inf" : "inf";
    // Whole numbers in plain digits rather than exponent form.
    bool whole = d == std::trunc(d) && std::fabs(d) < 1e15;
    auto r = whole ? std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed)
                   : std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, r.ptr);
}

// Equality in which NaN equals NaN, so that a value always equals its copy.
bool SameNumber(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

}  // namespace

Value::Value(bool b) : fKind(ValueKind::Boolean), fBool(b) {}
Value::Value(int64_t v) : fKind(ValueKind::Number), fInteger(true), fInt(v) {}
Value::Value(double v) : fKind(ValueKind::Number), fReal(v) {}
Value::Value(std::string s)
    : fKind(ValueKind::String), fReal(0), fShared(std::make_shared<std::string>(std::move(s))) {}
Value::Value(const Color& c) : fKind(ValueKind::Color), fColor(c) {}
Value::Value(ValueArray a)
    : fKind(ValueKind::Array), fReal(0), fShared(std::make_shared<ValueArray>(std::move(a))) {}
Value::Value(Dictionary d)
    : fKind(ValueKind::Dictionary), fReal(0), fShared(std::make_shared<Dictionary>(std::move(d))) {}
Value::Value(ByteArray bytes)
    : fKind(ValueKind::Data), fReal(0), fShared(std::make_shared<ByteArray>(std::move(bytes))) {}

Value::Value(const Object* image, ImageTag) {
    if (!image) return;
    image->Retain();
    fKind = ValueKind::Image;
    fImage = image;
}

Value Value::FromPointer(void* pointer) {
    Value v;
    v.fKind = ValueKind::Pointer;
    v.fPointer = pointer;
    return v;
}

Value::Value(const Value& other) {
    CopyFrom(other);
}

Value::Value(Value&& other) noexcept
    : fKind(other.fKind), fInteger(other.fInteger), fShared(std::move(other.fShared)) {
    std::memcpy(&fColor, &other.fColor, sizeof fColor);
    static_assert(sizeof(Color) >= sizeof(double) && sizeof(Color) >= sizeof(void*));
    other.fKind = ValueKind::Null;
}

Value& Value::operator=(const Value& other) {
    if (this != &other) {
        Reset();
        CopyFrom(other);
    }
    return *this;
}

Value& Value::operator=(Value&& other) noexcept {
    if (this != &other) {
        Reset();
        fKind = other.fKind;
        fInteger = other.fInteger;
        std::memcpy(&fColor, &other.fColor, sizeof fColor);
        fShared = std::move(other.fShared);
        other.fKind = ValueKind::Null;
    }
    return *this;
}

Value::~Value() {
    Reset();
}

void Value::Reset() {
    if (fKind == ValueKind::Image) fImage->Release();
    fShared.reset();
    fKind = ValueKind::Null;
    fInteger = false;
}

void Value::CopyFrom(const Value& other) {
    fKind = other.fKind;
    fInteger = other.fInteger;
    std::memcpy(&fColor, &other.fColor, sizeof fColor);
    fShared = other.fShared;
    if (fKind == ValueKind::Image) fImage->Retain();
}

double Value::NumberValue() const {
    if (fKind != ValueKind::Number) return 0;
    return fInteger ? static_cast<double>(fInt) : fReal;
}

int64_t Value::IntegerValue() const {
    if (fKind != ValueKind::Number) return 0;
    if (fInteger) return fInt;
    if (std::isnan(fReal)) return 0;
    if (fReal >= 9.2e18) return INT64_MAX;
    if (fReal <= -9.2e18) return INT64_MIN;
    return static_cast<int64_t>(fReal);
}

const std::string& Value::StringValue() const {
    return fKind == ValueKind::String ? *static_cast<const std::string*>(fShared.get()) : kEmptyString;
}

const ValueArray& Value::ArrayValue() const {
    return fKind == ValueKind::Array ? *static_cast<const ValueArray*>(fShared.get()) : kEmptyArray;
}

const Dictionary& Value::DictionaryValue() const {
    return fKind == ValueKind::Dictionary ? *static_cast<const Dictionary*>(fShared.get()) : kEmptyDictionary;
}

const ByteArray& Value::DataValue() const {
    return fKind == ValueKind::Data ? *static_cast<const ByteArray*>(fShared.get()) : kEmptyData;
}

ValueArray& Value::MutableArray() {
    if (fKind != ValueKind::Array)
        *this = Value(ValueArray());
    else if (fShared.use_count() > 1)
        fShared = std::make_shared<ValueArray>(*static_cast<const ValueArray*>(fShared.get()));
    return *static_cast<ValueArray*>(fShared.get());
}

Dictionary& Value::MutableDictionary() {
    if (fKind != ValueKind::Dictionary)
        *this = Value(Dictionary());
    else if (fShared.use_count() > 1)
        fShared = std::make_shared<Dictionary>(*static_cast<const Dictionary*>(fShared.get()));
    return *static_cast<Dictionary*>(fShared.get());
}

bool Value::ToBool() const {
    switch (fKind) {
        case ValueKind::Boolean:
            return fBool;
        case ValueKind::Number:
        case ValueKind::String:
            return ToNumber() != 0;  // NaN counts as non-zero
        default:
            return false;
    }
}

double Value::ToNumber() const {
    switch (fKind) {
        case ValueKind::Boolean:
            return fBool ? 1 : 0;
        case ValueKind::Number:
            return NumberValue();
        case ValueKind::String:
            return ParseLeadingNumber(StringValue());
        default:
            return 0;
    }
}

uint32_t Value::ToIndex() const {
    if (fKind == ValueKind::Number && fInteger) {
        if (fInt <= 0) return 0;
        return fInt >= int64_t{UINT32_MAX} ? UINT32_MAX : static_cast<uint32_t>(fInt);
    }
    double d = ToNumber();
    if (!(d > 0)) return 0;  // also NaN
    if (d >= 4294967295.0) return UINT32_MAX;
    return static_cast<uint32_t>(d);
}

std::string Value::ToText() const {
    switch (fKind) {
        case ValueKind::Boolean:
            return fBool ? "1" : "0";
        case ValueKind::Number:
            return FormatNumber(fReal, fInteger, fInt);
        case ValueKind::String:
            return StringValue();
        case ValueKind::Color: {
            std::string s;
            const float c[4] = {fColor.red, fColor.green, fColor.blue, fColor.alpha};
            for (int i = 0; i < 4; ++i) {
                if (i) s += ' ';
                s += FormatNumber(c[i], false, 0);
            }
            return s;
        }
        case ValueKind::Array: {
            std::string s;
            const ValueArray& a = ArrayValue();
            for (size_t i = 0; i < a.size(); ++i) {
                if (i) s += ", ";
                s += a[i].ToText();
            }
            return s;
        }
        default:
            return std::string();
    }
}

bool Value::ToColor(Color& out) const {
    if (fKind == ValueKind::Color) {
        out = fColor;
        return true;
    }
    if (fKind == ValueKind::Array) {
        const ValueArray& a = ArrayValue();
        if (a.size() < 3 || a.size() > 4) return false;
        for (const Value& v : a)
            if (v.Kind() != ValueKind::Number) return false;
        out = {static_cast<float>(a[0].NumberValue()), static_cast<float>(a[1].NumberValue()),
               static_cast<float>(a[2].NumberValue()),
               a.size() == 4 ? static_cast<float>(a[3].NumberValue()) : 1.0f};
        return true;
    }
    if (fKind == ValueKind::Dictionary) {
        const Dictionary& d = DictionaryValue();
        const Value* r = d.Find("red");
        const Value* g = d.Find("green");
        const Value* b = d.Find("blue");
        if (!r || !g || !b) return false;
        const Value* a = d.Find("alpha");
        out = {static_cast<float>(r->ToNumber()), static_cast<float>(g->ToNumber()),
               static_cast<float>(b->ToNumber()), a ? static_cast<float>(a->ToNumber()) : 1.0f};
        return true;
    }
    return false;
}

std::vector<std::string> Value::ToTextArray() const {
    std::vector<std::string> out;
    if (fKind == ValueKind::Array) {
        for (const Value& v : ArrayValue()) out.push_back(v.ToText());
    } else if (fKind != ValueKind::Null) {
        out.push_back(ToText());
    }
    return out;
}

const Value& Value::operator[](std::string_view key) const {
    return fKind == ValueKind::Dictionary ? DictionaryValue().Get(key) : kNull;
}

const Value& Value::At(size_t index) const {
    const ValueArray& a = ArrayValue();
    return index < a.size() ? a[index] : kNull;
}

bool Value::operator==(const Value& other) const {
    if (fKind != other.fKind) return false;
    switch (fKind) {
        case ValueKind::Null:
            return true;
        case ValueKind::Boolean:
            return fBool == other.fBool;
        case ValueKind::Number:
            if (fInteger && other.fInteger) return fInt == other.fInt;
            return SameNumber(NumberValue(), other.NumberValue());
        case ValueKind::String:
            return StringValue() == other.StringValue();
        case ValueKind::Color:
            return SameNumber(fColor.red, other.fColor.red) && SameNumber(fColor.green, other.fColor.green) &&
                   SameNumber(fColor.blue, other.fColor.blue) && SameNumber(fColor.alpha, other.fColor.alpha);
        case ValueKind::Array:
            return ArrayValue() == other.ArrayValue();
        case ValueKind::Dictionary:
            return DictionaryValue() == other.DictionaryValue();
        case ValueKind::Data:
            return DataValue() == other.DataValue();
        case ValueKind::Image:
            return fImage == other.fImage;
        case ValueKind::Pointer:
            return fPointer == other.fPointer;
    }
    return false;
}

const Value& Value::Null() {
    return kNull;
}

long Dictionary::IndexOf(std::string_view key) const {
    if (!fIndex.empty()) {
        auto it = fIndex.find(std::string(key));
        return it == fIndex.end() ? -1 : static_cast<long>(it->second);
    }
    for (size_t i = 0; i < fEntries.size(); ++i)
        if (fEntries[i].first == key) return static_cast<long>(i);
    return -1;
}

void Dictionary::Reindex() {
    fIndex.clear();
    if (fEntries.size() <= kIndexThreshold) return;
    fIndex.reserve(fEntries.size());
    for (size_t i = 0; i < fEntries.size(); ++i) fIndex.emplace(fEntries[i].first, i);
}

const Value* Dictionary::Find(std::string_view key) const {
    long i = IndexOf(key);
    return i < 0 ? nullptr : &fEntries[static_cast<size_t>(i)].second;
}

const Value& Dictionary::Get(std::string_view key) const {
    const Value* v = Find(key);
    return v ? *v : kNull;
}

void Dictionary::Set(std::string_view key, Value value) {
    long i = IndexOf(key);
    if (i >= 0) {
        fEntries[static_cast<size_t>(i)].second = std::move(value);
        return;
    }
    fEntries.emplace_back(std::string(key), std::move(value));
    if (!fIndex.empty())
        fIndex.emplace(fEntries.back().first, fEntries.size() - 1);
    else if (fEntries.size() > kIndexThreshold)
        Reindex();
}

bool Dictionary::Remove(std::string_view key) {
    long i = IndexOf(key);
    if (i < 0) return false;
    fEntries.erase(fEntries.begin() + i);
    Reindex();
    return true;
}

void Dictionary::Clear() {
    fEntries.clear();
    fIndex.clear();
}

bool Dictionary::operator==(const Dictionary& other) const {
    return fEntries == other.fEntries;
}

}  // namespace plat
