#pragma once

#include <cstdint>

#include "Lib3/LSources/Fs/LFsOpS.h"

// Creates an empty file. The status object's spec is the file that was created or used.
class LFileCreate : public LFsOpS {
public:
    enum Mode : uint32_t {
        kUseExisting = 0,   // an existing file is used (status 0); a folder gives 3
        kFailIfExists = 1,  // an existing item gives 3
        kNumbered = 2,      // any other value: a new file under a numbered name (report2.txt, ...)
    };

    LFileCreate() = default;
    LFileCreate(const LFsSpec& spec, uint32_t mode) { CreateIt(spec, mode); }

    void CreateIt(const LFsSpec& spec, uint32_t mode);
};
