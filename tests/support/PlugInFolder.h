#pragma once

#include <cstddef>
#include <string>

#include "Platform/Composer/NodeClass.h"

namespace testsupport {

// The build's plug-in folder (Orbilume/PlugIns/privatepatch).
std::string PlugInFolder();
// A registry with the built-in node classes and every module of that folder, loaded once per run
// (modules stay loaded); modules says how many registered.
plat::NodeClassRegistry& PlugInFolderRegistry(size_t* modules = nullptr);

}  // namespace testsupport
