#pragma once

#include <string>

// The application bundle: a folder holding bin/<executable>, Resources/, SharedSupport/ and
// PlugIns/. It is found from /proc/self/exe.
namespace plat {

// The running executable's absolute path; empty when it cannot be read.
std::string MainExecutablePath();

// The bundle folder: the parent of the executable's "bin" folder, or the executable's own folder
// when that is not named "bin". Tests may set it (an empty path restores the default).
std::string MainBundlePath();
void SetMainBundlePathForTesting(const std::string& path);

// Items of a bundle folder.
std::string BundleResourcesPath(const std::string& bundle);
std::string BundleSharedSupportPath(const std::string& bundle);
std::string BundlePlugInsPath(const std::string& bundle);

// A value of the bundle's information list, Resources/Info.plist (XML or binary property list, a
// dictionary of strings); empty when the file or the key is missing.
std::string BundleInfoValue(const std::string& bundle, const char* key);

// The key of the bundle version in the information list.
inline constexpr const char* kBundleVersionKey = "CFBundleVersion";

}  // namespace plat
