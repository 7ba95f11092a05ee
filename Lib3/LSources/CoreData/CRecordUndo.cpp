#include "Lib3/LSources/CoreData/CRecordUndo.h"

// No undo queue answers yet: every entry is dropped, which is what an editor without a queue
// above it gets.

void CRecordUndo::ScalarSet(LHandler*, CRecordHolder*, CRecordRef, uint32_t, uint64_t, uint64_t, int) {}
void CRecordUndo::FloatSet(LHandler*, CRecordHolder*, CRecordRef, uint32_t, float, float, int) {}
void CRecordUndo::StringSet(LHandler*, CRecordHolder*, CRecordRef, uint32_t, const LString&, const LString&,
                            int) {}
void CRecordUndo::ArraySet(LHandler*, CRecordHolder*, CRecordRef, uint32_t, const void*, uint32_t,
                           const void*, uint32_t, int) {}
void CRecordUndo::ArrayValueSet(LHandler*, CRecordHolder*, CRecordRef, uint32_t, uint32_t, const void*,
                                const void*, int) {}
void CRecordUndo::ArrayValueInsert(LHandler*, CRecordHolder*, CRecordRef, uint32_t, uint32_t, const void*) {}
void CRecordUndo::ArrayValueRemove(LHandler*, CRecordHolder*, CRecordRef, uint32_t, uint32_t, const void*) {}
void CRecordUndo::SubRecordReplace(LHandler*, CRecordHolder*, CRecordRef, uint32_t, const CRecord*,
                                   const CRecord*) {}
void CRecordUndo::RecordInsert(LHandler*, CRecordHolder*, CRecordRef, uint32_t, uint32_t, const CRecord*) {}
void CRecordUndo::RecordRemove(LHandler*, CRecordHolder*, CRecordRef, uint32_t, uint32_t, const CRecord*) {}
void CRecordUndo::RecordMove(LHandler*, CRecordHolder*, CRecordRef, uint32_t, uint32_t, uint32_t) {}
void* CRecordUndo::BeginGroup(LHandler*) {
    return nullptr;
}
void CRecordUndo::EndGroup(void*) {}
