#include "Platform/AppKit/FilePackage.h"

#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "Platform/Foundation/Check.h"

namespace plat {
namespace {

std::vector<std::string>& Extensions() {
    static std::vector<std::string> extensions;
    return extensions;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

}  // namespace

bool IsFilePackage(const std::string& path) {
    PLAT_DCHECK_MAIN_THREAD();
    if (Extensions().empty()) return false;
    std::string name = path;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return false;
    const std::string ext = Lower(name.substr(dot + 1));
    const auto& list = Extensions();
    if (std::find(list.begin(), list.end(), ext) == list.end()) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RegisterFilePackageExtension(const std::string& extension) {
    PLAT_DCHECK_MAIN_THREAD();
    if (extension.empty() || extension.find('.') != std::string::npos ||
        extension.find('/') != std::string::npos)
        return false;
    const std::string ext = Lower(extension);
    auto& list = Extensions();
    if (std::find(list.begin(), list.end(), ext) == list.end()) list.push_back(ext);
    return true;
}

void UnregisterFilePackageExtension(const std::string& extension) {
    PLAT_DCHECK_MAIN_THREAD();
    auto& list = Extensions();
    list.erase(std::remove(list.begin(), list.end(), Lower(extension)), list.end());
}

}  // namespace plat
