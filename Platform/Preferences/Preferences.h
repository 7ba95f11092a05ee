#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Preferences in place of CFPreferences: one property-list file per application id,
// "$XDG_CONFIG_HOME/orbilume/<id>.plist" (~/.config when the variable is unset), holding a
// dictionary of values. Every caller in the process shares one in-memory value per id, read from
// the file on first use; Synchronize writes it back atomically. Nodes are used on the main thread.
namespace plat {

// A node of a preferences value; valid until the value is reset.
struct PrefNode;

enum class PrefType : uint8_t { None, Dictionary, String, Data, Other };

class Preferences {
public:
    // The dictionary stored under key in the application's value. With create, a missing value
    // or one of another type is replaced by an empty dictionary; without, null then.
    static PrefNode* AppDictionary(const std::string& appId, const char* key, bool create);
    // Writes the application's value to its file: a temporary file next to it, flushed to disk and
    // renamed over it. False when that failed; the previous file then stays as it was.
    [[nodiscard]] static bool Synchronize(const std::string& appId);
    // The file of an application id; empty for an id that cannot name a file.
    static std::string FilePath(const std::string& appId);
    // The id used for an empty id ("orbilume" unless set).
    static std::string CurrentApplicationId();
    static void SetCurrentApplicationId(const std::string& appId);
    // Drops every in-memory value, so the next use reads the files again (for tests).
    static void Reset();
};

PrefType TypeOf(const PrefNode* node);
PrefNode* DictGet(PrefNode* dict, const char* key);
// Stores a new empty dictionary under the key and returns it; null when dict is not one.
PrefNode* DictSetDictionary(PrefNode* dict, const char* key);
void DictSetString(PrefNode* dict, const char* key, const std::string& text);
void DictSetData(PrefNode* dict, const char* key, const void* bytes, size_t size);
void DictRemove(PrefNode* dict, const char* key);
bool GetString(const PrefNode* node, std::string& out);
// The bytes of a data node (valid while the node is unchanged); false for other nodes.
bool GetData(const PrefNode* node, const uint8_t*& bytes, size_t& size);

}  // namespace plat
