#include "Orbilume/CSources/Engine/CMediaUnit.h"

CMediaUnit::CMediaUnit(uint32_t depth) : CChainUnit(nullptr, kMedia, depth) {}

CMediaUnit::~CMediaUnit() = default;

void CMediaUnit::LoadClip(CUnitHost*, const LString& clip, CRecord*) {
    fClip = clip;
}

bool CMediaUnit::EvaluateMedia(SFrameInfo& info, CUnit*& out) {
    fIdle = false;
    return Evaluate(info, out);
}
