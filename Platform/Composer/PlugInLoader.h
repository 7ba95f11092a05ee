#pragma once

#include <cstddef>
#include <string>

namespace plat {

class NodeClassRegistry;

// Loads plug-in modules (PlugInInterface.h): each is opened with RTLD_LOCAL and stays loaded for the
// life of the process once it registered something.
class PlugInLoader {
public:
    // Every "*.so" file directly in the folder, in name order. Returns how many modules registered
    // at least one patch class; the others are passed over.
    static size_t LoadFolder(const std::string& folder, NodeClassRegistry& registry);
    [[nodiscard]] static bool LoadModule(const std::string& path, NodeClassRegistry& registry);
};

}  // namespace plat
