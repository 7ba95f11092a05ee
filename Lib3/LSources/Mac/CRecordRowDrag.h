#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/Mac/CListDragDropHelper.h"
#include "Lib3/LSources/Mac/LScrapType.h"

class LDrawContext;
class LListPane;

// Dragging the rows of a list that shows the elements of a record-array field: the list hands its
// messages to Handle first. Rows drag out as a list scrap of the type; a drop of the type inserts the
// records at the drop row, and a drop of the list's own rows moves them, each as one undo group
// through the editing handler. The list draws the insertion marker with DrawHighlight. Main thread
// only.
class CRecordRowDrag {
public:
    // flags bit 0: rows only move inside the list (others' drags are not taken).
    CRecordRowDrag(LListPane* list, const LScrapType& type, uint32_t flags = 0);
    ~CRecordRowDrag();
    CRecordRowDrag(const CRecordRowDrag&) = delete;
    CRecordRowDrag& operator=(const CRecordRowDrag&) = delete;

    // True when the message was the drag's: *reply is the list's answer. A drop that inserted or moved
    // rows selects them; *rows (when given) gets their count. A null record takes no drop.
    bool Handle(LHandler* editor, CRecordRef record, uint32_t field, const LMessage& msg, LMessage* reply,
                int32_t* rows = nullptr);
    void DrawHighlight(LDrawContext& ctx);

    CListDragDropHelper& Helper() { return *fHelper; }
    const LScrapType& Type() const { return fType; }

private:
    bool IsDragMessage(const LMessage& msg);

    LListPane* fList;
    LScrapType fType;
    uint32_t fFlags;
    std::unique_ptr<CListDragDropHelper> fHelper;
};
