#pragma once

// The first member of the application object. Where a system script engine reports extra memory
// cost through a routine that must be silenced, constructing this patches it; this platform has
// no such routine, so it does nothing, and no page of the process is ever made writable and
// executable.
class CJsCostPatch {
public:
    CJsCostPatch() = default;
    CJsCostPatch(const CJsCostPatch&) = delete;
    CJsCostPatch& operator=(const CJsCostPatch&) = delete;
};
