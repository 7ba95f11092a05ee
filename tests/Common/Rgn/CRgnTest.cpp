#include <gtest/gtest.h>

#include <bitset>
#include <climits>
#include <random>
#include <vector>

#include "Common/Container/CArray.h"
#include "Common/Rgn/CRgn.h"
#include "Common/Rgn/CRgnCellIter.h"

namespace {

std::vector<int32_t> Words(const CRgn& r) {
    const int32_t* s = r.ScanData();
    return s ? std::vector<int32_t>(s, s + s[0]) : std::vector<int32_t>{};
}

CRgn Of(std::initializer_list<CLRect> rects) {
    CRgn r;
    for (const CLRect& rect : rects) r |= CRgn(rect);
    return r;
}

TEST(CRgnTest, StoredForms) {
    const CRgn touching = Of({{0, 0, 10, 10}, {10, 0, 20, 10}});
    EXPECT_EQ(touching.bounds(), (CLRect{0, 0, 20, 10}));
    EXPECT_EQ(touching.ScanData(), nullptr);

    const CRgn apart = Of({{0, 0, 10, 10}, {20, 0, 30, 10}});
    EXPECT_EQ(Words(apart), (std::vector<int32_t>{9, 0, 2, 0, 10, 20, 30, 10, 0}));

    CRgn holed(CLRect{0, 0, 10, 10});
    holed -= CRgn(CLRect{3, 3, 6, 6});
    EXPECT_EQ(holed.bounds(), (CLRect{0, 0, 10, 10}));
    EXPECT_EQ(Words(holed), (std::vector<int32_t>{17, 0, 1, 0, 10, 3, 2, 0, 3, 6, 10, 6, 1, 0, 10, 10, 0}));
}

TEST(CRgnTest, EmptyResults) {
    CRgn a(CLRect{0, 0, 10, 10});
    CRgn b = a;
    b -= CRgn(CLRect{0, 0, 10, 10});
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(b.bounds(), CLRect{});
    CRgn c = a;
    c ^= a;
    EXPECT_TRUE(c.IsEmpty());
    CRgn d = a;
    d &= CRgn(CLRect{10, 0, 20, 10});
    EXPECT_TRUE(d.IsEmpty());
    EXPECT_TRUE(CRgn(CLRect{5, 5, 5, 9}).IsEmpty());
}

TEST(CRgnTest, ContainRect) {
    CRgn holed(CLRect{0, 0, 10, 10});
    holed -= CRgn(CLRect{3, 3, 6, 6});
    EXPECT_FALSE(holed.Contain(CLRect{3, 3, 6, 6}));
    EXPECT_FALSE(holed.Contain(CLRect{4, 4, 5, 5}));
    EXPECT_TRUE(holed.Contain(CLRect{2, 4, 4, 5}));
    EXPECT_TRUE(holed.Contain(CLPoint{2, 4}));
    EXPECT_FALSE(holed.Contain(CLPoint{3, 3}));
    EXPECT_FALSE(holed.Contain(CLRect{10, 0, 12, 10}));
}

TEST(CRgnTest, OrderDoesNotMatter) {
    const CRgn a = Of({{0, 0, 4, 4}, {2, 2, 8, 8}, {6, 0, 9, 3}});
    const CRgn b = Of({{6, 0, 9, 3}, {2, 2, 8, 8}, {0, 0, 4, 4}});
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a.IsSame(b));
    EXPECT_EQ(Words(a), Words(b));
}

TEST(CRgnTest, InsetShiftAndMap) {
    CRgn r(CLRect{0, 0, 10, 10});
    r.Inset(2, 2);
    EXPECT_EQ(r.bounds(), (CLRect{2, 2, 8, 8}));
    // Shrinking a staircase removes the cells near its inner corners too, not only those that a
    // diagonal shift would catch.
    CRgn stairs = Of({{0, 0, 4, 4}, {2, 2, 6, 6}});
    stairs.Inset(1, 1);
    EXPECT_FALSE(stairs.Contain(CLPoint{3, 2}));
    EXPECT_TRUE(stairs == Of({{1, 1, 3, 3}, {3, 3, 5, 5}}));

    CRgn g(CLRect{0, 0, 10, 10});
    g.Inset(-2, 0);
    EXPECT_EQ(g.bounds(), (CLRect{-2, 0, 12, 10}));
    EXPECT_EQ(g.ScanData(), nullptr);

    CRgn s(CLRect{0, 0, 10, 10});
    s.Shift(INT32_MAX - 5, 0);
    EXPECT_EQ(s.bounds(), (CLRect{INT32_MAX - 5, 0, INT32_MAX, 10}));  // the right side saturates

    CRgn two = Of({{0, 0, 2, 2}, {4, 4, 6, 6}});
    two.Shift(3, -1);
    EXPECT_TRUE(two == Of({{3, -1, 5, 1}, {7, 3, 9, 5}}));
    two.Shift(0, INT32_MIN);  // the first square's top saturates
    EXPECT_TRUE(two == Of({{3, INT32_MIN, 5, INT32_MIN + 1}, {7, INT32_MIN + 3, 9, INT32_MIN + 5}}));
    two.Shift(0, INT32_MIN);  // every line saturates onto one y: nothing is left
    EXPECT_TRUE(two.IsEmpty());
    CRgn far = Of({{0, 0, 2, 2}, {4, 4, 6, 6}});
    far.Shift(0, INT32_MAX - 3);  // the second square leaves the plane
    EXPECT_TRUE(far == CRgn(CLRect{0, INT32_MAX - 3, 2, INT32_MAX - 1}));

    CRgn m = Of({{0, 0, 2, 2}, {4, 4, 6, 6}});
    m.Map(CLRect{0, 0, 10, 10}, CLRect{100, 100, 110, 110});
    EXPECT_TRUE(m == Of({{100, 100, 102, 102}, {104, 104, 106, 106}}));
    m.Map(CLRect{100, 100, 110, 110}, CLRect{0, 0, 20, 20});
    EXPECT_TRUE(m == Of({{0, 0, 4, 4}, {8, 8, 12, 12}}));
}

TEST(CRgnCellIterTest, WalksCells) {
    const CRgn cells = Of({{2, 3, 3, 4}, {5, 3, 6, 4}});
    struct Case {
        bool columnsFirst, backward;
        std::vector<CLPoint> expected;
    };
    const Case cases[] = {
        {false, false, {{2, 3}, {5, 3}}},
        {false, true, {{5, 3}, {2, 3}}},
        {true, false, {{2, 3}, {5, 3}}},
    };
    for (const Case& c : cases) {
        CRgnCellIter it(cells, c.columnsFirst, c.backward);
        std::vector<CLPoint> got;
        while (it.Next()) got.push_back({it.x, it.y});
        EXPECT_EQ(got, c.expected);
    }
    CRgnCellIter empty(CRgn(), false, false);
    EXPECT_FALSE(empty.Next());

    // Cells at the very edges of the plane.
    const CRgn edge = Of({{INT32_MIN, INT32_MAX - 1, INT32_MIN + 1, INT32_MAX}});
    CRgnCellIter back(edge, false, true);
    ASSERT_TRUE(back.Next());
    EXPECT_EQ(CLPoint(back.x, back.y), (CLPoint{INT32_MIN, INT32_MAX - 1}));
    EXPECT_FALSE(back.Next());

    const CRgn block = Of({{0, 0, 2, 2}});
    CRgnCellIter cols(block, true, false);
    std::vector<CLPoint> got;
    while (cols.Next()) got.push_back({cols.x, cols.y});
    EXPECT_EQ(got, (std::vector<CLPoint>{{0, 0}, {0, 1}, {1, 0}, {1, 1}}));
}

// Set operations on random rectangle sets against a bitmap, and canonical storage.
constexpr int kSize = 24;
using Bitmap = std::bitset<kSize * kSize>;

Bitmap Paint(const CLRect& r) {
    Bitmap b;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) b.set(y * kSize + x);
    return b;
}

Bitmap Rasterise(const CRgn& r) {
    Bitmap b;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            if (r.Contain(CLPoint{x, y})) b.set(y * kSize + x);
    return b;
}

// The region of a bitmap built row cell by row cell: a different path to the same area.
CRgn FromBitmap(const Bitmap& b) {
    CRgn r;
    for (int y = kSize - 1; y >= 0; --y)
        for (int x = 0; x < kSize; ++x)
            if (b.test(y * kSize + x)) r |= CRgn(CLRect{x, y, x + 1, y + 1});
    return r;
}

TEST(CRgnOracleTest, SetOperationsAgreeWithBitmaps) {
    std::mt19937 rng(5);
    auto randomRect = [&] {
        const int x = rng() % kSize, y = rng() % kSize;
        return CLRect{x, y, x + 1 + static_cast<int>(rng() % (kSize - x)),
                      y + 1 + static_cast<int>(rng() % (kSize - y))};
    };
    for (int round = 0; round < 300; ++round) {
        CRgn a, b;
        Bitmap ba, bb;
        for (int i = 0; i < 1 + round % 5; ++i) {
            const CLRect r = randomRect();
            if (rng() % 4 == 0) {
                a -= CRgn(r);
                ba &= ~Paint(r);
            } else {
                a |= CRgn(r);
                ba |= Paint(r);
            }
            const CLRect s = randomRect();
            b ^= CRgn(s);
            bb ^= Paint(s);
        }
        ASSERT_EQ(Rasterise(a), ba);
        ASSERT_EQ(Rasterise(b), bb);
        struct Op {
            const char* name;
            Bitmap expected;
            CRgn result;
        };
        Op ops[] = {{"and", ba & bb, a}, {"or", ba | bb, a}, {"minus", ba & ~bb, a}, {"xor", ba ^ bb, a}};
        ops[0].result &= b;
        ops[1].result |= b;
        ops[2].result -= b;
        ops[3].result ^= b;
        for (Op& op : ops) {
            ASSERT_EQ(Rasterise(op.result), op.expected) << op.name << " round " << round;
            const CRgn canonical = FromBitmap(op.expected);
            ASSERT_TRUE(op.result == canonical) << op.name << " round " << round;
            ASSERT_EQ(Words(op.result), Words(canonical));
            // Rectangles of the stored form tile the area exactly, and bounds are tight.
            CArray<CLRect> rects;
            op.result.GetRects(rects);
            Bitmap tiled;
            for (const CLRect& r : rects) {
                ASSERT_TRUE((tiled & Paint(r)).none());
                tiled |= Paint(r);
            }
            ASSERT_EQ(tiled, op.expected);
            const CLRect bnd = op.result.bounds();
            Bitmap inside = Paint(bnd);
            ASSERT_EQ(op.expected & ~inside, Bitmap{});
            if (op.expected.any()) {
                ASSERT_TRUE(op.result.Contain(CLRect{bnd.left, bnd.top, bnd.left + 1, bnd.bottom}));
                ASSERT_TRUE(op.result.Contain(CLRect{bnd.left, bnd.top, bnd.right, bnd.top + 1}));
            }
        }
        // Inset against the bitmap: shrinking keeps cells whose whole neighbourhood is inside,
        // growing adds every cell within the distance.
        const int ix = static_cast<int>(rng() % 3), iy = static_cast<int>(rng() % 3);
        CRgn shrunk = a, grown = a;
        shrunk.Inset(ix, iy);
        grown.Inset(-ix, -iy);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                bool all = true, any = false;
                for (int v = y - iy; v <= y + iy; ++v)
                    for (int u = x - ix; u <= x + ix; ++u) {
                        const bool in = u >= 0 && v >= 0 && u < kSize && v < kSize && ba.test(v * kSize + u);
                        all = all && in;
                        any = any || in;
                    }
                ASSERT_EQ(shrunk.Contain(CLPoint{x, y}), all)
                    << x << "," << y << " inset " << ix << "," << iy;
                ASSERT_EQ(grown.Contain(CLPoint{x, y}), any)
                    << x << "," << y << " outset " << ix << "," << iy;
            }
        // Shifts keep the area.
        CRgn moved = a;
        moved.Shift(3, -2);
        moved.Shift(-3, 2);
        ASSERT_TRUE(moved == a);
    }
}

}  // namespace
