#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Engine/CCtlInDocBinder.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/COutAdjustControls.h"
#include "tests/support/TempDir.h"

namespace {

using T = CDocModelTypes;

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

bool Load(COutAdjustControls& c, const std::string& text) {
    return c.LoadText(text.data(), static_cast<uint32_t>(text.size()));
}

std::vector<std::string> Ids(const COutAdjustControls& c) {
    std::vector<std::string> ids;
    for (const auto& control : c.Controls()) ids.push_back(Str(control.id));
    return ids;
}

// The shipped description: one numeric control per key of the output adjustment, each default a
// value the adjustment starts from.
TEST(COutAdjustControlsTest, TheShippedDescriptionCoversEveryKey) {
    COutAdjustControls c;
    ASSERT_TRUE(c.Load(std::string(SHARED_SUPPORT_DIR) + "/editor/outadj"));
    const std::vector<std::string> keys{"brt",     "sizx",    "sizy",    "posx",    "posy",    "rotz",
                                        "rotx",    "roty",    "divr",    "gmode",   "gcnrblx", "gcnrbly",
                                        "gcnrbrx", "gcnrbry", "gcnrtlx", "gcnrtly", "gcnrtrx", "gcnrtry"};
    EXPECT_EQ(Ids(c), keys);
    const std::pair<const char*, const char*> defaults[] = {
        {"brt", "1"},     {"sizx", "1"},    {"posx", "0"},    {"rotz", "0"},    {"gmode", "0"},
        {"gcnrblx", "0"}, {"gcnrbrx", "1"}, {"gcnrtly", "1"}, {"gcnrtry", "1"}, {"divr", "0"},
    };
    for (const auto& [key, text] : defaults) {
        const auto* control = c.Find(LString(key));
        ASSERT_NE(control, nullptr) << key;
        EXPECT_TRUE(control->IsNumeric()) << key;
        EXPECT_EQ(Str(control->defaultText), text) << key;
        EXPECT_LT(control->min, control->max) << key;
        EXPECT_FALSE(control->name.IsEmpty()) << key;
    }
    EXPECT_EQ(c.Find(LString("brt"))->max, 1.0f);
}

TEST(COutAdjustControlsTest, NestedControlsAreVisitedDepthFirst) {
    COutAdjustControls c;
    ASSERT_TRUE(Load(c,
                     "obfx: { controls: { id: a; type: numeric; min: \"-1\"; max: 1; ini: 5; scale: 10 },"
                     " { name: group; controls: { id: b; type: check }, { controls: { id: c; ini: } } },"
                     " { id: d; type: numeric; min: 0; max: 9 } }"));
    EXPECT_EQ(Ids(c), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(Str(c.Controls()[0].defaultText), "0.5");
    EXPECT_EQ(c.Controls()[0].min, -1.0f);
    EXPECT_FALSE(c.Controls()[1].IsNumeric());
    EXPECT_EQ(Str(c.Controls()[2].defaultText), "");   // an empty "ini"
    EXPECT_EQ(Str(c.Controls()[3].defaultText), "0");  // no "ini"
}

// Missing, malformed or shapeless descriptions give no controls, and so no ranges.
TEST(COutAdjustControlsTest, BadDescriptionsGiveNoControls) {
    const char* texts[] = {
        "obfx: { controls: { id: a; type: numeric; min: 0; max: 1 }",  // unterminated
        "obfx: { controls: { id: a; type numeric } }",                 // no colon
        "controls: { id: a; type: numeric }",                          // no obfx
        "obfx: { other: 1 }",
        "",
    };
    for (const char* text : texts) {
        COutAdjustControls c;
        ASSERT_TRUE(Load(c, "obfx: { controls: { id: z } }"));
        EXPECT_FALSE(Load(c, text)) << text;
        EXPECT_TRUE(c.Controls().empty()) << text;
    }
    // Nested deeper than the reader allows.
    std::string deep = "obfx: { controls: ";
    for (int i = 0; i < 100; ++i) deep += "{ controls: ";
    COutAdjustControls c;
    EXPECT_FALSE(Load(c, deep));
    EXPECT_TRUE(c.Controls().empty());
    testsupport::TempDir dir;
    EXPECT_FALSE(c.Load(dir.File("outadj")));
    EXPECT_TRUE(c.Controls().empty());
}

class OutAdjustUnitTest : public ::testing::Test {
protected:
    void SetUp() override {
        unit = prefs.Root()->GetSubRecord(CAppPrefs::kPrefOutAdjUnit);
        ASSERT_NE(unit, nullptr);
        ASSERT_TRUE(c.Load(std::string(SHARED_SUPPORT_DIR) + "/editor/outadj"));
    }
    CRecord* Input(const char* key, const char* value) {
        CRecord* input = UDocUnits::FindOrAddUnitInput(unit, nullptr, LString(key), LString(value));
        EXPECT_NE(input, nullptr);
        return input;
    }
    static void Put(CRecord* input, const char* key, const char* value) {
        CRecord* ctrl = input->GetSubRecord(T::kInptCtl);
        CParamSet::SetString(CRecordRef(&ctrl), nullptr, LString(key), LString(value));
    }

    CAppPrefs prefs;
    CRecord* unit = nullptr;
    COutAdjustControls c;
};

TEST_F(OutAdjustUnitTest, DefaultsRestoreOnlyExistingInputs) {
    CRecord* brt = Input("brt", "0.25");
    CRecord* posx = Input("posx", "1.5");
    c.RestoreDefaults(unit);
    EXPECT_EQ(Str(brt->GetString(T::kInptValue)), "1");
    EXPECT_EQ(Str(posx->GetString(T::kInptValue)), "0");
    EXPECT_EQ(COutAdjustControls::FindInput(unit, LString("sizx")), nullptr);  // none is made
}

TEST_F(OutAdjustUnitTest, TheOscListHoldsTheControlsWithAnAddress) {
    CRecord* brt = Input("brt", "0.5");
    CRecord* rotz = Input("rotz", "12");
    CRecord* sizx = Input("sizx", "1");
    CRecord* posy = Input("posy", "0");
    Put(brt, "type", "osc");
    Put(brt, "oscadr", "/out/brt");
    Put(rotz, "type", "osc");
    Put(rotz, "oscadr", "/out/rotz");
    Put(sizx, "type", "osc");  // without an address
    Put(posy, "type", "dmx");
    Put(posy, "oscadr", "/not/osc");
    std::vector<COutAdjustControls::OscControl> list;
    c.OscControlList(unit, list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(Str(list[0].address), "/out/brt");
    EXPECT_EQ(Str(list[0].name), "Brightness");
    EXPECT_EQ(Str(list[0].value), "0.5");
    EXPECT_EQ(list[0].min, 0.0f);
    EXPECT_EQ(list[0].max, 1.0f);
    EXPECT_EQ(Str(list[1].address), "/out/rotz");
    EXPECT_EQ(Str(list[1].value), "12");
    EXPECT_EQ(list[1].min, -180.0f);
}

// The ranges reach the binder: DMX on 'brt' writes its value; without a description nothing binds.
TEST_F(OutAdjustUnitTest, RangesLetDmxDriveTheInputs) {
    CRecord* brt = Input("brt", "1");
    Put(brt, "type", "dmx");
    Put(brt, "dmxch", "7");
    CCtlInHub hub;
    auto dmx = [&](uint8_t value) {
        std::vector<uint8_t> frame(513, 0);
        frame[7 + 1] = value;
        hub.DmxIn(frame.data(), 513);
    };
    {
        COutAdjustControls none;
        CCtlInDocBinder binder(unit, &hub);
        none.AddRanges(binder);
        dmx(128);
        binder.Evaluate();
        EXPECT_EQ(Str(brt->GetString(T::kInptValue)), "1");
    }
    CCtlInDocBinder binder(unit, &hub);
    c.AddRanges(binder);
    dmx(64);
    binder.Evaluate();
    EXPECT_EQ(Str(brt->GetString(T::kInptValue)), "0.251");
}

}  // namespace
