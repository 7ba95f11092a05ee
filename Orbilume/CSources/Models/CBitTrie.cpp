#include "Orbilume/CSources/Models/CBitTrie.h"

#include <cstring>
#include <vector>

bool CBitTrieNode::Bit(int32_t index) const {
    if (index < 0) return true;
    auto byte = static_cast<uint32_t>(index) / 8;
    if (byte >= fKey.Length()) return false;
    return (fKey.Text()[byte] >> (index % 8)) & 1;
}

bool CBitTrieNode::Equals(const CBitTrieNode& other) const {
    return fKey.Length() == other.fKey.Length() &&
           std::memcmp(fKey.Text(), other.fKey.Text(), fKey.Length()) == 0;
}

namespace {

// The first bit index at which the two keys differ; against the head, the key's first 0 bit.
int32_t FirstDifference(const CBitTrieNode& x, const CBitTrieNode& n) {
    uint32_t len = n.fKey.Length();
    if (x.fBit < 0) {
        for (uint32_t i = 0; i < len; ++i) {
            unsigned b = n.fKey.Text()[i];
            if (b != 0xFF)
                for (int j = 0; j < 8; ++j)
                    if (!((b >> j) & 1)) return static_cast<int32_t>(i * 8 + j);
        }
        return static_cast<int32_t>(len * 8);
    }
    uint32_t xl = x.fKey.Length();
    uint32_t n8 = xl > len ? xl : len;
    for (uint32_t i = 0; i < n8; ++i) {
        unsigned a = i < xl ? x.fKey.Text()[i] : 0;
        unsigned b = i < len ? n.fKey.Text()[i] : 0;
        if (a != b)
            for (int j = 0; j < 8; ++j)
                if (((a ^ b) >> j) & 1) return static_cast<int32_t>(i * 8 + j);
    }
    // Keys that differ only in trailing zero bytes have no bit of their own.
    return -1;
}

}  // namespace

CBitTrieNode* CBitTrie::Find(const CBitTrieNode& head, const CBitTrieNode& probe) {
    const CBitTrieNode* p = &head;
    CBitTrieNode* x = head.fChild[0];
    while (p->fBit < x->fBit) {
        p = x;
        x = x->fChild[probe.Bit(x->fBit)];
    }
    if (x->fBit < 0) return nullptr;
    return x->Equals(probe) ? x : nullptr;
}

CBitTrieNode* CBitTrie::Insert(CBitTrieNode& head, CBitTrieNode* n) {
    CBitTrieNode* p = &head;
    CBitTrieNode* x = head.fChild[0];
    while (p->fBit < x->fBit) {
        p = x;
        x = x->fChild[n->Bit(x->fBit)];
    }
    if (x->fBit >= 0 && x->Equals(*n)) return x;
    int32_t d = FirstDifference(*x, *n);
    if (d < 0) return x;
    p = &head;
    CBitTrieNode* y = head.fChild[0];
    while (p->fBit < y->fBit && y->fBit < d) {
        p = y;
        y = y->fChild[n->Bit(y->fBit)];
    }
    n->fBit = d;
    if (n->Bit(d)) {
        n->fChild[0] = y;
        n->fChild[1] = n;
    } else {
        n->fChild[0] = n;
        n->fChild[1] = y;
    }
    if (p == &head)
        head.fChild[0] = n;
    else
        p->fChild[n->Bit(p->fBit)] = n;
    return nullptr;
}

void CBitTrie::Clear(CBitTrieNode& node) {
    // Iterative: a trie of long keys that share prefixes may be deep.
    std::vector<CBitTrieNode*> stack{&node};
    std::vector<CBitTrieNode*> doomed;
    while (!stack.empty()) {
        CBitTrieNode* at = stack.back();
        stack.pop_back();
        for (CBitTrieNode*& child : at->fChild) {
            if (child->fBit > at->fBit) {
                stack.push_back(child);
                doomed.push_back(child);
            }
            child = at;
        }
    }
    for (CBitTrieNode* n : doomed) delete n;
}
