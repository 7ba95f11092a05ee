#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreData/CMainLoopUI.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CSlider.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CChannelEngine.h"
#include "Orbilume/CSources/Editors/CChannelList.h"
#include "Orbilume/CSources/Editors/CInParamFrm.h"
#include "Orbilume/CSources/Editors/CInParamPane.h"
#include "Orbilume/CSources/Editors/CLayerFrm.h"
#include "Orbilume/CSources/Editors/CSrcRendrFrm.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"
#include "Platform/AppKit/Window.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/Orbilume/CSources/Editors/x11/CaptureRoot.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/CommandOutput.h"

namespace {

using T = CDocModelTypes;

using Root = editorstest::CaptureRoot;

// The document above the window: its undo queue answers the Undo command (Ctrl+Z).
struct UndoDocument : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (queue.HandleMessage(msg)) return LMessage();
        if (msg.Is(LMenuBar_Ready) && msg.sender && queue.CanUndo())
            static_cast<LMenuBar*>(msg.sender)->EnableCommand("LStdCmd_Undo");
        if (msg.Is(LMenuItem_Selected) && msg.sender &&
            static_cast<LMenuItem*>(msg.sender)->HasCommand("LStdCmd_Undo")) {
            (void)queue.Perform(0);
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
    CUndoQueue queue{0x100000};
};

// Every unit has one number input, so its frame has a pane to press on.
struct QuietEngine : IChannelEngine {
    bool HasLayer(uint32_t) override { return true; }
    std::unique_ptr<CUnitPortList> PortList(uint32_t unitId) override {
        auto list = std::make_unique<CUnitPortList>();
        list->unitId = unitId;
        list->unitName = LString("Unit");
        CUnitPort p;
        p.kind = 3;
        p.key = LString("in0");
        p.name = p.key;
        p.max = 100;
        p.value = LString("1");
        list->ports.push_back(std::move(p));
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
        doc.SetUpper(&root);
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
        frame = new LFrame(&doc, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6))));
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
    CLayerFrm* Cell(uint32_t c) {
        CCellRef ref(list, {int32_t(c), 0}, false);
        return static_cast<CLayerFrm*>(ref.Pane());
    }
    // The root point of a pane's local point, as xdotool's "x y".
    std::string Over(LPane* pane, int32_t dx, int32_t dy) {
        const CLPoint o = pane->GetOriginIn(nullptr);
        const CLRect b = pane->Bounds();
        const plat::Point p = frame->Window()->NativeWindow()->ConvertToScreen(
            {double(o.x + b.left + dx), double(o.y + b.top + dy)});
        return std::to_string(int(p.x)) + " " + std::to_string(int(p.y));
    }
    // The same for a point of a frame's inside (a frame's origin is its own top-left).
    std::string Inside(LFrame* frame, int32_t dx, int32_t dy) {
        const CLPoint o = frame->GetOriginIn(nullptr);
        const plat::Point p = this->frame->Window()->NativeWindow()->ConvertToScreen({double(o.x + dx), double(o.y + dy)});
        return std::to_string(int(p.x)) + " " + std::to_string(int(p.y));
    }
    std::string BlendOf(uint32_t n) {
        const CRecord* input = UDocModel::FindUnitInput(Unit(n), LString("_oblayer_Blend"));
        return input ? input->GetString(T::kInptValue).CStr() : "<none>";
    }
    uint32_t Filters(uint32_t n) { return Unit(n)->ArrayCount(T::kUnitFilters); }
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
    const int32_t border = list->CellWidth();
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

TEST_F(ChannelListX11Test, DraggingTheFirstFaderToTheBottomWritesZero) {
    CLayerFrm* cell = Cell(0);
    ASSERT_NE(cell, nullptr);
    CSlider* fader = cell->Fader();
    const int32_t x = fader->Bounds().Width() / 2, h = fader->Bounds().Height();
    ASSERT_EQ(fader->GetValue(), 256);
    Xdotool("mousemove --sync " + Over(fader, x, 3) + " mousedown 1 mousemove --sync " + Over(fader, x, 20) +
                " mousemove --sync " + Over(fader, x, h + 40) + " mouseup 1",
            frame->Window()->NativeWindow());
    ASSERT_TRUE(RunUntil([&] { return BlendOf(0) == "0"; })) << BlendOf(0);
    EXPECT_EQ(BlendOf(1), "<none>");  // the others untouched
}

TEST_F(ChannelListX11Test, AFilterDraggedOntoAnotherChainMovesAndUndoRestoresIt) {
    CRecord* mix = model.Mix().Get();
    for (uint32_t k = 0; k < 2; ++k)
        ASSERT_TRUE(UDocUnits::AddFilterUnit(model.Mix(), nullptr, Unit(0)->GetUInt(T::kUnitId), k,
                                             LString(("f" + std::to_string(k) + ".qtz").c_str())));
    (void)mix;
    ASSERT_TRUE(RunUntil([&] { return Cell(0) && Cell(0)->Chain()->FrameOf(Unit(0)->GetElement(T::kUnitFilters, 1)->GetUInt(T::kUnitId)); }));
    const uint32_t moved = Unit(0)->GetElement(T::kUnitFilters, 1)->GetUInt(T::kUnitId);
    CInParamFrm* from = Cell(0)->Chain()->FrameOf(moved);
    CInParamFrm* onto = Cell(1)->Chain()->FrameOf(Unit(1)->GetUInt(T::kUnitId));
    ASSERT_NE(from, nullptr);
    ASSERT_NE(onto, nullptr);
    // The frame is taken by its title: the unit's name, left of the bypass button.
    const CLRect title = from->PaneAt(0)->Bounds();
    const int32_t fx = title.left + 6, fy = (title.top + title.bottom) / 2;
    const int32_t ox = onto->Bounds().Width() / 2, oy = onto->Bounds().Height() - 4;
    Xdotool("mousemove --sync " + Inside(from, fx, fy) + " mousedown 1", frame->Window()->NativeWindow());
    ASSERT_TRUE(RunUntil([&] { return list->DraggedUnit() == moved; }));
    Xdotool("mousemove_relative --sync 0 10 mousemove_relative --sync 10 10 mousemove --sync " + Inside(onto, ox - 10, oy) +
                " mousemove --sync " + Inside(onto, ox, oy) + " mouseup 1",
            frame->Window()->NativeWindow());
    ASSERT_TRUE(RunUntil([&] { return Filters(1) == 1; }, 10)) << Filters(0) << " " << Filters(1);
    EXPECT_EQ(Filters(0), 1u);
    EXPECT_EQ(Unit(1)->GetElement(T::kUnitFilters, 0)->GetUInt(T::kUnitId), moved);
    // The document's Ctrl+Z puts it back.
    Xdotool("windowfocus --sync %W key ctrl+z", frame->Window()->NativeWindow());
    ASSERT_TRUE(RunUntil([&] { return Filters(0) == 2u; })) << Filters(0) << " " << Filters(1);
    EXPECT_EQ(Filters(1), 0u);
    EXPECT_EQ(Unit(0)->GetElement(T::kUnitFilters, 1)->GetUInt(T::kUnitId), moved);
}

}  // namespace
