#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

// A node of a PATRICIA trie over the bits of a text key: bit i is bit (i mod 8), from the least
// significant, of byte i / 8; bits past the end of the text are 0. A link to a node whose bit index is
// not above the linking node's is an upward link to the node holding the key to compare. The head is
// a node with bit index -1 embedded in the owner; it stands for a key of one bits only, which no text
// equals. Derived nodes add what the key maps to.
class CBitTrieNode {
public:
    CBitTrieNode() { fChild[0] = fChild[1] = this; }
    explicit CBitTrieNode(const LString& key) : CBitTrieNode() { fKey = key; }
    virtual ~CBitTrieNode() = default;
    CBitTrieNode(const CBitTrieNode&) = delete;
    CBitTrieNode& operator=(const CBitTrieNode&) = delete;

    virtual bool Bit(int32_t index) const;
    virtual bool Equals(const CBitTrieNode& other) const;

    int32_t fBit = -1;
    CBitTrieNode* fChild[2];
    LString fKey;
};

// Operations on a trie given by its head. The nodes below the head are owned by the trie's owner,
// which frees them with Clear. Not thread-safe.
class CBitTrie {
public:
    // The node whose key equals the probe's, or null.
    static CBitTrieNode* Find(const CBitTrieNode& head, const CBitTrieNode& probe);
    // Null when the node was linked in; else the node with the equal key (the new one stays unlinked).
    // Keys that differ only in trailing zero bytes share one slot: the first one is returned.
    static CBitTrieNode* Insert(CBitTrieNode& head, CBitTrieNode* node);
    // Deletes every node below the given one; the node's links then point to itself.
    static void Clear(CBitTrieNode& node);
};
