#include <gtest/gtest.h>

#include "Platform/Composer/Image.h"
#include "Platform/Composer/PortType.h"
#include "Platform/Foundation/Value.h"

namespace {

using plat::Color;
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

TEST(PortValueTest, PortConversions) {
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

TEST(PortValueTest, ImagesAreRetained) {
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
}

}  // namespace
