#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "Lib3/LSources/CoreData/LCallbackList.h"

namespace {

// Each entry's context is a Slot; calling it records its id and runs its optional action.
struct Slot {
    int id = 0;
    std::vector<int>* log = nullptr;
    std::function<int()> action;
};

int Record(void* context, int selector, void* argument) {
    auto* slot = static_cast<Slot*>(context);
    EXPECT_EQ(selector, 1);
    slot->log->push_back(slot->id);
    if (argument) ++*static_cast<int*>(argument);
    return slot->action ? slot->action() : 0;
}

class CallbackListTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 8; ++i) {
            slots[i].id = i;
            slots[i].log = &log;
        }
    }
    void AddSlots(int n) {
        for (int i = 0; i < n; ++i) ASSERT_TRUE(list.Add(&slots[i], &Record));
    }
    LCallbackList::Entry EntryOf(int i) { return LCallbackList::Entry::Of(&slots[i], &Record); }

    Slot slots[8];
    std::vector<int> log;
    LCallbackList list;
};

TEST_F(CallbackListTest, CallsInOrderUntilOneAnswers) {
    AddSlots(4);
    int calls = 0;
    EXPECT_FALSE(list.Call(&calls));
    EXPECT_EQ(log, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(calls, 4);

    log.clear();
    slots[1].action = [] { return 1; };
    EXPECT_TRUE(list.Call(nullptr));
    EXPECT_EQ(log, (std::vector<int>{0, 1}));
}

TEST_F(CallbackListTest, AddIgnoresDuplicatesAndNullFunctions) {
    EXPECT_TRUE(list.Add(&slots[0], &Record));
    EXPECT_FALSE(list.Add(&slots[0], &Record));
    EXPECT_FALSE(list.Add(LCallbackList::Entry{&slots[1], nullptr}));
    EXPECT_TRUE(list.Add(&slots[1], &Record));
    EXPECT_EQ(list.Count(), 2u);

    EXPECT_TRUE(list.Remove(EntryOf(0)));
    EXPECT_FALSE(list.Remove(EntryOf(0)));
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_EQ(list[0], EntryOf(1));
}

TEST_F(CallbackListTest, RemovalDuringCallNeitherSkipsNorRepeats) {
    struct Case {
        const char* name;
        int trigger;  // the entry whose call removes
        int victim;
        std::vector<int> expected;
    } cases[] = {
        {"itself", 2, 2, {0, 1, 2, 3, 4}},       {"itself, first", 0, 0, {0, 1, 2, 3, 4}},
        {"itself, last", 4, 4, {0, 1, 2, 3, 4}}, {"an earlier one", 3, 0, {0, 1, 2, 3, 4}},
        {"the next one", 1, 2, {0, 1, 3, 4}},    {"a later one", 1, 4, {0, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LCallbackList fresh;
        log.clear();
        for (int i = 0; i < 5; ++i) {
            slots[i].action = nullptr;
            fresh.Add(&slots[i], &Record);
        }
        slots[c.trigger].action = [&fresh, this, &c] {
            EXPECT_TRUE(fresh.Remove(EntryOf(c.victim)));
            return 0;
        };
        EXPECT_FALSE(fresh.Call(nullptr));
        EXPECT_EQ(log, c.expected);
        EXPECT_EQ(fresh.Count(), 4u);
    }
}

TEST_F(CallbackListTest, AddDuringCallIsReachedByTheRunningCall) {
    AddSlots(3);
    slots[1].action = [this] {
        list.Add(&slots[5], &Record);
        list.Remove(EntryOf(1));
        return 0;
    };
    EXPECT_FALSE(list.Call(nullptr));
    EXPECT_EQ(log, (std::vector<int>{0, 1, 2, 5}));
}

TEST_F(CallbackListTest, EveryLiveIteratorStepsBackPastARemoval) {
    AddSlots(5);
    LCallbackList::Entry e;
    LCallbackList::Iterator ahead(list);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(ahead.Next(e));  // next is 3
    {
        LCallbackList::Iterator behind(list);
        ASSERT_TRUE(behind.Next(e));  // next is 1
        list.Remove(EntryOf(2));
        ASSERT_TRUE(behind.Next(e));
        EXPECT_EQ(e, EntryOf(1));
        ASSERT_TRUE(behind.Next(e));
        EXPECT_EQ(e, EntryOf(3));
    }
    // The destroyed iterator left the list: later removals must not touch it.
    list.Remove(EntryOf(0));
    ASSERT_TRUE(ahead.Next(e));
    EXPECT_EQ(e, EntryOf(3));
    ASSERT_TRUE(ahead.Next(e));
    EXPECT_EQ(e, EntryOf(4));
    EXPECT_FALSE(ahead.Next(e));
}

TEST_F(CallbackListTest, NestedCallsShareTheListSafely) {
    AddSlots(4);
    bool nested = false;
    slots[1].action = [&] {
        if (!nested) {
            nested = true;
            list.Call(nullptr);  // walks 0, 1, then removes 0 from inside the inner walk
        } else {
            list.Remove(EntryOf(0));
        }
        return 0;
    };
    EXPECT_FALSE(list.Call(nullptr));
    EXPECT_EQ(log, (std::vector<int>{0, 1, 0, 1, 2, 3, 2, 3}));
}

TEST_F(CallbackListTest, CallbackMayDestroyTheList) {
    auto* owned = new LCallbackList;
    owned->Add(&slots[0], &Record);
    owned->Add(&slots[1], &Record);
    owned->Add(&slots[2], &Record);
    slots[1].action = [owned] {
        delete owned;
        return 0;
    };
    EXPECT_FALSE(owned->Call(nullptr));
    EXPECT_EQ(log, (std::vector<int>{0, 1}));
}

// Observers with their own signature walk the list with an iterator.
void Observe(void* context, const int* event) {
    *static_cast<int*>(context) += *event;
}

TEST_F(CallbackListTest, EntriesOfOtherSignaturesRoundTrip) {
    int a = 0, b = 0;
    list.Add(&a, &Observe);
    list.Add(&b, &Observe);
    const int event = 5;
    LCallbackList::Iterator it(list);
    LCallbackList::Entry e;
    while (it.Next(e)) e.As<void(void*, const int*)>()(e.context, &event);
    EXPECT_EQ(a + b, 10);
    static_assert(sizeof(LCallbackList::Entry) == 16);
}

}  // namespace
