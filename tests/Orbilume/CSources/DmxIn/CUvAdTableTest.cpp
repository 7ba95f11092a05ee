#include <gtest/gtest.h>

#include "Orbilume/CSources/DmxIn/CUvAdTable.h"

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

}  // namespace
