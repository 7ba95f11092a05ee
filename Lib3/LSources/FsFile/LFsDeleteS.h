#pragma once

#include "Lib3/LSources/Fs/LFsOpS.h"

// Deletes a file: status 2 when it cannot be found, 1 for a folder (folders are not deleted).
class LFsDeleteS : public LFsOpS {
public:
    explicit LFsDeleteS(const LFsSpec& spec);
};
