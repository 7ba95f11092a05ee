#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "Orbilume/CSources/Models/CBitTrie.h"

namespace {

struct Trie {
    ~Trie() { CBitTrie::Clear(head); }
    CBitTrieNode* Insert(const std::string& key) {
        auto* n = new CBitTrieNode(LString(key.data(), static_cast<uint32_t>(key.size())));
        CBitTrieNode* old = CBitTrie::Insert(head, n);
        if (old) delete n;
        return old ? old : n;
    }
    CBitTrieNode* Find(const std::string& key) const {
        CBitTrieNode probe(LString(key.data(), static_cast<uint32_t>(key.size())));
        return CBitTrie::Find(head, probe);
    }
    CBitTrieNode head;
};

TEST(CBitTrie, EmptyTrieFindsNothing) {
    Trie t;
    EXPECT_EQ(t.Find(""), nullptr);
    EXPECT_EQ(t.Find("a"), nullptr);
    EXPECT_EQ(t.Find("\xff\xff"), nullptr);
}

TEST(CBitTrie, PrefixesAreToldApartAndASecondInsertReturnsTheFirst) {
    Trie t;
    auto* a = new CBitTrieNode(LString("a"));
    EXPECT_EQ(CBitTrie::Insert(t.head, a), nullptr);
    auto* ab = new CBitTrieNode(LString("ab"));
    EXPECT_EQ(CBitTrie::Insert(t.head, ab), nullptr);
    auto* again = new CBitTrieNode(LString("a"));
    EXPECT_EQ(CBitTrie::Insert(t.head, again), a);
    delete again;
    EXPECT_EQ(t.Find("a"), a);
    EXPECT_EQ(t.Find("ab"), ab);
    EXPECT_EQ(t.Find("abc"), nullptr);
    EXPECT_EQ(t.Find(""), nullptr) << "the empty key only once inserted";
    CBitTrieNode* empty = t.Insert("");
    EXPECT_EQ(t.Find(""), empty);
    EXPECT_EQ(t.Find("a"), a);
    // Keys of one bits only and keys that differ in trailing zero bytes.
    CBitTrieNode* ones = t.Insert("\xff\xff");
    EXPECT_EQ(t.Find("\xff\xff"), ones);
    EXPECT_EQ(t.Find(std::string("a\0", 2)), nullptr);
    EXPECT_EQ(t.Insert(std::string("a\0", 2)), a) << "no bit tells them apart: one slot";
}

TEST(CBitTrie, RandomKeysAgreeWithAMap) {
    std::mt19937 rng(7);
    Trie t;
    std::map<std::string, CBitTrieNode*> reference;
    for (int i = 0; i < 3000; ++i) {
        std::string key;
        int len = static_cast<int>(rng() % 6);
        for (int k = 0; k < len; ++k) key.push_back(static_cast<char>("ab\x01\xfe\x80z"[rng() % 6]));
        if (!key.empty() && key.back() == '\0') continue;
        CBitTrieNode* n = t.Insert(key);
        auto [it, fresh] = reference.emplace(key, n);
        EXPECT_EQ(it->second, n) << "insert of an existing key returns the first node";
        (void)fresh;
    }
    for (const auto& [key, node] : reference) EXPECT_EQ(t.Find(key), node);
    for (int i = 0; i < 500; ++i) {
        std::string key(1 + rng() % 7, 'q');
        key[0] = static_cast<char>(rng());
        EXPECT_EQ(t.Find(key) != nullptr, reference.count(key) == 1) << key;
    }
}

}  // namespace
