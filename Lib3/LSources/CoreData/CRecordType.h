#pragma once

#include <cstddef>
#include <cstdint>

#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreData/SFieldDesc.h"

// Type hook: operation 0 with the CRecord* after a record was filled (non-zero refuses it) or
// reset (result ignored); operation 1 with an SRecordEvent* before observers see it (non-zero
// stops the event).
using RecordTypeHook = int (*)(int operation, void* argument);

// Static descriptor of one record type, found in the global registry by its domain and type codes.
// Constructing one registers it (at the head, so it hides an earlier one with the same codes);
// destroying it unregisters it. A descriptor with more than 255 fields is refused: it stays out of
// the registry and records cannot be made of it.
class CRecordType : public SSLink {
public:
    static constexpr uint32_t kMaxFields = 255;

    CRecordType(uint32_t domain, uint32_t type, uint32_t fieldCount, const SFieldDesc* fields,
                RecordTypeHook hook = nullptr);
    template <size_t N>
    CRecordType(uint32_t domain, uint32_t type, const SFieldDesc (&fields)[N], RecordTypeHook hook = nullptr)
        : CRecordType(domain, type, static_cast<uint32_t>(N), fields, hook) {}
    ~CRecordType() override;

    CRecordType(const CRecordType&) = delete;
    CRecordType& operator=(const CRecordType&) = delete;

    // The descriptor registered last with both codes, or null.
    static CRecordType* Find(uint32_t domain, uint32_t type);

    bool IsRegistered() const { return IsLinked(); }
    uint32_t Domain() const { return mDomain; }
    uint32_t Type() const { return mType; }
    uint32_t FieldCount() const { return mFieldCount; }
    const SFieldDesc& Field(uint32_t n) const { return mFields[n]; }
    const SFieldDesc* Fields() const { return mFields; }
    RecordTypeHook Hook() const { return mHook; }
    int CallHook(int operation, void* argument) const { return mHook(operation, argument); }

private:
    uint32_t mDomain;
    uint32_t mType;
    uint32_t mFieldCount;
    const SFieldDesc* mFields;
    RecordTypeHook mHook;
};
