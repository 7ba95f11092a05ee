#pragma once

#include <cstdint>

#include "Lib3/LSources/Fs/LFsSpec.h"

// The running application: its executable (from /proc/self/exe), its bundle folder and signature.
class CProcessInfo {
public:
    CProcessInfo();

    const LFsSpec& Application() const { return fApplication; }
    const LFsSpec& Bundle() const { return fBundle; }
    uint32_t Signature() const { return fSignature; }
    int32_t ResFile() const { return fResFile; }
    uint64_t ResFileNode() const { return fResFileNode; }

private:
    LFsSpec fApplication;
    int32_t fResFile = 0;
    uint64_t fResFileNode = UINT64_MAX;
    uint32_t fSignature = 0x3F3F3F3F;  // '????'
    LFsSpec fBundle;
};

extern CProcessInfo* gProcessInfo;
