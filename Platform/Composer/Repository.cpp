#include "Platform/Composer/Repository.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "Platform/Composer/Composition.h"
#include "Platform/Composer/NodeClass.h"

namespace plat {

namespace {

constexpr std::string_view kExtension = ".qtz";

std::vector<std::string> CompositionFiles(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* e = ::readdir(dir)) {
        std::string_view name(e->d_name);
        if (name.empty() || name[0] == '.' || name.size() <= kExtension.size()) continue;
        if (name.substr(name.size() - kExtension.size()) != kExtension) continue;
        struct stat st;
        std::string path = folder + "/" + std::string(name);
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        names.emplace_back(name);
        if (names.size() >= Repository::kMaxFilesPerFolder) break;
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ParentFolder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

Repository::Repository(std::vector<std::string> folders)
    : Repository(std::move(folders), NodeClassRegistry::Shared()) {}

Repository::Repository(std::vector<std::string> folders, const NodeClassRegistry& registry)
    : fFolders(std::move(folders)) {
    Scan(registry);
}

Repository::~Repository() = default;

void Repository::Scan(const NodeClassRegistry& registry) {
    for (const std::string& folder : fFolders) {
        for (const std::string& name : CompositionFiles(folder)) {
            std::string identifier = "/" + name.substr(0, name.size() - kExtension.size());
            if (FindComposition(identifier)) continue;
            Ref<Composition> c = Composition::CreateFromFile(folder + "/" + name, registry);
            if (!c) continue;
            c->fIdentifier = identifier;
            fCompositions.push_back(std::move(c));
        }
    }
}

Composition* Repository::FindComposition(std::string_view identifier) const {
    for (const Ref<Composition>& c : fCompositions)
        if (c->Identifier() == identifier) return c.get();
    return nullptr;
}

std::vector<std::string> Repository::DefaultFolders() {
    std::vector<std::string> folders;
    char exe[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = '\0';
        std::string bundle = ParentFolder(ParentFolder(exe));
        if (!bundle.empty()) folders.push_back((bundle == "/" ? "" : bundle) + "/SharedSupport/repository");
    }
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (data && data[0] == '/')
        folders.push_back(std::string(data) + "/orbilume/compositions");
    else if (home && home[0] == '/')
        folders.push_back(std::string(home) + "/.local/share/orbilume/compositions");
    return folders;
}

Repository* Repository::Shared() {
    static Repository* shared = [] {
        std::vector<std::string> folders = DefaultFolders();
        return folders.empty() ? nullptr : new Repository(std::move(folders));
    }();
    return shared;
}

}  // namespace plat
