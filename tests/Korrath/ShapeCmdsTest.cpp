#include <gtest/gtest.h>

#include <cmath>

#include "Korrath/PolygonTriangles.h"
#include "Korrath/ShapeCmds.h"

namespace {

using plat::PlugInStructure;
using plat::PlugInValue;

PlugInStructure Entry(std::initializer_list<std::pair<const char*, PlugInValue>> values) {
    PlugInStructure s;
    for (const auto& [key, value] : values) s.Set(key, value);
    return s;
}

PlugInValue N(double n) {
    return PlugInValue::Number(n);
}

TEST(ShapeCmdsTest, ParsesEntriesByIndexWithDefaultsAndDegenerateGaps) {
    PlugInStructure vertices;
    for (auto [x, y] : {std::pair{0.0, 0.0}, {1.0, 0.0}, {0.0, 1.0}})
        vertices.Append(PlugInValue::Structure(Entry({{"0", N(x)}, {"1", N(y)}})));
    vertices.Set("4", PlugInValue::Structure(Entry({{"0", N(9)}})));  // after a gap: not read

    PlugInStructure cmd;
    cmd.Set("0",
            PlugInValue::Structure(Entry(
                {{"typ", N(0)}, {"l", N(-1)}, {"r", N(1)}, {"b", N(-0.5)}, {"t", N(0.5)}, {"brt", N(2.5)}})));
    cmd.Set("1", PlugInValue::Structure(Entry({{"typ", N(1)}, {"vtc", PlugInValue::Structure(vertices)}})));
    cmd.Set("5", PlugInValue::Structure(Entry({{"typ", N(2)}})));
    CShapeCmds shapes;
    shapes.Parse(&cmd);
    ASSERT_EQ(shapes.Cmds().size(), 3u);
    const auto& rect = shapes.Cmds()[0];
    EXPECT_EQ(rect.type, CShapeCmds::kRect);
    EXPECT_FLOAT_EQ(rect.grey, 2.5f);  // not clamped
    EXPECT_FLOAT_EQ(rect.v[0], -1);
    EXPECT_FLOAT_EQ(rect.v[3], 0.5f);
    const auto& poly = shapes.Cmds()[1];
    EXPECT_EQ(poly.type, CShapeCmds::kPolygon);
    EXPECT_FLOAT_EQ(poly.grey, 1.0f);
    ASSERT_EQ(poly.vtx.size(), 3u);
    EXPECT_FLOAT_EQ(poly.vtx[1].x, 1);
    EXPECT_FLOAT_EQ(poly.vtx[2].y, 1);
    // Key "2" is missing: a degenerate rectangle of grey 1.
    const auto& missing = shapes.Cmds()[2];
    EXPECT_EQ(missing.type, CShapeCmds::kRect);
    EXPECT_FLOAT_EQ(missing.grey, 1.0f);
    for (float v : missing.v) EXPECT_EQ(v, 0.0f);
}

TEST(ShapeCmdsTest, UnknownTypesAreLeftOutAndMalformedEntriesAreDegenerate) {
    PlugInStructure cmd;
    cmd.Append(PlugInValue::Structure(Entry({{"typ", N(3)}})));
    cmd.Append(PlugInValue::Structure(Entry({{"typ", N(-1)}})));
    cmd.Append(PlugInValue::Structure(Entry({{"typ", N(NAN)}})));
    cmd.Append(PlugInValue::String("not an entry"));
    cmd.Append(PlugInValue::Structure(Entry({{"typ", N(1)}, {"vtc", N(4)}})));
    cmd.Append(
        PlugInValue::Structure(Entry({{"typ", PlugInValue::String("2")}, {"x", PlugInValue::String("x")}})));
    CShapeCmds shapes;
    shapes.Parse(&cmd);
    ASSERT_EQ(shapes.Cmds().size(), 3u);
    EXPECT_EQ(shapes.Cmds()[0].type, CShapeCmds::kRect);
    EXPECT_EQ(shapes.Cmds()[1].type, CShapeCmds::kPolygon);
    EXPECT_TRUE(shapes.Cmds()[1].vtx.empty());
    EXPECT_EQ(shapes.Cmds()[2].type, CShapeCmds::kRect);

    shapes.Parse(nullptr);
    EXPECT_TRUE(shapes.Cmds().empty());
}

TEST(ShapeCmdsTest, EntryAndVertexCountsAreCapped) {
    PlugInStructure vertices;
    for (size_t i = 0; i < CShapeCmds::kMaxVertices + 10; ++i)
        vertices.Append(PlugInValue::Structure(Entry({{"0", N(0)}, {"1", N(0)}})));
    PlugInStructure cmd;
    cmd.Append(PlugInValue::Structure(Entry({{"typ", N(1)}, {"vtc", PlugInValue::Structure(vertices)}})));
    CShapeCmds shapes;
    shapes.Parse(&cmd);
    ASSERT_EQ(shapes.Cmds().size(), 1u);
    EXPECT_EQ(shapes.Cmds()[0].vtx.size(), CShapeCmds::kMaxVertices);

    PlugInStructure many;
    for (size_t i = 0; i < CShapeCmds::kMaxEntries + 10; ++i) many.Append(PlugInValue());
    shapes.Parse(&many);
    EXPECT_EQ(shapes.Cmds().size(), CShapeCmds::kMaxEntries);

    // Keys out of order are found too (each index once, not by a search per index).
    PlugInStructure reversed;
    constexpr size_t kReversed = 5000;
    for (size_t i = kReversed; i-- > 0;)
        reversed.Set(std::to_string(i), PlugInValue::Structure(Entry({{"typ", N(2)}, {"r", N(double(i))}})));
    shapes.Parse(&reversed);
    ASSERT_EQ(shapes.Cmds().size(), kReversed);
    EXPECT_EQ(shapes.Cmds()[7].type, CShapeCmds::kCircle);
    EXPECT_FLOAT_EQ(shapes.Cmds()[7].v[2], 7);
}

TEST(PolygonTrianglesTest, KeepsTheHalvingTrianglesOfFourAndSixVertices) {
    EXPECT_EQ(PolygonTriangles(4), (std::vector<uint32_t>{0, 1, 2, 2, 3, 0}));
    EXPECT_EQ(PolygonTriangles(6), (std::vector<uint32_t>{0, 1, 2, 2, 3, 4, 4, 5, 0, 0, 2, 4}));
    EXPECT_TRUE(PolygonTriangles(2).empty());
    EXPECT_TRUE(PolygonTriangles(0).empty());
}

// A regular n-gon is tiled when its n - 2 triangles all turn the same way and their areas add up
// to the polygon's (halving missed (4, 6, 0) for 7 vertices and (8, 10, 0) for 11).
TEST(PolygonTrianglesTest, TilesRegularPolygonsOfAnyCount) {
    for (size_t n : {3, 5, 7, 8, 11, 13, 16, 17, 100, 101}) {
        SCOPED_TRACE(n);
        std::vector<double> x(n), y(n);
        for (size_t i = 0; i < n; ++i) {
            x[i] = std::cos(2 * M_PI * double(i) / double(n));
            y[i] = std::sin(2 * M_PI * double(i) / double(n));
        }
        std::vector<uint32_t> t = PolygonTriangles(n);
        ASSERT_EQ(t.size(), 3 * (n - 2));
        double sum = 0;
        for (size_t k = 0; k < t.size(); k += 3) {
            double a = ((x[t[k + 1]] - x[t[k]]) * (y[t[k + 2]] - y[t[k]]) -
                        (x[t[k + 2]] - x[t[k]]) * (y[t[k + 1]] - y[t[k]])) /
                       2;
            EXPECT_GT(a, 0) << "triangle " << k / 3;
            sum += a;
        }
        EXPECT_NEAR(sum, double(n) / 2 * std::sin(2 * M_PI / double(n)), 1e-9);
    }
}

}  // namespace
