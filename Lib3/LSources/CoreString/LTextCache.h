#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

// Short texts made before, handed out again shared instead of allocated anew (strings are
// immutable and shared by count). For readers of documents that repeat their names, words and
// values many times. A fixed table: a text replaces whatever text of its hash was there.
class LTextCache {
public:
    static constexpr uint32_t kMaxLength = 24;  // longer texts are made as they come

    // A string of the text; equal to LString(text, length) in every respect but identity.
    LString Text(const unsigned char* text, uint32_t length);

private:
    static constexpr uint32_t kEntries = 509;
    LString fEntries[kEntries];
};
