#include "Specific/NDI5/NdiFind.h"

CNdiFind::CNdiFind(const CNdiLib& lib) {
    auto create = lib.Find<NDIlib_find_create_v2_f>("NDIlib_find_create_v2");
    if (!create) return;
    fDestroy = lib.Find<NDIlib_find_destroy_f>("NDIlib_find_destroy");
    fGetSources = lib.Find<NDIlib_find_get_current_sources_f>("NDIlib_find_get_current_sources");
    fWait = lib.Find<NDIlib_find_wait_for_sources_f>("NDIlib_find_wait_for_sources");
    if (!fDestroy) return;  // an instance nobody could destroy is not made
    NDIlib_find_create_t settings{true, nullptr, nullptr};
    fInstance = create(&settings);
}

CNdiFind::~CNdiFind() {
    if (fInstance && fDestroy) fDestroy(fInstance);
}

const NDIlib_source_t* CNdiFind::GetSrcs(uint32_t& count) const {
    count = 0;
    if (!fInstance || !fGetSources) return nullptr;
    const NDIlib_source_t* sources = fGetSources(fInstance, &count);
    if (!sources) count = 0;
    return sources;
}

bool CNdiFind::CheckChange() const {
    return fInstance && fWait && fWait(fInstance, 0);
}
