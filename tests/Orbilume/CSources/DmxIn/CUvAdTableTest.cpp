#include <gtest/gtest.h>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/DmxIn/CUvAdTable.h"
#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"
#include "Platform/Foundation/RunLoop.h"

namespace {

constexpr uint32_t kA = 0x0A000001;  // 10.0.0.1
constexpr uint32_t kB = 0x0A000002;  // 10.0.0.2
constexpr uint32_t kDefault = 0xFFFFFFFF;

struct Expect {
    uint32_t universe;
    uint32_t address;
    bool broadcast;
};

void Check(CUvAdTable& t, std::initializer_list<Expect> expects, const char* name) {
    for (const Expect& e : expects) {
        uint32_t a = 0;
        bool b = t.Lookup(e.universe, a);
        EXPECT_EQ(a, e.address) << name << " universe " << e.universe;
        EXPECT_EQ(b, e.broadcast) << name << " universe " << e.universe;
    }
}

TEST(CUvAdTable, Lookups) {
    CUvAdTable t(false);
    {
        const UvAdRecord r[] = {{0, 3, "10.0.0.1"}, {2, 3, "10.0.0.2"}};
        ASSERT_TRUE(t.Rebuild(r, 2));
        Check(t, {{0, kA, false}, {3, kA, false}, {4, kB, false}, {5, kB, false}, {6, kDefault, true}},
              "overlap: the first record wins");
    }
    {
        const UvAdRecord r[] = {{7, 0, "10.1.300"}, {8, 0, "not an address"},
                                {9, 0, "0.0.0.0"},  {10, 0, "255.255.255.255"},
                                {11, 0, ""},        {12, 0, nullptr}};
        ASSERT_TRUE(t.Rebuild(r, 6));
        Check(t,
              {{7, 0x0A01012C, false},
               {8, kDefault, true},
               {9, kDefault, true},
               {10, 0xFFFFFFFF, true},
               {11, kDefault, true},
               {12, kDefault, true},
               {0, kDefault, true}},
              "inet_aton texts; the old ranges are gone");
    }
    {
        // Near the top of the range univ + flws + 1 must not wrap, and a negative count adds nothing.
        const UvAdRecord r[] = {
            {INT32_MAX, INT32_MAX, "10.0.0.1"}, {20, -5, "10.0.0.2"}, {-3, 4, "10.0.0.2"}};
        ASSERT_TRUE(t.Rebuild(r, 3));
        Check(t,
              {{uint32_t(INT32_MAX), kA, false},
               {0xFFFFFFFE, kA, false},
               {20, kDefault, true},
               {0, kB, false},
               {1, kB, false},
               {2, kDefault, true}},
              "bounds");
    }
}

TEST(CUvAdTable, MulticastAndDefault) {
    CUvAdTable t(false);
    const UvAdRecord r[] = {{3, 0, "10.0.0.1"}};
    ASSERT_TRUE(t.Rebuild(r, 1));
    t.SetMulticast(true);
    Check(t, {{9, 0xEFFF000A, true}, {0, 0xEFFF0001, true}, {3, kA, false}}, "multicast");
    t.SetMulticast(false);
    Check(t, {{9, kDefault, true}}, "broadcast");
}

using U = CUvAdTypes;

void Spin() {
    plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.02, false);
}

CRecordRef Element(CRecordHolder& holder, uint32_t index) {
    return CRecordRef(&(*holder.Root()->GetRecordArray(U::kUvasList))[index]);
}

void Add(CRecordHolder& holder, uint32_t index, int32_t univ, int32_t flws, const char* ipad) {
    CRecord* r = CRecord::New(U::Uvad());
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(holder.RootRef().InsertRecord(nullptr, U::kUvasList, index, r));
    CRecordRef ref = Element(holder, index);
    EXPECT_TRUE(ref.SetInt(nullptr, U::kUvadUniverse, univ));
    EXPECT_TRUE(ref.SetInt(nullptr, U::kUvadFollowing, flws));
    EXPECT_TRUE(ref.SetString(nullptr, U::kUvadAddress, LString(ipad)));
}

// The table follows a UVAS record: inserts, value edits, moves and removals each rebuild it on the
// main loop, and it empties when the record goes.
TEST(CUvAdTable, FollowsTheRecords) {
    auto holder = std::make_unique<CRecordHolder>(CRecord::New(U::Uvas()));
    ASSERT_NE(holder->Root(), nullptr);
    CUvAdTable t(false);
    Add(*holder, 0, 0, 3, "10.0.0.1");
    t.Follow(holder.get(), holder->Root());
    Spin();
    Check(t, {{0, kA, false}, {3, kA, false}, {4, kDefault, true}}, "followed at once");

    Add(*holder, 1, 2, 3, "10.0.0.2");
    Spin();
    Check(t, {{2, kA, false}, {4, kB, false}, {5, kB, false}}, "insert: the first record wins");

    holder->RootRef().MoveRecord(nullptr, U::kUvasList, 1, 0);
    Spin();
    Check(t, {{2, kB, false}, {0, kA, false}, {1, kA, false}}, "move: the order decides overlaps");

    EXPECT_TRUE(Element(*holder, 0).SetString(nullptr, U::kUvadAddress, LString("10.0.2")));
    EXPECT_TRUE(Element(*holder, 0).SetInt(nullptr, U::kUvadFollowing, 0));
    Spin();
    Check(t, {{2, 0x0A000002, false}, {3, kA, false}, {5, kDefault, true}}, "value edits");

    holder->RootRef().DeleteElement(nullptr, U::kUvasList, 0);
    Spin();
    Check(t, {{2, kA, false}, {4, kDefault, true}}, "removal");

    holder.reset();
    Spin();
    Check(t, {{0, kDefault, true}, {3, kDefault, true}}, "the record went");
}

// Texts from documents are any bytes: none may be taken for an address by accident.
TEST(CUvAdTable, RecordsWithOddTextsAndBounds) {
    CRecordHolder holder(CRecord::New(U::Uvas()));
    CUvAdTable t(false);
    Add(holder, 0, INT32_MAX, INT32_MAX, "10.0.0.1");
    Add(holder, 1, 5, 0, "10.0.0.1\n; rm");
    Add(holder, 2, 6, 0, "1.2.3.4.5");
    Add(holder, 3, 7, 0, "0x0a.0.0.2");
    t.Follow(&holder, holder.Root());
    Spin();
    Check(t,
          // inet_aton stops at white space and ignores the rest.
          {{0xFFFFFFFE, kA, false}, {5, kA, false}, {6, kDefault, true}, {7, kB, false}}, "record texts");
    t.Follow(nullptr, nullptr);
    Spin();
    Check(t, {{7, kDefault, true}}, "unfollowed");
}

}  // namespace
