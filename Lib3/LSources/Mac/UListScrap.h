#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Common/Container/CBytes.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/CScrapReader.h"
#include "Lib3/LSources/CoreData/CScrapWriter.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/Mac/CDragScrap.h"
#include "Lib3/LSources/Mac/LScrapType.h"

class CListDragDropHelper;
class CPasteboardU;
class LMenuBar;
class LPasteboardReader;
class LScrapData;

// Records written as a list scrap.
class CListScrap {
public:
    CListScrap() : fWriter(1, 1, fBuffer) {}
    [[nodiscard]] bool PutRecord(const CRecord* record) { return fWriter.WriteRecord(record); }
    // Closes the writer: one item of the type with the written bytes (flags 0); null when memory ran
    // out.
    std::unique_ptr<LScrapData> MakeScrapData(const LScrapType& type);

private:
    CBytes fBuffer;
    CScrapWriter fWriter;
};

// The records of a list scrap on a drop.
class CListDropScrap : public CDragScrap {
public:
    CListDropScrap(LDrop* drop, const LScrapType& type);
    // The next record (owned by the caller) or null.
    CRecord* NextRecord();

private:
    std::unique_ptr<CScrapReader> fReader;
};

// Index counter of a move of several rows to one place.
struct LIndexRemap {
    uint32_t count = 0;
    uint32_t removedBefore = 0;
    uint8_t pending = 0;
    uint32_t Remap(uint32_t index);
};

// Cut, Copy, Paste, Delete and drag and drop of the rows of a list that shows the elements of
// record-array field F of record R (axis 1: rows are the list's rows, 0: its columns), as undoable
// edits through the pasteboard.
struct UListScrap {
    using DoneCallback = void (*)(void* context);

    // The indices of the selection along the axis, ascending.
    static std::vector<uint32_t> Indices(const CRgn& selection, uint32_t axis);
    static std::unique_ptr<LScrapData> CopyRows(const LScrapType& type, CRecordRef record, uint32_t field,
                                                const CRgn& selection, uint32_t axis);
    static void DeleteRows(LHandler* undo, const LString& groupName, CRecordRef record, uint32_t field,
                           const CRgn& selection, uint32_t axis);
    // Inserts the records of the type read from the reader at *index (clamped to the count and
    // written back, then advanced); records of another type are dropped when the field is typed.
    static uint32_t PasteRows(LHandler* undo, CRecordRef record, uint32_t field, const LScrapType& type,
                              const LPasteboardReader& reader, uint32_t* index, DoneCallback done = nullptr,
                              void* context = nullptr);
    static void EnableEditCommands(LMenuBar* bar, const CRgn& selection, const LScrapType& type,
                                   const CPasteboardU& pasteboard);
    // -1 handled, 0 not handled, or the number of rows pasted.
    static int32_t DoEditCommand(LHandler* undo, CRecordRef record, uint32_t field, const CRgn& selection,
                                 uint32_t axis, const LScrapType& type, LMsgId message, uint32_t* index,
                                 CPasteboardU& pasteboard, DoneCallback done = nullptr,
                                 void* context = nullptr);
    // -2 drag started, -1 handled or not concerned, 0 nothing (the list's normal handling), n rows
    // inserted or moved. Flags bit 0: rows only move inside the list.
    static int32_t HandleDragDrop(LHandler* undo, CRecordRef record, uint32_t field, const CRgn& selection,
                                  uint32_t axis, const LScrapType& type, CListDragDropHelper& helper,
                                  const LMessage& message, uint32_t* index, uint32_t flags,
                                  DoneCallback done = nullptr, void* context = nullptr);
    // Moves the selected rows before *index; *index becomes the start of the moved block.
    static uint32_t MoveSelectedRows(LHandler* undo, CRecordRef record, uint32_t field, uint32_t axis,
                                     const CRgn& selection, uint32_t* index);
};
