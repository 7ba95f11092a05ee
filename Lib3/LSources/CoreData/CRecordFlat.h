#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CRecord;

// The flat byte form of a record tree kept in the undo log: u32 domain and u32 type codes (both 0
// for no record), then per field: kinds 0-3 the 8-byte slot, kind 4 u32 length and bytes, kind 5
// u32 count and the elements (4 bytes, 1 byte, or u32 length and bytes for strings), kind 6 the
// flat child, kind 7 u32 count and each flat element. Machine byte order.
class CRecordFlat {
public:
    static constexpr uint32_t kMaxDepth = 256;

    // False (out then unusable) for a tree deeper than kMaxDepth.
    [[nodiscard]] static bool Flatten(std::string& out, const CRecord* record);
    // Reads one record at pos; record is null for a flat null. False when the bytes are short, a
    // type is not registered or creation fails; nothing leaks.
    [[nodiscard]] static bool Unflatten(const uint8_t* data, size_t size, size_t& pos, CRecord*& record);
    [[nodiscard]] static bool Unflatten(const std::string& bytes, CRecord*& record);

    // Scalar array elements, encoded as in the flat form.
    static void PutElement(std::string& out, uint8_t elementKind, const void* value);
    static void PutArray(std::string& out, uint8_t elementKind, const void* values, uint32_t count);
};
