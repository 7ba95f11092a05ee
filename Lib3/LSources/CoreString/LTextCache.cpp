#include "Lib3/LSources/CoreString/LTextCache.h"

#include <cstring>

LString LTextCache::Text(const unsigned char* text, uint32_t length) {
    if (!text || length == 0 || length > kMaxLength) return LString(text, length);
    uint32_t hash = 2166136261u;  // FNV-1a
    for (uint32_t i = 0; i < length; ++i) hash = (hash ^ text[i]) * 16777619u;
    LString& entry = fEntries[hash % kEntries];
    if (entry.Length() != length || std::memcmp(entry.Text(), text, length) != 0)
        entry = LString(text, length);
    return entry;
}
