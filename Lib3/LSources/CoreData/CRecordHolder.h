#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LCallbackList.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"

class LHandler;

// Owns the root of a record tree (a document, the preferences, a dimmer document) and its
// observers. A change that reaches the root through tagged fields marks the holder modified and
// counts; changes below an internal (tag 0) field do not.
class CRecordHolder {
public:
    // Takes the root (which may be null); the root's position word names this holder.
    explicit CRecordHolder(CRecord* root = nullptr);
    // Calls every observer with the event, whatever they do to the list meanwhile.
    virtual void Notify(const SRecordEvent& event);
    // Sends "about to be deleted" for the whole tree, then deletes it.
    virtual ~CRecordHolder();
    // The type a reader of saved data should create for the codes it found: the declared sub-type
    // of the parent's field unless that field accepts any type, else the registered type.
    virtual const CRecordType* ResolveType(uint32_t domain, uint32_t type, const CRecord* parent,
                                           uint32_t field);

    CRecordHolder(const CRecordHolder&) = delete;
    CRecordHolder& operator=(const CRecordHolder&) = delete;

    CRecord* Root() const { return mRoot; }
    CRecordRef RootRef() { return CRecordRef(&mRoot); }

    bool AddObserver(void* context, RecordObserverFunction* function) {
        return mObservers.Add(context, function);
    }
    bool RemoveObserver(void* context, RecordObserverFunction* function) {
        return mObservers.Remove(context, function);
    }
    LCallbackList& Observers() { return mObservers; }

    bool IsModified() const { return mModified != 0; }
    void SetModified(bool modified) { mModified = modified ? 1 : 0; }
    uint32_t ChangeCount() const { return mChangeCount; }

    // 2 when a continuous edit (flags bit 0) repeats the remembered record and field, so it may
    // continue the previous undo entry; otherwise remembers this edit and returns 1.
    static int CanMergeEdit(CRecordRef ref, uint32_t field, uint32_t flags);
    // Marks the holder (tagged field), then, unless the field is silent, asks the type hook and
    // calls the observers. Nothing without a holder. field CRecord::kWholeRecord neither marks
    // nor checks silence (record-level events).
    static void Broadcast(CRecordRef ref, LHandler* editor, CRecordHolder* holder, uint32_t kind,
                          uint32_t field, int32_t index1, int32_t index2);

    // Record-level events for a subtree, skipping silent fields: "attached" parents first, "about
    // to be deleted" children first (last field and last element first). index2 is the top
    // record's position in its parent.
    static void SendAttached(CRecordHolder* holder, LHandler* editor, CRecord* record, int32_t index2);
    static void SendDeleting(CRecordHolder* holder, LHandler* editor, CRecord* record, int32_t index2);
    // One event through the hook (the owning type's for kinds 0-3, 6 and 7, the record's own for 4
    // and 5) to the observers; false when the hook stopped it.
    static bool Deliver(CRecordHolder* holder, SRecordEvent& event);
    // Part 0..6 (second, minute, hour, weekday, day, month, year) of a date-time array field,
    // raised to at least the part's minimum; the minimum alone when the array is too short (or
    // not an integer array); 0 for a part above 6.
    static uint32_t GetDateTimePart(CRecordRef ref, uint32_t field, uint32_t part);
    // Writes part n of a uint32 date-time array field, first growing the array with zeros to n + 1
    // elements; one undo group with an editor. False for a part above 6 or a field that is not a
    // uint32 array.
    static bool SetDateTimePart(CRecordRef ref, LHandler* editor, uint32_t field, uint32_t part,
                                uint32_t value);

private:
    static void NoteElementIndex(int32_t element);
    friend class CRecordRef;

    CRecord* mRoot;
    LCallbackList mObservers;
    uint8_t mModified = 0;
    uint32_t mChangeCount = 0;
};
