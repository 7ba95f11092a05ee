#include "Platform/Foundation/Bundle.h"

#include <unistd.h>

#include <climits>
#include <mutex>

#include "Platform/Foundation/PropertyList.h"

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
    if (bundle.empty() || !key) return std::string();
    // Information lists are small; refuse anything absurd.
    PropertyListLimits limits;
    limits.maxInputBytes = (size_t{1} << 20) - 1;
    Value root;
    if (!ReadPropertyListFile(BundleResourcesPath(bundle) + "/Info.plist", root, nullptr, limits))
        return std::string();
    return root[key].StringValue();
}

}  // namespace plat
