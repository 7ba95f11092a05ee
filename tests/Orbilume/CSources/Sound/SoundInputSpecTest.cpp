#include <gtest/gtest.h>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Orbilume/CSources/Sound/SoundInputSpec.h"

namespace {

struct SoundInputSpecTest : ::testing::Test {
    CRecord* set = CRecord::New(&CParamSet::SetType());
    ~SoundInputSpecTest() override { CRecord::Delete(set); }
    CRecordRef Set() { return CRecordRef(&set); }
    std::string Value(const char* key) {
        LString v;
        return CParamSet::Find(Set(), LString(key), &v) >= 0 ? v.CStr() : "<absent>";
    }
};

TEST_F(SoundInputSpecTest, RoundTripsDeviceAndSourceUnderDevAndSrc) {
    struct Case {
        const char* device;
        const char* source;
    } cases[] = {
        {"Built-in Microphone", "Line In"}, {"tessaro Audio Loopback", ""}, {"", "Internal"}, {"", ""},
        {"Ünïcode 🎤 device", "a=b; c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        SoundInputSpec spec;
        spec.device = LString(c.device);
        spec.source = LString(c.source);
        spec.WriteSettings(Set(), nullptr);
        EXPECT_EQ(Value("dev"), c.device[0] ? c.device : "<absent>");
        EXPECT_EQ(Value("src"), c.source[0] ? c.source : "<absent>");
        SoundInputSpec back;
        back.device = LString("stale");
        back.source = LString("stale");
        back.ReadSettings(Set());
        EXPECT_TRUE(back.device == LString(c.device));
        EXPECT_TRUE(back.source == LString(c.source));
    }
}

TEST_F(SoundInputSpecTest, AbsentKeysReadAsTheEmptyName) {
    CParamSet::SetString(Set(), nullptr, LString("other"), LString("x"));
    SoundInputSpec spec;
    spec.device = LString("old");
    spec.source = LString("old");
    spec.ReadSettings(Set());
    EXPECT_TRUE(spec.device.IsEmpty());
    EXPECT_TRUE(spec.source.IsEmpty());
    CRecord* none = nullptr;
    spec.device = LString("old");
    spec.ReadSettings(CRecordRef(&none));
    EXPECT_TRUE(spec.device.IsEmpty());
}

}  // namespace
