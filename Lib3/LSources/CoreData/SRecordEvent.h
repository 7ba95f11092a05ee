#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"

class LHandler;

// A change of a record tree, as the holder's observers and the type hooks (operation 1) see it.
struct SRecordEvent {
    enum : uint32_t {
        kValueChanged = 0,  // a value or a whole array of `field` changed
        kInserted = 1,      // an element was inserted into array `field` at index1
        kRemoved = 2,       // element index1 was removed from array `field`
        kMoved = 3,         // record-array element moved from index1 to index2
        kAttached = 4,      // the record joined the tree (parents before children)
        kDeleting = 5,      // the record is about to leave the tree (children before parents)
        kInserting = 6,     // the record is about to join a record array at index1 (a hook may change it)
        kRemoving = 7,      // the record at index1 is about to leave its record array
    };

    LHandler* editor;   // null for edits made by undo, redo, loading and resets
    CRecordRef record;  // the record concerned; for kinds 4-7 valid only during the call
    uint32_t kind;
    uint8_t field;   // CRecord::kWholeRecord for kinds 4-7
    int32_t index1;  // element index; -1 for a whole-array replacement
    int32_t index2;  // see the kinds; -1 when not used
};

// An observer of a holder: called as function(context, event) for every event.
using RecordObserverFunction = void(void* context, const SRecordEvent* event);
struct SRecordObserver {
    void* context;
    RecordObserverFunction* function;
};
