#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

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
    // a NUL byte, so no spec names an item outside its own path.
    static LString PathFromLFsSpec(const LFsSpec& spec);

    // True when the name is a mounted volume's.
    static bool IsMountedVolume(const unsigned char* name);

    // The spec of the process's current folder.
    static LFsSpec GetCurrentFolder();

    // Writes the classic type and creator codes of an item; true on success.
    static bool SetInfo(const LFsSpec& spec, uint32_t fileType, uint32_t creator);
};
