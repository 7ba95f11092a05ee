#pragma once

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

// The file path of a document-like object with its default name ("untitled.obm") and the
// process-wide remembered location that the file panels for this kind of file start in. The
// remembered spec is borrowed (a static of the application); the callback reads (operation 0) or
// stores (any other) it. Main thread only.
class CDocPathHolder {
public:
    using FolderCallback = void (*)(void* context, int operation, LFsSpec& spec);

    CDocPathHolder(const LString& defaultName, LFsSpec* remembered);
    CDocPathHolder(const LString& defaultName, void* context, FolderCallback callback);

    const LFsSpec& Path() const { return mPath; }
    // A spec with a name is also remembered.
    void SetPath(const LFsSpec& spec);
    // The path's name, or the default name.
    LString DisplayName() const;
    // The path when it has a name, else the default location named with the default name.
    LFsSpec SavePath() const;
    // The remembered location; without one, Documents joined with the default name, which is then
    // remembered.
    LFsSpec DefaultLocation() const;

    // The remembered-spec callback over an LFsSpec* context.
    static void RememberedSpec(void* context, int operation, LFsSpec& spec);

private:
    LString mDefaultName;
    LFsSpec mPath;
    void* mContext;
    FolderCallback mCallback;
};
