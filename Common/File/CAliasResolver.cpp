#include "Common/File/CAliasResolver.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"

namespace {

std::atomic<uint32_t> gAliasFlags{1};

bool ParentExists(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return false;
    std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    struct stat st;
    return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void CAliasResolver::SetEnabled(bool enabled) {
    if (enabled) {
        gAliasFlags.fetch_or(1);
    } else {
        gAliasFlags.fetch_and(~1u);
    }
}

bool CAliasResolver::IsEnabled() {
    return gAliasFlags.load() & 1;
}

CAliasResolver::CAliasResolver(const LFsSpec& spec) : fSpec(spec) {
    if (!IsEnabled()) return;
    LString path = CMacFileU::PathFromLFsSpec(spec);
    if (path.IsEmpty()) {
        fStatus = 2;
        return;
    }
    struct stat st;
    if (lstat(path.CStr(), &st) != 0) {
        fStatus =
            errno == ENOENT && ParentExists(path.CStr()) ? 3 : (errno == ENOENT || errno == ENOTDIR ? 2 : 1);
        return;
    }
    if (!S_ISLNK(st.st_mode)) return;
    fWasAlias = 1;
    char resolved[PATH_MAX];
    if (!realpath(path.CStr(), resolved)) {
        fStatus = errno == ENOENT ? 3 : 1;
        return;
    }
    fSpec = CMacFileU::LFsSpecFromPath(LString(resolved));
}
