#include "Lib3/LSources/Mac/CStdFolders.h"

#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Platform/Foundation/Bytes.h"
#include "Platform/Foundation/StandardFolders.h"

CStdFolders* gStdFolders = nullptr;

namespace {

struct FolderType {
    uint32_t code;
    plat::StandardFolder folder;
};

constexpr FolderType kTypes[CStdFolders::kCount] = {
    {plat::FourCC("desk"), plat::StandardFolder::kDesktop},
    {plat::FourCC("utmp"), plat::StandardFolder::kUserTemporary},
    {plat::FourCC("macs"), plat::StandardFolder::kSystem},
    {plat::FourCC("apps"), plat::StandardFolder::kApplications},
    {plat::FourCC("cusr"), plat::StandardFolder::kCurrentUser},
    {plat::FourCC("docs"), plat::StandardFolder::kDocuments},
    {plat::FourCC("asup"), plat::StandardFolder::kApplicationSupport},
    {plat::FourCC("trsh"), plat::StandardFolder::kTrash},
};

LFsSpec SpecOf(plat::StandardFolder folder, bool create) {
    std::string path = plat::StandardFolderPath(folder, create);
    return path.empty() ? LFsSpec() : CMacFileU::LFsSpecFromPath(LString(path.c_str()));
}

const LFsSpec& EmptySpec() {
    static const LFsSpec empty;
    return empty;
}

}  // namespace

CStdFolders::CStdFolders(const LFsSpec* base) {
    LFsSpec fallback = base ? *base : SpecOf(plat::StandardFolder::kTemporary, false);
    for (uint32_t i = 0; i < kCount; ++i) {
        fFolders[i] = SpecOf(kTypes[i].folder, true);
        if (fFolders[i].IsEmpty()) fFolders[i] = fallback;
    }
}

const LFsSpec& CStdFolders::Get(uint32_t index) const {
    return index < kCount ? fFolders[index] : EmptySpec();
}

const LFsSpec& CStdFolders::Find(uint32_t folderType) const {
    for (uint32_t i = 0; i < kCount; ++i) {
        if (kTypes[i].code == folderType) return fFolders[i];
    }
    return EmptySpec();
}
