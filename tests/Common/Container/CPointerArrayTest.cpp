#include <gtest/gtest.h>

#include <vector>

#include "Common/Container/CPointerArray.h"

namespace {

struct Thing;
using Things = CPointerArray<Thing>;

// Records its death and checks that its array no longer holds it at that moment.
struct Thing {
    Thing(int id, std::vector<int>& deaths, Things& home) : id(id), deaths(deaths), home(home) {}
    virtual ~Thing() {
        EXPECT_EQ(home.IndexOf(this), Things::kNotFound);
        deaths.push_back(id);
    }
    int id;
    std::vector<int>& deaths;
    Things& home;
};

TEST(CPointerArrayTest, DeleteRemovesTheSlotBeforeDeleting) {
    std::vector<int> deaths;
    Things things;
    for (int i = 0; i < 3; ++i) things.Append(new Thing(i, deaths, things));
    things.Delete(1);
    EXPECT_EQ(deaths, (std::vector<int>{1}));
    ASSERT_EQ(things.Count(), 2u);
    EXPECT_EQ(things[1]->id, 2);
    things.Delete(7);  // out of range: nothing
    EXPECT_EQ(things.Count(), 2u);
    things.DeleteAll();
}

TEST(CPointerArrayTest, DeleteAllGoesFromTheEndAndSkipsNull) {
    std::vector<int> deaths;
    Things things;
    things.Append(new Thing(0, deaths, things));
    things.Append(nullptr);
    things.Append(new Thing(2, deaths, things));
    things.Append(new Thing(3, deaths, things));
    things.DeleteAll();
    EXPECT_EQ(deaths, (std::vector<int>{3, 2, 0}));
    EXPECT_EQ(things.Count(), 0u);
}

TEST(CPointerArrayTest, RemovalAndDestructionDoNotDelete) {
    int a = 1, b = 2, c = 3;
    {
        CPointerArray<int> refs;
        refs.Append(&a);
        refs.Append(&b);
        refs.Insert(0, &c);
        EXPECT_EQ(refs.IndexOf(&a), 1u);
        EXPECT_TRUE(refs.Move(0, 2));
        EXPECT_EQ(refs[2], &c);
        refs.Remove(0);
        EXPECT_EQ(refs.IndexOf(&a), CPointerArray<int>::kNotFound);
        EXPECT_EQ(refs.ElementSize(), 8u);
    }
    EXPECT_EQ(a + b + c, 6);  // still alive: ASan would flag a delete of a stack object
}

}  // namespace
