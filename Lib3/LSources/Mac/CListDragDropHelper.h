#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/Mac/CListDropTarget.h"

class CDragger;
class LScrapData;

L_MESSAGE_ID(CListDragDropHelper_Sense);

// Drag and drop of a list's cells: decides between a click and a drag on cells, makes the dragger
// and its image, and folds the list's messages into action codes for its owner (kNone not for the
// helper or a click on a selected cell held back, kConsumed, kDraggerMade, kNoDrag, kDragStarting:
// give the data, kDragEntered: check the type and accept, kDropped: insert or move and set the
// feedback). The helper owns its dragger and deletes it once the dragger's message has been
// dispatched; a helper that goes mid-drag abandons it and the drag ends quietly.
class CListDragDropHelper : public CListDropTarget {
public:
    enum : int32_t {
        kNotMine = 0,
        kConsumed = 1,
        kDraggerMade = 2,
        kNoDrag = 3,
        kDragStarting = 4,
        kDragEntered = 5,
        kDropped = 6,
    };
    enum : uint32_t { kShiftAdds = 1u << 0 };
    static constexpr uint32_t kUnselectedDelayMs = 333;

    CListDragDropHelper(LListPane* list, uint32_t axis, uint32_t options);
    ~CListDragDropHelper() override;

    int32_t Dispatch(const LMessage& msg) override;
    void SetDropFeedback(uint32_t mode);
    // Gives the data to the running dragger (released without one).
    void SetDragData(std::unique_ptr<LScrapData> data, bool severalCells);

    CDragger* Dragger() const { return fDragger; }
    LTimer* Timer() { return &fTimer; }
    CLPoint SourceCell() const { return fSource; }
    CLPoint TargetCell() const { return fTarget; }
    uint32_t OperationAtDrop() const { return fOpAtDrop; }
    uint32_t Axis() const { return fAxis; }
    bool IsSource() const { return fSource.x >= 0 && fSource.y >= 0; }

private:
    uint32_t DefaultOperation();
    int32_t HandleDrag();
    int32_t HandleDrop();
    void RetireDragger();

    LTimer fTimer;
    CDragger* fDragger = nullptr;
    CLPoint fSource{-1, -1};
    uint32_t fOptions;
    CLPoint fClicked{-1, -1};
    CLPoint fTarget{-1, -1};
    uint8_t fPressedInSelection = 0;
    uint8_t fSeveral = 0;
    uint32_t fAxis;
    uint32_t fOpAtDrop = 0;
    uint32_t fInternalFeedback = 1;
};

// The image region of a list's selected cells in screen coordinates: the visible rows (partial ones
// included) of the selection, walked along the axis.
CRgn ListDragImageRegion(LListPane* list);

// The drag side of a list that only exports its cells.
class CListDragSource {
public:
    CListDragSource(LListPane* list, uint32_t axis);
    ~CListDragSource();
    CListDragSource(const CListDragSource&) = delete;
    CListDragSource& operator=(const CListDragSource&) = delete;

    // 0 not handled, 1 consumed, 2 drag starting (give the data).
    int32_t Dispatch(const LMessage& msg);
    void SetDragData(std::unique_ptr<LScrapData> data, bool severalCells);
    CDragger* Dragger() const { return fDragger; }
    LTimer* Timer() { return &fTimer; }

private:
    void RetireDragger();

    LListPane* fList;
    LTimer fTimer;
    CDragger* fDragger = nullptr;
    CLPoint fSource{-1, -1};
    CLPoint fClicked{-1, -1};
    uint8_t fPressedInSelection = 0;
    uint8_t fSeveral = 0;
    uint32_t fAxis;
};
