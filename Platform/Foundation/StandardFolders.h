#pragma once

#include <string>

// Standard folders, mapped onto the XDG base and user folders.
namespace plat {

enum class StandardFolder {
    kDesktop,             // XDG_DESKTOP_DIR, else ~/Desktop
    kUserTemporary,       // $TMPDIR, else /tmp
    kSystem,              // /usr
    kApplications,        // /usr/share/applications
    kCurrentUser,         // $HOME
    kDocuments,           // XDG_DOCUMENTS_DIR, else ~/Documents
    kApplicationSupport,  // $XDG_DATA_HOME, else ~/.local/share
    kTrash,               // $XDG_DATA_HOME/Trash/files
    kTemporary,           // $TMPDIR, else /tmp
};

// The folder's absolute path; empty when it cannot be determined. With `create`, a missing folder
// inside the user's home is made (with its parents); folders outside it are never created.
std::string StandardFolderPath(StandardFolder folder, bool create);

}  // namespace plat
