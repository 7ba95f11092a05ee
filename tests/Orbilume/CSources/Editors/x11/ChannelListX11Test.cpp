#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CChannelEngine.h"
#include "Orbilume/CSources/Editors/CChannelList.h"
#include "Orbilume/CSources/Editors/CLayerFrm.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"
#include "Platform/AppKit/Window.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/CommandOutput.h"

namespace {

using T = CDocModelTypes;

struct Root : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LPane_ReqFocus) || msg.Is(LPane_Defer) || msg.Is(LMouse_Cursor) || msg.Is(LFrame_Place))
            return LMessage();
        return LHandler::Handle(msg);
    }
};

struct UndoDocument : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (queue.HandleMessage(msg)) return LMessage();
        return LHandler::Handle(msg);
    }
    CUndoQueue queue{0x100000};
};

struct QuietEngine : IChannelEngine {
    bool HasLayer(uint32_t) override { return true; }
    std::unique_ptr<CUnitPortList> PortList(uint32_t unitId) override {
        auto list = std::make_unique<CUnitPortList>();
        list->unitId = unitId;
        return list;
    }
    void RequestCapture(uint32_t, COpenGLContext_Cca*, bool) override {}
    void CancelCaptures(COpenGLContext_Cca*) override {}
    void SetUnitParamByKey(uint32_t, const LString&, const LString&) override {}
    bool OutputStrings(uint32_t, const LString&, std::vector<LString>&) override { return false; }
};

// The channel list in a window of its own on a private Xvfb; drops come from another program.
class ChannelListX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        if (testsupport::CommandOutput("/usr/bin/python3 -c 'import Xlib' 2>&1 && echo ok").find("ok") ==
            std::string::npos)
            GTEST_SKIP() << "python3-xlib is not installed";
        CLayerFrm::SetPreviewsEnabled(false);
        StartSession(&root, kResources);
        if (IsSkipped() || HasFatalFailure()) return;
        dcpf = prefs.AppendDocument();
        for (uint32_t i = 0; i < 3; ++i)
            ASSERT_EQ(UDocUnits::AddCompositionLayer(model.Mix(), nullptr, i,
                                                     LString(("c" + std::to_string(i) + ".qtz").c_str())),
                      int32_t(i));
        char dir[] = "/tmp/orbilume-xdnd-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        folder = dir;
        model.SetDocumentPath(LFsSpec(LString((folder + "/show.obm").c_str())));
        frame = new LFrame(&root, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6))));
        list = new CChannelList(frame, &doc, &model, &engine, dcpf);
        frame->SetWindowFrame({100, 100, 700, 600});
        frame->ShowWindow();
        list->SetBounds({0, 0, 600, 500});
        ASSERT_TRUE(RunUntil([&] { return frame->Window() && frame->Window()->NativeWindow()->IsVisible(); }));
    }
    void TearDown() override {
        delete list;
        delete frame;
        X11FrameworkTest::TearDown();
        CLayerFrm::SetPreviewsEnabled(true);
        if (!folder.empty()) (void)testsupport::CommandOutput("rm -rf '" + folder + "'");
    }
    std::string At(int32_t x, int32_t y) {
        const plat::Point p = frame->Window()->NativeWindow()->ConvertToScreen({double(x), double(y)});
        return std::to_string(int(p.x)) + "," + std::to_string(int(p.y));
    }
    std::string Drag(const std::string& args, int* status) {
        testsupport::BackgroundCommand source(std::string(ORBILUME_SOURCE_DIR) + "/tests/support/xdnd-source --display " +
                                              Display() + " " + args + " 2>&1");
        EXPECT_TRUE(source.Started());
        EXPECT_TRUE(RunUntil([&] { return source.Done(status); }, 20));
        return source.Output();
    }
    CRecord* Unit(uint32_t n) {
        CRecord* l = model.Mix()->GetElement(T::kMixsLayers, n);
        return l ? l->GetSubRecord(T::kLayrUnit) : nullptr;
    }

    Root root;
    CAppPrefs prefs;
    CRecord* dcpf = nullptr;
    CDocModelHolder model;
    UndoDocument doc;
    QuietEngine engine;
    LFrame* frame = nullptr;
    CChannelList* list = nullptr;
    std::string folder;
};

TEST_F(ChannelListX11Test, APngDroppedBetweenColumnsOneAndTwoMakesAnImageLayerAtOne) {
    const std::string png = folder + "/pic.png";
    std::ofstream(png) << "\x89PNG\r\n\x1a\n";
    int status = -1;
    // Over the header, just left of the border between the first two cells.
    const int32_t border = CLayerFrm::kWidth;
    const std::string out = Drag("--uri '" + png + "' --at " + At(border - 30, 60) + " --at " + At(border - 4, 60), &status);
    EXPECT_EQ(status, 0) << out;
    ASSERT_EQ(model.Mix()->ArrayCount(T::kMixsLayers), 4u) << out;
    EXPECT_STREQ(Unit(1)->GetString(T::kUnitSpec).CStr(), "obImageInput.qtz");
    const CRecord* image = UDocModel::FindUnitInput(Unit(1), LString("_protocolInput_Image"));
    ASSERT_NE(image, nullptr);
    EXPECT_NE(std::string(image->GetString(T::kInptValue).CStr()).find("pic.png"), std::string::npos);
    EXPECT_NE(std::string(Unit(0)->GetString(T::kUnitSpec).CStr()).find("c0.qtz"), std::string::npos);
    EXPECT_NE(std::string(Unit(2)->GetString(T::kUnitSpec).CStr()).find("c1.qtz"), std::string::npos);
    // Text is no layer: refused.
    status = -1;
    (void)Drag("--text hello --at " + At(border - 4, 60), &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(model.Mix()->ArrayCount(T::kMixsLayers), 4u);
}

}  // namespace
