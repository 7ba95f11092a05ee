#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Engine/CChainUnit.h"

// A chain unit (kind 1) whose image feeds an image parameter: a clip (movie, picture, capture,
// another layer's tap) played through an internal composition. Here only what units and
// parameters use of it: the clip name, the reload request, loading, evaluation and idling.
class CMediaUnit : public CChainUnit {
public:
    explicit CMediaUnit(uint32_t depth = 0);
    ~CMediaUnit() override;

    const LString& Clip() const { return fClip; }
    bool ReloadRequest() const { return fReload; }
    void SetReloadRequest(bool reload) { fReload = reload; }
    bool IsIdle() const { return fIdle; }
    void MarkIdle() { fIdle = true; }

    // Loads the clip with the media unit's record; frame lock held.
    virtual void LoadClip(CUnitHost* host, const LString& clip, CRecord* record);
    virtual bool EvaluateMedia(SFrameInfo& info, CUnit*& out);

private:
    LString fClip;
    bool fReload = false;
    bool fIdle = false;
};
