#include <gtest/gtest.h>

#include <vector>

#include "Lib3/LSources/CoreData/LSLinkBase.h"

namespace {

struct Item : SSLink {
    explicit Item(int v = 0, int* deaths = nullptr) : value(v), deaths(deaths) {}
    ~Item() override {
        if (deaths) ++*deaths;
    }
    int value;
    int* deaths;
};

// An owner whose node is its second base, as windows and panes carry it.
struct Named {
    virtual ~Named() = default;
    long key = 7;
};
struct Owner : Named, SSLink {
    int id = 0;
};

std::vector<int> Values(const LSLinkBase& list) {
    std::vector<int> out;
    for (SSLink* n = list.First(); !n->IsEnd(); n = n->next) out.push_back(static_cast<Item*>(n)->value);
    return out;
}

class ListTest : public ::testing::Test {
protected:
    void Fill(int n) {
        for (int i = 0; i < n; ++i) ASSERT_TRUE(list.Append(&items[i]));
    }
    // Appending proves that `last` is right: the new node must land at the end.
    void ExpectTailIntact(std::vector<int> expected) {
        Item probe(99);
        ASSERT_TRUE(list.Append(&probe));
        expected.push_back(99);
        EXPECT_EQ(Values(list), expected);
        EXPECT_EQ(list.Last(), &probe);
        list.Remove(&probe);
    }

    Item items[5]{Item(0), Item(1), Item(2), Item(3), Item(4)};
    LSLinkBase list;
};

TEST_F(ListTest, EmptyList) {
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.First(), LSLinkBase::End());
    EXPECT_NE(list.Last(), LSLinkBase::End());
    EXPECT_EQ(list.RemoveFirst(), nullptr);
    EXPECT_EQ(list.RemoveLast(), nullptr);
    EXPECT_EQ(list.RemoveNext(nullptr), nullptr);
    EXPECT_EQ(list[0], nullptr);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_FALSE(list.Remove(&items[0]));
    EXPECT_FALSE(list.Remove(nullptr));
}

TEST_F(ListTest, InsertAppendAndInsertAfterKeepOrderAndLast) {
    EXPECT_TRUE(list.Insert(&items[2]));
    EXPECT_EQ(list.Last(), &items[2]);
    EXPECT_TRUE(list.Insert(&items[0]));
    EXPECT_EQ(list.Last(), &items[2]);
    EXPECT_TRUE(list.Append(&items[4]));
    EXPECT_TRUE(list.InsertAfter(&items[1], &items[0]));
    EXPECT_TRUE(list.InsertAfter(&items[3], &items[2]));
    EXPECT_EQ(Values(list), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(list.Last(), &items[4]);
    EXPECT_EQ(list.Count(), 5u);
    EXPECT_EQ(list[3], &items[3]);
    EXPECT_EQ(list[5], nullptr);

    LSLinkBase other;
    Item front(-1);
    EXPECT_TRUE(other.InsertAfter(&front, nullptr));
    EXPECT_EQ(other.Last(), &front);
}

TEST_F(ListTest, InsertionIgnoresNullAndLinkedNodes) {
    Fill(2);
    LSLinkBase other;
    EXPECT_FALSE(other.Append(nullptr));
    EXPECT_FALSE(other.Append(&items[1]));
    EXPECT_FALSE(other.Insert(&items[0]));
    EXPECT_FALSE(list.Append(&items[0]));
    EXPECT_TRUE(other.IsEmpty());
    EXPECT_EQ(Values(list), (std::vector<int>{0, 1}));
    // A node outside any list is no insertion point.
    EXPECT_FALSE(list.InsertAfter(&items[3], &items[4]));
    EXPECT_FALSE(items[3].IsLinked());
}

TEST_F(ListTest, RemoveHeadMiddleLastAndOnly) {
    struct Case {
        int count;
        int victim;
        std::vector<int> left;
    } cases[] = {
        {5, 0, {1, 2, 3, 4}},
        {5, 2, {0, 1, 3, 4}},
        {5, 4, {0, 1, 2, 3}},
        {1, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << " victim " << c.victim);
        Fill(c.count);
        EXPECT_TRUE(list.Remove(&items[c.victim]));
        EXPECT_FALSE(items[c.victim].IsLinked());
        EXPECT_FALSE(list.Remove(&items[c.victim]));
        EXPECT_EQ(Values(list), c.left);
        if (c.left.empty()) {
            EXPECT_EQ(list.First(), LSLinkBase::End());
            EXPECT_TRUE(list.IsEmpty());
        }
        ExpectTailIntact(c.left);
        list.RemoveAll();
    }
}

TEST_F(ListTest, RemoveFromAnotherListIsRefused) {
    Fill(2);
    LSLinkBase other;
    Item stranger(9);
    other.Append(&stranger);
    EXPECT_FALSE(list.Remove(&stranger));
    EXPECT_EQ(other.First(), &stranger);
}

TEST_F(ListTest, RemoveFirstLastAndNext) {
    Fill(5);
    EXPECT_EQ(list.RemoveFirst(), &items[0]);
    EXPECT_EQ(list.RemoveLast(), &items[4]);
    EXPECT_EQ(list.Last(), &items[3]);
    EXPECT_EQ(list.RemoveNext(&items[1]), &items[2]);
    EXPECT_EQ(list.RemoveNext(&items[3]), nullptr);  // nothing after the last node
    EXPECT_EQ(list.RemoveNext(&items[1]), &items[3]);
    EXPECT_EQ(list.Last(), &items[1]);
    EXPECT_EQ(list.RemoveNext(nullptr), &items[1]);
    EXPECT_TRUE(list.IsEmpty());
    for (Item& item : items) EXPECT_FALSE(item.IsLinked());
    ExpectTailIntact({});
}

TEST_F(ListTest, DetachMovesEverythingToTheOtherListsEnd) {
    LSLinkBase other;
    Item a(10), b(11);
    other.Append(&a);

    LSLinkBase empty;
    empty.Detach(other);
    EXPECT_EQ(other.Last(), &a);
    EXPECT_EQ(a.next, LSLinkBase::End());

    Fill(3);
    list.Detach(other);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(Values(other), (std::vector<int>{10, 0, 1, 2}));
    EXPECT_EQ(other.Last(), &items[2]);
    other.Append(&b);
    EXPECT_EQ(Values(other), (std::vector<int>{10, 0, 1, 2, 11}));
    ExpectTailIntact({});

    // Detaching into an empty list.
    other.Detach(list);
    EXPECT_EQ(Values(list), (std::vector<int>{10, 0, 1, 2, 11}));
    EXPECT_EQ(list.Last(), &b);
}

TEST_F(ListTest, DestructorUnlinksWithoutDeletingAndDeleteAllDeletesOnce) {
    int deaths = 0;
    Item kept(1, &deaths);
    {
        LSLinkBase scoped;
        scoped.Append(&kept);
    }
    EXPECT_FALSE(kept.IsLinked());
    EXPECT_EQ(deaths, 0);

    LSLinkBase owning;
    for (int i = 0; i < 3; ++i) owning.Append(new Item(i, &deaths));
    owning.DeleteAll();
    EXPECT_EQ(deaths, 3);
    EXPECT_TRUE(owning.IsEmpty());
}

TEST_F(ListTest, SentinelIsSharedAndNeverWritten) {
    SSLink* end = LSLinkBase::End();
    LSLinkBase other;
    Item a(1);
    other.Append(&a);
    Fill(3);
    EXPECT_EQ(a.next, end);
    EXPECT_EQ(items[2].next, end);
    EXPECT_TRUE(end->IsEnd());

    EXPECT_FALSE(list.InsertAfter(&items[3], end));
    EXPECT_FALSE(list.Remove(end));
    list.RemoveLast();
    list.RemoveNext(&items[1]);
    list.Detach(other);
    other.RemoveAll();
    EXPECT_EQ(end->next, end);
    EXPECT_EQ(LSLinkBase::End(), end);
}

TEST_F(ListTest, OwnerFoundFromItsSecondBaseNode) {
    Owner owners[2];
    owners[0].id = 1;
    owners[1].id = 2;
    list.Append(&owners[0]);
    list.Append(&owners[1]);
    int sum = 0;
    for (SSLink* n = list.First(); !n->IsEnd(); n = n->next) {
        Owner* o = static_cast<Owner*>(n);
        EXPECT_EQ(o->key, 7);
        sum += o->id;
    }
    EXPECT_EQ(sum, 3);
    list.RemoveAll();
}

TEST_F(ListTest, CopyOfALinkedNodeIsUnlinked) {
    Fill(2);
    Item copy(items[0]);
    EXPECT_FALSE(copy.IsLinked());
    Item assigned(7);
    assigned = items[1];
    EXPECT_FALSE(assigned.IsLinked());
    items[0] = Item(5);
    EXPECT_EQ(list.First(), &items[0]);
    EXPECT_EQ(items[0].next, &items[1]);
}

}  // namespace
