#include "Common/File/Crc32.h"

namespace {

struct Table {
    uint32_t entry[256];
    Table() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t v = i;
            for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
            entry[i] = v;
        }
    }
};

const Table& SharedTable() {
    static const Table table;  // built once, on first use, thread-safe
    return table;
}

}  // namespace

Crc32::Crc32(uint32_t initial) : fValue(initial) {
    SharedTable();
}

void Crc32::Update(const void* bytes, size_t count) {
    const uint32_t* table = SharedTable().entry;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint32_t v = fValue;
    for (size_t i = 0; i < count; ++i) v = (v >> 8) ^ table[(v ^ p[i]) & 0xFF];
    fValue = v;
}
