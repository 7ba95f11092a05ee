#include "Lib3/LSources/Mac/CStdFolders.h"

#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Platform/Foundation/StandardFolders.h"

CStdFolders* gStdFolders = nullptr;

namespace {

struct FolderType {
    uint32_t code;
    plat::StandardFolder folder;
};

constexpr uint32_t Fcc(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) |
           uint8_t(d);
}

constexpr FolderType kTypes[CStdFolders::kCount] = {
    {Fcc('d', 'e', 's', 'k'), plat::StandardFolder::kDesktop},
    {Fcc('u', 't', 'm', 'p'), plat::StandardFolder::kUserTemporary},
    {Fcc('m', 'a', 'c', 's'), plat::StandardFolder::kSystem},
    {Fcc('a', 'p', 'p', 's'), plat::StandardFolder::kApplications},
    {Fcc('c', 'u', 's', 'r'), plat::StandardFolder::kCurrentUser},
    {Fcc('d', 'o', 'c', 's'), plat::StandardFolder::kDocuments},
    {Fcc('a', 's', 'u', 'p'), plat::StandardFolder::kApplicationSupport},
    {Fcc('t', 'r', 's', 'h'), plat::StandardFolder::kTrash},
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
