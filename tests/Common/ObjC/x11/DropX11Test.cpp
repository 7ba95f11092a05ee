#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Mac/CDragScrap.h"
#include "Lib3/LSources/Mac/CDropTargetHelper.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Dnd.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/CommandOutput.h"

namespace {

using Strings = std::vector<std::string>;

struct Root : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LPane_ReqFocus) || msg.Is(LPane_Defer) || msg.Is(LMouse_Cursor) || msg.Is(LFrame_Place))
            return LMessage();
        return LHandler::Handle(msg);
    }
};

// Takes drops of files or text and records them.
struct DropPane : LPane {
    explicit DropPane(LFrame* f) : LPane(f, f) {}
    void Attach() { helper = std::make_unique<CDropTargetHelper>(this); }
    LMessage Handle(const LMessage& msg) override {
        const int32_t code = helper ? helper->Dispatch(msg) : 0;
        if (code == CDropTargetHelper::kNone) return LPane::Handle(msg);
        LDrop* drop = helper->Drop();
        if (code == CDropTargetHelper::kEnter) ++enters;
        if (code == CDropTargetHelper::kLeave) ++leaves;
        if ((code == CDropTargetHelper::kEnter || code == CDropTargetHelper::kDrag) && drop) {
            const bool text = drop->Pasteboard() && drop->Pasteboard()->HasType(plat::Pasteboard::kTypeString);
            if (CDropFiles(drop).HasFiles() || text) helper->SetFeedback(LDrop::kCopy);
        }
        if (code == CDropTargetHelper::kDrop && drop) {
            std::string path;
            for (uint32_t i = 0; CDropFiles(drop).GetPath(i, &path); ++i) paths.push_back(path);
            std::string s;
            if (drop->Pasteboard() && drop->Pasteboard()->StringForType(plat::Pasteboard::kTypeString, &s))
                text = s;
            ++drops;
            helper->SetFeedback(LDrop::kCopy);  // done
        }
        return LMessage();
    }
    std::unique_ptr<CDropTargetHelper> helper;
    Strings paths;
    std::string text;
    int enters = 0, leaves = 0, drops = 0;
};

class DropX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        if (testsupport::CommandOutput("/usr/bin/python3 -c 'import Xlib' 2>&1 && echo ok").find("ok") == std::string::npos)
            GTEST_SKIP() << "python3-xlib is not installed";
        StartSession(&root);
        if (IsSkipped() || HasFatalFailure()) return;
        frame = new LFrame(&root, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6))));
        LLayoutParts layout;
        layout.Append("");
        layout.Append("pp(0,0,0,300,200)");
        layout.Append("pp(1,0,0,150,200)");
        frame->SetLayout(layout, LFrame::kDescriptionMode);
        pane = new DropPane(frame);
        frame->SetWindowFrame({100, 100, 400, 300});
        frame->ShowWindow();
        ASSERT_TRUE(RunUntil([&] { return frame->Bounds().Width() == 300; }));
        frame->UpdateLayout();
        pane->Attach();
    }
    void TearDown() override {
        delete frame;
        X11FrameworkTest::TearDown();
    }
    // The root point of a content point of the window (scale 1).
    std::string At(int32_t x, int32_t y) {
        const plat::Point p = frame->Window()->NativeWindow()->ConvertToScreen({double(x), double(y)});
        return std::to_string(int(p.x)) + "," + std::to_string(int(p.y));
    }
    // Runs the XDND source script while the application's loop serves it; its output.
    std::string Drag(const std::string& args, int* status) {
        testsupport::BackgroundCommand source(std::string(ORBILUME_SOURCE_DIR) + "/tests/support/xdnd-source --display " +
                                              Display() + " " + args + " 2>&1");
        EXPECT_TRUE(source.Started());
        EXPECT_TRUE(RunUntil([&] { return source.Done(status); }, 20));
        return source.Output();
    }

    Root root;
    LFrame* frame = nullptr;
    DropPane* pane = nullptr;
};

TEST_F(DropX11Test, FilesFromAnotherProgramArriveAsPaths) {
    int status = -1;
    const std::string out =
        Drag("--uri /tmp/pic.png --uri '/tmp/a b/Grüße.qtz' --at " + At(40, 40) + " --at " + At(60, 80), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("status accept=1 action=XdndActionCopy"), std::string::npos) << out;
    EXPECT_NE(out.find("finished accept=1 action=XdndActionCopy"), std::string::npos) << out;
    EXPECT_EQ(pane->paths, (Strings{"/tmp/pic.png", "/tmp/a b/Grüße.qtz"}));
    EXPECT_EQ(pane->drops, 1);
}

TEST_F(DropX11Test, TextArrivesAsTheStringType) {
    int status = -1;
    const std::string out = Drag("--text 'Grüße €' --at " + At(30, 30), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(pane->text, "Grüße €");
}

TEST_F(DropX11Test, NoPaneThereRefusesAndALeaveIsTold) {
    int status = -1;
    // Right of the pane: nobody takes it; the source leaves.
    std::string out = Drag("--uri /tmp/pic.png --at " + At(250, 40), &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("status accept=0"), std::string::npos) << out;
    EXPECT_EQ(pane->drops, 0);
    // Over the pane, then left: entered and left, nothing dropped.
    out = Drag("--uri /tmp/pic.png --at " + At(40, 40) + " --leave", &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_EQ(pane->enters, 1);
    EXPECT_EQ(pane->leaves, 1);
    EXPECT_EQ(pane->drops, 0);
    EXPECT_TRUE(pane->paths.empty());
}

TEST(X11DndTypes, TargetsMapToPasteboardTypesAndActions) {
    using plat::x11::X11Dnd;
    EXPECT_EQ(X11Dnd::TypesFor({"text/uri-list", "UTF8_STRING", "STRING", "image/png", ""}),
              (Strings{plat::Pasteboard::kTypeFileURL, plat::Pasteboard::kTypeString, "image/png"}));
    EXPECT_EQ(X11Dnd::ActionFor(plat::kDragOperationCopy, "XdndActionMove"), "XdndActionCopy");
    EXPECT_EQ(X11Dnd::ActionFor(plat::kDragOperationGeneric, "XdndActionLink"), "XdndActionLink");
    EXPECT_EQ(X11Dnd::ActionFor(0, "XdndActionCopy"), "");
    EXPECT_EQ(X11Dnd::MaskForAction("XdndActionCopy") & plat::kDragOperationMove, 0u);
    EXPECT_NE(X11Dnd::MaskForAction("XdndActionMove") & plat::kDragOperationMove, 0u);
}

}  // namespace
