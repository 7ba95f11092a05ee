#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"

class CRecordHolder;
class LHandler;
class LString;

// The undo entries of record edits. The setters of CRecordRef call these, before storing, only
// when an editing handler is given and the record belongs to a holder; `merge` is the result of
// CRecordHolder::CanMergeEdit (1 new entry, 2 continue the previous one). The entries go to the
// undo queue found from the editor; with no queue nothing is written.
class CRecordUndo {
public:
    static void ScalarSet(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                          uint64_t oldCell, uint64_t newCell, int merge);
    static void FloatSet(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                         float oldValue, float newValue, int merge);
    static void StringSet(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                          const LString& oldText, const LString& newText, int merge);
    // Element values are given as the array stores them.
    static void ArraySet(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                         const void* oldValues, uint32_t oldCount, const void* newValues, uint32_t newCount,
                         int merge);
    static void ArrayValueSet(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                              uint32_t index, const void* oldValue, const void* newValue, int merge);
    static void ArrayValueInsert(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                                 uint32_t index, const void* value);
    static void ArrayValueRemove(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                                 uint32_t index, const void* oldValue);
    static void SubRecordReplace(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                                 const CRecord* oldChild, const CRecord* newChild);
    static void RecordInsert(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                             uint32_t index, const CRecord* child);
    static void RecordRemove(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                             uint32_t index, const CRecord* element);
    static void RecordMove(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                           uint32_t from, uint32_t to);
    // Brackets several edits into one undo step; returns a token for EndGroup (null: no group).
    static void* BeginGroup(LHandler* editor);
    // A named group: the Undo and Redo menu items show the name.
    static void* BeginGroup(LHandler* editor, const LString& name);
    static void EndGroup(void* group);
};
