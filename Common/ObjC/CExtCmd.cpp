#include "Common/ObjC/CExtCmd.h"

#include "Lib3/LSources/Fs/CMacFileU.h"

void CExtCmd::AddFilePath(const char* path) {
    AddFile(CMacFileU::LFsSpecFromPath(path ? path : ""));
}

bool CExtCmd::GetFile(uint32_t index, LFsSpec* out) const {
    return mFiles.Get(index, out);
}

LMessage CExtCmdAE::Handle(const LMessage& msg) {
    if (msg.Is(CExtCmd_AE) && msg.sender == this) {
        mHandled = false;
        return LMessage();
    }
    return CExtCmd::Handle(msg);
}
