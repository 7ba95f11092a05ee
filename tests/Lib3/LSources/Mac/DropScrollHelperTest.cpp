#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DropTestSupport.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/Mac/CDropScrollHelper.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"

namespace {

using Strings = std::vector<std::string>;

// A pane that hands its drop messages to a drop-scroll helper and logs what the helper says.
class ScrollTarget : public LPane {
public:
    explicit ScrollTarget(LPane* owner) : LPane(owner, owner) {
        ChangeState(kShow);
        ChangeState(kEnable);
    }
    void Attach() { helper = std::make_unique<CDropScrollHelper>(this, this); }
    LMessage Handle(const LMessage& msg) override {
        if (helper && msg.sender == helper.get()) {
            const std::string id = msg.id.Text();
            if (id.rfind("CDropScrollHelper_", 0) == 0) {
                said.push_back(id.substr(18));
                if (msg.Is(CDropScrollHelper_Enter) && !takeEnter) return LMessage(msg).Retarget(Upper());
                if (msg.Is(CDropScrollHelper_Enter) || msg.Is(CDropScrollHelper_Move))
                    helper->SetFeedback(LDrop::kCopy);
                return LMessage();
            }
        }
        if (helper && helper->Take(msg)) return LMessage();
        // What passes is another target's: it takes it.
        if (msg.Is(LDrop_Enter) || msg.Is(LDrop_Drag) || msg.Is(LDrop_Drop) || msg.Is(LDrop_Leave)) {
            passed.push_back(msg.id.Text());
            static_cast<LDrop*>(msg.sender)->SetFeedback(LDrop::kCopy);
            return LMessage();
        }
        return LPane::Handle(msg);
    }
    std::unique_ptr<CDropScrollHelper> helper;
    Strings said;
    Strings passed;
    bool takeEnter = true;
};

class DropScrollHelperTest : public ::testing::Test {
protected:
    DropScrollHelperTest() {
        pane = w.root->Adopt(new ScrollTarget(w.root.get()));
        pane->SetBounds({0, 0, 300, 200});
        pane->Attach();
        // The chain part: below a 50-pixel header.
        pane->helper->SetScrollArea({0, 50, 300, 200}, 8, 8);
        pb = plat::Pasteboard::CreateUnique();
        pb->DeclareTypes({"ORLf"}, nullptr);
    }
    ~DropScrollHelperTest() override {
        std::erase(w.root->children, pane);
        delete pane;
    }
    plat::Point At(int32_t x, int32_t y) const { return w.Screen(x, y); }

    DropWindow w;
    ScrollTarget* pane = nullptr;
    plat::Ref<plat::Pasteboard> pb;
};

TEST_F(DropScrollHelperTest, MovesAndDropsOnlyInsideTheAreaAndScrollsNearItsEdges) {
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    // Entering is followed by the first drag step.
    drag.MoveTo(At(150, 100));
    EXPECT_EQ(pane->said, (Strings{"Enter", "Move"}));
    ASSERT_NE(pane->helper->Following(), nullptr);
    EXPECT_FALSE(pane->helper->Scroller().Timer()->IsRunning());
    drag.MoveTo(At(150, 120));
    // Over the header: no Move, yet the top edge of the area is near, so it scrolls up.
    drag.MoveTo(At(150, 20));
    EXPECT_EQ(pane->said, (Strings{"Enter", "Move", "Move"}));
    EXPECT_EQ(pane->helper->Scroller().DirectionY(), -1);
    ASSERT_TRUE(pane->helper->Scroller().Timer()->IsRunning());
    LHandler::Dispatch(LMessage(LTimer_Expire, pane->helper->Scroller().Timer(), &pane->helper->Scroller()));
    EXPECT_EQ(pane->said.back(), "Scroll");
    // Back inside the margins: scrolling stops; a drop there is the helper's.
    drag.MoveTo(At(150, 150));
    EXPECT_FALSE(pane->helper->Scroller().Timer()->IsRunning());
    (void)drag.Drop();
    EXPECT_EQ(pane->said, (Strings{"Enter", "Move", "Move", "Scroll", "Move", "Drop"}));
    EXPECT_TRUE(pane->passed.empty());
}

// Outside the area nobody answers the drag, so releasing there is a leave.
TEST_F(DropScrollHelperTest, ADropOutsideTheAreaSaysNoDrop) {
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    drag.MoveTo(At(150, 100));
    drag.MoveTo(At(150, 10));
    EXPECT_EQ(drag.Drop(), 0u);
    EXPECT_EQ(pane->said, (Strings{"Enter", "Move", "Leave"}));
    EXPECT_TRUE(pane->passed.empty());
}

TEST_F(DropScrollHelperTest, LeavingSaysLeaveAndForgetsTheDrag) {
    {
        plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
        drag.MoveTo(At(150, 100));
        drag.MoveTo(At(350, 250));  // outside the pane
        drag.Leave();
    }
    EXPECT_EQ(pane->said, (Strings{"Enter", "Move", "Leave"}));
    EXPECT_EQ(pane->helper->Following(), nullptr);
}

TEST_F(DropScrollHelperTest, AnEnterNobodyTakesLetsTheDragPass) {
    pane->takeEnter = false;
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    drag.MoveTo(At(150, 100));
    EXPECT_EQ(pane->helper->Following(), nullptr);
    drag.MoveTo(At(150, 120));
    (void)drag.Drop();
    EXPECT_EQ(pane->said, (Strings{"Enter"}));
    EXPECT_EQ(pane->passed, (Strings{"LDrop_Enter", "LDrop_Drag", "LDrop_Drag", "LDrop_Drop"}));
}

}  // namespace
