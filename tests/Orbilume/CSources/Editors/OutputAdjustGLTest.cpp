#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/OutputAdjustWindow.h"
#include "Orbilume/CSources/Engine/CCtlInDocBinder.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Foundation/PropertyList.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/TempDir.h"

namespace {

using T = CDocModelTypes;
using namespace qctest;

constexpr int kW = 32, kH = 16;
const bool kFontsPinned = testsupport::PinFontsToDejaVu();

// DMX on 'brt' reaches the engine through the hub, the window's binder and the preferences: the
// next frame of a white layer is darker; the defaults button brings it back.
class OutputAdjustGLTest : public QcGLTest {
protected:
    void SetUp() override {
        QcGLTest::SetUp();
        ASSERT_TRUE(plat::WritePropertyListFile(dir.File("solid.qtz"),
                                                composertest::SolidColorGraph().PropertyList(),
                                                plat::PropertyListFormat::Xml));
        doc = std::make_unique<CDocModelHolder>();
        doc->SetDocumentPath(CMacFileU::LFsSpecFromPath(dir.File("show.obm").c_str()));
        ASSERT_GE(UDocUnits::AddCompositionLayer(doc->Mix(), nullptr, 99, LString("solid.qtz")), 0);
        window = new COpenGLFBOTarget(kW, kH, nullptr);
        COpenGLScope_Cca scope(window->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, window->fbo());
        glViewport(0, 0, kW, kH);
    }
    void TearDown() override {
        engine.reset();
        doc.reset();
        window->Release();
        QcGLTest::TearDown();
    }
    uint32_t Frame() {
        engine->RenderFrame(window->context(), CMixEngine::SFrameRequest{0});
        COpenGLScope_Cca scope(window->context());
        glFinish();
        return BoundPixel(kW / 2, kH / 2) & 0xFFFFFF;
    }

    testsupport::TempDir dir;
    testsupport::HeadlessScreens screens;
    CMacWindowMgr mgr;
    LHandler root;
    CAppPrefs prefs;
    CCtlInHub hub;
    std::unique_ptr<CDocModelHolder> doc;
    std::unique_ptr<CMixEngine> engine;
    COpenGLFBOTarget* window = nullptr;
};

TEST_F(OutputAdjustGLTest, DmxOnBrightnessDarkensTheNextFrame) {
    OutputAdjustWindow adjust(&root, &prefs, &hub, std::string(SHARED_SUPPORT_DIR) + "/editor/outadj");
    engine = std::make_unique<CMixEngine>(doc.get(), &prefs);
    engine->SetOutputSize(kW, kH);
    engine->LoadLayers();
    ASSERT_EQ(engine->LayerCount(), 1u);
    EXPECT_TRUE(PixelNear(Frame(), 0xFFFFFF, 2)) << std::hex << Frame();

    CRecord* input = COutAdjustControls::FindInput(adjust.Unit(), LString("brt"));
    ASSERT_NE(input, nullptr);
    CRecord* ctrl = input->GetSubRecord(T::kInptCtl);
    CParamSet::SetString(CRecordRef(&ctrl), nullptr, LString("type"), LString("dmx"));
    CParamSet::SetString(CRecordRef(&ctrl), nullptr, LString("dmxch"), LString("0"));
    std::vector<uint8_t> frame(513, 0);
    frame[1] = 64;  // a quarter
    hub.DmxIn(frame.data(), 513);
    adjust.Binder()->Evaluate();
    EXPECT_EQ(input->GetString(T::kInptValue), "0.251");
    EXPECT_TRUE(PixelNear(Frame(), 0x404040, 3)) << std::hex << Frame();

    LHandler::Dispatch(LMessage(LStdCtl_Selected, adjust.DefaultsButton(), &adjust));
    EXPECT_TRUE(PixelNear(Frame(), 0xFFFFFF, 2)) << std::hex << Frame();
}

}  // namespace
