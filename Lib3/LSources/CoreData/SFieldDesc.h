#pragma once

#include <cstdint>

#include "Platform/Foundation/Bytes.h"

// Four-character code, first character in the most significant byte: Fcc("YUND").
constexpr uint32_t Fcc(const char (&s)[5]) {
    return plat::FourCC(s);
}

// Field kinds; each value lives in one 8-byte slot of the record.
enum : uint8_t {
    kFieldInt = 0,          // int32 in the low 4 bytes
    kFieldUInt = 1,         // uint32 in the low 4 bytes
    kFieldByte = 2,         // byte (also booleans) in the low byte
    kFieldFloat = 3,        // float in the low 4 bytes
    kFieldString = 4,       // LString
    kFieldArray = 5,        // CArrayBase* (element kinds 0-3) or CStrArray* (element kind 4)
    kFieldRecord = 6,       // CRecord* child, null when an optional child is absent
    kFieldRecordArray = 7,  // CRecordArray* of owned CRecord pointers
};

// Field flags.
enum : uint8_t {
    kFieldSilent = 0x01,    // changes never broadcast; tree walks do not descend through it
    kFieldAnyType = 0x02,   // kinds 6 and 7: saved data may name another record type
    kFieldOptional = 0x04,  // kind 6: created empty; resetting deletes the child
};

// Element kinds of a scalar array.
enum : uint8_t { kElemInt = 0, kElemUInt = 1, kElemByte = 2, kElemFloat = 3, kElemString = 4 };

// One field of a record type. Tag 0 marks an internal field: never saved, and its changes do not
// mark the holder modified. Tables are static and built with the factories below.
struct SFieldDesc {
    union Default {
        uint32_t u32;
        int32_t i32;
        uint8_t u8;
        float f32;
        const char* text;  // kind 4; null is the empty text
        uint32_t sub[2];   // kinds 6 and 7: the sub-type's domain and type codes
    };

    uint32_t tag;
    uint8_t kind;
    uint8_t flags;
    uint8_t decimals;     // digits after the point when a float is written as text
    uint8_t elementKind;  // kind 5
    Default def;

    static constexpr SFieldDesc Int(uint32_t tag, int32_t def = 0, uint8_t flags = 0) {
        return {tag, kFieldInt, flags, 0, 0, {.i32 = def}};
    }
    static constexpr SFieldDesc UInt(uint32_t tag, uint32_t def = 0, uint8_t flags = 0) {
        return {tag, kFieldUInt, flags, 0, 0, {.u32 = def}};
    }
    static constexpr SFieldDesc Byte(uint32_t tag, uint8_t def = 0, uint8_t flags = 0) {
        return {tag, kFieldByte, flags, 0, 0, {.u8 = def}};
    }
    static constexpr SFieldDesc Float(uint32_t tag, float def = 0, uint8_t decimals = 3, uint8_t flags = 0) {
        return {tag, kFieldFloat, flags, decimals, 0, {.f32 = def}};
    }
    static constexpr SFieldDesc String(uint32_t tag, const char* def = nullptr, uint8_t flags = 0) {
        return {tag, kFieldString, flags, 0, 0, {.text = def}};
    }
    static constexpr SFieldDesc Array(uint32_t tag, uint8_t elementKind, uint8_t decimals = 3,
                                      uint8_t flags = 0) {
        return {tag, kFieldArray, flags, decimals, elementKind, {.u32 = 0}};
    }
    static constexpr SFieldDesc Record(uint32_t tag, uint32_t domain, uint32_t type, uint8_t flags = 0) {
        return {tag, kFieldRecord, flags, 0, 0, {.sub = {domain, type}}};
    }
    static constexpr SFieldDesc RecordArray(uint32_t tag, uint32_t domain, uint32_t type, uint8_t flags = 0) {
        return {tag, kFieldRecordArray, flags, 0, 0, {.sub = {domain, type}}};
    }

    bool IsSilent() const { return (flags & kFieldSilent) != 0; }
    bool AllowsAnyType() const { return (flags & kFieldAnyType) != 0; }
    bool IsOptional() const { return (flags & kFieldOptional) != 0; }
    bool IsRecordValued() const { return kind == kFieldRecord || kind == kFieldRecordArray; }
    uint32_t SubDomain() const { return def.sub[0]; }
    uint32_t SubType() const { return def.sub[1]; }
};
