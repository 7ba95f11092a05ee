#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/CListDragDropHelper.h"
#include "Lib3/LSources/Mac/UListScrap.h"
#include "Lib3/LSources/Mac/UPasteboard.h"
#include "tests/Lib3/LSources/CoreData/RecordTestTypes.h"

// A document that owns an undo queue and answers for it.
class UndoDocument : public LHandler {
public:
    UndoDocument() : queue(0x10000) {}
    LMessage Handle(const LMessage& msg) override {
        if (queue.HandleMessage(msg)) return LMessage();
        return LHandler::Handle(msg);
    }
    CUndoQueue queue;
};

// A list over the elements of a record-array field, with drag and drop of its rows and the edit
// commands, as the application's record lists do. Selected cells are drawn in system colour 3.
class RecordList : public LListPane {
public:
    RecordList(LPane* owner, CRecordRef record, uint32_t field, LScrapType type, LHandler* editor,
               uint32_t flags = 0)
        : LListPane(owner, kSelectMultiple),
          fRecord(record),
          fField(field),
          fType(type),
          fEditor(editor),
          fFlags(flags) {
        fHelper = std::make_unique<CListDragDropHelper>(this, 1, 0);
        SetCellSize(100, 20);
        SyncRows();
    }

    void SyncRows() { SetGridSize(1, int32_t(fRecord->ArrayCount(fField))); }
    CListDragDropHelper& Helper() { return *fHelper; }
    std::vector<int32_t> codes;  // HandleDragDrop answers
    uint32_t lastIndex = 0;

    LMessage Handle(const LMessage& msg) override {
        if (!fHelper) return LListPane::Handle(msg);
        if (msg.Is(LMenuBar_Ready)) {
            UListScrap::EnableEditCommands(static_cast<LMenuBar*>(msg.sender), Selection(), fType,
                                           fPasteboard);
            return LListPane::Handle(msg);
        }
        if (msg.Is(LMenuItem_Selected)) {
            const LString command = static_cast<LMenuItem*>(msg.sender)->GetFirstCommand();
            uint32_t index = FocusIndex();
            const int32_t r = UListScrap::DoEditCommand(fEditor, fRecord, fField, Selection(), 1, fType,
                                                        LMsgId(command.CStr()), &index, fPasteboard);
            SyncRows();
            if (r != 0) return LMessage();
            return LListPane::Handle(msg);
        }
        if (msg.Is(LMsgId("LStdCmd_Cut")) || msg.Is(LMsgId("LStdCmd_Copy")) ||
            msg.Is(LMsgId("LStdCmd_Paste")) || msg.Is(LMsgId("LStdCmd_Delete"))) {
            uint32_t index = FocusIndex();
            const int32_t r = UListScrap::DoEditCommand(fEditor, fRecord, fField, Selection(), 1, fType,
                                                        msg.id, &index, fPasteboard, &Resync, this);
            SyncRows();
            if (r != 0) return LMessage();
        }
        LMouse* mouse = LMouse::Get();
        const bool click = msg.Is(LMouse_Click) && mouse && msg.sender == mouse;
        const bool heldBack = click && !mouse->IsShiftDown() && !mouse->IsCommandDown() &&
                              !mouse->IsOptionDown() && !mouse->IsControlDown() &&
                              IsSelected(CellAt(MouseLocal()));
        LHandlerWatch watch(this);
        uint32_t index = 0;
        const int32_t r = UListScrap::HandleDragDrop(fEditor, fRecord, fField, Selection(), 1, fType,
                                                     *fHelper, msg, &index, fFlags, &Resync, this);
        if (watch.IsGone()) return LMessage();
        codes.push_back(r);
        if (r > 0) {
            lastIndex = index;
            SyncRows();
            SetSelection(CRgn(CLRect{0, int32_t(index), 1, int32_t(index) + r}));
        }
        if (r > 0) return LMessage();
        if (r == -2) return LListPane::Handle(msg);  // the drag message goes back to the dragger
        if (r == -1) {
            if (heldBack) {
                // A press on a selected cell may start a drag: the selection waits.
                Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
                return LMessage(LPane_ReqCapture, this, Upper());
            }
            // The dragger's end is passed on untaken, back to the dragger.
            if (msg.Is(CDragger_End)) return LListPane::Handle(msg);
            return LMessage();
        }
        return LListPane::Handle(msg);
    }

    void DrawCell(LDrawContext& ctx, const CLPoint& cell, const CLRect& r) override {
        if (cell.y < Rows() && IsSelected(cell)) LPaint(CRgn(r), LColor::System(3)).Fill(ctx);
    }
    void Draw(LDrawContext& ctx) override {
        LListPane::Draw(ctx);
        fHelper->DrawHighlight(ctx);
    }

private:
    uint32_t FocusIndex() const {
        const CLRect b = Selection().bounds();
        return Selection().IsEmpty() ? uint32_t(Rows()) : uint32_t(b.bottom);
    }
    static void Resync(void*) {}

    CRecordRef fRecord;
    uint32_t fField;
    LScrapType fType;
    LHandler* fEditor;
    uint32_t fFlags;
    CPasteboardU fPasteboard;
    std::unique_ptr<CListDragDropHelper> fHelper;
};

// Labels of the elements of a record-array field.
inline std::vector<std::string> Labels(const CRecord* r, uint32_t field) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < r->ArrayCount(field); ++i) out.push_back(rtest::Label(r->GetElement(field, i)));
    return out;
}
