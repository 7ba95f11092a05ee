#include "Orbilume/CSources/Led/CDimDragTracker.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/SFieldDesc.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/LScrapData.h"
#include "Lib3/LSources/Mac/UPasteboard.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"
#include "tests/Lib3/LSources/Mac/DropTestSupport.h"

namespace {

const LScrapType kType{LString("com.orbilume.dimdrag"), Fcc("DMDG")};

// A pane that hands every message to its tracker first and logs the results.
class TrackedPane : public LPane {
public:
    TrackedPane(LHandler* upper, LPane* owner) : LPane(upper, owner), tracker(this) {}
    LMessage Handle(const LMessage& msg) override {
        LMessage reply;
        const int32_t r = tracker.Dispatch(msg, &reply);
        if (r == CDimDragTracker::kNone) return LPane::Handle(msg);
        results.push_back(std::string(msg.id.Text()) + " " + std::to_string(r));
        return reply;
    }
    CDimDragTracker tracker;
    std::vector<std::string> results;
};

class CDimDragTrackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        pane = w.root->Adopt(new TrackedPane(&w.log, w.root.get()));
        pane->SetBounds({0, 0, 200, 200});
    }
    void TearDown() override {
        std::erase(w.root->children, pane);
        delete pane;
    }
    // A drag pasteboard holding one item of the type.
    void Offer(const LScrapType& type) {
        LScrapData data;
        const uint8_t zero = 0;
        ASSERT_TRUE(data.AddFlavor(type.name, type.code, &zero, 1, 0));
        (void)UPasteboard::WriteScrap(data, pb.get());
    }

    DropWindow w;
    TrackedPane* pane = nullptr;
    plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
};

TEST_F(CDimDragTrackerTest, TheWindowTakesDropsWhileTheTrackerLives) {
    EXPECT_NE(LDropTargetList::Find(w.native), nullptr);
    TearDown();
    pane = nullptr;
    EXPECT_EQ(LDropTargetList::Find(w.native), nullptr);
    pane = w.root->Adopt(new TrackedPane(&w.log, w.root.get()));
}

TEST_F(CDimDragTrackerTest, ItsOwnDragReportsMovesAndTheDrop) {
    Offer(kType);
    pane->tracker.StartDrag(kType);
    ASSERT_TRUE(pane->tracker.IsActive());
    ASSERT_NE(pane->tracker.Dragger(), nullptr);
    {
        plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
        EXPECT_EQ(drag.MoveTo(w.Screen(50, 60)), plat::kDragOperationCopy);
        EXPECT_EQ(drag.Drop(), plat::kDragOperationCopy);
    }
    // Enter and Drag come while the sense is answered (logged once each dispatch is over).
    EXPECT_EQ(pane->results,
              (std::vector<std::string>{"LDrop_Enter 1", "LDrop_Drag 2", "LDrop_Sense 1", "LDrop_Drop 3"}));
    const plat::Point at = w.Screen(50, 60);
    EXPECT_EQ(pane->tracker.DropPoint(), (CLPoint{int32_t(at.x), int32_t(at.y)}));
    EXPECT_TRUE(pane->tracker.IsCopy());

    // The dragger's end closes the session.
    LHandler::Dispatch(LMessage(CDragger_End, pane->tracker.Dragger(), pane));
    EXPECT_EQ(pane->results.back(), "CDragger_End 4");
    EXPECT_FALSE(pane->tracker.IsActive());
    EXPECT_EQ(pane->tracker.Dragger(), nullptr);
}

TEST_F(CDimDragTrackerTest, AMoveOfferingMoreThanCopyIsNoCopy) {
    Offer(kType);
    pane->tracker.StartDrag(kType);
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy | plat::kDragOperationMove);
    (void)drag.MoveTo(w.Screen(20, 20));
    (void)drag.Drop();
    EXPECT_EQ(pane->results.back(), "LDrop_Drop 3");
    EXPECT_FALSE(pane->tracker.IsCopy());
}

TEST_F(CDimDragTrackerTest, ForeignDragsPassBy) {
    // Not active: nothing is claimed.
    Offer(kType);
    {
        plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
        EXPECT_EQ(drag.MoveTo(w.Screen(50, 50)), 0u);
    }
    EXPECT_TRUE(pane->results.empty());
    // Active, but the drag carries another type.
    pb = plat::Pasteboard::CreateUnique();
    Offer(LScrapType{LString("com.orbilume.other"), Fcc("OTHR")});
    pane->tracker.StartDrag(kType);
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    EXPECT_EQ(drag.MoveTo(w.Screen(50, 50)), 0u);
    EXPECT_EQ(pane->results, (std::vector<std::string>{"LDrop_Sense 1"}));
}

TEST_F(CDimDragTrackerTest, TheDraggersDragGoesBackToIt) {
    pane->tracker.StartDrag(kType);
    CDragger* d = pane->tracker.Dragger();
    ASSERT_NE(d, nullptr);
    LMessage reply;
    EXPECT_EQ(pane->tracker.Dispatch(LMessage(CDragger_Drag, d, pane), &reply), CDimDragTracker::kConsumed);
    EXPECT_TRUE(reply.Is(CDragger_Drag));
    EXPECT_EQ(reply.target, d);
    // A restart retires the first dragger.
    pane->tracker.StartDrag(kType);
    EXPECT_NE(pane->tracker.Dragger(), nullptr);
}

}  // namespace
