#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

namespace plat {
struct FileRef;
class URL;
}  // namespace plat

// Conversions between specs and POSIX paths.
//
// Volumes (see Platform/Foundation/Volumes.h): a spec's first segment is always a volume name. The
// start-up volume is "/" under the fixed name plat::kStartupVolumeName; other volumes are mount
// points below /media, /mnt or /run/media, named by their last segment. A POSIX name may hold ":"
// but no "/"; in a spec segment the two trade places, as on the classic file system, so a POSIX
// "a:b" is the segment "a/b" (stored %2F).
class CMacFileU {
public:
    static LString GetStartupVolumeName();

    // The spec of a POSIX path (made absolute against the current folder, "." and ".." taken
    // lexically); the volume is the one whose mount point holds the path.
    static LFsSpec LFsSpecFromPath(const LString& path);
    static LFsSpec LFsSpecFromPath(const char* path) { return LFsSpecFromPath(LString(path)); }

    // The POSIX path of a spec: the volume's mount point, then "/" and each decoded segment with
    // "/" written as ":". Empty for an unknown volume and for a segment that is ".", ".." or holds
    // a NUL byte, so no LFsSpec names an item outside its own path.
    static LString PathFromLFsSpec(const LFsSpec& spec);

    // The LFsSpec of a file-system reference's item; empty when its path no longer names it.
    static LFsSpec LFsSpecFromFSRef(const plat::FileRef& ref);

    // Through the POSIX path: the LFsSpec of a file URL (empty for other URLs), and the file URL of
    // an LFsSpec (empty when it names no POSIX path; one ending in "/" gives a folder's URL).
    static LFsSpec LFsSpecFromNSURL(const plat::URL& url);
    static plat::URL NSURLFromLFsSpec(const LFsSpec& spec);
    static plat::URL CFURLFromLFsSpec(const LFsSpec& spec);

    // True when the name is a mounted volume's.
    static bool IsMountedVolume(const unsigned char* name);

    // The spec of the process's current folder.
    static LFsSpec GetCurrentFolder();

    // Writes the classic type and creator codes of an item; true on success.
    static bool SetInfo(const LFsSpec& spec, uint32_t fileType, uint32_t creator);
};
