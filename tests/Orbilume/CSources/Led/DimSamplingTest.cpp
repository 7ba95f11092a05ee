#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "Orbilume/CSources/Led/DimSampling.h"

namespace {

constexpr uint32_t kW = 8, kH = 4;

// A frame whose pixel (x, y) is 0xFF, x * 16 + 1, y * 16 + 2, x + y + 3.
std::vector<uint32_t> Frame() {
    std::vector<uint32_t> px(kW * kH);
    for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW; ++x)
            px[y * kW + x] = 0xFF000000u | (x * 16 + 1) << 16 | (y * 16 + 2) << 8 | (x + y + 3);
    return px;
}
uint8_t R(uint32_t x, uint32_t) {
    return uint8_t(x * 16 + 1);
}
uint8_t G(uint32_t, uint32_t y) {
    return uint8_t(y * 16 + 2);
}
uint8_t B(uint32_t x, uint32_t y) {
    return uint8_t(x + y + 3);
}

SDimDefInfo Def(uint8_t composition, uint32_t columns, uint32_t rows, std::vector<int32_t> channels = {},
                uint32_t prefix = 0, uint32_t suffix = 0) {
    SDimDefInfo d;
    d.composition = composition;
    d.columns = columns;
    d.rows = rows;
    d.prefix = prefix;
    d.suffix = suffix;
    d.channels = channels;
    const int64_t codes = int64_t(channels.size()) - prefix - suffix;
    d.slotsPerDot = composition == 0 ? uint32_t(codes > 0 ? codes : 0) : composition == 1 ? 3 : 4;
    for (uint32_t i = 0; i < columns * rows; ++i) d.dotOrder.push_back(int32_t(i + 1));
    return d;
}

// A device whose dots sit at pixel centres (x0 + c, y0), one row.
SDimDevice Row(SDimDefInfo* def, SDimPort* port, uint32_t firstSlot, float x0 = 0.5f, float y0 = 0.5f) {
    SDimDevice d;
    d.def = def;
    d.port = port;
    d.firstSlot = firstSlot;
    d.x0 = x0;
    d.y0 = y0;
    d.colDx = 1;
    d.rowDy = 1;
    return d;
}

TEST(DimSampling, CompositionsWriteTheirSlots) {
    const auto px = Frame();
    // Composition 1 and 2 and 3: RGB, RGB + 0, RGB + 255, dots from the first slot.
    for (uint8_t comp : {1, 2, 3}) {
        SDimDefInfo def = Def(comp, 2, 1);
        auto port = std::make_unique<SDimPort>();
        SDimDevice dev = Row(&def, port.get(), 10);
        dimsample::SampleDevice(dev, px.data(), kW, kH);
        const uint32_t n = comp == 1 ? 3 : 4;
        for (uint32_t dot = 0; dot < 2; ++dot) {
            const uint32_t b = 10 + dot * n;
            EXPECT_EQ(port->slots[b], R(dot, 0)) << int(comp);
            EXPECT_EQ(port->slots[b + 1], G(dot, 0));
            EXPECT_EQ(port->slots[b + 2], B(dot, 0));
            if (comp == 2) {
                EXPECT_EQ(port->slots[b + 3], 0);
            }
            if (comp == 3) {
                EXPECT_EQ(port->slots[b + 3], 255);
            }
        }
        EXPECT_EQ(port->used, 10 + 2 * n);
        EXPECT_EQ(port->slots[0], 0);
    }
    // Composition 0: a prefix of 255 and -5 (sends 0), codes R G B W, a fixed 0x1FF (low bits), a
    // code below -4 (0, also when it is -65537), a suffix of 7.
    SDimDefInfo def = Def(0, 2, 1, {255, -5, -1, -2, -3, -4, 0x1FF, -65537, 7}, 2, 1);
    ASSERT_EQ(def.slotsPerDot, 6u);
    auto port = std::make_unique<SDimPort>();
    SDimDevice dev = Row(&def, port.get(), 100, 3.5f, 2.5f);
    dimsample::SampleDevice(dev, px.data(), kW, kH);
    EXPECT_EQ(port->slots[100], 255);
    EXPECT_EQ(port->slots[101], 0);
    for (uint32_t dot = 0; dot < 2; ++dot) {
        const uint32_t b = 102 + dot * 6, x = 3 + dot, y = 2;
        const uint32_t pixel = px[y * kW + x];
        EXPECT_EQ(port->slots[b], R(x, y));
        EXPECT_EQ(port->slots[b + 1], G(x, y));
        EXPECT_EQ(port->slots[b + 2], B(x, y));
        EXPECT_EQ(port->slots[b + 3], (R(x, y) * 76 + G(x, y) * 150 + B(x, y) * 29) >> 8);
        EXPECT_EQ(port->slots[b + 3], dimsample::Luminance(pixel));
        EXPECT_EQ(port->slots[b + 4], 0xFF);
        EXPECT_EQ(port->slots[b + 5], 0);
    }
    EXPECT_EQ(port->slots[114], 7);  // the suffix after 2 × 6 dot slots
    EXPECT_EQ(port->used, 114);
}

TEST(DimSampling, LastFirstSlotsOfADot) {
    const auto px = Frame();
    struct Case {
        uint8_t composition;
        uint32_t firstSlot;
        bool written;
    } cases[] = {{1, 510, true},  {1, 511, false}, {2, 509, true},
                 {2, 510, false}, {3, 509, true},  {3, 510, false}};
    for (const Case& c : cases) {
        SDimDefInfo def = Def(c.composition, 1, 1);
        auto port = std::make_unique<SDimPort>();
        SDimDevice dev = Row(&def, port.get(), c.firstSlot);
        dimsample::SampleDevice(dev, px.data(), kW, kH);
        EXPECT_EQ(port->used != 0, c.written) << int(c.composition) << " " << c.firstSlot;
        EXPECT_EQ(port->slots[c.firstSlot] != 0, c.written);
        if (c.written) {
            EXPECT_EQ(port->slots[512], c.composition == 1 ? B(0, 0) : c.composition == 2 ? 0 : 255);
        }
    }
}

TEST(DimSampling, DotGapSamplesTheFirstSubCell) {
    // A 2 × 2 definition filling a 100 × 100 canvas: with dot gap 1 its first dot samples
    // (-0.75, 0.75) of its unit square, pixel (12.5, 87.5); steps are half the square.
    SDimDefInfo def = Def(1, 2, 2);
    SDimDevice dev;
    dev.def = &def;
    dimsample::ComputeGeometry(dev, 1, 100, 100, {0, 0, 2, 2, 0});
    EXPECT_FLOAT_EQ(dev.x0, 12.5f);
    EXPECT_FLOAT_EQ(dev.y0, 87.5f);
    EXPECT_FLOAT_EQ(dev.colDx, 50);
    EXPECT_FLOAT_EQ(dev.rowDy, -50);
    // Gap 0 samples the cell centres, a gap above 2 counts as 2.
    dimsample::ComputeGeometry(dev, 0, 100, 100, {0, 0, 2, 2, 0});
    EXPECT_FLOAT_EQ(dev.x0, 25);
    dimsample::ComputeGeometry(dev, 200, 100, 100, {0, 0, 2, 2, 0});
    EXPECT_NEAR(dev.x0, 100.0f / 12, 1e-4);
    // A wide canvas: the longer side spans -1..1, the square sits in the middle; rotation 90
    // turns the column step upward.
    dimsample::ComputeGeometry(dev, 0, 200, 100, {0, 0, 1, 1, 90});
    EXPECT_NEAR(dev.colDx, 0, 1e-4);
    EXPECT_NEAR(dev.colDy, 50, 1e-4);
}

TEST(DimSampling, PointsOutsideTheCanvasAreSkipped) {
    const auto px = Frame();
    SDimDefInfo def = Def(1, 3, 1);
    auto port = std::make_unique<SDimPort>();
    // Dots at x = -0.5, 0.5, 1.5: the first lies left of the canvas.
    SDimDevice dev = Row(&def, port.get(), 1, -0.5f, 0.5f);
    dimsample::SampleDevice(dev, px.data(), kW, kH);
    EXPECT_EQ(port->slots[1], 0);
    EXPECT_EQ(port->slots[4], R(0, 0));
    EXPECT_EQ(port->slots[7], R(1, 0));
    // Below the canvas and past its right edge.
    auto below = std::make_unique<SDimPort>();
    SDimDevice down = Row(&def, below.get(), 1, 0.5f, -0.01f);
    dimsample::SampleDevice(down, px.data(), kW, kH);
    SDimDevice right = Row(&def, below.get(), 1, float(kW), 0.5f);
    dimsample::SampleDevice(right, px.data(), kW, kH);
    EXPECT_EQ(below->used, 0);
}

// Devices from documents that no editor checked: nothing outside slots 1..512 is touched.
TEST(DimSampling, FaultDevicesWriteOnlyInsideTheUniverse) {
    const auto px = Frame();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    SDimDefInfo rgb = Def(1, 2, 1);
    SDimDefInfo negative = Def(1, 2, 1);
    negative.dotOrder = {-5, 0};
    SDimDefInfo shortOrder = Def(1, 2, 1);
    shortOrder.dotOrder = {1};  // past the table: no dot
    SDimDefInfo zero = Def(1, 0, 0);
    SDimDefInfo codes = Def(0, 1, 1, {-1, -2}, 5, 5);  // counts longer than the table
    SDimDefInfo bigPrefix = Def(0, 1, 1, {1, 2, 3}, 250, 250);
    SDimDefInfo badComp = Def(7, 1, 1);
    struct Case {
        const char* name;
        SDimDefInfo* def;
        uint32_t firstSlot;
        float x0, y0, colDx;
    } cases[] = {
        {"dxch 0", &rgb, 0, 0.5f, 0.5f, 1},
        {"dxch 513", &rgb, 513, 0.5f, 0.5f, 1},
        {"dxch near 2^32", &rgb, 0xFFFFFFFEu, 0.5f, 0.5f, 1},
        {"dxch 2^31", &rgb, 0x80000000u, 0.5f, 0.5f, 1},
        {"negative dot", &negative, 1, 0.5f, 0.5f, 1},
        {"short order", &shortOrder, 1, 0.5f, 0.5f, 1},
        {"NaN point", &rgb, 1, nan, nan, 1},
        {"infinite step", &rgb, 1, 0.5f, 0.5f, inf},
        {"huge point", &rgb, 1, 1e30f, -1e30f, 1},
        {"beyond int32", &rgb, 1, 3e9f, 0.5f, 1},
        {"zero-size grid", &zero, 1, 0.5f, 0.5f, 1},
        {"codes past the table", &codes, 500, 0.5f, 0.5f, 1},
        {"prefix and suffix past 512", &bigPrefix, 300, 0.5f, 0.5f, 1},
        {"composition 7", &badComp, 1, 0.5f, 0.5f, 1},
    };
    for (const Case& c : cases) {
        auto port = std::make_unique<SDimPort>();
        SDimDevice dev = Row(c.def, port.get(), c.firstSlot, c.x0, c.y0);
        dev.colDx = c.colDx;
        dimsample::SampleDevice(dev, px.data(), kW, kH);
        EXPECT_EQ(port->slots[0], 0) << c.name;
        EXPECT_LE(port->used, 513) << c.name;
        if (c.def == &rgb && c.firstSlot != 1) {
            EXPECT_EQ(port->used, 0) << c.name;
        }
    }
    // The negative dot wrote nothing before the device; the NaN device nothing at all.
    auto port = std::make_unique<SDimPort>();
    SDimDevice dev = Row(&negative, port.get(), 1);
    dimsample::SampleDevice(dev, px.data(), kW, kH);
    EXPECT_EQ(port->used, 0);
}

TEST(DimSampling, DefinitionRecordsAndMissingOnes) {
    SDimDefInfo missing = SDimDefInfo::FromRecord("gone", nullptr);
    EXPECT_EQ(missing.columns, 1u);
    EXPECT_EQ(missing.rows, 1u);
    EXPECT_EQ(missing.slotsPerDot, 0u);
    EXPECT_EQ(missing.composition, 1);
    EXPECT_TRUE(missing.dotOrder.empty());
    // A missing definition's device writes nothing.
    const auto px = Frame();
    auto port = std::make_unique<SDimPort>();
    SDimDevice dev = Row(&missing, port.get(), 1);
    dimsample::SampleDevice(dev, px.data(), kW, kH);
    EXPECT_EQ(port->used, 0);
}

}  // namespace
