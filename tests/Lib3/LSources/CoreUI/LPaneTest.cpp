#include <gtest/gtest.h>

#include <algorithm>

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"

namespace {

// Records the operations StateChanged sees.
class Probe : public LPane {
public:
    explicit Probe(LPane* owner) : LPane(owner, owner) {}
    void StateChanged(uint32_t op) override {
        notes.push_back(op);
        LPane::StateChanged(op);
    }
    void SetBackgroundBit(bool on) { SetOwnBackgroundBit(on); }
    std::vector<uint32_t> notes;
};

struct PaneFixture : ::testing::Test {
    MessageLog log;
    FakeOwner owner{&log};
};

}  // namespace

TEST_F(PaneFixture, StateOperations) {
    struct Case {
        std::vector<uint32_t> setup;  // ops that build the state before the one tested
        uint32_t op;
        uint32_t after;
        std::vector<uint32_t> notes;
    } cases[] = {
        {{}, 0, 3, {}},
        {{}, 1, 2, {1}},
        {{10}, 1, 2, {11, 1}},  // hiding unfocuses first
        {{}, 2, 3, {}},
        {{}, 3, 1, {3}},
        {{}, 4, 7, {4}},
        {{}, 5, 3, {}},
        {{}, 6, 11, {6}},
        {{}, 7, 3, {}},
        {{}, 8, 3, {8}},
        {{}, 9, 3, {9}},
        {{}, 10, 3 | 64, {10}},
        {{}, 11, 3, {}},
        {{}, 12, 3 | 16, {12}},
        {{12}, 13, 3, {13}},
        {{}, 14, 3 | 32, {14}},
        {{}, 15, 3, {}},
        {{}, 16, 3 | 128, {16}},
        {{}, 17, 3, {}},
        {{}, 18, 3, {}},
        {{19}, 18, 3, {18}},
        {{20}, 18, 3 | 512, {18}},  // the ring side is kept
        {{}, 19, 3 | 256, {19}},
        {{20}, 19, 3 | 256, {18, 19}},
        {{19}, 19, 3 | 256, {}},
        {{}, 20, 3 | 768, {20}},
        {{19}, 20, 3 | 768, {18, 20}},
        {{20}, 20, 3 | 768, {}},
        {{}, 21, 3 | 2048, {21}},
        {{}, 22, 3, {}},
        {{21}, 22, 3, {22}},
        {{}, 23, 3, {23}},
        {{}, 40, 3, {40}},
    };
    for (const Case& c : cases) {
        Probe p(&owner);
        for (uint32_t op : c.setup) p.ChangeState(op);
        p.notes.clear();
        p.ChangeState(c.op);
        EXPECT_EQ(p.State(), c.after) << "op " << c.op;
        EXPECT_EQ(p.notes, c.notes) << "op " << c.op;
    }
}

TEST_F(PaneFixture, FocusMessagesAndHidingTheFocusedPane) {
    Probe p(&owner);
    p.ChangeState(LPane::kFocus);
    log.ids.clear();
    p.ChangeState(LPane::kHide);
    ASSERT_FALSE(log.ids.empty());
    EXPECT_EQ(log.ids.front(), "LPane_Unfocus");
    EXPECT_EQ(p.State() & (LPane::kShown | LPane::kFocused), 0u);
}

TEST_F(PaneFixture, FocusRingBitFollowsItsConditions) {
    Probe p(&owner);
    p.SetBounds({10, 10, 50, 30});
    for (uint32_t op : {4u, 6u, 10u, 20u}) p.ChangeState(op);  // usable, focused, ring outside
    EXPECT_EQ(p.State() & LPane::kRingShown, 0u);              // not yet the key window
    owner.invalids.clear();

    p.ChangeState(LPane::kKeyOn);
    EXPECT_NE(p.State() & LPane::kRingShown, 0u);
    CRgn ring = Rgn({7, 7, 53, 33});
    ring -= Rgn({10, 10, 50, 30});
    ASSERT_EQ(owner.invalids.size(), 1u);
    EXPECT_TRUE(owner.invalids[0] == ring);
    EXPECT_TRUE(owner.erases[0] == ring);

    // Disabling makes the pane unfocusable: the ring goes, and its area is redrawn.
    owner.invalids.clear();
    p.ChangeState(LPane::kDisable);
    EXPECT_EQ(p.State() & LPane::kRingShown, 0u);
    ASSERT_EQ(owner.invalids.size(), 1u);
    EXPECT_TRUE(owner.invalids[0] == ring);

    // Ring inside: switching sides while shown redraws the band on the old side, then the new one.
    p.ChangeState(LPane::kEnable);
    owner.invalids.clear();
    p.ChangeState(LPane::kRingInside);
    EXPECT_NE(p.State() & LPane::kRingShown, 0u);
    CRgn inside = Rgn({10, 10, 50, 30});
    inside -= Rgn({13, 13, 47, 27});
    ASSERT_EQ(owner.invalids.size(), 2u);
    EXPECT_TRUE(owner.invalids[0] == ring);
    EXPECT_TRUE(owner.invalids[1] == inside);
}

TEST_F(PaneFixture, BoundsChangeInvalidatesAndErases) {
    struct Case {
        bool ownBackground;
        bool ring;
        CRgn invalid;
        CRgn erase;
    } cases[] = {
        {false, false, Rgn({0, 0, 30, 10}), Rgn({0, 0, 30, 10})},
        {true, false, Rgn({0, 0, 30, 10}), Rgn({0, 0, 10, 10})},
    };
    for (const Case& c : cases) {
        Probe p(&owner);
        p.ChangeState(LPane::kChainShow);
        p.SetBackgroundBit(c.ownBackground);
        p.SetBounds({0, 0, 20, 10});
        owner.invalids.clear();
        owner.erases.clear();
        p.SetBounds({10, 0, 30, 10});
        ASSERT_EQ(owner.invalids.size(), 1u);
        EXPECT_TRUE(owner.invalids[0] == c.invalid);
        EXPECT_TRUE(owner.erases[0] == c.erase);
        p.SetBounds({10, 0, 30, 10});  // unchanged: nothing
        EXPECT_EQ(owner.invalids.size(), 1u);
    }

    // With the ring shown (outside), both rings join both regions.
    Probe p(&owner);
    for (uint32_t op : {4u, 6u, 10u, 16u, 20u}) p.ChangeState(op);
    p.SetBounds({10, 10, 20, 20});
    ASSERT_NE(p.State() & LPane::kRingShown, 0u);
    owner.invalids.clear();
    owner.erases.clear();
    p.SetBounds({40, 10, 50, 20});
    CRgn expect = Union({{7, 7, 23, 23}, {37, 7, 53, 23}});
    EXPECT_TRUE(owner.invalids.back() == expect);
    EXPECT_TRUE(owner.erases.back() == expect);

    // A hidden pane invalidates nothing.
    Probe hidden(&owner);
    hidden.ChangeState(LPane::kHide);
    owner.invalids.clear();
    hidden.SetBounds({0, 0, 5, 5});
    EXPECT_TRUE(owner.invalids.empty());
}

TEST_F(PaneFixture, HitTestsFocusAndDefaults) {
    Probe p(&owner);
    p.SetBounds({0, 0, 10, 10});
    EXPECT_EQ(p.FindPaneAt({5, 5}), &p);
    EXPECT_EQ(p.FindPaneAt({10, 5}), nullptr);
    p.ChangeState(LPane::kChainLock);
    EXPECT_EQ(p.FindPaneAt({5, 5}), &p);  // locked through the frame only: still hit
    p.ChangeState(LPane::kLock);
    EXPECT_EQ(p.FindPaneAt({5, 5}), nullptr);

    Probe fresh(&owner);
    EXPECT_EQ(fresh.FindFocusable(), nullptr);  // state 3 is not usable
    fresh.ChangeState(LPane::kChainShow);
    fresh.ChangeState(LPane::kChainEnable);
    EXPECT_EQ(fresh.FindFocusable(), &fresh);

    LPanePort port(&fresh);
    LDrawContext ctx(port);
    EXPECT_EQ(fresh.PreferredWidth(ctx, 0), 16);
    EXPECT_EQ(fresh.PreferredHeight(ctx, 3), 16);
    EXPECT_EQ(fresh.PreferredWidth(ctx, -1), 0);

    log.ids.clear();
    EXPECT_FALSE(fresh.TakeFocus(0, false));
    EXPECT_TRUE(log.ids.empty());  // does not take focus
    fresh.ChangeState(LPane::kRingInside);
    fresh.TakeFocus(0, false);
    EXPECT_EQ(log.ids, std::vector<std::string>{"LPane_ReqFocus"});
    log.ids.clear();
    fresh.SendReqFocusIfClickFocus();
    EXPECT_TRUE(log.ids.empty());
    fresh.ChangeState(LPane::kClickFocusOn);
    fresh.SendReqFocusIfClickFocus();
    EXPECT_EQ(log.ids, std::vector<std::string>{"LPane_ReqFocus"});

    EXPECT_TRUE(fresh.IntersectsRegion(Rgn({0, 0, 1, 1})) == false);  // zero bounds
    fresh.SetBounds({0, 0, 4, 4});
    EXPECT_TRUE(fresh.IntersectsRegion(Rgn({3, 3, 9, 9})));
    EXPECT_FALSE(fresh.IntersectsRegion(Rgn({4, 4, 9, 9})));
}

TEST_F(PaneFixture, FocusReferencesAndPorts) {
    Probe a(&owner), b(&owner);
    a.ChangeState(LPane::kFocus);
    LPane* slot = &a;
    LPane::ReplaceFocusRef(slot, &b);
    EXPECT_EQ(slot, &b);
    EXPECT_EQ(a.State() & LPane::kFocused, 0u);

    FakeOwner moved(&log, {30, 40, 100, 100});
    Probe c(&moved);
    EXPECT_EQ(c.GetOriginIn(nullptr).x, 30);
    EXPECT_EQ(c.GetOriginIn(&a).y, 40);
    EXPECT_EQ(c.GetWindow(), nullptr);
}

TEST_F(PaneFixture, DestructionHidesAndNotifiesTheOwner) {
    auto* p = new Probe(&owner);
    p->ChangeState(LPane::kChainShow);
    p->SetBounds({0, 0, 8, 8});
    p->ChangeState(LPane::kFocus);
    struct Node : SSLink {
        explicit Node(int* n) : count(n) {}
        ~Node() override { ++*count; }
        int* count;
    };
    int deleted = 0;
    p->Attached().Append(new Node(&deleted));
    p->Attached().Append(new Node(&deleted));
    log.ids.clear();
    owner.invalids.clear();
    delete p;
    EXPECT_EQ(deleted, 2);
    ASSERT_GE(log.ids.size(), 2u);
    EXPECT_EQ(log.ids[0], "LPane_Unfocus");
    EXPECT_NE(std::find(log.ids.begin(), log.ids.end(), "LPane_Destructing"), log.ids.end());
    EXPECT_EQ(owner.invalids.size(), 1u);  // the hidden pane's area
}
