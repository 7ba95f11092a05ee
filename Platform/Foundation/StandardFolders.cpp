#include "Platform/Foundation/StandardFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plat {
namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : std::string();
}

std::string Home() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    struct passwd* pw = getpwuid(getuid());
    return pw && pw->pw_dir ? std::string(pw->pw_dir) : std::string();
}

std::string ConfigHome() {
    std::string v = Env("XDG_CONFIG_HOME");
    if (!v.empty() && v[0] == '/') return v;
    std::string home = Home();
    return home.empty() ? home : home + "/.config";
}

std::string DataHome() {
    std::string v = Env("XDG_DATA_HOME");
    if (!v.empty() && v[0] == '/') return v;
    std::string home = Home();
    return home.empty() ? home : home + "/.local/share";
}

std::string TempDir() {
    std::string v = Env("TMPDIR");
    return !v.empty() && v[0] == '/' ? v : std::string("/tmp");
}

// Reads XDG_<name>_DIR from user-dirs.dirs: lines of the form XDG_DESKTOP_DIR="$HOME/Desktop".
std::string UserDir(const char* name, const char* fallbackLeaf) {
    std::string home = Home();
    std::string key = std::string("XDG_") + name + "_DIR=";
    std::string result;
    std::string file = ConfigHome() + "/user-dirs.dirs";
    if (FILE* f = std::fopen(file.c_str(), "r")) {
        char line[1024];
        while (std::fgets(line, sizeof line, f)) {
            std::string s(line);
            while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
            if (s.compare(0, key.size(), key) != 0) continue;
            std::string v = s.substr(key.size());
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
            if (v.compare(0, 5, "$HOME") == 0) {
                v = home + v.substr(5);
            } else if (v.empty() || v[0] != '/') {
                continue;
            }
            // A user folder set to $HOME itself means the folder is disabled.
            while (v.size() > 1 && v.back() == '/') v.pop_back();
            if (v != home) result = v;
        }
        std::fclose(f);
    }
    if (result.empty() && !home.empty()) result = home + "/" + fallbackLeaf;
    return result;
}

bool IsInside(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

bool MakeFolders(const std::string& path) {
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        std::string part = path.substr(0, pos);
        if (mkdir(part.c_str(), 0700) != 0) {
            struct stat st;
            if (stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
        }
    }
    return true;
}

}  // namespace

std::string StandardFolderPath(StandardFolder folder, bool create) {
    std::string path;
    switch (folder) {
        case StandardFolder::kDesktop:
            path = UserDir("DESKTOP", "Desktop");
            break;
        case StandardFolder::kDocuments:
            path = UserDir("DOCUMENTS", "Documents");
            break;
        case StandardFolder::kDownloads:
            path = UserDir("DOWNLOAD", "Downloads");
            break;
        case StandardFolder::kMusic:
            path = UserDir("MUSIC", "Music");
            break;
        case StandardFolder::kPictures:
            path = UserDir("PICTURES", "Pictures");
            break;
        case StandardFolder::kMovies:
            path = UserDir("VIDEOS", "Videos");
            break;
        case StandardFolder::kUserTemporary:
        case StandardFolder::kTemporary:
            path = TempDir();
            break;
        case StandardFolder::kSystem:
            path = "/usr";
            break;
        case StandardFolder::kApplications:
            path = "/usr/share/applications";
            break;
        case StandardFolder::kCurrentUser:
            path = Home();
            break;
        case StandardFolder::kApplicationSupport:
            path = DataHome();
            break;
        case StandardFolder::kTrash:
            path = DataHome();
            if (!path.empty()) path += "/Trash/files";
            break;
    }
    if (path.empty()) return path;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? path : std::string();
    if (create && IsInside(path, Home()) && MakeFolders(path)) return path;
    return std::string();
}

}  // namespace plat
