#pragma once

#include <string>

// File packages: folders that the file panels show as single documents. A folder is a package when
// its extension (the text after the last "." of its name, case-insensitive) is one the application
// registered; none is registered by default. Main thread only.
namespace plat {

// True for an existing folder (links followed) whose extension is registered.
bool IsFilePackage(const std::string& path);
// An extension without the dot; empty and dotted ones are refused.
bool RegisterFilePackageExtension(const std::string& extension);
void UnregisterFilePackageExtension(const std::string& extension);

}  // namespace plat
