#pragma once

#include <cstdint>

// Canonical decomposition and combining-class tables (generated; see tools/gen_unicode_decomposition.py).
namespace unidecomp {

// One trie node: a presence bitmap over a 5-bit piece and the index of the first child (at the last
// level, the index of the leaf block).
struct UnicodeTrieNode {
    uint32_t bitmap;
    uint32_t child;
};

// Entry i of a decomposition leaf spans kDecompPool[base + (i ? ends[i-1] : 0) .. base + ends[i]).
struct DecompLeaf {
    uint16_t base;
    const uint8_t* ends;
};

extern const char kUnicodeVersion[];
extern const uint16_t kDecompPool[];
extern const DecompLeaf kDecompLeaves[];
extern const UnicodeTrieNode kDecompLevel0[];
extern const UnicodeTrieNode kDecompLevel1[];
extern const UnicodeTrieNode kDecompLevel2[];
extern const UnicodeTrieNode kDecompLevel3[];
extern const uint8_t* const kClassLeaves[];
extern const UnicodeTrieNode kClassLevel0[];
extern const UnicodeTrieNode kClassLevel1[];
extern const UnicodeTrieNode kClassLevel2[];
extern const UnicodeTrieNode kClassLevel3[];

}  // namespace unidecomp
