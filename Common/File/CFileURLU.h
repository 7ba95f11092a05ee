#pragma once

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

// File URLs and specs.
class CFileURLU {
public:
    // The relative reference to target from the folder base: with different authorities "//", the
    // target's authority and path; otherwise the relative path between the two paths.
    static LString GetRelativePath(const LFsSpec& target, const LFsSpec& base);

    // The spec of URL text: a relative path is taken from the current folder; the first segment is
    // a volume when it is "Volumes" (then the next one is), or a mounted volume's name, else the
    // start-up volume holds the path. With createFolders, every parent folder of the item is made.
    // False for empty text and when any step failed.
    [[nodiscard]] static bool GetFileSpec(const unsigned char* text, LFsSpec& spec, bool createFolders);
};
