#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"

using namespace showtest;

namespace {

class CtlAttr : public ::testing::Test {
protected:
    CRecordRef Set() { return h.SceneControl(); }
    void Put(std::initializer_list<std::pair<const char*, const char*>> entries) {
        CRecordRef(&h.Root()->Slot(T::kObmxSceneCtl).record).Reset();
        for (auto& [k, v] : entries) CParamSet::SetString(Set(), nullptr, LString(k), LString(v));
    }
    std::string Value(const char* key) {
        LString v;
        return CParamSet::Find(Set(), LString(key), &v) >= 0 ? v.CStr() : "<none>";
    }
    CDocModelHolder h;
};

TEST_F(CtlAttr, TablesAreExactAndCaseSensitive) {
    struct Case {
        const char* ctlr;
        const char* usage;
        int controller;
        int use;
    } cases[] = {
        {"dmx", "sel", 1, 0}, {"osc", "step", 2, 1}, {"mcc", "trig", 3, 2}, {"mnt", "fade", 4, 3},
        {"mpg", "mix", 5, 4}, {"DMX", "Sel", 0, -1}, {"", "", 0, -1},       {"dmx ", "sel2", 0, -1},
    };
    for (const Case& c : cases) {
        Put({{"ctlr", c.ctlr}, {"usage", c.usage}});
        EXPECT_EQ(UCtlAttr::GetCtlr(Set()), c.controller) << c.ctlr;
        EXPECT_EQ(UCtlAttr::GetUsage(Set()), c.use) << c.usage;
    }
    for (int n : {0, 6, -1}) {
        UCtlAttr::SetCtlr(Set(), 2);
        UCtlAttr::SetCtlr(Set(), n);
        EXPECT_EQ(Value("ctlr"), "<none>") << n;
    }
    UCtlAttr::SetUsage(Set(), 4);
    EXPECT_EQ(Value("usage"), "mix");
    UCtlAttr::SetUsage(Set(), 5);
    EXPECT_EQ(Value("usage"), "<none>");
    for (int n = 1; n <= 10; ++n) {
        UCtlAttr::SetInCtlType(Set(), nullptr, n);
        EXPECT_EQ(UCtlAttr::GetInCtlType(Set()), n);
    }
    EXPECT_STREQ(UCtlAttr::InCtlTypeName(4), "midin");
    EXPECT_EQ(UCtlAttr::InCtlTypeName(11), nullptr);
    UCtlAttr::SetInCtlType(Set(), nullptr, 0);
    EXPECT_EQ(Value("type"), "<none>");
    EXPECT_EQ(UCtlAttr::MixFuncIndex(LString("rep")), 3);
    EXPECT_EQ(UCtlAttr::MixFuncIndex(LString("Max")), 0);
    EXPECT_STREQ(UCtlAttr::MixFuncName(4), "");
}

TEST_F(CtlAttr, DefaultsAndClampsOnlyForPresentKeys) {
    Put({});
    EXPECT_EQ(UCtlAttr::GetCtlMidiNn(Set()), 48);    // an assignment's default note
    EXPECT_EQ(UCtlAttr::GetInCtlMidiNn(Set()), 60);  // an input control's
    EXPECT_EQ(UCtlAttr::GetCtlMidiCc(Set()), 7);
    EXPECT_EQ(UCtlAttr::GetInCtlMidiCc(Set()), 7);
    EXPECT_EQ(UCtlAttr::GetCtlTmin(Set()), 0.0f);
    EXPECT_FALSE(UCtlAttr::GetInCtlRange(Set()));
    EXPECT_EQ(UCtlAttr::GetInCtlCompo(Set(), 1), nullptr);
    struct Case {
        const char* key;
        const char* value;
        int32_t (*read)(CRecordRef);
        int32_t expected;
    } cases[] = {
        {"dmxch", "600", UCtlAttr::GetInCtlDmxCh, 511},
        {"dmxch", "-3", UCtlAttr::GetInCtlDmxCh, 0},
        {"dmxch", "600", UCtlAttr::GetCtlDmxCh, 600},
        {"midich", "16", UCtlAttr::GetInCtlMidiCh, 15},
        {"midicc", "200", UCtlAttr::GetInCtlMidiCc, 127},
        {"midinn", "-1", UCtlAttr::GetInCtlMidiNn, 0},
        {"midinn", "x", UCtlAttr::GetInCtlMidiNn, 0},
        {"midinn", "72", UCtlAttr::GetCtlMidiNn, 72},
        {"midicc", "99999999999", UCtlAttr::GetInCtlMidiCc, 127},
    };
    for (const Case& c : cases) {
        Put({{c.key, c.value}});
        EXPECT_EQ(c.read(Set()), c.expected) << c.key << "=" << c.value;
    }
    Put({{"range", "1"},
         {"min", "-2"},
         {"max", "rgba(1,2,3,1)"},
         {"midins", "0"},
         {"miding", "2"},
         {"oscadr", "/a"}});
    EXPECT_TRUE(UCtlAttr::GetInCtlRange(Set()));
    EXPECT_STREQ(UCtlAttr::GetInCtlMin(Set()).CStr(), "-2");
    EXPECT_STREQ(UCtlAttr::GetInCtlMax(Set()).CStr(), "rgba(1,2,3,1)");
    EXPECT_FALSE(UCtlAttr::GetInCtlMidiNs(Set()));
    EXPECT_TRUE(UCtlAttr::GetInCtlMidiNg(Set()));
    EXPECT_STREQ(UCtlAttr::GetInCtlOscAdr(Set()).CStr(), "/a");
    CRecord* compo = CParamSet::GetOrCreateSubSet(Set(), nullptr, LString("compo3"));
    EXPECT_EQ(UCtlAttr::GetInCtlCompo(Set(), 3), compo);
}

TEST_F(CtlAttr, SettersWriteTextsAndDeleteFalseFlags) {
    Put({});
    UCtlAttr::SetCtlMidiCcNo(Set(), true);
    EXPECT_EQ(Value("midicno"), "1");
    EXPECT_TRUE(UCtlAttr::GetCtlMidiCcNo(Set()));
    UCtlAttr::SetCtlMidiCcNo(Set(), false);
    EXPECT_EQ(Value("midicno"), "<none>");
    EXPECT_FALSE(UCtlAttr::GetCtlMidiCcNo(Set()));
    UCtlAttr::SetCtlTmin(Set(), 1.25f);
    UCtlAttr::SetCtlTmax(Set(), 3.0f);
    EXPECT_EQ(Value("tmin"), "1.2");
    EXPECT_EQ(Value("tmax"), "3");
    EXPECT_FLOAT_EQ(UCtlAttr::GetCtlTmax(Set()), 3.0f);
    UCtlAttr::SetCtlDmxCh(Set(), 17);
    EXPECT_EQ(Value("dmxch"), "17");
    UCtlAttr::SetInCtlMidiCc(Set(), nullptr, 64);
    EXPECT_EQ(Value("midicc"), "64");
}

TEST_F(CtlAttr, SlotLabels) {
    struct Case {
        std::vector<std::pair<const char*, const char*>> set;
        int32_t slot;
        const char* label;
    } cases[] = {
        {{}, 0, ""},  // no controller
        {{{"ctlr", "dmx"}, {"usage", "sel"}}, 255, "255"},
        {{{"ctlr", "dmx"}, {"usage", "sel"}}, 256, ""},
        {{{"ctlr", "dmx"}, {"usage", "step"}, {"dmxch", "511"}}, 0, "512"},
        {{{"ctlr", "dmx"}, {"usage", "step"}, {"dmxch", "511"}}, 1, ""},
        {{{"ctlr", "dmx"}, {"dmxch", "9"}}, 0, "10"},  // no usage counts as another usage
        {{{"ctlr", "osc"}}, 300, "300"},
        {{{"ctlr", "mcc"}, {"usage", "sel"}}, 127, "127"},
        {{{"ctlr", "mcc"}, {"usage", "sel"}}, 128, ""},
        {{{"ctlr", "mcc"}, {"usage", "fade"}, {"midicno", "1"}, {"midicc", "120"}}, 7, "127"},
        {{{"ctlr", "mcc"}, {"usage", "fade"}, {"midicno", "1"}, {"midicc", "120"}}, 8, ""},
        {{{"ctlr", "mcc"}, {"usage", "fade"}, {"midich", "14"}}, 1, "16"},
        {{{"ctlr", "mcc"}, {"usage", "fade"}, {"midich", "14"}}, 2, ""},
        {{{"ctlr", "mnt"}, {"midinn", "60"}}, 0, "C 4"},
        {{{"ctlr", "mnt"}}, 1, "C#3"},  // the default note 48
        {{{"ctlr", "mnt"}, {"midinn", "0"}}, 11, "B -1"},
        {{{"ctlr", "mnt"}, {"midinn", "127"}}, 1, ""},
        {{{"ctlr", "mpg"}, {"usage", "sel"}}, -1, "0"},
        {{{"ctlr", "mpg"}}, 127, "128"},
        {{{"ctlr", "mpg"}}, 128, ""},
    };
    for (const Case& c : cases) {
        CRecordRef(&h.Root()->Slot(T::kObmxSceneCtl).record).Reset();
        for (auto& [k, v] : c.set) CParamSet::SetString(Set(), nullptr, LString(k), LString(v));
        EXPECT_STREQ(UCtlAttr::GetCtlSlotLabel(Set(), c.slot).CStr(), c.label) << c.slot;
    }
}

}  // namespace
