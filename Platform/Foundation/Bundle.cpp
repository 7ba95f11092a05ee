#include "Platform/Foundation/Bundle.h"

#include <plist/plist.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace plat {
namespace {

std::mutex gBundleMutex;
std::string gBundleOverride;

std::string Parent(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string Leaf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadWholeFile(const std::string& path, std::vector<char>& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[4096];
    size_t n;
    // Information lists are small; refuse anything absurd.
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && out.size() < (1u << 20))
        out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out.size() < (1u << 20);
}

}  // namespace

std::string MainExecutablePath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return std::string();
    return std::string(buf, static_cast<size_t>(n));
}

std::string MainBundlePath() {
    {
        std::lock_guard<std::mutex> lock(gBundleMutex);
        if (!gBundleOverride.empty()) return gBundleOverride;
    }
    std::string dir = Parent(MainExecutablePath());
    if (dir.empty()) return dir;
    return Leaf(dir) == "bin" ? Parent(dir) : dir;
}

void SetMainBundlePathForTesting(const std::string& path) {
    std::lock_guard<std::mutex> lock(gBundleMutex);
    gBundleOverride = path;
}

std::string BundleResourcesPath(const std::string& bundle) {
    return bundle + "/Resources";
}
std::string BundleSharedSupportPath(const std::string& bundle) {
    return bundle + "/SharedSupport";
}
std::string BundlePlugInsPath(const std::string& bundle) {
    return bundle + "/PlugIns";
}

std::string BundleInfoValue(const std::string& bundle, const char* key) {
    std::vector<char> bytes;
    if (bundle.empty() || !ReadWholeFile(BundleResourcesPath(bundle) + "/Info.plist", bytes) || bytes.empty())
        return std::string();
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    std::string value;
    if (root && plist_get_node_type(root) == PLIST_DICT) {
        plist_t node = plist_dict_get_item(root, key);
        if (node && plist_get_node_type(node) == PLIST_STRING) {
            char* s = nullptr;
            plist_get_string_val(node, &s);
            if (s) value = s;
            std::free(s);
        }
    }
    if (root) plist_free(root);
    return value;
}

}  // namespace plat
