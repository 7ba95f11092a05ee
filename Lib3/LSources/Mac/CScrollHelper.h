#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/CLRect.h"

L_MESSAGE_ID(CScrollHelper_Scroll);

// Scrolls while a drag hovers near the edges of a rectangle: "CScrollHelper_Scroll" to the upper
// after the initial key delay, again after it, then at the repeat delay. Main thread only.
class CScrollHelper : public LHandler {
public:
    explicit CScrollHelper(LHandler* upper) : LHandler(upper), fTimer(this) {}

    LMessage Handle(const LMessage& msg) override;

    // The point is inside the rectangle shrunk by the margins: stops; else starts when idle and
    // takes the direction of the edges it is near.
    void Update(const CLPoint& p, const CLRect& r, int32_t mx, int32_t my);
    // True when it was running.
    bool Stop();

    int32_t DirectionX() const { return fDx; }
    int32_t DirectionY() const { return fDy; }
    uint8_t StateOf() const { return fState; }
    LTimer* Timer() { return &fTimer; }

private:
    LTimer fTimer;
    int32_t fDx = 0;
    int32_t fDy = 0;
    uint8_t fState = 0;
};
