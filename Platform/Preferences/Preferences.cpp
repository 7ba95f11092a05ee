#include "Platform/Preferences/Preferences.h"

#include <plist/plist.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "Platform/Foundation/FileIO.h"

namespace plat {

namespace {

constexpr size_t kMaxFileSize = size_t{16} << 20;
constexpr int kMaxDepth = 64;

plist_t Node(PrefNode* n) {
    return reinterpret_cast<plist_t>(n);
}
plist_t Node(const PrefNode* n) {
    return reinterpret_cast<plist_t>(const_cast<PrefNode*>(n));
}
PrefNode* Pref(plist_t n) {
    return reinterpret_cast<PrefNode*>(n);
}

struct Registry {
    std::mutex mutex;
    std::map<std::string, plist_t> values;
    std::string current = "orbilume";
    // At exit: a process need not call Reset for its values to be freed.
    ~Registry() {
        for (auto& [id, value] : values) plist_free(value);
    }
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

bool DepthWithin(plist_t node, int depth) {
    if (depth > kMaxDepth) return false;
    switch (plist_get_node_type(node)) {
        case PLIST_DICT: {
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            bool ok = true;
            for (;;) {
                char* key = nullptr;
                plist_t value = nullptr;
                plist_dict_next_item(node, it, &key, &value);
                std::free(key);
                if (!value) break;
                if (!DepthWithin(value, depth + 1)) {
                    ok = false;
                    break;
                }
            }
            std::free(it);
            return ok;
        }
        case PLIST_ARRAY:
            for (uint32_t i = 0; i < plist_array_get_size(node); ++i)
                if (!DepthWithin(plist_array_get_item(node, i), depth + 1)) return false;
            return true;
        default:
            return true;
    }
}

// The file's dictionary, or a new empty one when it is missing or unreadable.
plist_t Load(const std::string& path) {
    std::vector<char> bytes;
    if (std::FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0 && bytes.size() + got <= kMaxFileSize)
            bytes.insert(bytes.end(), buffer, buffer + got);
        std::fclose(f);
    }
    plist_t root = nullptr;
    if (!bytes.empty() && bytes.size() <= kMaxFileSize)
        plist_from_memory(bytes.data(), uint32_t(bytes.size()), &root);
    if (root && (plist_get_node_type(root) != PLIST_DICT || !DepthWithin(root, 0))) {
        plist_free(root);
        root = nullptr;
    }
    return root ? root : plist_new_dict();
}

plist_t Value(Registry& r, const std::string& appId) {
    auto it = r.values.find(appId);
    if (it != r.values.end()) return it->second;
    plist_t root = Load(Preferences::FilePath(appId));
    r.values[appId] = root;
    return root;
}

// Preferences are private to the user: 0600 files in 0700 folders.
constexpr AtomicWriteOptions kPreferencesWrite{.mode = 0600, .makeFolders = true, .folderMode = 0700};

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
    plist_t root = Value(r, id);
    plist_t value = plist_dict_get_item(root, key);
    if (value && plist_get_node_type(value) == PLIST_DICT) return Pref(value);
    if (!create) return nullptr;
    value = plist_new_dict();
    plist_dict_set_item(root, key, value);
    return Pref(value);
}

bool Preferences::Synchronize(const std::string& appId) {
    const std::string id = appId.empty() ? CurrentApplicationId() : appId;
    const std::string path = FilePath(id);
    if (path.empty()) return false;
    char* xml = nullptr;
    uint32_t length = 0;
    {
        Registry& r = Values();
        std::lock_guard<std::mutex> lock(r.mutex);
        plist_to_xml(Value(r, id), &xml, &length);
    }
    if (!xml) return false;
    const bool ok = WriteFileAtomically(path, xml, length, kPreferencesWrite);
    plist_to_xml_free(xml);
    return ok;
}

void Preferences::Reset() {
    Registry& r = Values();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto& [id, value] : r.values) plist_free(value);
    r.values.clear();
}

PrefType TypeOf(const PrefNode* node) {
    if (!node) return PrefType::None;
    switch (plist_get_node_type(Node(node))) {
        case PLIST_DICT:
            return PrefType::Dictionary;
        case PLIST_STRING:
            return PrefType::String;
        case PLIST_DATA:
            return PrefType::Data;
        default:
            return PrefType::Other;
    }
}

PrefNode* DictGet(PrefNode* dict, const char* key) {
    if (TypeOf(dict) != PrefType::Dictionary || !key) return nullptr;
    return Pref(plist_dict_get_item(Node(dict), key));
}

PrefNode* DictSetDictionary(PrefNode* dict, const char* key) {
    if (TypeOf(dict) != PrefType::Dictionary || !key) return nullptr;
    plist_t child = plist_new_dict();
    plist_dict_set_item(Node(dict), key, child);
    return Pref(child);
}

void DictSetString(PrefNode* dict, const char* key, const std::string& text) {
    if (TypeOf(dict) != PrefType::Dictionary || !key) return;
    plist_dict_set_item(Node(dict), key, plist_new_string(text.c_str()));
}

void DictSetData(PrefNode* dict, const char* key, const void* bytes, size_t size) {
    if (TypeOf(dict) != PrefType::Dictionary || !key) return;
    plist_dict_set_item(Node(dict), key, plist_new_data(static_cast<const char*>(bytes), size));
}

void DictRemove(PrefNode* dict, const char* key) {
    if (TypeOf(dict) != PrefType::Dictionary || !key) return;
    if (plist_dict_get_item(Node(dict), key)) plist_dict_remove_item(Node(dict), key);
}

bool GetString(const PrefNode* node, std::string& out) {
    if (TypeOf(node) != PrefType::String) return false;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(Node(node), &length);
    if (!text) return false;
    out.assign(text, length);
    return true;
}

bool GetData(const PrefNode* node, const uint8_t*& bytes, size_t& size) {
    if (TypeOf(node) != PrefType::Data) return false;
    uint64_t length = 0;
    const char* data = plist_get_data_ptr(Node(node), &length);
    bytes = reinterpret_cast<const uint8_t*>(data);
    size = data ? size_t(length) : 0;
    return true;
}

}  // namespace plat
