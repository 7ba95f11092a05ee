#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

// Items inside the application bundle (bin/, Resources/, SharedSupport/, PlugIns/).
class UBundleItems {
public:
    // The spec of the bundle folder.
    static LFsSpec BundleFolder();
    // A named item in SharedSupport or PlugIns; an empty name gives the folder itself. The empty
    // spec when the bundle cannot be found.
    static LFsSpec SharedSupportItem(const unsigned char* name);
    static LFsSpec PlugInItem(const unsigned char* name);

    struct Version {
        uint32_t status = 0;  // 0 found, 1 the bundle or its version is missing
        uint8_t flag = 0;
        LString text;
    };
    // The bundle version of the bundle at the spec (Resources/Info.plist, CFBundleVersion).
    static Version BundleVersion(const LFsSpec& bundle);
};
