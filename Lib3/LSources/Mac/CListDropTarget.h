#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/Mac/CDropTargetHelper.h"
#include "Lib3/LSources/Mac/CScrollHelper.h"

class LDrawContext;
class LListPane;

// The drop side of a list: scrolls while a drag hovers near its edges, shows an insertion marker
// (0 bar above the cell, 1 bar left of it, 2 frame around it, 3 around its row, 4 around its column)
// in system colour 4 and passes the feedback on. The list draws the marker with DrawHighlight.
class CListDropTarget : public CDropTargetHelper, public LHandler {
public:
    explicit CListDropTarget(LListPane* list);

    int32_t Dispatch(const LMessage& msg) override;
    LMessage Handle(const LMessage& msg) override;

    void Accept(uint32_t mode);
    void AcceptAt(uint32_t mode, const CLPoint& cell, uint32_t markerKind);
    void SetFeedback(uint32_t mode);
    void DrawHighlight(LDrawContext& ctx);
    void HideMarker();
    CLPoint DropCell();
    CLPoint DropGap();
    // The drop location in the list's owner coordinates.
    CLPoint DropLocal();

    LListPane* List() const { return fList; }
    CLPoint InsertionCell() const { return fInsertion; }
    uint32_t MarkerKind() const { return fKind; }
    bool IsHighlighted() const { return fHighlighted; }
    uint32_t Operation() const { return fOperation; }
    CScrollHelper& ScrollHelper() { return fScroll; }
    CRgn MarkerRegion() const;

private:
    uint32_t Resolve(uint32_t mode) const;
    void InvalidateMarker();

    LListPane* fList;
    CLPoint fInsertion{-1, -1};
    CScrollHelper fScroll;
    uint8_t fHighlighted = 0;
    uint32_t fKind = 0;
    uint32_t fOperation = 0;
};
