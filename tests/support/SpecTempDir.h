#pragma once

#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Fs/LFsOpS.h"
#include "tests/support/TempDir.h"

namespace testsupport {

// A temporary folder together with its file specification (for tests linking the framework).
class SpecTempDir : public TempDir {
public:
    LFsSpec Spec() const { return CMacFileU::LFsSpecFromPath(LString(Path().c_str())); }
    LFsSpec Child(const char* name) const { return LFsDescendS(Spec(), name).Spec(); }
};

}  // namespace testsupport
