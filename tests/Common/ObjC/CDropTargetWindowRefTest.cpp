#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CDropTargetWindowRef.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Platform/AppKit/Window.h"
#include "tests/Common/ObjC/MainLoopFixture.h"

namespace {

class CDropTargetWindowRefTest : public MainLoopFixture {};

TEST_F(CDropTargetWindowRefTest, ThePanesWindowIsADropTargetWhileAReferenceLives) {
    LFrame frame(&root, nullptr, LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(6))));
    auto* pane = new LPane(&frame, &frame);
    plat::Window* native = frame.Window()->NativeWindow();
    ASSERT_NE(native, nullptr);
    ASSERT_EQ(pane->GetWindow(), native);

    auto first = std::make_unique<CDropTargetWindowRef>(pane);
    auto second = std::make_unique<CDropTargetWindowRef>(pane);
    EXPECT_EQ(first->Window(), native);
    EXPECT_TRUE(first->Type().IsEmpty());
    ASSERT_NE(LDropTargetList::Find(native), nullptr);
    EXPECT_EQ(LDropTargetList::Find(native)->UseCount(), 2u);
    EXPECT_EQ(native->RegisteredDraggedTypes(), (std::vector<std::string>{"public.data"}));
    first.reset();
    EXPECT_EQ(LDropTargetList::Find(native)->UseCount(), 1u);
    second.reset();
    EXPECT_EQ(LDropTargetList::Find(native), nullptr);
    EXPECT_TRUE(native->RegisteredDraggedTypes().empty());
}

TEST_F(CDropTargetWindowRefTest, APaneWithoutWindowRegistersNothing) {
    LPane pane(&root, nullptr);
    CDropTargetWindowRef ref(&pane);
    EXPECT_EQ(ref.Window(), nullptr);
    EXPECT_FALSE(LDropTargetList::AnyActive());
    CDropTargetWindowRef none(nullptr);
    EXPECT_EQ(none.Window(), nullptr);
}

}  // namespace
