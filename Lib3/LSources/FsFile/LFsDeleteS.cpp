#include "Lib3/LSources/FsFile/LFsDeleteS.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Lib3/LSources/Fs/CMacFileU.h"

LFsDeleteS::LFsDeleteS(const LFsSpec& spec) : LFsOpS(kFsDone, spec) {
    LString path = CMacFileU::PathFromLFsSpec(spec);
    struct stat st;
    if (path.IsEmpty() || lstat(path.CStr(), &st) != 0) {
        fStatus = kFsMissing;
    } else if (S_ISDIR(st.st_mode)) {
        fStatus = kFsError;
    } else {
        fStatus = unlink(path.CStr()) == 0 ? kFsDone : LFsStatusFromErrno(errno);
    }
}
