#pragma once

#include <cstdint>

#include "Lib3/LSources/Fs/LFsSpec.h"

// Resolves an alias, which on Linux is a symbolic link (chains are followed). Status: 0 resolved
// (or not an alias), 2 a folder on the way is missing, 3 the target is missing, 1 anything else.
class CAliasResolver {
public:
    explicit CAliasResolver(const LFsSpec& spec);
    virtual ~CAliasResolver() = default;

    uint32_t Status() const { return fStatus; }
    bool WasAlias() const { return fWasAlias != 0; }
    const LFsSpec& Spec() const { return fSpec; }

    // The framework-wide switch (on by default); when off the spec stays as given.
    static void SetEnabled(bool enabled);
    static bool IsEnabled();

private:
    uint32_t fStatus = 0;
    uint8_t fWasAlias = 0;
    LFsSpec fSpec;
};
