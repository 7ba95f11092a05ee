#include "Platform/Composer/PlugInLoader.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "Platform/Composer/NodeClass.h"
#include "Platform/Composer/PlugInInterface.h"
#include "Platform/Composer/PlugInNodeClass.h"

namespace plat {

namespace {

class Registrar final : public PlugInRegistrar {
public:
    explicit Registrar(NodeClassRegistry& registry) : fRegistry(registry) {}
    uint32_t InterfaceVersion() const override { return kPlugInInterfaceVersion; }
    bool RegisterPatchClass(std::unique_ptr<PlugInPatchClass> patchClass) override {
        if (!patchClass || !patchClass->Name() || !*patchClass->Name()) return false;
        bool ok = fRegistry.RegisterPatch(std::make_unique<PlugInNodeClass>(std::move(patchClass)));
        fCount += ok ? 1 : 0;
        return ok;
    }
    size_t Count() const { return fCount; }

private:
    NodeClassRegistry& fRegistry;
    size_t fCount = 0;
};

bool EndsWith(const std::string& s, const char* suffix) {
    size_t n = std::char_traits<char>::length(suffix);
    return s.size() > n && s.compare(s.size() - n, n, suffix) == 0;
}

}  // namespace

bool PlugInLoader::LoadModule(const std::string& path, NodeClassRegistry& registry) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return false;
    auto registerFunction = reinterpret_cast<PlugInRegisterFunction>(dlsym(module, kPlugInRegisterFunction));
    Registrar registrar(registry);
    if (registerFunction) registerFunction(registrar);
    // Registered classes run code of the module: it stays loaded for good.
    if (registrar.Count() == 0) {
        dlclose(module);
        return false;
    }
    return true;
}

size_t PlugInLoader::LoadFolder(const std::string& folder, NodeClassRegistry& registry) {
    std::vector<std::string> paths;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name[0] == '.' || !EndsWith(name, ".so")) continue;
            std::string path = folder + "/" + name;
            struct stat info;
            if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) paths.push_back(path);
        }
        closedir(dir);
    }
    std::sort(paths.begin(), paths.end());
    size_t loaded = 0;
    for (const std::string& path : paths) loaded += LoadModule(path, registry) ? 1 : 0;
    return loaded;
}

}  // namespace plat
