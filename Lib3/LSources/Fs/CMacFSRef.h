#pragma once

#include <string>

#include "Platform/Foundation/FileRef.h"

class LFsSpec;

// A file-system reference of an LFsSpec's item (not following a final symbolic link); all zero when
// the item does not exist. The parent form holds the reference of the parent folder and the leaf
// name as UTF-16, which is what making the item needs.
class CMacFSRef {
public:
    explicit CMacFSRef(const LFsSpec& spec);
    static CMacFSRef ParentAndLeaf(const LFsSpec& spec);

    const plat::FileRef& Ref() const { return fRef; }
    bool IsValid() const { return fRef.IsValid(); }
    // The leaf of the parent form; empty otherwise.
    const std::u16string& Leaf() const { return fLeaf; }

private:
    CMacFSRef() = default;

    plat::FileRef fRef;
    std::u16string fLeaf;
};
