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
    kDownloads,           // XDG_DOWNLOAD_DIR, else ~/Downloads
    kMusic,               // XDG_MUSIC_DIR, else ~/Music
    kPictures,            // XDG_PICTURES_DIR, else ~/Pictures
    kMovies,              // XDG_VIDEOS_DIR, else ~/Videos
};

// The folder's absolute path; empty when it cannot be determined. With `create`, a missing folder
// inside the user's home is made (with its parents); folders outside it are never created.
std::string StandardFolderPath(StandardFolder folder, bool create);

}  // namespace plat
