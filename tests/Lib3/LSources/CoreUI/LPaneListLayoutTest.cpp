#include <gtest/gtest.h>

#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LLayoutProgram.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LPaneListLayout.h"
#include "tests/Lib3/LSources/CoreUI/FakeLayoutPanes.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"

namespace {

// A child whose preferred size is its width for the extent given, or 40 by 12.
class Sized : public LPane {
public:
    explicit Sized(LPane* owner) : LPane(owner, owner) {}
    int32_t PreferredWidth(LDrawContext&, int32_t kind) override { return kind > 0 ? kind : 40; }
    int32_t PreferredHeight(LDrawContext&, int32_t kind) override { return kind > 0 ? kind / 2 : 12; }
};

struct ChildList : ::testing::Test {
    ChildList() {
        children.Append(&first);
        children.Append(&second);
        second.ChangeState(LPane::kHide);
    }
    ~ChildList() override { children.RemoveAll(); }

    MessageLog log;
    FakeOwner owner{&log};
    Sized first{&owner};
    Sized second{&owner};
    LSLinkBase children;
    LPanePort port;
    LDrawContext ctx{port, nullptr};
    LPaneListLayout panes{children, ctx};
};

TEST_F(ChildList, ScriptPlacesTheChildPanes) {
    LLayoutParts parts;
    parts.Append("");
    parts.Append("pp(0, 0, 0, wp(1) + wp(2, 60), hp(1) + hp(2, 60) + shown(1) * 100 + shown(2) * 1000);");
    parts.Append("pp(1, 0, 0, wp(1), hp(1)); pp(2, r(1), 0, r(0), b(0)); pp(3, 1, 1, 2, 2);");
    LLayoutProgram program;
    ASSERT_TRUE(program.Build(LLayoutParts(), parts));
    ASSERT_EQ(program.RunPref(&panes), 1);
    EXPECT_EQ(program.LayoutRect(), (SLayoutRect{0, 0, 100, 142}));
    ASSERT_EQ(program.RunLayo(&panes), 1);
    EXPECT_EQ(first.Bounds(), (CLRect{0, 0, 40, 12}));
    EXPECT_EQ(second.Bounds(), (CLRect{40, 0, 100, 142}));
}

TEST_F(ChildList, DescriptionReadsAndPlacesTheChildPanes) {
    LLayoutDesc::InstallPrelude("");
    LLayoutDesc desc(&panes);
    EXPECT_EQ(desc.Evaluate("pp(2,5,6,25,36)\nw(2)*1000+h(2)+l(2)*100000"), 520030);
    EXPECT_EQ(second.Bounds(), (CLRect{5, 6, 25, 36}));
    EXPECT_EQ(desc.Evaluate("shown(1)*10+shown(2)+shown(3)+wp(3)+l(3)"), 10);
    LLayoutDesc::ResetPrelude();
}

}  // namespace
