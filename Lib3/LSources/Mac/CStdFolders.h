#pragma once

#include <cstdint>

#include "Lib3/LSources/Fs/LFsSpec.h"

// The eight standard folders, found once (and made when missing, inside the user's home):
// desktop, user temporary, system, applications, current user, documents, application support,
// trash. They map to the XDG folders (see Platform/Foundation/StandardFolders.h). A folder that
// cannot be found is the base folder: the one given, else the temporary folder, else empty.
class CStdFolders {
public:
    enum Index : uint32_t {
        kDesktop,
        kUserTemporary,
        kSystem,
        kApplications,
        kCurrentUser,
        kDocuments,
        kAppSupport,
        kTrash,
        kCount
    };

    explicit CStdFolders(const LFsSpec* base = nullptr);

    const LFsSpec& Get(uint32_t index) const;
    // By classic folder type code ('desk', 'utmp', 'macs', 'apps', 'cusr', 'docs', 'asup', 'trsh');
    // the empty spec for others.
    const LFsSpec& Find(uint32_t folderType) const;

private:
    LFsSpec fFolders[kCount];
};

extern CStdFolders* gStdFolders;
