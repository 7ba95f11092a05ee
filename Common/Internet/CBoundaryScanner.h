#pragma once

#include <cstdint>

#include "Common/Container/CBytes.h"
#include "Lib3/LSources/CoreString/LString.h"

// Decides, byte by byte, whether the bytes of a multipart body are part data or belong to a
// boundary line, holding back the few bytes that might start one.
class CBoundaryScanner {
public:
    enum Answer : int {
        kData = 0,      // this byte is part data
        kHeld = 1,      // held back, or swallowed as part of a boundary line
        kFlush = 2,     // the held bytes (Held(), this byte included when it is data) are data
        kNextPart = 3,  // a boundary line ended: a new part starts with the next byte
        kEnd = 4,       // the closing boundary line ended
    };

    // The boundary without the leading "--". The scanner starts in state 2, where a boundary is
    // accepted at once (the start of the body).
    explicit CBoundaryScanner(const LString& boundary) : fBoundary(boundary) {}

    int Feed(uint8_t byte);

    const uint8_t* Held() const { return fHeld.Data(); }
    uint32_t HeldCount() const { return fHeld.Count(); }
    bool ClosingSeen() const { return fClosing; }
    uint8_t State() const { return fState; }
    void SetState(uint8_t state) { fState = state & 7; }

private:
    int MatchBoundary(uint8_t byte);

    LString fBoundary;
    CBytes fHeld;
    bool fReinsertCR = false;
    bool fDiscard = false;
    bool fClosing = false;
    uint8_t fState = 2;
};
