#pragma once

#include <cstdint>

#include "Common/Container/CArray.h"
#include "Lib3/LSources/CoreData/CRecordType.h"
#include "Lib3/LSources/CoreString/LString.h"

class CArrayBase;
class CRecord;
class CStrArray;
class CXmlElementScope;

// Storage of a record array field: owned record pointers (null elements are allowed).
using CRecordArray = CArray<CRecord*>;

// One 8-byte value slot of a record.
union SRecordSlot {
    uint64_t cell;
    int32_t i32;
    uint32_t u32;
    uint8_t u8;
    float f32;
    CArrayBase* array;      // kind 5, element kinds 0-3
    CStrArray* strings;     // kind 5, element kind 4
    CRecord* record;        // kind 6
    CRecordArray* records;  // kind 7
};
static_assert(sizeof(SRecordSlot) == 8);

// A typed record: one block holding this 32-byte header, one slot per field of its type and the
// array objects of its array fields (their elements are allocated apart).
// Records are made with New and destroyed with Delete (never new/delete). A record owns its
// strings, arrays, sub-records and record-array elements.
//
// The raw operations here neither broadcast nor record undo; edits that views must see go through
// CRecordRef.
class CRecord {
public:
    static constexpr uint8_t kWholeRecord = 255;

    // Null when the type is null or refused, a non-optional sub-type is not registered, a scalar
    // array has an unknown element kind, or the type hook refuses the record (nothing leaks).
    static CRecord* New(const CRecordType* type);
    // Destroys the fields (last to first) and frees the block; null does nothing.
    static void Delete(CRecord* record);
    // Deep copy into target when it has the source's type (the block is reused, and so are its
    // record-array elements), else into a new record; a target of another type is deleted. A null
    // source deletes the target. On failure the target is deleted too and the result is null.
    static CRecord* Clone(const CRecord* source, CRecord* target);

    // Writes the record's element inside parent (document XML form, XmlDocument.h): for a null
    // record the null element when always is set; an all-default record only when always is set.
    static void WriteXml(CXmlElementScope& parent, const CRecord* record, bool always);

    CRecord(const CRecord&) = delete;
    CRecord& operator=(const CRecord&) = delete;

    const CRecordType* Type() const { return mType; }
    uint32_t FieldCount() const { return mType ? mType->FieldCount() : 0; }
    const SFieldDesc& Field(uint32_t n) const { return mType->Field(n); }
    bool IsOfType(uint32_t domain, uint32_t type) const {
        return mType && mType->Domain() == domain && mType->Type() == type;
    }

    // Tree links. The position word is the field index in the parent for a child, the owning
    // holder for a root, 0 for a detached record.
    CRecord* Parent() const { return mParent; }
    uintptr_t PositionWord() const { return mPosition; }
    uint8_t FieldInParent() const { return static_cast<uint8_t>(mPosition & 0xFF); }
    int32_t ArrayIndex() const { return mArrayIndex; }
    void SetLinks(CRecord* parent, uintptr_t position) {
        mParent = parent;
        mPosition = position;
    }
    void SetArrayIndex(int32_t index) { mArrayIndex = index; }

    SRecordSlot& Slot(uint32_t n) { return Slots()[n]; }
    const SRecordSlot& Slot(uint32_t n) const { return Slots()[n]; }

    int32_t GetInt(uint32_t n) const { return Slot(n).i32; }
    uint32_t GetUInt(uint32_t n) const { return Slot(n).u32; }
    uint8_t GetByte(uint32_t n) const { return Slot(n).u8; }
    bool GetBool(uint32_t n) const { return Slot(n).u8 != 0; }
    float GetFloat(uint32_t n) const { return Slot(n).f32; }
    const LString& GetString(uint32_t n) const { return *StringAt(n); }
    LString& StringSlot(uint32_t n) { return *StringAt(n); }
    CArrayBase* GetArray(uint32_t n) const { return Slot(n).array; }
    CStrArray* GetStrArray(uint32_t n) const { return Slot(n).strings; }
    CRecord* GetSubRecord(uint32_t n) const { return Slot(n).record; }
    CRecordArray* GetRecordArray(uint32_t n) const { return Slot(n).records; }
    // Element m of record-array field n; null past the end.
    CRecord* GetElement(uint32_t n, uint32_t m) const;

    // Element count of an array field (kinds 5 and 7); 0 for an empty slot.
    uint32_t ArrayCount(uint32_t n) const;
    // Element storage of a scalar array (element kinds 0-4: 4-byte, byte or LString elements).
    void* ArrayData(uint32_t n);
    const void* ArrayData(uint32_t n) const;
    // Makes a scalar array hold exactly the n values, given as its elements are stored.
    [[nodiscard]] bool SetArrayRaw(uint32_t n, const void* values, uint32_t count);

    // Stores the child (parent and position set) and returns the previous one with its links
    // cleared; null and no change when the child is already there.
    CRecord* SetSubRecord(uint32_t n, CRecord* child);
    // As SetSubRecord, but the previous child's links are left as they were.
    CRecord* SwapSubRecord(uint32_t n, CRecord* child);

    // Inserts into a record array (index clamped; -1 appends), links the child, renumbers.
    [[nodiscard]] bool InsertElementRaw(uint32_t n, int32_t index, CRecord* child);
    // Removes element index and deletes it; nothing when out of range.
    void RemoveElementRaw(uint32_t n, uint32_t index);
    // Removes element index and hands it back with its array index -1 (links left as they were).
    CRecord* TakeElementRaw(uint32_t n, uint32_t index);
    // Deletes and removes the elements from the last to the first.
    static void DeleteAllElements(CRecordArray* array);
    // Stores i as the array index of each element i between min(a, b) and max(a, b).
    void Renumber(uint32_t n, uint32_t a, uint32_t b);

    // Destroys the values of the first n fields, last first; the type becomes null.
    void DestroyFields(uint32_t n);

private:
    explicit CRecord(const CRecordType* type) : mType(type) {}
    ~CRecord() = default;

    SRecordSlot* Slots() { return reinterpret_cast<SRecordSlot*>(this + 1); }
    const SRecordSlot* Slots() const { return reinterpret_cast<const SRecordSlot*>(this + 1); }
    LString* StringAt(uint32_t n) const {
        return reinterpret_cast<LString*>(const_cast<SRecordSlot*>(&Slots()[n]));
    }
    [[nodiscard]] bool Fill();
    // container: room in the block for the field's array object, if it has one.
    [[nodiscard]] bool FillField(uint32_t n, void* container);
    void DestroyField(uint32_t n);
    [[nodiscard]] bool CloneFields(const CRecord* source);

    const CRecordType* mType;
    CRecord* mParent = nullptr;
    uintptr_t mPosition = 0;
    int32_t mArrayIndex = -1;
    bool mFromSlab = false;
};
static_assert(sizeof(CRecord) == 32);
