#pragma once

#include <cstdint>

#include "Lib3/LSources/Fs/LFsSpec.h"

// A file named inside a folder (the default temporary folder when none is given); deleted with the
// object when it is owned.
class LFsOwnedFile {
public:
    LFsOwnedFile(const unsigned char* name, const LFsSpec* folder);
    virtual ~LFsOwnedFile();
    LFsOwnedFile(const LFsOwnedFile&) = delete;
    LFsOwnedFile& operator=(const LFsOwnedFile&) = delete;

    const LFsSpec& Spec() const { return fSpec; }
    bool Failed() const { return fError != 0; }
    bool Owned() const { return fOwned != 0; }
    // Hands the file over: it is no longer deleted.
    void Release() { fOwned = 0; }

    // The folder used when none is given: the temporary folder unless set.
    static LFsSpec DefaultFolder();
    static void SetDefaultFolder(const LFsSpec& folder);

protected:
    uint32_t fError = 0;
    uint32_t fOwned = 0;
    LFsSpec fSpec;
};

// A new, empty, owned file whose name is the given one with the millisecond clock inserted before
// its extension (and a further number when that exists).
class LFsTempFile : public LFsOwnedFile {
public:
    explicit LFsTempFile(const unsigned char* name, const LFsSpec* folder = nullptr);
};
