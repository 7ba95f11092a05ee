#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/MMainMenu.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LFrameSpec.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Resources/ResourceFile.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/Lib3/LSources/Mac/RecordListSupport.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/XvfbServer.h"

using namespace rtest;

namespace {

const LScrapType kLeafScrap{LString(), 0x4F524C66};  // 'ORLf'
using Strings = std::vector<std::string>;

// The application's part of the chain: focus and capture requests end here.
struct Root : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LPane_ReqCapture)) {
            if (LMouse::Get()) LMouse::Get()->Capture(msg.sender);
            return LMessage();
        }
        if (msg.Is(LPane_ReqFocus) || msg.Is(LPane_Defer) || msg.Is(LMouse_Cursor) || msg.Is(LFrame_Place))
            return LMessage();
        return LHandler::Handle(msg);
    }
};

CRecord* Six(const char* prefix) {
    CRecord* root = NewNode(prefix);
    for (int i = 0; i < 6; ++i) {
        const std::string label = std::string(prefix) + std::to_string(i);
        EXPECT_TRUE(root->InsertElementRaw(kKids, -1, NewLeaf(label.c_str())));
    }
    return root;
}

class ListX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root, kResources);
        if (IsSkipped() || HasFatalFailure()) return;
        editor.SetUpper(&doc);
        left = std::make_unique<CRecordHolder>(Six("a"));
        right = std::make_unique<CRecordHolder>(Six("b"));
        frame = new LFrame(&root, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6)), nullptr));
        frame->SetWindowFrame({100, 100, 500, 300});
        a = new RecordList(frame, left->RootRef(), kKids, kLeafScrap, &editor);
        a->SetBounds({10, 10, 110, 130});
        navi = new LListNavi(frame, LListNavi::kVerticalBar, 0);
        navi->SetBounds({200, 10, 318, 74});  // 3 rows of 20 inside the frame ring
        b = new RecordList(navi, right->RootRef(), kKids, kLeafScrap, &editor);
        navi->SetListPane(b);
        frame->ShowWindow();
        ASSERT_TRUE(RunUntil([&] { return frame->Bounds().Width() == 400; }));
        Xdotool("windowfocus --sync %W");
    }
    void TearDown() override {
        delete frame;
        X11FrameworkTest::TearDown();
    }
    // xdotool with %W the window's X window.
    void Xdotool(const std::string& args) {
        X11FrameworkTest::Xdotool(args, frame->Window()->NativeWindow());
    }
    // A point of a pane of the frame, in the X window (the strip lies above the content).
    std::string At(LPane* pane, int32_t x, int32_t y) {
        const CLPoint o = pane->GetOriginIn(nullptr);
        const int32_t strip = int32_t(frame->Window()->NativeWindow()->StripHeight());
        return std::to_string(o.x + pane->Bounds().left + x) + " " +
               std::to_string(o.y + pane->Bounds().top + y + strip);
    }
    Strings Left() { return Labels(left->Root(), kKids); }
    Strings Right() { return Labels(right->Root(), kKids); }

    Root root;
    UndoDocument doc;
    LHandler editor;
    std::unique_ptr<CRecordHolder> left, right;
    LFrame* frame = nullptr;
    RecordList* a = nullptr;
    LListNavi* navi = nullptr;
    RecordList* b = nullptr;
};

TEST_F(ListX11Test, DraggingRowTwoBelowRowFourMovesItAndUndoRestoresIt) {
    testsupport::NestedLoopGuard guard(20);
    Xdotool("mousemove --sync --window %W " + At(a, 50, 50) + " mousedown 1");
    ASSERT_TRUE(RunUntil([&] { return a->Helper().Dragger() != nullptr; }));
    Xdotool(
        "mousemove_relative --sync 0 10 mousemove_relative --sync 0 10 mousemove_relative --sync 0 10 "
        "mousemove --sync --window %W " +
        At(a, 50, 97) + " mouseup 1");
    ASSERT_TRUE(RunUntil([&] { return Left() != Strings{"a0", "a1", "a2", "a3", "a4", "a5"}; }, 10));
    EXPECT_EQ(Left(), (Strings{"a0", "a1", "a3", "a4", "a2", "a5"}));
    EXPECT_FALSE(guard.Fired());
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Left(), (Strings{"a0", "a1", "a2", "a3", "a4", "a5"}));
}

TEST_F(ListX11Test, ButtonFiveScrollsTwoRows) {
    ASSERT_EQ(b->FirstRow(), 0);
    Xdotool("mousemove --sync --window %W " + At(b, 30, 10) + " click 5");
    ASSERT_TRUE(RunUntil([&] { return b->FirstRow() != 0; }));
    EXPECT_EQ(b->FirstRow(), 2);
}

TEST_F(ListX11Test, CopyInOneListAndPasteInTheOther) {
    Xdotool("mousemove --sync --window %W " + At(a, 50, 30) + " click 1");
    ASSERT_TRUE(RunUntil([&] { return a->Selection() == CRgn(CLRect{0, 1, 1, 2}); }));
    Xdotool("keydown shift mousemove --sync --window %W " + At(a, 50, 50) + " click 1 keyup shift");
    ASSERT_TRUE(RunUntil([&] { return a->Selection() == CRgn(CLRect{0, 1, 1, 3}); }));
    Xdotool("key ctrl+c");
    RunUntil([] { return false; }, 0.5);
    Xdotool("mousemove --sync --window %W " + At(b, 30, 10) + " click 1");
    ASSERT_TRUE(RunUntil([&] { return b->Selection() == CRgn(CLRect{0, 0, 1, 1}); }));
    Xdotool("key ctrl+v");
    ASSERT_TRUE(RunUntil([&] { return Right().size() == 8; }));
    EXPECT_EQ(Right(), (Strings{"b0", "a1", "a2", "b1", "b2", "b3", "b4", "b5"}));
}

}  // namespace
