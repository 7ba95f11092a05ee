#include "Lib3/LSources/FsFile/LFileCreate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Lib3/LSources/Fs/CMacFileU.h"

namespace {

// Numbered names are tried up to this counter before giving up.
constexpr int kMaxNumber = 100000;

}  // namespace

void LFileCreate::CreateIt(const LFsSpec& spec, uint32_t mode) {
    fSpec = spec;
    for (int counter = 2;; ++counter) {
        LString path = CMacFileU::PathFromLFsSpec(fSpec);
        if (path.IsEmpty()) {
            fStatus = kFsMissing;
            return;
        }
        int fd = open(path.CStr(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            fStatus = kFsDone;
            return;
        }
        if (errno != EEXIST) {
            fStatus = LFsStatusFromErrno(errno);
            return;
        }
        if (mode == kFailIfExists) {
            fStatus = kFsExists;
            return;
        }
        if (mode == kUseExisting) {
            struct stat st;
            if (stat(path.CStr(), &st) != 0) {
                // Exists but cannot be looked up (a dangling link, a vanished item): a failure.
                fStatus = errno == ENOENT ? kFsMissing : kFsError;
            } else {
                fStatus = S_ISDIR(st.st_mode) ? kFsExists : kFsDone;
            }
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
