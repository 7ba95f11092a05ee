#pragma once

#include <cstdint>

#include "Common/Container/CArrayBase.h"

// Array of object pointers. The array itself never deletes on removal or destruction; owners that
// own the objects call Delete or DeleteAll.
template <class T>
class CPointerArray : public CArrayBase {
public:
    static constexpr uint32_t kNotFound = UINT32_MAX;

    explicit CPointerArray(uint32_t initialCapacity = 0) : CArrayBase(sizeof(T*), initialCapacity) {}

    T** Data() { return static_cast<T**>(CArrayBase::Data()); }
    T* const* Data() const { return static_cast<T* const*>(CArrayBase::Data()); }
    T* operator[](uint32_t i) const { return Data()[i]; }
    T** begin() { return Data(); }
    T** end() { return Data() + Count(); }
    T* const* begin() const { return Data(); }
    T* const* end() const { return Data() + Count(); }

    bool Insert(uint32_t index, T* p) { return CArrayBase::Insert(index, &p); }
    bool Append(T* p) { return CArrayBase::Insert(Count(), &p); }
    void Set(uint32_t index, T* p) { Data()[index] = p; }
    bool Move(uint32_t from, uint32_t to) {
        T* scratch;
        return CArrayBase::Move(from, to, &scratch);
    }
    uint32_t IndexOf(const T* p) const {
        for (uint32_t i = 0; i < Count(); ++i) {
            if (Data()[i] == p) return i;
        }
        return kNotFound;
    }

    // Removes the slot first, so the object's destructor sees the array without it.
    void Delete(uint32_t index) {
        if (index >= Count()) return;
        T* p = Data()[index];
        Remove(index);
        delete p;
    }
    void DeleteAll() {
        while (Count() > 0) Delete(Count() - 1);
    }
};
