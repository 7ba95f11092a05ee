#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/URsrc.h"

// Loads from one resource file, making it current for the load only.
class ResourceFileProvider : public ResourceProvider {
public:
    explicit ResourceFileProvider(int32_t fileRef) : mFileRef(fileRef) {}
    bool Lookup(LRsrcObject& object, const SRsrcRequest& request) override;
    int32_t FileRef() const { return mFileRef; }

    // The compiled resource file of the application bundle, "Resources/Orbilume.rsrc".
    static const char* ApplicationFileName() { return "Orbilume.rsrc"; }
    // Opens that file (it becomes current); its reference number, or -1 when it cannot be read.
    [[nodiscard]] static int32_t OpenApplicationFile();

private:
    int32_t mFileRef;
};
