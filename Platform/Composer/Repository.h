#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Object.h"

namespace plat {

class Composition;
class NodeClassRegistry;

// Compositions found in folders: every regular file ending in ".qtz" directly inside each folder
// that loads as a composition, named "/" + its file name without the extension. Folders are read in
// the given order and each folder's files by name; an identifier already found in an earlier folder
// is skipped. Missing or empty folders just add nothing.
class Repository {
public:
    static constexpr size_t kMaxFilesPerFolder = 4096;

    explicit Repository(std::vector<std::string> folders);
    Repository(std::vector<std::string> folders, const NodeClassRegistry& registry);
    ~Repository();
    Repository(const Repository&) = delete;
    Repository& operator=(const Repository&) = delete;

    const std::vector<std::string>& Folders() const { return fFolders; }
    // Borrowed; callers that keep one retain it.
    const std::vector<Ref<Composition>>& AllCompositions() const { return fCompositions; }
    Composition* FindComposition(std::string_view identifier) const;

    // The system folder "repository" in the bundle's SharedSupport (the bundle being the folder above
    // the executable's "bin"), then "$XDG_DATA_HOME/orbilume/compositions" (XDG_DATA_HOME defaulting
    // to ~/.local/share). Folders that cannot be determined are left out.
    static std::vector<std::string> DefaultFolders();
    // The process's repository over the default folders, scanned on first use. Null when no folder
    // could be determined.
    static Repository* Shared();

private:
    void Scan(const NodeClassRegistry& registry);

    std::vector<std::string> fFolders;
    std::vector<Ref<Composition>> fCompositions;
};

}  // namespace plat
