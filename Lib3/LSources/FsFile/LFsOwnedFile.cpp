#include "Lib3/LSources/FsFile/LFsOwnedFile.h"

#include <time.h>

#include <mutex>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Fs/LFsOpS.h"
#include "Lib3/LSources/FsFile/LFileCreate.h"
#include "Lib3/LSources/FsFile/LFsDeleteS.h"
#include "Platform/Foundation/StandardFolders.h"

namespace {

std::mutex gDefaultMutex;
LFsSpec* gDefaultFolder = nullptr;

uint32_t MillisecondClock() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

}  // namespace

LFsSpec LFsOwnedFile::DefaultFolder() {
    {
        std::lock_guard<std::mutex> lock(gDefaultMutex);
        if (gDefaultFolder) return *gDefaultFolder;
    }
    std::string temp = plat::StandardFolderPath(plat::StandardFolder::kTemporary, false);
    return temp.empty() ? LFsSpec() : CMacFileU::LFsSpecFromPath(LString(temp.c_str()));
}

void LFsOwnedFile::SetDefaultFolder(const LFsSpec& folder) {
    std::lock_guard<std::mutex> lock(gDefaultMutex);
    if (!gDefaultFolder) gDefaultFolder = new LFsSpec();
    *gDefaultFolder = folder;
}

LFsOwnedFile::LFsOwnedFile(const unsigned char* name, const LFsSpec* folder) {
    LFsSpec base = folder ? *folder : DefaultFolder();
    fSpec = LFsDescendS(base, name).Spec();
}

LFsOwnedFile::~LFsOwnedFile() {
    if (fOwned) LFsDeleteS{fSpec};
}

LFsTempFile::LFsTempFile(const unsigned char* name, const LFsSpec* folder) : LFsOwnedFile(name, folder) {
    LFsSpec spec = fSpec;
    spec.Suffix(static_cast<int>(MillisecondClock() & 0x7FFFFFFF));
    LFileCreate create(spec, LFileCreate::kNumbered);
    if (create.Ok()) {
        fSpec = create.Spec();
        fOwned = 1;
    } else {
        fError = 1;
    }
}
