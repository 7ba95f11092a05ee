#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Platform/Foundation/Value.h"

namespace {

using plat::Color;
using plat::Dictionary;
using plat::Value;
using plat::ValueArray;
using plat::ValueKind;

TEST(ValueTest, ScalarConversions) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        Value value;
        bool asBool;
        double asNumber;
        uint32_t asIndex;
        const char* asText;
    };
    const Case cases[] = {
        {Value(), false, 0, 0, ""},
        {Value(true), true, 1, 1, "1"},
        {Value(false), false, 0, 0, "0"},
        {Value(0.0), false, 0, 0, "0"},
        {Value(0.25), true, 0.25, 0, "0.25"},
        {Value(2.9), true, 2.9, 2, "2.9"},
        {Value(-3.5), true, -3.5, 0, "-3.5"},
        {Value(nan), true, nan, 0, "nan"},
        {Value(1e12), true, 1e12, UINT32_MAX, "1000000000000"},
        {Value(int64_t{-7}), true, -7, 0, "-7"},
        {Value(int64_t{5000000000}), true, 5e9, UINT32_MAX, "5000000000"},
        {Value(uint32_t{42}), true, 42, 42, "42"},
        {Value("3.75 apples"), true, 3.75, 3, "3.75 apples"},
        {Value("  -2"), true, -2, 0, "  -2"},
        {Value("none"), false, 0, 0, "none"},
        {Value(ValueArray{Value(1), Value("two"), Value(true)}), false, 0, 0, "1, two, 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asText);
        EXPECT_EQ(c.value.ToBool(), c.asBool);
        if (std::isnan(c.asNumber)) {
            EXPECT_TRUE(std::isnan(c.value.ToNumber()));
        } else {
            EXPECT_DOUBLE_EQ(c.value.ToNumber(), c.asNumber);
        }
        EXPECT_EQ(c.value.ToIndex(), c.asIndex);
        EXPECT_EQ(c.value.ToText(), c.asText);
    }
}

TEST(ValueTest, ColorConversions) {
    Dictionary noAlpha;
    noAlpha.Set("red", Value(0.5));
    noAlpha.Set("green", Value(0.25));
    noAlpha.Set("blue", Value(1));
    Dictionary missingBlue;
    missingBlue.Set("red", Value(1));
    missingBlue.Set("green", Value(1));
    struct Case {
        const char* name;
        Value value;
        bool ok;
        Color color;
    };
    const Case cases[] = {
        {"colour", Value(Color{0.1f, 0.2f, 0.3f, 0.4f}), true, {0.1f, 0.2f, 0.3f, 0.4f}},
        {"rgba array",
         Value(ValueArray{Value(1), Value(0.5), Value(0), Value(0.5)}),
         true,
         {1, 0.5f, 0, 0.5f}},
        {"rgb array", Value(ValueArray{Value(0), Value(1), Value(0)}), true, {0, 1, 0, 1}},
        {"two numbers", Value(ValueArray{Value(0), Value(1)}), false, {}},
        {"array of text", Value(ValueArray{Value("a"), Value(1), Value(0)}), false, {}},
        {"dictionary", Value(noAlpha), true, {0.5f, 0.25f, 1, 1}},
        {"dictionary without blue", Value(missingBlue), false, {}},
        {"number", Value(1), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Color out{9, 9, 9, 9};
        EXPECT_EQ(c.value.ToColor(out), c.ok);
        if (c.ok) {
            EXPECT_EQ(out, c.color);
        }
    }
    EXPECT_EQ(Value(Color{1, 0.5f, 0, 1}).ToText(), "1 0.5 0 1");
}

TEST(ValueTest, DictionaryKeepsOrderAndReplacesInPlace) {
    Dictionary d;
    // Past the size where lookups switch to an index.
    for (int i = 0; i < 40; ++i) d.Set("k" + std::to_string(39 - i), Value(i));
    d.Set("k20", Value("replaced"));
    ASSERT_EQ(d.Count(), 40u);
    EXPECT_EQ(d.KeyAt(0), "k39");
    EXPECT_EQ(d.KeyAt(19), "k20");
    EXPECT_EQ(d["k20"], Value("replaced"));
    EXPECT_TRUE(d.Remove("k39"));
    EXPECT_FALSE(d.Remove("k39"));
    EXPECT_EQ(d.KeyAt(0), "k38");
    EXPECT_EQ(d["k0"], Value(39));
    EXPECT_TRUE(d["missing"].IsNull());
    EXPECT_TRUE(Value(d)["k1"]["deeper"].At(3).IsNull());
}

TEST(ValueTest, Equality) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(Value(nan), Value(nan));
    EXPECT_EQ(Value(ValueArray{Value(Color{nan, 0, 0, 1})}), Value(ValueArray{Value(Color{nan, 0, 0, 1})}));
    EXPECT_EQ(Value(2), Value(2.0));
    EXPECT_NE(Value(1), Value(true));
    EXPECT_NE(Value("1"), Value(1));
    EXPECT_NE(Value(ValueArray{Value(1)}), Value(ValueArray{Value(1), Value(2)}));
}

TEST(ValueTest, SharedContainersAreCopiedOnChange) {
    Value a(ValueArray{Value(1), Value(2)});
    Value b = a;
    b.MutableArray().push_back(Value(3));
    EXPECT_EQ(a.ArrayValue().size(), 2u);
    EXPECT_EQ(b.ArrayValue().size(), 3u);

    Value d;
    d.MutableDictionary().Set("x", Value(1));
    Value e = d;
    e.MutableDictionary().Set("x", Value(2));
    EXPECT_EQ(d["x"], Value(1));
    EXPECT_EQ(e["x"], Value(2));
}

TEST(ValueTest, PointersAreCarried) {
    int context = 0;
    Value p = Value::FromPointer(&context);
    EXPECT_EQ(p.Kind(), ValueKind::Pointer);
    EXPECT_EQ(p.PointerValue(), &context);
    EXPECT_EQ(Value(1).PointerValue(), nullptr);
}

}  // namespace
