#pragma once

#include <string>

#include "Common/ObjC/MFilePanelBase.h"

// The open panel's filter. A path that does not exist is hidden. A folder is shown when the panel
// treats packages as folders or it is no package; a package is hidden when the panel has no allowed
// types and is otherwise handled as a file. A file is shown when the panel has no allowed types or
// its extension is one of them. Main thread only.
class MOpenDelegete : public MFilePanelDelegate {
public:
    bool ShouldShowEntry(const MFilePanelBase& panel, const std::string& path,
                         const MFileEntry* known) override;
    // The same decision for a path alone (looked up on the file system).
    bool ShouldShowFilename(const MFilePanelBase& panel, const std::string& path);
};
