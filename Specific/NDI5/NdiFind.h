#pragma once

#include "Specific/NDI5/NdiLib.h"
#include "Specific/NDI5/NdiTypes.h"

// A finder of NDI sources, showing local sources too.
class CNdiFind {
public:
    explicit CNdiFind(const CNdiLib& lib);
    ~CNdiFind();
    CNdiFind(const CNdiFind&) = delete;
    CNdiFind& operator=(const CNdiFind&) = delete;

    bool HasInstance() const { return fInstance != nullptr; }
    // The current sources, valid until the next call; null with count 0 when none.
    const NDIlib_source_t* GetSrcs(uint32_t& count) const;
    bool CheckChange() const;

private:
    NDIlib_find_instance_t fInstance = nullptr;
    NDIlib_find_destroy_f fDestroy = nullptr;
    NDIlib_find_get_current_sources_f fGetSources = nullptr;
    NDIlib_find_wait_for_sources_f fWait = nullptr;
};
