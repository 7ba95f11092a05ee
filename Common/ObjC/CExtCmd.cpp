#include "Common/ObjC/CExtCmd.h"

#include <unistd.h>

#include <string>

void CExtCmd::AddFile(const char* path) {
    if (!path) path = "";
    std::string full;
    if (path[0] != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd)) {
            full = cwd;
            if (full.empty() || full.back() != '/') full += '/';
        }
    }
    full += path;
    mFiles.push_back(LString(full.c_str(), uint32_t(full.size())));
}

bool CExtCmd::GetFile(uint32_t index, LString* out) const {
    if (index >= mFiles.size()) return false;
    if (out) *out = mFiles[index];
    return true;
}

LMessage CExtCmdAE::Handle(const LMessage& msg) {
    if (msg.Is(CExtCmd_AE) && msg.sender == this) {
        mHandled = false;
        return LMessage();
    }
    return CExtCmd::Handle(msg);
}
