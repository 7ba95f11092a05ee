#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreUI/CColorBtn.h"
#include "Lib3/LSources/CoreUI/CSeparatorPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LNativeSpec.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Lib3/LSources/CoreUI/LTitlePane.h"
#include "PaneTestSupport.h"
#include "Platform/Graphics/DrawContext.h"
#include "TestSurface.h"
#include "tests/support/TestPNG.h"

namespace {

using Ids = std::vector<std::string>;

// A child that takes the focus and records the ports it is given.
struct Leaf : LPane {
    Leaf(LPane* frame, const CLRect& bounds) : LPane(frame, frame) {
        SetBounds(bounds);
        ChangeState(kRingInside);
    }
    void Draw(LDrawContext& ctx) override { LPaint(CRgn(Bounds()), LColor({255, 0, 0}, 0)).Fill(ctx); }
};

class SmallPanesTest : public ::testing::Test {
protected:
    void Key(const char* text, uint32_t modifiers, LHandler* target) {
        plat::Event e;
        e.type = plat::EventType::kKeyDown;
        e.characters = text;
        e.charactersIgnoringModifiers = text;
        e.modifierFlags = modifiers;
        keyboard.Fill(e);
        LHandler::Dispatch(LMessage(LKeyboard_Down, &keyboard, target));
    }
    Ids Logged(const std::set<std::string>& wanted) const {
        Ids out;
        for (const std::string& id : log.ids)
            if (wanted.count(id)) out.push_back(id);
        return out;
    }

    LMouse mouse;
    LKeyboard keyboard;
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 300, 200}};
};

TEST_F(SmallPanesTest, TabFocusPaneStepsForwardAndBackAndConsumesTheKey) {
    auto* frame = new CTabFocusPane(&log, &owner);
    frame->SetBounds({10, 10, 210, 110});
    frame->ChangeState(LPane::kChainShow);
    frame->ChangeState(LPane::kChainEnable);
    auto* a = new Leaf(frame, {10, 10, 50, 30});
    auto* b = new Leaf(frame, {60, 10, 100, 30});
    auto* c = new Leaf(frame, {10, 50, 50, 70});
    struct Step {
        const char* key;
        uint32_t modifiers;
        LPane* focus;
    } steps[] = {
        {"\t", 0, a},
        {"\t", 0, b},
        {"\t", 0, c},
        {"\t", 0, a},                      // wraps, and is still consumed
        {"\x19", plat::kShiftKeyMask, c},  // Shift-Tab goes back
        {"\t", plat::kShiftKeyMask, b},
        {"\t", plat::kControlKeyMask, b},  // Control-Tab is no navigation
    };
    for (const Step& s : steps) {
        log.ids.clear();
        Key(s.key, s.modifiers, frame);
        EXPECT_EQ(frame->FocusPane(), s.focus) << s.key << " " << s.modifiers;
        const bool navigates = !(s.modifiers & plat::kControlKeyMask);
        EXPECT_EQ(Logged({"LKeyboard_Down"}).empty(), navigates) << s.key << " " << s.modifiers;
    }
    delete frame;
}

TEST_F(SmallPanesTest, BorrowedPortCollectsInvalidationUntilHiddenAndShowsWithoutInvalidating) {
    // A prototype cell: shown itself but not in the shown chain, as a grid keeps it.
    auto* cell = new CTabFocusPane(&log, &owner);
    cell->SetBounds({20, 40, 120, 70});
    auto* leaf = new Leaf(cell, {5, 5, 45, 25});
    owner.invalids.clear();

    cell->BorrowPort();
    ASSERT_TRUE(cell->IsBorrowing());
    cell->ChangeState(LPane::kChainEnable);
    cell->ShowBorrowed();
    EXPECT_TRUE(cell->IsVisible());
    EXPECT_TRUE(leaf->IsVisible());
    EXPECT_TRUE(owner.invalids.empty()) << "showing through a borrowed port invalidates nothing";

    // The children see the borrowed port, as the frame would fill its own.
    LPanePort port(leaf);
    EXPECT_EQ(port.origin, (CLPoint{20, 40}));
    EXPECT_EQ(port.clip, Rgn({20, 40, 120, 70}));

    // Drawing through it paints the cell where it was placed.
    TestSurface surface(300, 200);
    {
        LPanePort cellPort(cell, LPanePort::Surroundings{});
        LDrawContext ctx(cellPort, surface.native.get());
        cell->Draw(ctx);
    }
    EXPECT_EQ(surface.At(30, 50), 0xFF0000u);
    EXPECT_EQ(surface.At(10, 50), 0xFFFFFFu);

    // What the cell's children invalidate is kept, not passed on.
    leaf->SetBounds({5, 5, 55, 25});
    EXPECT_TRUE(owner.invalids.empty());
    EXPECT_EQ(cell->BorrowedUpdate(), Rgn({5, 5, 55, 25}));

    cell->HideBorrowed();
    ASSERT_EQ(owner.invalids.size(), 1u);
    EXPECT_EQ(owner.invalids[0], Rgn({25, 45, 75, 65}));  // moved to the owner's coordinates
    EXPECT_FALSE(cell->IsVisible());
    EXPECT_FALSE(leaf->IsVisible());
    cell->ReturnPort();
    EXPECT_FALSE(cell->IsBorrowing());

    // Without a borrowed port the frame fills its port from its owner again.
    owner.SetBounds({0, 0, 400, 200});
    LPanePort again(leaf);
    EXPECT_EQ(again.clip, Rgn({20, 40, 120, 70}));
    delete cell;
}

TEST_F(SmallPanesTest, SeparatorPrefersItsThicknessAndDrawsOneLine) {
    CSeparatorPane sep(&owner);
    EXPECT_EQ(sep.State() & 0x1010u, 0x1010u);
    LPanePort port(&sep);
    LDrawContext measure(port);
    EXPECT_EQ(sep.PreferredWidth(measure, 0), 1);
    EXPECT_EQ(sep.PreferredHeight(measure, 0), 1);
    CSeparatorPane::SetThickLines(true);
    EXPECT_EQ(sep.PreferredHeight(measure, 0), 2);
    CSeparatorPane::SetThickLines(false);

    sep.SetBounds({10, 10, 110, 11});
    TestSurface surface(120, 20);
    LDrawContext ctx(surface.port, surface.native.get());
    sep.Draw(ctx);
    EXPECT_NE(surface.At(50, 10), 0xFFFFFFu);
    EXPECT_EQ(surface.At(50, 11), 0xFFFFFFu);
    EXPECT_EQ(surface.At(5, 10), 0xFFFFFFu);
}

TEST_F(SmallPanesTest, TitlePaneIsRightAlignedAndAnnouncesItself) {
    auto* title = new LTitlePane(&log, &owner);
    EXPECT_EQ(title->Box().Alignment(), 2u);
    EXPECT_FALSE(title->State() & LPane::kLocked);
    EXPECT_EQ(Logged({"LTitlePane_Constructing", "LTitlePane_Destructing"}),
              (Ids{"LTitlePane_Constructing"}));
    delete title;
    EXPECT_EQ(Logged({"LTitlePane_Constructing", "LTitlePane_Destructing"}),
              (Ids{"LTitlePane_Constructing", "LTitlePane_Destructing"}));
}

// Colour button ----------------------------------------------------------------------------------

uint32_t Rgb(const TestSurface& s, int x, int y) {
    return s.At(x, y);
}

TEST_F(SmallPanesTest, ColourButtonShowsTheColourOverBlackAndWhite) {
    CColorBtn btn(&owner);
    btn.SetBounds({0, 0, 40, 30});
    struct Case {
        float r, g, b, a;
        uint32_t upperLeft, lowerRight;
    } cases[] = {
        {1, 0, 0, 0, 0x000000, 0xFFFFFF},  // transparent: the black and the white show
        {1, 0, 0, 1, 0xFF0000, 0xFF0000},  // opaque: the colour in both halves
        {0, 0, 1, 0.5f, 0x000080, 0x8080FF},
    };
    for (const Case& c : cases) {
        btn.SetColor(c.r, c.g, c.b, c.a);
        TestSurface surface(40, 30);
        LDrawContext ctx(surface.port, surface.native.get());
        btn.Draw(ctx);
        EXPECT_EQ(Rgb(surface, 5, 5), c.upperLeft) << c.a;
        EXPECT_EQ(Rgb(surface, 33, 24), c.lowerRight) << c.a;
        EXPECT_EQ(Rgb(surface, 0, 10), 0x000000u) << "the frame";
        EXPECT_EQ(Rgb(surface, 39, 1), 0xFFFFFFu) << "outside the outline";
        EXPECT_EQ(Rgb(surface, 39, 10), 0x000000u) << "the shadow";
    }
    btn.ChangeState(LPane::kDisable);
    TestSurface surface(40, 30);
    LDrawContext ctx(surface.port, surface.native.get());
    btn.Draw(ctx);
    EXPECT_NE(Rgb(surface, 0, 10), 0x000000u) << "a disabled frame is grey";
}

TEST_F(SmallPanesTest, ColourButtonImagesAreCentredOrFittedIntoTheFace) {
    std::vector<uint8_t> rgba(4 * 2 * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = rgba[i + 3] = 255;
    const std::vector<uint8_t> png = testsupport::EncodeTestPNG(4, 2, rgba);
    const LImageH image(new LRsrcImage(png.data(), png.size()));
    CColorBtn btn(&owner);
    btn.SetBounds({0, 0, 20, 14});  // face 1, 1, 18, 12
    btn.SetColor(0, 0, 1, 1);
    LPanePort port(&btn);
    LDrawContext measure(port);
    btn.SetImage(image, CColorBtn::kCentre);
    EXPECT_EQ(btn.PreferredWidth(measure, 0), 9);
    EXPECT_EQ(btn.PreferredHeight(measure, 0), 7);
    struct Case {
        uint32_t placement;
        int x, y;
        uint32_t rgb;
    } cases[] = {
        {CColorBtn::kCentre, 8, 5, 0xFF0000},  // 4 x 2 at 7, 5
        {CColorBtn::kCentre, 3, 3, 0x0000FF},
        {CColorBtn::kCentreOrFit, 8, 5, 0xFF0000},  // it fits: centred
        {CColorBtn::kCentreOrFit, 3, 3, 0x0000FF},
        {CColorBtn::kFit, 3, 3, 0xFF0000},  // 17 x 8 at 1, 2
        {CColorBtn::kFit, 16, 9, 0xFF0000},
    };
    for (const Case& c : cases) {
        btn.SetImage(image, c.placement);
        TestSurface surface(20, 14);
        LDrawContext ctx(surface.port, surface.native.get());
        btn.Draw(ctx);
        EXPECT_EQ(surface.At(c.x, c.y), c.rgb) << c.placement << " " << c.x << "," << c.y;
    }
}

TEST_F(SmallPanesTest, ColourButtonClampsWhatItDrawsAndKeepsWhatItWasGiven) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        LRGBA colour;
        uint32_t overBlack, overWhite;
    } cases[] = {
        {{2, -1, nan, 1}, 0xFF0000, 0xFF0000}, {{inf, -inf, 0.5f, 1}, 0xFF0080, 0xFF0080},
        {{1, 1, 1, nan}, 0x000000, 0xFFFFFF},  {{1, 0, 0, 7}, 0xFF0000, 0xFF0000},
        {{1, 0, 0, -3}, 0x000000, 0xFFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CColorBtn::OverBlack(c.colour), c.overBlack);
        EXPECT_EQ(CColorBtn::OverWhite(c.colour), c.overWhite);
    }
    CColorBtn btn(&owner);
    btn.SetBounds({0, 0, 20, 20});
    btn.SetColor(2, -1, nan, 7);
    EXPECT_EQ(btn.GetColor().red, 2);
    EXPECT_EQ(btn.GetColor().green, -1);
    EXPECT_TRUE(std::isnan(btn.GetColor().blue));
    EXPECT_EQ(btn.GetColor().alpha, 7);
    TestSurface surface(20, 20);
    LDrawContext ctx(surface.port, surface.native.get());
    btn.Draw(ctx);  // no undefined conversion under UBSan
    EXPECT_EQ(Rgb(surface, 4, 4), 0xFF0000u);
}

TEST_F(SmallPanesTest, ColourButtonGeometryMovesTheFaceDownWhenPressed) {
    const CLRect b{0, 0, 20, 10};
    EXPECT_EQ(CColorBtn::FaceOf(b, false), (CLRect{1, 1, 18, 8}));
    EXPECT_EQ(CColorBtn::FaceOf(b, true), (CLRect{1, 2, 18, 9}));
    // Not pressed: cut corners and a shadow one pixel down and right.
    const CRgn up = CColorBtn::OutlineOf(b, false);
    EXPECT_TRUE(up.Contain(CLPoint{0, 1}));
    EXPECT_FALSE(up.Contain(CLPoint{0, 0}));  // a cut corner
    EXPECT_TRUE(up.Contain(CLPoint{19, 8}));  // the shadow
    const CRgn down = CColorBtn::OutlineOf(b, true);
    EXPECT_FALSE(down.Contain(CLPoint{19, 8}));
    EXPECT_TRUE(down.Contain(CLPoint{0, 2}));
}

TEST_F(SmallPanesTest, ColourButtonTracksThePressAndReleasesOutsideSilently) {
    const std::set<std::string> ids{"LPane_ReqFocus", "CColorBtn::rClicked", "LPane_ReqCapture",
                                    "CColorBtn::rSelected"};
    CColorBtn btn(&owner);
    btn.SetBounds({10, 10, 40, 30});
    LPane face(&owner, &owner);
    btn.SetAttachedPane(&face);
    EXPECT_EQ(face.Bounds(), CColorBtn::FaceOf(btn.Bounds(), false));

    mouse.SetLocation({20, 20});
    LHandler::Dispatch(LMessage(LMouse_Click, &mouse, &btn));
    EXPECT_TRUE(btn.IsPressed());
    EXPECT_EQ(face.Bounds(), CColorBtn::FaceOf(btn.Bounds(), true));
    EXPECT_EQ(Logged(ids), (Ids{"LPane_ReqFocus", "CColorBtn::rClicked", "LPane_ReqCapture"}));

    log.ids.clear();
    mouse.SetLocation({60, 20});
    LHandler::Dispatch(LMessage(LMouse_Move, &mouse, &btn));
    EXPECT_FALSE(btn.IsPressed());
    LHandler::Dispatch(LMessage(LMouse_Release, &mouse, &btn));
    EXPECT_TRUE(Logged(ids).empty());

    // Pressed again and released inside: selected.
    mouse.SetLocation({20, 20});
    LHandler::Dispatch(LMessage(LMouse_Click, &mouse, &btn));
    log.ids.clear();
    LHandler::Dispatch(LMessage(LMouse_Release, &mouse, &btn));
    EXPECT_FALSE(btn.IsPressed());
    EXPECT_EQ(Logged(ids), (Ids{"CColorBtn::rSelected"}));
}

TEST_F(SmallPanesTest, ColourButtonClickTakenAboveDoesNotPress) {
    struct Taker : LHandler {
        LMessage Handle(const LMessage& msg) override {
            if (msg.Is(CColorBtn::rClicked)) return LMessage();
            return LHandler::Handle(msg);
        }
    } taker;
    FakeOwner top(&taker);
    CColorBtn btn(&top);
    btn.SetBounds({0, 0, 20, 20});
    mouse.SetLocation({5, 5});
    LHandler::Dispatch(LMessage(LMouse_Click, &mouse, &btn));
    EXPECT_FALSE(btn.IsPressed());
}

TEST(LNativeSpecTest, NativeSpecsCreateOrAdoptAView) {
    LNativeSpec make(3, LString("ok"));
    EXPECT_EQ(make.kind, LNativeSpec::kCreate);
    EXPECT_EQ(make.view, nullptr);
    EXPECT_EQ(make.style, 3u);
    plat::Ref<plat::View> view = plat::View::Create({0, 0, 10, 10});
    LNativeSpec adopt(view.get(), 1, LString("field"));
    EXPECT_EQ(adopt.kind, LNativeSpec::kAdopt);
    EXPECT_EQ(adopt.view.get(), view.get());
    EXPECT_EQ(adopt.name, "field");
}

}  // namespace
