#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LOffscreen.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/CoreUI/LPaneBorder.h"
#include "Lib3/LSources/CoreUI/LPolyline.h"
#include "Lib3/LSources/CoreUI/LRectFrame.h"
#include "Lib3/LSources/CoreUI/UMacStr.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"

namespace {

const LColor kRed(LRGB(255, 0, 0), 0);
const LColor kBlue(LRGB(0, 0, 255), 0);
const LColor kGrey(LRGB(128, 128, 128), 0);

// A 60 x 40 white surface seen through a port whose origin is (offset, offset).
struct Surface {
    explicit Surface(int32_t offset = 0) : native(plat::DrawContext::CreateImage(60, 40)) {
        native->SetFillColor({1, 1, 1, 1});
        native->FillRect({0, 0, 60, 40});
        port.clip = CRgn(CLRect{0, 0, 60, 40});
        port.origin = {offset, offset};
    }
    uint32_t At(int x, int y) { return native->PixelAt(x, y) & 0xFFFFFF; }
    plat::Ref<plat::DrawContext> native;
    LPanePort port;
};

}  // namespace

TEST(LPaint, BlendModesOverGrey) {
    struct Case {
        uint32_t mode;
        LRGB colour;
        uint32_t expect;
    } cases[] = {
        {LPaint::kNormal, LRGB(255, 0, 0), 0xFF0000},       {4, LRGB(255, 0, 0), 0xFF0000},  // 4: normal too
        {LPaint::kDifference, LRGB(255, 255, 0), 0x7F7F80}, {LPaint::kMultiply, LRGB(255, 128, 0), 0x804000},
        {LPaint::kScreen, LRGB(255, 128, 0), 0xFFC080},
    };
    for (const Case& c : cases) {
        Surface s;
        LDrawContext ctx(s.port, s.native.get());
        LPaint(CRgn(CLRect{0, 0, 60, 40}), kGrey).Fill(ctx);
        LPaint(CRgn(CLRect{0, 0, 30, 40}), LColor(c.colour, 0), c.mode).Fill(ctx);
        uint32_t got = s.At(10, 10);
        for (int shift = 0; shift < 24; shift += 8)
            EXPECT_NEAR((got >> shift) & 255, (c.expect >> shift) & 255, 1)
                << c.mode << " " << std::hex << got;
        EXPECT_EQ(s.At(40, 10), 0x808080u);
        // The blend mode does not outlive the fill.
        LPaint(CRgn(CLRect{40, 0, 60, 40}), kBlue).Fill(ctx);
        EXPECT_EQ(s.At(50, 10), 0x0000FFu);
    }
}

TEST(LRectFrame, OutlineThicknessFollowsThePen) {
    Surface s;
    LDrawContext ctx(s.port, s.native.get());
    LRectFrame frame;
    frame.rect = {10, 10, 40, 30};
    frame.penWidth = 2;
    frame.penHeight = 3;
    frame.colour = kRed;
    frame.Draw(ctx);
    struct Probe {
        int x, y;
        bool ink;
    } probes[] = {
        {10, 20, true},  {11, 20, true},  {12, 20, false}, {39, 20, true},  {38, 20, true},
        {37, 20, false}, {20, 10, true},  {20, 12, true},  {20, 13, false}, {20, 29, true},
        {20, 27, true},  {20, 26, false}, {9, 20, false},  {40, 20, false}, {20, 30, false},
    };
    for (const Probe& p : probes) EXPECT_EQ(s.At(p.x, p.y) == 0xFF0000u, p.ink) << p.x << "," << p.y;

    // No larger than twice the pen: the whole rectangle.
    frame.rect = {50, 5, 54, 11};
    frame.Draw(ctx);
    EXPECT_EQ(s.At(52, 8), 0xFF0000u);
}

TEST(LRoundRectStroke, CornersAreRounded) {
    Surface s;
    LDrawContext ctx(s.port, s.native.get());
    LRoundRectStroke stroke;
    stroke.rect = {10, 5, 50, 35};
    stroke.penWidth = stroke.penHeight = 2;
    stroke.colour = kBlue;
    stroke.Draw(ctx);
    EXPECT_EQ(s.At(30, 5), 0x0000FFu);   // top edge
    EXPECT_EQ(s.At(10, 20), 0x0000FFu);  // left edge
    EXPECT_EQ(s.At(10, 5), 0xFFFFFFu);   // the corner point itself is cut off
    EXPECT_EQ(s.At(49, 34), 0xFFFFFFu);
    EXPECT_EQ(s.At(30, 20), 0xFFFFFFu);  // stroked, not filled
}

TEST(LPolyline, StrokeFillAndTooFewPoints) {
    Surface s;
    LDrawContext ctx(s.port, s.native.get());
    LPolyline one;
    one.colour = kRed;
    one.AddPoint({5, 5});
    one.Draw(ctx);
    EXPECT_EQ(s.At(5, 5), 0xFFFFFFu);

    LPolyline tri;
    tri.colour = kRed;
    for (CLPoint p : {CLPoint{10, 5}, CLPoint{40, 5}, CLPoint{10, 35}}) tri.AddPoint(p);
    tri.Draw(ctx);
    EXPECT_EQ(s.At(15, 10), 0xFFFFFFu);  // stroked only: the inside stays white
    tri.fill = 1;
    tri.Draw(ctx);
    EXPECT_EQ(s.At(15, 10), 0xFF0000u);
    EXPECT_EQ(s.At(35, 30), 0xFFFFFFu);  // outside the triangle
}

TEST(LDrawContext, ScopesRestoreInReverseOrder) {
    Surface s(10);  // local (0, 0) is window (10, 10)
    LDrawContext ctx(s.port, s.native.get());
    {
        LColorScope red(ctx, kRed);
        LClipScope clip(ctx, CLRect{0, 0, 20, 20});
        {
            LOriginScope origin(ctx, 5, 5);
            LTranslateScope moved(ctx, {10, 10});
            LColorScope blue(ctx, kBlue);
            LClipScope inner(ctx, CLRect{0, 0, 5, 5});
            LPaint(CRgn(CLRect{0, 0, 40, 40}), ctx.Color()).Fill(ctx);
        }
        // Inner scopes gone: the outer colour, clip and origin are back.
        LPaint(CRgn(CLRect{0, 0, 40, 40}), ctx.Color()).Fill(ctx);
        EXPECT_EQ(ctx.Origin().x, 10);
    }
    LPaint(CRgn(CLRect{30, 0, 31, 1}), ctx.Color()).Fill(ctx);
    EXPECT_EQ(s.At(17, 17), 0xFF0000u);  // outer fill covers the inner one but inside its clip...
    EXPECT_EQ(s.At(29, 29), 0xFF0000u);  // ...up to local (19, 19)
    EXPECT_EQ(s.At(30, 30), 0xFFFFFFu);  // outer clip ends at local 20
    EXPECT_EQ(s.At(9, 9), 0xFFFFFFu);    // left of the port origin
    EXPECT_EQ(s.At(40, 10), 0x000000u);  // the port's colour (none: black), the port's clip
    EXPECT_EQ(s.At(40, 11), 0xFFFFFFu);
}

TEST(LDrawContext, InnerFillLandsInTheMovedClip) {
    Surface s(10);
    LDrawContext ctx(s.port, s.native.get());
    LColorScope red(ctx, kRed);
    LClipScope clip(ctx, CLRect{0, 0, 20, 20});
    {
        LOriginScope origin(ctx, 5, 5);
        LTranslateScope moved(ctx, {10, 10});
        LColorScope blue(ctx, kBlue);
        LClipScope inner(ctx, CLRect{0, 0, 5, 5});
        LPaint(CRgn(CLRect{0, 0, 40, 40}), ctx.Color()).Fill(ctx);
    }
    EXPECT_EQ(s.At(15, 15), 0x0000FFu);  // window (15..20) = local (0..5) after the move
    EXPECT_EQ(s.At(19, 19), 0x0000FFu);
    EXPECT_EQ(s.At(20, 20), 0xFFFFFFu);
    EXPECT_EQ(s.At(14, 14), 0xFFFFFFu);
    EXPECT_TRUE(ctx.Color().IsSame(kRed));
}

TEST(LOffscreen, ImageIsCachedUntilTheNextLock) {
    LOffscreenH buffer;
    ASSERT_TRUE(NewOffscreen(buffer, 8, 4, 32, false, LOffscreen::kAlpha));
    plat::DrawContext* ctx = buffer->Lock();
    ctx->SetFillColor({1, 0, 0, 1});
    ctx->FillRect({0, 0, 8, 4});
    plat::Ref<plat::BitmapImage> whileLocked = buffer->GetImage();
    buffer->Unlock();
    plat::Ref<plat::BitmapImage> first = buffer->GetImage();
    plat::Ref<plat::BitmapImage> again = buffer->GetImage();
    EXPECT_NE(first, whileLocked);  // taken while locked: not cached
    EXPECT_EQ(first, again);
    EXPECT_EQ(first->PixelAt(3, 2), 0xFFFF0000u);

    ctx = buffer->Lock();  // a change: the cache goes
    ctx->SetFillColor({0, 0, 1, 1});
    ctx->FillRect({0, 0, 8, 4});
    buffer->Unlock();
    plat::Ref<plat::BitmapImage> rebuilt = buffer->GetImage();
    EXPECT_NE(rebuilt, first);
    EXPECT_EQ(rebuilt->PixelAt(3, 2), 0xFF0000FFu);
    EXPECT_EQ(first->PixelAt(3, 2), 0xFFFF0000u);

    struct Case {
        uint32_t depth;
        bool gray;
        uint32_t flags;
        bool made;
        plat::PixelFormat format;
    } cases[] = {
        {8, true, 0, true, plat::PixelFormat::kGray8},
        {4, true, 0, true, plat::PixelFormat::kGray4},
        {3, true, 0, false, plat::PixelFormat::kGray8},
        {16, true, 0, false, plat::PixelFormat::kGray8},
        {0, true, 0, false, plat::PixelFormat::kGray8},
        {16, false, 0, true, plat::PixelFormat::kXRGB1555},
        {32, false, 0, true, plat::PixelFormat::kXRGB32},
        {32, false, LOffscreen::kAlpha, true, plat::PixelFormat::kARGB32},
    };
    for (const Case& c : cases) {
        LOffscreenH h;
        EXPECT_EQ(NewOffscreen(h, 5, 5, c.depth, c.gray, c.flags), c.made) << c.depth;
        if (!c.made) continue;
        plat::Ref<plat::BitmapImage> image = h->GetImage();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Format(), c.format);
        EXPECT_EQ(image->BytesPerRow() % 16, 0u);
        image = nullptr;
    }

    // A layer has no image of its own.
    plat::Ref<plat::DrawContext> base = plat::DrawContext::CreateImage(4, 4);
    LOffscreenH layered;
    ASSERT_TRUE(NewOffscreen(layered, 4, 4, 32, false, 0, base.get()));
    EXPECT_EQ(layered->GetImage(), nullptr);
    base = nullptr;
    LOffscreenH bad;
    EXPECT_FALSE(NewOffscreen(bad, 0, 4, 32, false, 0));
}

TEST(LOffscreen, GreyBuffersOfEachDepthQuantiseAndPadRows) {
    // 130 pixels a row: (130 x depth + 7) / 8 bytes, rounded up to 16.
    const uint8_t kLevels[5] = {0, 51, 140, 200, 255};
    struct Case {
        uint32_t depth;
        size_t bytesPerRow;
        uint8_t expect[5];
    } cases[] = {
        {1, 32, {0, 0, 255, 255, 255}},
        {2, 48, {0, 85, 170, 170, 255}},
        {4, 80, {0, 51, 136, 204, 255}},
        {8, 144, {0, 51, 140, 200, 255}},
    };
    for (const Case& c : cases) {
        LOffscreenH buffer;
        // Grey buffers have no alpha, even when asked for.
        ASSERT_TRUE(NewOffscreen(buffer, 130, 3, c.depth, true, LOffscreen::kAlpha)) << c.depth;
        plat::DrawContext* ctx = buffer->Lock();
        for (int32_t x = 0; x < 130; ++x) {
            double v = kLevels[x % 5] / 255.0;
            ctx->SetFillColor({v, v, v, 1});
            ctx->FillRect({double(x), 0, 1, 3});
        }
        buffer->Unlock();
        plat::Ref<plat::BitmapImage> image = buffer->GetImage();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->BytesPerRow(), c.bytesPerRow) << c.depth;
        EXPECT_EQ(image->Space(), plat::ColorSpace::kGenericGray);
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 130; ++x) {
                uint32_t g = c.expect[x % 5];
                ASSERT_EQ(image->PixelAt(x, y), 0xFF000000u | g << 16 | g << 8 | g)
                    << "depth " << c.depth << " at " << x << "," << y;
            }
        image = nullptr;
    }
}

TEST(UMacStr, CtoPStaysInsideTheBuffer) {
    struct Case {
        const char* text;
        unsigned limit;
        unsigned count;
    } cases[] = {
        {"hello", 10, 5}, {"hello", 6, 5}, {"hello", 5, 4}, {"hello", 1, 0}, {nullptr, 10, 0},
    };
    for (const Case& c : cases) {
        unsigned char buf[12];
        std::memset(buf, 0xAA, sizeof buf);
        UMacStr::CtoP(c.text, buf, c.limit);
        EXPECT_EQ(buf[0], c.count);
        EXPECT_EQ(buf[c.limit], 0xAA) << "wrote past the buffer";
        if (c.count) {
            EXPECT_EQ(std::memcmp(buf + 1, c.text, c.count), 0);
        }
    }
    unsigned char untouched = 0xAA;
    UMacStr::CtoP("x", &untouched, 0);
    EXPECT_EQ(untouched, 0xAA);
    std::string big(400, 'z');
    unsigned char large[300];
    large[256] = 0xAA;
    UMacStr::CtoP(big.c_str(), large, sizeof large);
    EXPECT_EQ(large[0], 255);
    EXPECT_EQ(large[256], 0xAA);
}

TEST(LPaneBorder, RingsAndFrameRings) {
    LPaneBorder none(0), three(3);
    CRgn a, b;
    none.AddFrameRgn({10, 10, 20, 20}, 7, a, b);
    EXPECT_TRUE(a.IsEmpty());
    three.AddFrameRgn({10, 10, 20, 20}, 3, a, b);  // chain not shown: nothing
    EXPECT_TRUE(a.IsEmpty());
    three.AddFrameRgn({10, 10, 20, 20}, 7, a, b);
    CRgn ring = Rgn({7, 7, 23, 23});
    ring -= Rgn({10, 10, 20, 20});
    EXPECT_TRUE(a == ring);
    EXPECT_TRUE(b == ring);

    CRgn band = FrameRingRegion(three, {10, 10, 20, 20});
    CRgn expect = Rgn({7, 7, 23, 23});
    expect -= Rgn({11, 11, 19, 19});
    EXPECT_TRUE(band == expect);
    EXPECT_TRUE(FrameRingContains(three, Rgn({21, 21, 30, 30}), {10, 10, 20, 20}));
    EXPECT_FALSE(FrameRingContains(none, Rgn({21, 21, 30, 30}), {10, 10, 20, 20}));

    Surface s;
    LDrawContext ctx(s.port, s.native.get());
    three.Draw(ctx, {10, 10, 20, 20}, 7);
    EXPECT_NE(s.At(8, 15), 0xFFFFFFu);
    EXPECT_EQ(s.At(15, 15), 0xFFFFFFu);
}
