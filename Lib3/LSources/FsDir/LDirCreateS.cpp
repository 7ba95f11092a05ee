#include "Lib3/LSources/FsDir/LDirCreateS.h"

#include <sys/stat.h>

#include <cerrno>

#include "Lib3/LSources/Fs/CMacFileU.h"

namespace {

constexpr int kMaxNumber = 100000;

}  // namespace

void LDirCreateS::Create(const LFsSpec& spec, uint32_t mode) {
    fSpec = spec;
    for (int counter = 2;; ++counter) {
        LString path = CMacFileU::PathFromLFsSpec(fSpec);
        if (path.IsEmpty()) {
            fStatus = kFsMissing;
            return;
        }
        if (mkdir(path.CStr(), 0777) == 0) {
            fStatus = kFsDone;
            return;
        }
        if (errno != EEXIST) {
            fStatus = LFsStatusFromErrno(errno);
            return;
        }
        if (mode == 1) {
            fStatus = kFsExists;
            return;
        }
        if (mode == 0) {
            struct stat st;
            fStatus = stat(path.CStr(), &st) == 0 && S_ISDIR(st.st_mode) ? kFsDone : kFsExists;
            return;
        }
        if (counter > kMaxNumber) {
            fStatus = kFsError;
            return;
        }
        fSpec = spec;
        fSpec.Suffix(counter);
    }
}
