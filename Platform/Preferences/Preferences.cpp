#include "Platform/Preferences/Preferences.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "Platform/Foundation/FileIO.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/TextEncoding.h"

namespace plat {

// A node of an application's value. Dictionaries hold their entries in order, each child at a fixed
// address until it is replaced or removed; any other value is held whole.
struct PrefNode {
    bool dictionary = false;
    Value value;
    std::vector<std::pair<std::string, std::unique_ptr<PrefNode>>> entries;
};

namespace {

constexpr size_t kMaxFileSize = size_t{16} << 20;
// The root and 64 levels below it.
constexpr uint32_t kMaxDepth = 65;

// Preferences are private to the user: 0600 files in 0700 folders.
constexpr AtomicWriteOptions kPreferencesWrite{.mode = 0600, .makeFolders = true, .folderMode = 0700};

using NodePtr = std::unique_ptr<PrefNode>;

struct Registry {
    std::mutex mutex;
    // Owned here, so a process need not call Reset for its values to be freed at exit.
    std::map<std::string, NodePtr> values;
    std::string current = "orbilume";
};

Registry& Values() {
    static Registry registry;
    return registry;
}

bool ValidId(const std::string& id) {
    if (id.empty() || id.size() > 200 || id == "." || id == "..") return false;
    for (char c : id) {
        if (c == '/' || c == '\0' || static_cast<unsigned char>(c) < 0x20) return false;
    }
    return true;
}

std::string ConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/orbilume";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.config/orbilume";
}

NodePtr NewDictionary() {
    auto node = std::make_unique<PrefNode>();
    node->dictionary = true;
    return node;
}

NodePtr FromValue(const Value& value) {
    if (value.Kind() != ValueKind::Dictionary) {
        auto node = std::make_unique<PrefNode>();
        node->value = value;
        return node;
    }
    NodePtr node = NewDictionary();
    for (const auto& [key, item] : value.DictionaryValue()) node->entries.emplace_back(key, FromValue(item));
    return node;
}

Value ToValue(const PrefNode& node) {
    if (!node.dictionary) return node.value;
    Dictionary d;
    for (const auto& [key, child] : node.entries) d.Set(key, ToValue(*child));
    return Value(std::move(d));
}

// The file's dictionary, or a new empty one when it is missing or unreadable.
NodePtr Load(const std::string& path) {
    PropertyListLimits limits;
    limits.maxInputBytes = kMaxFileSize;
    limits.maxDepth = kMaxDepth;
    Value root;
    if (path.empty() || !ReadPropertyListFile(path, root, nullptr, limits) ||
        root.Kind() != ValueKind::Dictionary)
        return NewDictionary();
    return FromValue(root);
}

PrefNode* AppValue(Registry& r, const std::string& appId) {
    auto it = r.values.find(appId);
    if (it != r.values.end()) return it->second.get();
    NodePtr& root = r.values[appId];
    root = Load(Preferences::FilePath(appId));
    return root.get();
}

// Keys are stored as UTF-8 (invalid bytes replaced), so that every value can be written.
std::string KeyOf(const char* key) {
    return ValidUtf8(key);
}

std::unique_ptr<PrefNode>* Find(PrefNode* dict, const char* key) {
    const std::string k = KeyOf(key);
    for (auto& [name, child] : dict->entries)
        if (name == k) return &child;
    return nullptr;
}

// Replaces the value under key in place, or appends it.
PrefNode* Set(PrefNode* dict, const char* key, NodePtr node) {
    PrefNode* raw = node.get();
    if (std::unique_ptr<PrefNode>* slot = Find(dict, key))
        *slot = std::move(node);
    else
        dict->entries.emplace_back(KeyOf(key), std::move(node));
    return raw;
}

NodePtr Scalar(Value value) {
    auto node = std::make_unique<PrefNode>();
    node->value = std::move(value);
    return node;
}

}  // namespace

std::string Preferences::FilePath(const std::string& appId) {
    const std::string id = appId.empty() ? CurrentApplicationId() : appId;
    if (!ValidId(id)) return std::string();
    return ConfigFolder() + "/" + id + ".plist";
}

std::string Preferences::CurrentApplicationId() {
    Registry& r = Values();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.current;
}

void Preferences::SetCurrentApplicationId(const std::string& appId) {
    Registry& r = Values();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.current = appId;
}

PrefNode* Preferences::AppDictionary(const std::string& appId, const char* key, bool create) {
    const std::string id = appId.empty() ? CurrentApplicationId() : appId;
    if (!ValidId(id) || !key) return nullptr;
    Registry& r = Values();
    std::lock_guard<std::mutex> lock(r.mutex);
    PrefNode* root = AppValue(r, id);
    if (std::unique_ptr<PrefNode>* value = Find(root, key); value && (*value)->dictionary)
        return value->get();
    if (!create) return nullptr;
    return Set(root, key, NewDictionary());
}

bool Preferences::Synchronize(const std::string& appId) {
    const std::string id = appId.empty() ? CurrentApplicationId() : appId;
    const std::string path = FilePath(id);
    if (path.empty()) return false;
    ByteArray bytes;
    {
        Registry& r = Values();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (!WritePropertyList(ToValue(*AppValue(r, id)), PropertyListFormat::Xml, bytes)) return false;
    }
    return WriteFileAtomically(path, bytes.data(), bytes.size(), kPreferencesWrite);
}

void Preferences::Reset() {
    Registry& r = Values();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.values.clear();
}

PrefType TypeOf(const PrefNode* node) {
    if (!node) return PrefType::None;
    if (node->dictionary) return PrefType::Dictionary;
    switch (node->value.Kind()) {
        case ValueKind::String:
            return PrefType::String;
        case ValueKind::Data:
            return PrefType::Data;
        default:
            return PrefType::Other;
    }
}

PrefNode* DictGet(PrefNode* dict, const char* key) {
    if (TypeOf(dict) != PrefType::Dictionary || !key) return nullptr;
    std::unique_ptr<PrefNode>* slot = Find(dict, key);
    return slot ? slot->get() : nullptr;
}

PrefNode* DictSetDictionary(PrefNode* dict, const char* key) {
    if (TypeOf(dict) != PrefType::Dictionary || !key) return nullptr;
    return Set(dict, key, NewDictionary());
}

void DictSetString(PrefNode* dict, const char* key, const std::string& text) {
    if (TypeOf(dict) != PrefType::Dictionary || !key) return;
    // Text ends at its first NUL, as a C string would.
    Set(dict, key, Scalar(Value(ValidUtf8(std::string_view(text.c_str())))));
}

void DictSetData(PrefNode* dict, const char* key, const void* bytes, size_t size) {
    if (TypeOf(dict) != PrefType::Dictionary || !key) return;
    const auto* b = static_cast<const uint8_t*>(bytes);
    Set(dict, key, Scalar(Value(b ? ByteArray(b, b + size) : ByteArray())));
}

void DictRemove(PrefNode* dict, const char* key) {
    if (TypeOf(dict) != PrefType::Dictionary || !key) return;
    const std::string k = KeyOf(key);
    auto& entries = dict->entries;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->first == k) {
            entries.erase(it);
            return;
        }
    }
}

bool GetString(const PrefNode* node, std::string& out) {
    if (TypeOf(node) != PrefType::String) return false;
    out = node->value.StringValue();
    return true;
}

bool GetData(const PrefNode* node, const uint8_t*& bytes, size_t& size) {
    if (TypeOf(node) != PrefType::Data) return false;
    const ByteArray& data = node->value.DataValue();
    bytes = data.data();
    size = data.size();
    return true;
}

}  // namespace plat
