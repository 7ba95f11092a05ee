#include "Orbilume/CSources/App/CaptureName.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <set>

#include "Platform/Foundation/StandardFolders.h"

namespace {

std::time_t (*gClock)() = nullptr;

std::set<std::string>& HandedOut() {
    static std::set<std::string>* names = new std::set<std::string>;
    return *names;
}

}  // namespace

void CaptureName::SetClock(std::time_t (*clock)()) {
    gClock = clock;
}

std::string CaptureName::Folder() {
    const std::string docs = plat::StandardFolderPath(plat::StandardFolder::kDocuments, true);
    if (docs.empty()) return {};
    std::string folder = docs + "/Orbilume Capture";
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return {};
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    return folder;
}

std::string CaptureName::BaseName(const std::tm& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    std::string name = "ob ";
    for (const char* c = text; *c; ++c) {
        const bool alnum = (*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z');
        name += (alnum || *c == ' ') ? *c : '_';
    }
    return name;
}

std::string CaptureName::Next(const char* extension, std::time_t when) {
    const std::string folder = Folder();
    if (folder.empty()) return {};
    if (when == 0) when = gClock ? gClock() : std::time(nullptr);
    std::tm local{};
    localtime_r(&when, &local);
    const std::string base = folder + "/" + BaseName(local);
    for (uint32_t n = 1;; ++n) {
        std::string path = base + (n > 1 ? " " + std::to_string(n) : std::string()) + "." + extension;
        struct stat st;
        if (HandedOut().count(path) || lstat(path.c_str(), &st) == 0) continue;
        HandedOut().insert(path);
        return path;
    }
}
