#include "Common/ObjC/MOpenDelegete.h"

#include <sys/stat.h>

#include "Platform/AppKit/FilePackage.h"

bool MOpenDelegete::ShouldShowEntry(const MFilePanelBase& panel, const std::string& path,
                                    const MFileEntry* known) {
    if (!known) return ShouldShowFilename(panel, path);
    if (!known->exists) return false;
    if (known->folder) {
        if (panel.TreatsFilePackagesAsDirectories() || !known->package) return true;
        if (panel.AllowedFileTypes().empty()) return false;
    }
    return panel.Allows(path);
}

bool MOpenDelegete::ShouldShowFilename(const MFilePanelBase& panel, const std::string& path) {
    MFileEntry e;
    struct stat st {};
    e.exists = ::stat(path.c_str(), &st) == 0;
    e.folder = e.exists && S_ISDIR(st.st_mode);
    e.package = e.folder && plat::IsFilePackage(path);
    return ShouldShowEntry(panel, path, &e);
}
