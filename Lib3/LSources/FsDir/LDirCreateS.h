#pragma once

#include <cstdint>

#include "Lib3/LSources/Fs/LFsOpS.h"

// Creates a folder, with the modes of LFileCreate: 0 uses an existing folder (an existing file
// gives 3), 1 fails when the item exists (3), any other value makes a numbered name.
class LDirCreateS : public LFsOpS {
public:
    LDirCreateS() = default;
    LDirCreateS(const LFsSpec& spec, uint32_t mode) { Create(spec, mode); }

    void Create(const LFsSpec& spec, uint32_t mode);
};
