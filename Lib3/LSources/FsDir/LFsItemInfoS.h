#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

// Looks an item up, reads and writes its attributes, or enumerates a folder.
//
// Attributes on Linux: the classic type and creator codes and the hidden flag live in the extended
// attributes "user.orbilume.type", "user.orbilume.creator" (4 bytes, most significant first) and
// "user.orbilume.hidden"; where the file system has no user attributes they read as 0 and writing
// them is a no-op. Names starting with "." are always hidden. The creation date is the birth time
// where the file system records one, else the modification time; a written creation date is kept
// in "user.orbilume.created".
class LFsItemInfo {
public:
    enum : uint32_t { kFound = 0, kWriteFailed = 2, kNotFound = 3 };

    virtual ~LFsItemInfo();

    uint32_t Status() const { return fStatus; }

    // The current item.
    bool isDirectory() const;
    bool isInvisible() const;
    LString name() const;
    double createdG() const;  // seconds since 1 January 2001, UTC
    double modifiedG() const;
    uint32_t creator() const;  // 0 when absent
    uint32_t filetype() const;

    // Pending until SetInfo; ignored when there is no current item.
    void SetCreatedG(double seconds);
    void SetModifiedG(double seconds);
    void SetVisibility(bool visible);
    void SetCreator(uint32_t code);
    void SetFiletype(uint32_t code);
    // Writes the pending changes: status 3 when the item is gone, 2 for any other failure.
    void SetInfo();

protected:
    LFsItemInfo() = default;

    void OpenFolder(const std::string& folder);
    void SetCurrent(const std::string& path);
    void DropPending() { fPending = Pending(); }
    bool HasCurrent() const { return fStatus == kFound && !fCurrent.empty(); }

    struct Pending {
        bool created = false, modified = false, visibility = false, creator = false, filetype = false;
        double createdG = 0, modifiedG = 0;
        bool visible = true;
        uint32_t creatorCode = 0, filetypeCode = 0;
    };

    uint32_t fStatus = kNotFound;
    std::string fFolder;              // the folder being enumerated
    std::vector<std::string> fNames;  // its children, sorted
    size_t fIndex = 0;
    std::string fCurrent;  // POSIX path of the current item
    Pending fPending;
};

class LFsItemInfoS : public LFsItemInfo {
public:
    // Without enumeration: status 0 when the item is reachable. With it: a shallow enumeration of
    // the folder (hidden items included) with the first child current; status 3 for none.
    LFsItemInfoS(const LFsSpec& spec, bool enumerate);
    // Enumerates the children of another info's current item.
    explicit LFsItemInfoS(const LFsItemInfoS& parent);

    void Next();
    // The current item's spec when enumerating, else the spec given.
    void GetSpec(LFsSpec& spec) const;

private:
    bool fEnumerate;
    LFsSpec fSpec;
    LFsSpec fCurrentSpec;

    void UpdateCurrentSpec();
};
