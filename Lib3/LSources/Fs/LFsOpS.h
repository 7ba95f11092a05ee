#pragma once

#include <cstdint>

#include "Lib3/LSources/Fs/LFsSpec.h"

// Outcome codes of file-system operations.
enum : uint32_t {
    kFsDone = 0,
    kFsError = 1,    // any other error
    kFsMissing = 2,  // no such volume or folder, or a bad name
    kFsExists = 3,   // already exists, or exists as the wrong kind
};

// One file-system operation: its status and the spec it produced or worked on.
class LFsOpS {
public:
    LFsOpS() = default;
    LFsOpS(uint32_t status, const LFsSpec& spec) : fStatus(status), fSpec(spec) {}
    virtual ~LFsOpS() = default;

    uint32_t Status() const { return fStatus; }
    bool Ok() const { return fStatus == kFsDone; }
    const LFsSpec& Spec() const { return fSpec; }

protected:
    uint32_t fStatus = kFsDone;
    LFsSpec fSpec;
};

// The folder spec of a path or spec text: "." resolved against it, so a file's spec gives its
// folder and a folder spec ending in "/" gives the folder itself. Status 1 for the bare root.
class LFsPathSpecS : public LFsOpS {
public:
    explicit LFsPathSpecS(const unsigned char* text);
};

// The spec of a child: the folder's text, "/" and the encoded name. Never touches the disk.
class LFsDescendS : public LFsOpS {
public:
    LFsDescendS(const LFsSpec& folder, const unsigned char* name);
    LFsDescendS(const LFsSpec& folder, const char* name)
        : LFsDescendS(folder, reinterpret_cast<const unsigned char*>(name)) {}
};

// The status of a failed POSIX call: missing folders and bad names give 2, the rest 1.
uint32_t LFsStatusFromErrno(int err);
