#include "tests/support/PlugInFolder.h"

#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/PlugInLoader.h"

namespace testsupport {

std::string PlugInFolder() {
    return ORBILUME_PLUGIN_DIR;
}

plat::NodeClassRegistry& PlugInFolderRegistry(size_t* modules) {
    static size_t loaded = 0;
    static plat::NodeClassRegistry* registry = [] {
        auto* r = new plat::NodeClassRegistry;
        plat::RegisterBuiltinNodeClasses(*r);
        loaded = plat::PlugInLoader::LoadFolder(PlugInFolder(), *r);
        return r;
    }();
    if (modules) *modules = loaded;
    return *registry;
}

}  // namespace testsupport
