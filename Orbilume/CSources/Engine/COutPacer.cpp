#include "Orbilume/CSources/Engine/COutPacer.h"

#include <algorithm>
#include <cstdlib>

uint32_t COutPacer::SaneFps(int32_t fps) {
    return static_cast<uint32_t>(std::clamp(fps, 1, kMaxFps));
}

void COutPacer::Start(int32_t fps, uint64_t hostFrequency, uint64_t now) {
    fStarted = true;
    fDropShown = false;
    fDropCounter = 0;
    fSkip = 0;
    fIntervalAverage = fIntervalDeviation = fSwapAverage = fSwapDeviation = 0;
    fUnitScale = static_cast<float>(double(kUnitsPerSecond) / double(hostFrequency ? hostFrequency : 1));
    fFps = SaneFps(fps);
    fPeriod = kUnitsPerSecond / fFps;  // at least 10 with fps <= 1000
    fHalfPeriod = (kUnitsPerSecond / 2) / fFps;
    fFrameMs = 1000 / fFps;
    fMaxSkip = fFps / 20;
    fDropDecay = fFps <= 100 ? 100 / fFps : 1;
    fLastHostTime = now;
    fElapsed = fPeriod;
}

uint32_t COutPacer::Units(uint64_t from, uint64_t to) const {
    return static_cast<uint32_t>(static_cast<float>(to - from) * fUnitScale);
}

uint32_t COutPacer::Elapse(uint64_t now, bool adaptiveSleep) {
    fElapsed = Units(fLastHostTime, now);
    if (!adaptiveSleep || fSkip == 0) return 0;
    const int32_t wait = static_cast<int32_t>((fSkip + 1) * fPeriod) -
                         static_cast<int32_t>(fSwapAverage / 16 + fElapsed + fHalfPeriod);
    return wait > 0 ? static_cast<uint32_t>(wait) : 0;
}

void COutPacer::Average(uint32_t sample, uint32_t& average, uint32_t& deviation) {
    const int32_t d = static_cast<int32_t>(sample - average / 16);
    average += static_cast<uint32_t>(d);
    deviation += static_cast<uint32_t>(std::abs(d)) - deviation / 8;
}

int32_t COutPacer::Finish(uint64_t t0, uint64_t t1, uint64_t t2, uint32_t nowMs) {
    Average(Units(t0, t1), fSwapAverage, fSwapDeviation);
    Average(fElapsed, fIntervalAverage, fIntervalDeviation);

    const uint32_t since = Units(fLastHostTime, t2);
    uint32_t frames = (since + fPeriod / 2) / fPeriod;
    frames = std::max<uint32_t>(std::min(frames, fMaxSkip), 1);
    const uint32_t skipped = frames - 1;
    fLastHostTime = t2;
    const uint32_t decay = frames * fDropDecay;
    fDropCounter = fDropCounter > decay ? fDropCounter - decay : 0;

    if (skipped > fSkip) {
        fDropCounter = std::min(fDropCounter + (skipped - fSkip) * fFrameMs, kMaxDropMs);
        fSkip = skipped;
        fDropShown = true;
        fDropTime = nowMs;
    } else if (fDropShown) {
        if (nowMs - fDropTime >= kDropHoldMs) fDropShown = false;
    } else {
        const uint32_t estimate = fSwapAverage / 16 + ((fSwapDeviation * 2) >> 3) + fIntervalAverage / 16 +
                                  ((fIntervalDeviation * 2) >> 3);
        // Below 20 fps there is no skip to cap at: the estimate stays 0.
        const uint32_t cap = fMaxSkip > 0 ? fMaxSkip - 1 : 0;
        fSkip = std::min(estimate / fPeriod, cap);
    }
    fLag = static_cast<int32_t>(fSkip * fFrameMs) - static_cast<int32_t>(fDropCounter);
    return fLag;
}
