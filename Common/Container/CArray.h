#pragma once

#include <type_traits>

#include "Common/Container/CArrayBase.h"

// CArrayBase typed for a trivially copyable element type.
template <class T>
class CArray : public CArrayBase {
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) <= 0xFFFF &&
                  alignof(T) <= alignof(std::max_align_t));

public:
    explicit CArray(uint32_t initialCapacity = 0) : CArrayBase(sizeof(T), initialCapacity) {}

    T* Data() { return static_cast<T*>(CArrayBase::Data()); }
    const T* Data() const { return static_cast<const T*>(CArrayBase::Data()); }
    T& operator[](uint32_t i) { return Data()[i]; }
    const T& operator[](uint32_t i) const { return Data()[i]; }
    T* begin() { return Data(); }
    T* end() { return Data() + Count(); }
    const T* begin() const { return Data(); }
    const T* end() const { return Data() + Count(); }

    bool Insert(uint32_t index, const T& value) { return CArrayBase::Insert(index, &value); }
    bool Append(const T& value) { return CArrayBase::Insert(Count(), &value); }
    bool InsertElements(uint32_t index, const T* source, uint32_t n) {
        return CArrayBase::InsertElements(index, source, n);
    }
    bool SetElements(const T* source, uint32_t n) { return CArrayBase::SetElements(source, n); }
    bool PutElements(uint32_t index, const T* source, uint32_t n) {
        return CArrayBase::PutElements(index, source, n);
    }
    bool Move(uint32_t from, uint32_t to) {
        alignas(T) unsigned char scratch[sizeof(T)];
        return CArrayBase::Move(from, to, scratch);
    }
};
