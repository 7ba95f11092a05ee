#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Platform/Composer/Image.h"
#include "Platform/Composer/PortType.h"
#include "Platform/Composer/Value.h"

namespace {

using plat::Color;
using plat::Dictionary;
using plat::PortType;
using plat::Value;
using plat::ValueArray;
using plat::ValueKind;

struct TestImage : plat::Image {
    explicit TestImage(int* deleted) : fDeleted(deleted) {}
    ~TestImage() override { ++*fDeleted; }
    plat::ImageKind Kind() const override { return plat::ImageKind::Buffer; }
    uint32_t Width() const override { return 4; }
    uint32_t Height() const override { return 2; }
    int* fDeleted;
};

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

TEST(ValueTest, PortConversions) {
    struct Case {
        const char* name;
        Value in;
        PortType type;
        bool ok;
        Value out;
    };
    const Case cases[] = {
        {"number to boolean", Value(0.5), PortType::Boolean, true, Value(true)},
        {"zero to boolean", Value(0), PortType::Boolean, true, Value(false)},
        {"negative to index", Value(-2.5), PortType::Index, true, Value(uint32_t{0})},
        {"real to index", Value(3.99), PortType::Index, true, Value(uint32_t{3})},
        {"boolean to number", Value(true), PortType::Number, true, Value(1.0)},
        {"number to string", Value(2), PortType::String, true, Value("2")},
        {"array to string", Value(ValueArray{Value("a"), Value("b")}), PortType::String, true, Value("a, b")},
        {"array to colour", Value(ValueArray{Value(1), Value(0), Value(0)}), PortType::Color, true,
         Value(Color{1, 0, 0, 1})},
        {"string to colour", Value("red"), PortType::Color, false, Value()},
        {"null colour is absent", Value(), PortType::Color, true, Value()},
        {"number to image", Value(1), PortType::Image, false, Value()},
        {"array to structure", Value(ValueArray{Value(1)}), PortType::Structure, true,
         Value(ValueArray{Value(1)})},
        {"number to structure", Value(1), PortType::Structure, false, Value()},
        {"anything to other", Value("x"), PortType::Other, true, Value("x")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Value out("untouched");
        EXPECT_EQ(plat::ConvertForPort(c.in, c.type, out), c.ok);
        EXPECT_EQ(out, c.ok ? c.out : Value("untouched"));
    }
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

TEST(ValueTest, ImagesAreRetainedAndPointersCarried) {
    int deleted = 0;
    auto* image = new TestImage(&deleted);
    {
        Value v(image);
        Value copy = v;
        Value moved = std::move(copy);
        EXPECT_EQ(image->RetainCount(), 3);
        EXPECT_EQ(moved.ImageValue(), image);
        EXPECT_EQ(moved.Kind(), ValueKind::Image);
        image->Release();
    }
    EXPECT_EQ(deleted, 1);
    EXPECT_TRUE(Value(static_cast<const plat::Image*>(nullptr)).IsNull());

    int context = 0;
    Value p = Value::FromPointer(&context);
    EXPECT_EQ(p.Kind(), ValueKind::Pointer);
    EXPECT_EQ(p.PointerValue(), &context);
    EXPECT_EQ(Value(1).PointerValue(), nullptr);
}

}  // namespace
