#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LListPane.h"

class CDragger;
class LScrapData;

// The drag source of a list's cells, held by the list: a press on the selection (or, in a
// single-selection list, on any cell) becomes a drag of the selected cells; a press elsewhere
// waits 333 ms while the list selects as usual. The list gives its messages to Dispatch first:
// 0 not taken, 1 consumed, 2 a drag has begun (hand the data with SetDragData). Mode 1 walks the
// selection column by column, else row by row. Main thread only.
class CCellDragHelper {
public:
    enum : int32_t { kNotTaken = 0, kConsumed = 1, kDragBegun = 2 };
    static constexpr uint32_t kUnselectedDelayMs = 333;

    CCellDragHelper(LListPane* owner, uint32_t mode);
    ~CCellDragHelper();
    CCellDragHelper(const CCellDragHelper&) = delete;
    CCellDragHelper& operator=(const CCellDragHelper&) = delete;

    int32_t Dispatch(const LMessage& msg);
    // Gives the scrap to the running drag (released at once without one).
    void SetDragData(std::unique_ptr<LScrapData> scrap, bool severalItems);

    CDragger* Dragger() const { return fDragger; }
    LTimer* Timer() { return &fTimer; }
    CLPoint PressedCell() const { return fPressed; }
    CLPoint DraggedCell() const { return fDragged; }
    bool SeveralItems() const { return fSeveral != 0; }
    uint32_t Mode() const { return fMode; }
    bool IsDragging() const { return fDragger != nullptr; }

private:
    void RetireDragger();

    LListPane* fOwner;
    LTimer fTimer;
    CDragger* fDragger = nullptr;
    CLPoint fPressed{-1, -1};
    CLPoint fDragged{-1, -1};
    uint8_t fOnSelection = 0;
    uint8_t fSeveral = 0;
    uint32_t fMode;
};
