#include <gtest/gtest.h>

#include <vector>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"

namespace {

struct DimPrefsTest : ::testing::Test {
    CAppPrefs prefs;
    std::vector<CParamSet::Change> changes;

    void SetUp() override { prefs.AddObserver(this, Observe); }
    void TearDown() override { prefs.RemoveObserver(this, Observe); }
    static void Observe(void* context, const SRecordEvent* e) {
        CParamSet::Change c;
        if (CParamSet::ParseChange(*e, c)) static_cast<DimPrefsTest*>(context)->changes.push_back(c);
    }
    CRecordRef Set() { return CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefDimmer).record); }
    void Put(const char* key, const char* value) {
        CParamSet::SetString(Set(), nullptr, LString(key), LString(value));
    }
};

TEST_F(DimPrefsTest, DefaultsOfAnEmptySet) {
    ASSERT_TRUE(Set());
    EXPECT_FALSE(UDimPrefs::GetUse(Set()));
    EXPECT_FALSE(UDimPrefs::GetDotBounds(Set()));
    EXPECT_FALSE(UDimPrefs::GetLayoutInPixels(Set()));
    EXPECT_FALSE(UDimPrefs::GetLastOpen(Set()));
    EXPECT_STREQ(UDimPrefs::GetLastFile(Set()).CStr(), "");
    EXPECT_EQ(UDimPrefs::GetDmxTiming(Set()), (UDimPrefs::DmxTiming{84, 0, 0}));
    // Reading made no nested set.
    EXPECT_EQ(CParamSet::GetSubSet(Set(), LString("dmxtiming")), nullptr);
    CLRect r{1, 2, 3, 4};
    EXPECT_FALSE(UDimPrefs::GetWinPlace(Set(), r));
    EXPECT_FALSE(UDimPrefs::GetDefWinPlace(Set(), r));
    EXPECT_EQ(r, (CLRect{1, 2, 3, 4}));
}

TEST_F(DimPrefsTest, NonNumbersGiveTheDefaults) {
    CRecord* timing = UDimPrefs::DmxTimingSet(Set());
    ASSERT_NE(timing, nullptr);
    EXPECT_EQ(UDimPrefs::DmxTimingSet(Set()), timing);  // made once
    CParamSet::SetString(CRecordRef(&timing), nullptr, LString("break"), LString("abc"));
    CParamSet::SetString(CRecordRef(&timing), nullptr, LString("mab"), LString("12x"));
    CParamSet::SetString(CRecordRef(&timing), nullptr, LString("mbs"), LString("99999999999"));
    EXPECT_EQ(UDimPrefs::GetDmxTiming(Set()), (UDimPrefs::DmxTiming{84, 0, 0}));
    Put("use", "on");
    EXPECT_FALSE(UDimPrefs::GetUse(Set()));
    Put("use", "-3");
    EXPECT_TRUE(UDimPrefs::GetUse(Set()));
}

TEST_F(DimPrefsTest, PlacementsNeedFourNumbersAndAnArea) {
    struct Case {
        const char* text;
        bool used;
    } cases[] = {
        {"10 20 110 220", true}, {"10 20 10 220", false}, {"10 20 5 220", false},   {"10 20 110 20", false},
        {"10 20 110", false},    {"a b c d", false},      {"-50 -40 -10 -5", true}, {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Put("winplace", c.text);
        Put("defwinplace", c.text);
        CLRect a, b;
        EXPECT_EQ(UDimPrefs::GetWinPlace(Set(), a), c.used);
        EXPECT_EQ(UDimPrefs::GetDefWinPlace(Set(), b), c.used);
        if (c.used) {
            EXPECT_EQ(a, b);
        }
    }
    UDimPrefs::SetDefWinPlace(Set(), CLRect{1, 2, 30, 40});
    CLRect r;
    ASSERT_TRUE(UDimPrefs::GetDefWinPlace(Set(), r));
    EXPECT_EQ(r, (CLRect{1, 2, 30, 40}));
}

TEST_F(DimPrefsTest, SettersBroadcastOnceEach) {
    UDimPrefs::SetUse(Set(), true);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_STREQ(changes[0].key.CStr(), "use");
    EXPECT_TRUE(UDimPrefs::GetUse(Set()));

    changes.clear();
    UDimPrefs::SetLastFile(Set(), LString("/tmp/show.obdim"));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_STREQ(UDimPrefs::GetLastFile(Set()).CStr(), "/tmp/show.obdim");

    UDimPrefs::SetDmxTiming(Set(), {100, 12, 8});
    EXPECT_EQ(UDimPrefs::GetDmxTiming(Set()), (UDimPrefs::DmxTiming{100, 12, 8}));
    changes.clear();
    UDimPrefs::SetLastOpen(Set(), true);
    UDimPrefs::SetDotBounds(Set(), true);
    EXPECT_EQ(changes.size(), 2u);
    EXPECT_NE(UDimPrefs::UniverseAddressSet(Set()), nullptr);
}

}  // namespace
