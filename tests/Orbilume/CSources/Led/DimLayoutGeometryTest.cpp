#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Orbilume/CSources/Led/DimLayoutGeometry.h"

using namespace dimlayout;

namespace {

// 240 pixels: one view unit is 100 pixels, the handle half size 0.05 units, the rotate handle 0.1.
const Pane kPane{240, 240};

Place P(float x, float y, float w, float h, float rot = 0) {
    return Place{x, y, w, h, rot};
}

}  // namespace

TEST(DimLayoutGeometry, PixelsMapToViewUnits) {
    struct Case {
        Pane pane;
        double px, py, u, v;
    } cases[] = {
        {{240, 240}, 0, 0, -1.2, 1.2},      {{240, 240}, 120, 120, 0, 0},   {{240, 240}, 240, 240, 1.2, -1.2},
        {{640, 480}, 320, 0, 0, 1.2},        {{640, 480}, 640, 240, 1.2, 0},
    };
    for (const Case& c : cases) {
        const Point v = c.pane.ToView(c.px, c.py);
        EXPECT_NEAR(v.x, c.u, 1e-12);
        EXPECT_NEAR(v.y, c.v, 1e-12);
        const Point back = c.pane.ToPixels(v);
        EXPECT_NEAR(back.x, c.px, 1e-9);
        EXPECT_NEAR(back.y, c.py, 1e-9);
    }
    EXPECT_NEAR(Pane({480, 100}).HalfHandle(), 12.0 / 480, 1e-15);
    EXPECT_NEAR(Pane({480, 100}).HandleLength(), 24.0 / 480, 1e-15);
}

TEST(DimLayoutGeometry, EmptyPaneHitsNothingWithFiniteLengths) {
    const std::vector<Place> devices{P(0, 0, 2.4f, 2.4f)};
    const std::vector<uint8_t> sel{1};
    for (Pane pane : {Pane{0, 0}, Pane{0, 100}, Pane{100, 0}, Pane{-5, -5}}) {
        EXPECT_TRUE(std::isfinite(pane.HalfHandle()));
        EXPECT_TRUE(std::isfinite(pane.HandleLength()));
        const Point v = pane.ToView(0, 0);
        EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));
        EXPECT_EQ(HitTest(pane, devices, sel, {0, 0}).kind, Hit::kNone);
    }
}

TEST(DimLayoutGeometry, CornerOrder) {
    const Place d = P(1, 2, 0.4f, 0.2f);
    const Point want[4] = {{0.8, 1.9}, {1.2, 1.9}, {1.2, 2.1}, {0.8, 2.1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(Corner(d, i).x, want[i].x, 1e-6);
        EXPECT_NEAR(Corner(d, i).y, want[i].y, 1e-6);
    }
    const Point r = Corner(P(0, 0, 0.4f, 0.2f, 90), 1);  // (0.2, -0.1) turned a quarter
    EXPECT_NEAR(r.x, 0.1, 1e-6);
    EXPECT_NEAR(r.y, 0.2, 1e-6);
}

TEST(DimLayoutGeometry, HitTestTable) {
    // B's centre is A's corner 2; B comes first in the list.
    const std::vector<Place> overlap{P(0.25f, 0.25f, 0.5f, 0.5f), P(0, 0, 0.5f, 0.5f)};
    const std::vector<Place> nested{P(0, 0, 1, 1), P(0.1f, 0, 0.2f, 0.2f)};
    const std::vector<Place> nestedReversed{P(0.1f, 0, 0.2f, 0.2f), P(0, 0, 1, 1)};
    const std::vector<Place> one{P(0, 0, 0.4f, 0.4f)};
    const std::vector<Place> turned{P(0, 0, 0.4f, 0.4f, 90)};
    struct Case {
        const char* what;
        const std::vector<Place>* devices;
        std::vector<uint8_t> selected;
        Point p;
        Hit want;
    } cases[] = {
        {"selected corner over an unselected body", &overlap, {0, 1}, {0.25, 0.25}, {Hit::kResize, 1, 2}},
        {"same click, nothing selected: the body", &overlap, {0, 0}, {0.25, 0.25}, {Hit::kBody, 0, 0}},
        {"nested: the smaller", &nested, {0, 0}, {0.1, 0.02}, {Hit::kBody, 1, 0}},
        {"nested, other order", &nestedReversed, {0, 0}, {0.1, 0.02}, {Hit::kBody, 0, 0}},
        {"the big one alone", &nested, {0, 0}, {-0.3, 0.1}, {Hit::kBody, 0, 0}},
        {"corner 0 within 5 pixels", &one, {0}, {-0.24, -0.23}, {Hit::kResize, 0, 0}},
        {"corner 3", &one, {1}, {-0.2, 0.2}, {Hit::kResize, 0, 3}},
        {"rotate handle", &one, {0}, {0.01, 0.28}, {Hit::kRotate, 0, 0}},
        {"above the handle", &one, {0}, {0.01, 0.31}, {Hit::kNone, -1, 0}},
        {"beside the handle", &one, {0}, {0.08, 0.28}, {Hit::kNone, -1, 0}},
        {"outside", &one, {0}, {0.5, 0}, {Hit::kNone, -1, 0}},
        {"turned device: handle on the left", &turned, {0}, {-0.28, 0.0}, {Hit::kRotate, 0, 0}},
    };
    for (const Case& c : cases) {
        const Hit h = HitTest(kPane, *c.devices, c.selected, c.p);
        EXPECT_EQ(h.kind, c.want.kind) << c.what;
        EXPECT_EQ(h.device, c.want.device) << c.what;
        if (c.want.kind == Hit::kResize) {
            EXPECT_EQ(h.corner, c.want.corner) << c.what;
        }
    }
}

TEST(DimLayoutGeometry, BandTouchTable) {
    struct Case {
        const char* what;
        Place device;
        Point a, b;
        bool touches;
    } cases[] = {
        {"corner inside", P(0, 0, 0.4f, 0.4f), {0.1, 0.1}, {0.5, 0.5}, true},
        {"corner on the band's edge", P(0, 0, 0.4f, 0.4f), {0.2, 0.2}, {0.5, 0.5}, true},
        {"edge crossing, no corner inside", P(0, 0, 1, 0.2f), {-0.1, -0.5}, {0.1, 0.5}, true},
        {"device contains the band", P(0, 0, 1, 1), {-0.1, -0.1}, {0.1, 0.1}, false},
        {"apart", P(0, 0, 0.4f, 0.4f), {0.3, 0.3}, {0.5, 0.5}, false},
        {"collinear overlap", P(0, 0, 0.5f, 0.5f), {-0.1, 0.25}, {0.1, 0.25}, true},
        {"turned 45, band in its notch", P(0, 0, 0.4f, 0.4f, 45), {0.2, 0.2}, {0.4, 0.4}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TouchesBand(c.device, c.a, c.b), c.touches) << c.what;
        EXPECT_EQ(TouchesBand(c.device, c.b, c.a), c.touches) << c.what << " (reversed)";
    }
}

TEST(DimLayoutGeometry, FrameQuadrants) {
    const Place d = P(0.5f, 0.5f, 0.4f, 0.2f);
    struct Case {
        Point start;
        int q;
    } cases[] = {{{0.4, 0.4}, 0}, {{0.6, 0.4}, 1}, {{0.6, 0.6}, 2}, {{0.4, 0.6}, 3}, {{0.5, 0.5}, 2}};
    for (const Case& c : cases) {
        const Frame f = MakeFrame(d, {d}, c.start);
        EXPECT_EQ(f.quadrant, c.q);
        EXPECT_NEAR(f.centre.x, 0, 1e-6);
        EXPECT_NEAR(f.size.x, 0.4, 1e-6);
        EXPECT_NEAR(f.size.y, 0.2, 1e-6);
    }
    // Two devices: the box spans both in the clicked device's frame.
    const Frame two = MakeFrame(d, {d, P(-0.5f, 0.5f, 0.2f, 0.2f)}, {0.6, 0.6});
    EXPECT_NEAR(two.size.x, 1.3, 1e-6);
    EXPECT_NEAR(two.centre.x, -0.45, 1e-6);
}

TEST(DimLayoutGeometry, ResizeTable) {
    const Place d = P(0, 0, 0.4f, 0.4f);
    const Place line = P(0, 0, 0, 0.4f);  // zero width
    struct Case {
        const char* what;
        Place device;
        Point start, pointer;
        Place want;
    } cases[] = {
        {"grow from corner 2", d, {0.2, 0.2}, {0.4, 0.4}, P(0.1f, 0.1f, 0.6f, 0.6f)},
        {"shrink from corner 0", d, {-0.2, -0.2}, {-0.1, -0.1}, P(0.05f, 0.05f, 0.3f, 0.3f)},
        {"to the anchor", d, {0.2, 0.2}, {-0.2, -0.2}, P(-0.2f, -0.2f, 0, 0)},
        {"past the anchor collapses", d, {0.2, 0.2}, {-0.5, -0.6}, P(-0.2f, -0.2f, 0, 0)},
        {"one axis only", d, {0.2, 0.2}, {0.4, 0.2}, P(0.1f, 0, 0.6f, 0.4f)},
        {"zero width: half the offset", line, {0, 0.2}, {0.3, 0.2}, P(0.15f, 0, 0.3f, 0.4f)},
        {"zero width, leftwards", line, {0, 0.2}, {-0.3, 0.2}, P(-0.15f, 0, 0.3f, 0.4f)},
    };
    for (const Case& c : cases) {
        const Frame f = MakeFrame(c.device, {c.device}, c.start);
        const Place r = ResizeStep(f, c.device, c.start, c.pointer);
        EXPECT_NEAR(r.x, c.want.x, 1e-6) << c.what;
        EXPECT_NEAR(r.y, c.want.y, 1e-6) << c.what;
        EXPECT_NEAR(r.w, c.want.w, 1e-6) << c.what;
        EXPECT_NEAR(r.h, c.want.h, 1e-6) << c.what;
        EXPECT_GE(r.w, 0) << c.what;
        EXPECT_GE(r.h, 0) << c.what;
        EXPECT_EQ(r.rot, c.device.rot) << c.what;
    }
}

TEST(DimLayoutGeometry, ResizeInTheClickedDevicesFrame) {
    // Turned a quarter: dragging corner 2 (at (-0.1, 0.2) in view units) leftwards widens it.
    const Place d = P(0, 0, 0.4f, 0.2f, 90);
    const Point start = Corner(d, 2);
    const Frame f = MakeFrame(d, {d}, start);
    EXPECT_EQ(f.quadrant, 2);
    const Place r = ResizeStep(f, d, start, {start.x - 0.2, start.y});
    EXPECT_NEAR(r.h, 0.4, 1e-6);
    EXPECT_NEAR(r.w, 0.4, 1e-6);
    EXPECT_NEAR(r.x, -0.1, 1e-6);
}

TEST(DimLayoutGeometry, RotateTable) {
    const double s100 = std::sin(100 * M_PI / 180), c100 = std::cos(100 * M_PI / 180);
    struct Case {
        const char* what;
        float rot;
        Point start, pointer;
        float want;
    } cases[] = {
        {"+190 from 0 stores -170", 0, {0.3, 0}, {-0.3 * s100, 0.3 * c100}, -170},
        {"quarter turn left", 0, {0, 0.3}, {-0.3, 0}, 90},
        {"170 + 20 wraps", 170, {0, 0.3}, {-0.3 * std::sin(20 * M_PI / 180), 0.3 * std::cos(20 * M_PI / 180)},
         -170},
        {"180 stores -180", 90, {0, 0.3}, {-0.3, 0}, -180},
    };
    for (const Case& c : cases) {
        const Place d = P(0, 0, 0.4f, 0.4f, c.rot);
        const Frame f = MakeFrame(d, {d}, c.start);
        const Place r = RotateStep(f, d, c.start, c.pointer);
        EXPECT_NEAR(r.rot, c.want, 1e-3) << c.what;
        EXPECT_GE(r.rot, -180) << c.what;
        EXPECT_LT(r.rot, 180) << c.what;
    }
    // A second device turns about the box centre.
    const Place a = P(-0.5f, 0, 0.2f, 0.2f), b = P(0.5f, 0, 0.2f, 0.2f);
    const Frame f = MakeFrame(a, {a, b}, {0, 0.3});
    const Place rb = RotateStep(f, b, {0, 0.3}, {-0.3, 0});
    EXPECT_NEAR(rb.x, 0, 1e-6);
    EXPECT_NEAR(rb.y, 0.5, 1e-6);
    EXPECT_NEAR(rb.rot, 90, 1e-4);
}
