#pragma once

#include <cstdint>
#include <type_traits>

#include "Lib3/LSources/CoreData/CRecord.h"

class CRecordHolder;
class LFsSpec;
class LHandler;
class LString;
struct CLRect;

// The address of a variable holding a CRecord pointer (a member, a local, a parent's slot). The
// setters (1) write an undo entry when an editing handler is given and the record belongs to a
// holder, (2) store the value, (3) broadcast the change to the holder's observers. Without an
// editor no undo entry is written; without a holder nothing is broadcast. Merge flags bit 0
// (kMergeContinuous) marks an edit that continues a gesture (a slider drag, typing).
//
// Setters return false, and change nothing, for a null record, a field index out of range or a
// field of another kind.
class CRecordRef {
public:
    static constexpr uint32_t kMergeContinuous = 1;
    static constexpr uint32_t kAppend = UINT32_MAX;

    CRecordRef() = default;
    explicit CRecordRef(CRecord** address) : mAddress(address) {}

    CRecord* Get() const { return mAddress ? *mAddress : nullptr; }
    CRecord** Address() const { return mAddress; }
    CRecord* operator->() const { return Get(); }
    explicit operator bool() const { return Get() != nullptr; }

    // Accessors: no undo, no events.
    CRecordHolder* GetHolder() const;
    SRecordSlot* GetField(uint32_t n) const;
    CRecord* GetElement(uint32_t n, uint32_t m) const;
    // The index in the parent's record array, 0 for a sub-record or a root, 0xFFFFFFFF when the
    // parent's slot does not hold the record.
    uint32_t IndexInParent() const;
    // True when other is this record or one of its ancestors.
    bool HasAncestor(const CRecord* other) const;

    // Scalars (kinds 0-2): the value fills the low 4 bytes (int, uint) or the low byte.
    bool SetScalar(LHandler* editor, uint32_t field, uint64_t cell, uint32_t merge = 0) const;
    bool SetInt(LHandler* editor, uint32_t field, int32_t value, uint32_t merge = 0) const {
        return SetScalar(editor, field, static_cast<uint32_t>(value), merge);
    }
    bool SetUInt(LHandler* editor, uint32_t field, uint32_t value, uint32_t merge = 0) const {
        return SetScalar(editor, field, value, merge);
    }
    bool SetByte(LHandler* editor, uint32_t field, uint8_t value, uint32_t merge = 0) const {
        return SetScalar(editor, field, value, merge);
    }
    bool SetBool(LHandler* editor, uint32_t field, bool value, uint32_t merge = 0) const {
        return SetScalar(editor, field, value ? 1 : 0, merge);
    }
    bool SetFloat(LHandler* editor, uint32_t field, float value, uint32_t merge = 0) const;
    bool SetString(LHandler* editor, uint32_t field, const LString& text, uint32_t merge = 0) const;

    // Scalar arrays. Values are given as the array stores its elements: int32_t, uint32_t or
    // float for element kinds 0, 1 and 3, uint8_t for kind 2, LString for kind 4.
    bool SetArray(LHandler* editor, uint32_t field, const void* values, uint32_t count,
                  uint32_t merge = 0) const;
    template <class T>
    bool SetArrayValue(LHandler* editor, uint32_t field, uint32_t index, const T& value,
                       uint32_t merge = 0) const {
        return SetArrayValueRaw(editor, field, index, &value, ValueClass<T>(), merge);
    }
    template <class T>
    bool InsertArrayValue(LHandler* editor, uint32_t field, uint32_t index, const T& value) const {
        return InsertArrayValueRaw(editor, field, index, &value, ValueClass<T>());
    }
    bool RemoveArrayValue(LHandler* editor, uint32_t field, uint32_t index) const;
    // Appends the value until the array has n elements (one undo group).
    template <class T>
    bool PadArray(LHandler* editor, uint32_t field, const T& value, uint32_t n) const {
        return PadArrayRaw(editor, field, &value, ValueClass<T>(), n);
    }

    // A rectangle kept in an int32 array field as left, top, right, bottom; an array of fewer than
    // four elements (or another field) reads as all 0. Setting goes through SetArray.
    CLRect GetRectField(uint32_t field) const;
    bool SetRectField(LHandler* editor, uint32_t field, const CLRect& rect, uint32_t merge = 0) const;
    // An LFsSpec kept as its POSIX path in a string field; an empty, relative or otherwise
    // unresolvable path reads as the empty LFsSpec. Setting goes through SetString.
    LFsSpec GetFileSpecField(uint32_t field) const;
    bool SetFileSpecField(LHandler* editor, uint32_t field, const LFsSpec& spec, uint32_t merge = 0) const;

    // Sub-records (kind 6): stores the new child (or none) and returns the previous one, which the
    // caller then owns; null when the slot already held the new child.
    CRecord* DetachSubRecord(LHandler* editor, uint32_t field, CRecord* child) const;
    // As DetachSubRecord, deleting the previous child.
    void DeleteSubRecord(LHandler* editor, uint32_t field, CRecord* child = nullptr) const;

    // Record arrays (kind 7). The tree takes the child (null makes an empty element); on failure
    // the child is deleted. The index is clamped to the count (kAppend appends).
    bool InsertRecord(LHandler* editor, uint32_t field, uint32_t index, CRecord* child) const;
    // The removed element, which the caller then owns, or null.
    CRecord* RemoveRecord(LHandler* editor, uint32_t field, uint32_t index) const;
    void DeleteElement(LHandler* editor, uint32_t field, uint32_t index) const;
    // Moves element from before position to (0..count): 2 to 5 in six elements lands at 4.
    void MoveRecord(LHandler* editor, uint32_t field, uint32_t from, uint32_t to) const;

    // Back to the declared defaults, without undo; Reset resets every tagged field (last first)
    // and then calls the type hook with operation 0.
    void ResetField(uint32_t field) const;
    void Reset() const;

    // Broadcasts a value change of the field (index1: element index, -1 for the whole array).
    void NotifyValueChanged(LHandler* editor, CRecordHolder* holder, uint32_t field, int32_t index1) const;

private:
    // Value classes of array elements passed to the raw forms.
    enum : uint8_t { kValueString = 0, kValueByte = 1, kValueFloat = 3, kValueWord = 4 };
    template <class T>
    static constexpr uint8_t ValueClass() {
        if constexpr (std::is_same_v<T, LString>) {
            return kValueString;
        } else if constexpr (std::is_same_v<T, float>) {
            return kValueFloat;
        } else {
            static_assert(std::is_integral_v<T> && (sizeof(T) == 1 || sizeof(T) == 4),
                          "array values are int32_t, uint32_t, float, uint8_t or LString");
            return sizeof(T) == 1 ? kValueByte : kValueWord;
        }
    }
    static uint8_t ElementValueClass(uint8_t elementKind);
    CRecord* Checked(uint32_t field, uint8_t kind) const;
    CRecord* CheckedArray(uint32_t field, uint8_t valueClass) const;
    bool SetArrayValueRaw(LHandler* editor, uint32_t field, uint32_t index, const void* value,
                          uint8_t valueClass, uint32_t merge) const;
    bool InsertArrayValueRaw(LHandler* editor, uint32_t field, uint32_t index, const void* value,
                             uint8_t valueClass) const;
    bool PadArrayRaw(LHandler* editor, uint32_t field, const void* value, uint8_t valueClass,
                     uint32_t n) const;

    CRecord** mAddress = nullptr;
};
