#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Common/OpenGL/COffscreenFBO.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Engine/CMediaModel.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaNode.h"
#include "Orbilume/CSources/Models/CModelView.h"
#include "Platform/Video/GLTextureCache.h"
#include "Platform/Video/PixelBuffer.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/Orbilume/CSources/Models/ColladaSceneFixtures.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempDir.h"

namespace {

using namespace colladascene;

// The pixels of a picture (0xAARRGGBB), rows top first, the alpha dropped.
std::vector<uint32_t> Pixels(plat::GLTexture* texture) {
    std::vector<uint32_t> pixels;
    plat::PixelBuffer* buffer = texture ? texture->Image() : nullptr;
    if (!buffer || !buffer->Lock(plat::kPixelBufferLockReadOnly)) return pixels;
    for (int32_t y = 0; y < buffer->Height(); ++y)
        for (int32_t x = 0; x < buffer->Width(); ++x) {
            uint32_t value;
            std::memcpy(&value, buffer->BaseAddress() + buffer->BytesPerRow() * y + 4 * x, 4);
            pixels.push_back(value & 0xFFFFFF);
        }
    buffer->Unlock(plat::kPixelBufferLockReadOnly);
    return pixels;
}

bool AnyLit(const std::vector<uint32_t>& p) {
    for (uint32_t v : p)
        if (v) return true;
    return false;
}

// Runs of lit pixels down the middle column: (first row, length), top first.
std::vector<std::pair<int, int>> ColumnRuns(const std::vector<uint32_t>& p, int w, int h) {
    std::vector<std::pair<int, int>> runs;
    for (int y = 0; y < h; ++y) {
        if (!p[static_cast<size_t>(y) * w + w / 2]) continue;
        if (!runs.empty() && runs.back().first + runs.back().second == y)
            ++runs.back().second;
        else
            runs.push_back({y, 1});
    }
    return runs;
}

// A linear translate of node "cube" from x = 0 at 0 s to x = 10 at 2 s.
const std::string kMove =
    "<library_animations><animation id=\"move\">" + Source("mv-i", {0, 2}, "T") +
    Source("mv-o", {0, 10}, "X") +
    "<sampler id=\"mv-s\"><input semantic=\"INPUT\" source=\"#mv-i\"/><input semantic=\"OUTPUT\" "
    "source=\"#mv-o\"/></sampler><channel source=\"#mv-s\" "
    "target=\"cube/t.X\"/></animation></library_animations>";

class ModelView : public OpenGLTest {
protected:
    void TearDown() override {
        fView.reset();
        OpenGLTest::TearDown();
    }
    plat::Ref<CMediaModel> Model(const std::string& name, const std::string& xml) {
        fDir.Write(name, xml);
        return FromFile(fDir.File(name));
    }
    static plat::Ref<CMediaModel> FromFile(const std::string& path) {
        LFsSpec spec = CMacFileU::LFsSpecFromPath(path.c_str());
        auto doc = std::make_unique<CColladaDoc>(spec);
        if (!doc->LoadFile()) return nullptr;
        return CMediaModel::Create(spec, std::move(doc));
    }
    static std::string Cube(const std::string& extra = "", const std::string& libraries = "") {
        return Document(libraries + Geometries(CubeTriangles("box")), GeometryNode("cube", "box", extra));
    }

    testsupport::TempDir fDir;
    std::unique_ptr<CModelView> fView = std::make_unique<CModelView>();
};

TEST_F(ModelView, AStillModelRendersOnceUntilSomethingChanges) {
    plat::Ref<CMediaModel> model = Model("cube.dae", Cube());
    ASSERT_NE(model, nullptr);
    CModelView& view = *fView;
    view.SetSize(64, 64);
    view.SetModel(model.get());
    view.SetPosition(0, 0, -8);
    bool changed = false;
    plat::Ref<plat::GLTexture> first = view.Render(changed);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(changed);
    EXPECT_TRUE(AnyLit(Pixels(first.get())));
    // Playing does not matter without animations.
    view.SetPlaying(true);
    plat::Ref<plat::GLTexture> again = view.Render(changed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(again, first);
    view.SetTurn(30);
    view.Invalidate();
    plat::Ref<plat::GLTexture> turned = view.Render(changed);
    EXPECT_TRUE(changed);
    ASSERT_NE(turned, nullptr);
    EXPECT_NE(Pixels(turned.get()), Pixels(first.get()));
    // A new size draws again.
    view.SetSize(32, 32);
    EXPECT_NE(view.Render(changed), nullptr);
    EXPECT_TRUE(changed);
    EXPECT_EQ(Pixels(view.Render(changed).get()).size(), 32u * 32u);
    view.SetSize(0, 32);
    EXPECT_EQ(view.target(), nullptr);
    EXPECT_EQ(view.Render(changed), nullptr);
    EXPECT_FALSE(changed);
}

TEST_F(ModelView, APlayingModelRendersEveryCallAtTheTimeSinceItWasSet) {
    testsupport::FakeClock clock(50);
    plat::Ref<CMediaModel> model = Model("move.dae", Cube("<translate sid=\"t\">0 0 0</translate>", kMove));
    ASSERT_NE(model, nullptr);
    EXPECT_FLOAT_EQ(model->Document()->longestDuration(), 2.0f);
    CModelView& view = *fView;
    view.SetSize(32, 32);
    view.SetModel(model.get());
    EXPECT_FLOAT_EQ(view.Duration(), 2.0f);
    view.SetPlaying(true);
    CColladaNode* cube =
        CColladaElement::AttachedAs<CColladaNode>(model->Document()->FindIdBelowScene("cube"));
    ASSERT_NE(cube, nullptr);
    bool changed = false;
    for (int ms : {500, 0, 250, 1500}) {
        clock.AdvanceMs(ms);
        EXPECT_NE(view.Render(changed), nullptr);
        EXPECT_TRUE(changed) << ms;
    }
    // 2.25 s after SetModel: the loop is at 0.25 s.
    EXPECT_FLOAT_EQ(cube->transforms()[0]->values()[0], 1.25f);
    // Stopped, the kept picture comes back.
    view.SetPlaying(false);
    clock.AdvanceMs(100);
    (void)view.Render(changed);
    EXPECT_FALSE(changed);
    // A new model restarts the clock.
    view.SetModel(model.get());
    view.SetPlaying(true);
    clock.AdvanceMs(1000);
    (void)view.Render(changed);
    EXPECT_FLOAT_EQ(cube->transforms()[0]->values()[0], 5.0f);
}

TEST_F(ModelView, ChangingMultisamplingRebuildsTheTarget) {
    plat::Ref<CMediaModel> model = Model("cube.dae", Cube());
    CModelView& view = *fView;
    view.SetSize(64, 64);
    view.SetModel(model.get());
    view.SetPosition(0, 0, -8);
    bool changed = false;
    std::vector<uint32_t> plain = Pixels(view.Render(changed).get());
    ASSERT_NE(view.target(), nullptr);
    EXPECT_FALSE(view.target()->multisampling());
    view.SetMultisample(false);
    EXPECT_NE(view.target(), nullptr);
    view.SetMultisample(true);
    EXPECT_EQ(view.target(), nullptr);
    std::vector<uint32_t> smooth = Pixels(view.Render(changed).get());
    EXPECT_TRUE(changed);
    ASSERT_NE(view.target(), nullptr);
    EXPECT_TRUE(view.target()->multisampling());
    // The middle of the face is the same either way.
    ASSERT_EQ(smooth.size(), plain.size());
    EXPECT_EQ(smooth[32 * 64 + 32], plain[32 * 64 + 32]);
    EXPECT_NE(smooth[32 * 64 + 32], 0u);
}

TEST_F(ModelView, TheUnitCubeAtEightRadiiIsModelsSquare) {
    plat::Ref<CMediaModel> model = Model("cube.dae", Cube());
    CModelView& view = *fView;
    view.SetSize(256, 256);
    view.SetModel(model.get());
    view.SetPosition(0, 0, -8);
    bool changed = false;
    std::vector<uint32_t> p = Pixels(view.Render(changed).get());
    ASSERT_EQ(p.size(), 256u * 256u);
    int left = -1, right = -1;
    for (int x = 0; x < 256; ++x)
        if (p[128 * 256 + x]) {
            if (left < 0) left = x;
            right = x;
        }
    auto runs = ColumnRuns(p, 256, 256);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_NEAR(right + 1 - left, 136, 1);
    EXPECT_NEAR(runs[0].second, 136, 1);
    EXPECT_NEAR(left, 60, 1);
}

TEST_F(ModelView, AZUpModelShowsItsZAxisUpThePicture) {
    // The cube with a small marker cube above it on +z.
    std::string xml =
        Document(Geometries(CubeTriangles("box")),
                 GeometryNode("cube", "box") +
                     GeometryNode("marker", "box", "<translate>0 0 2</translate><scale>0.5 0.5 0.5</scale>"));
    xml.replace(xml.find("</asset>"), 8, "<up_axis>Z_UP</up_axis></asset>");
    plat::Ref<CMediaModel> model = Model("zup.dae", xml);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->Document()->upAxis(), 1u);
    CModelView& view = *fView;
    view.SetSize(128, 128);
    view.SetModel(model.get());
    view.SetPosition(0, 0, -8);
    bool changed = false;
    std::vector<uint32_t> p = Pixels(view.Render(changed).get());
    auto runs = ColumnRuns(p, 128, 128);
    ASSERT_EQ(runs.size(), 2u);
    // The marker (the shorter run) is above the cube.
    EXPECT_LT(runs[0].second, runs[1].second);
}

TEST_F(ModelView, AModelWithoutADocumentGivesNothing) {
    CModelView& view = *fView;
    view.SetSize(32, 32);
    bool changed = true;
    EXPECT_EQ(view.Render(changed), nullptr);
    EXPECT_FALSE(changed);
    EXPECT_EQ(view.Duration(), 0.0f);
    // A document that never loaded.
    fDir.Write("empty.dae", "<COLLADA/>");
    LFsSpec spec = CMacFileU::LFsSpecFromPath(fDir.File("empty.dae").c_str());
    plat::Ref<CMediaModel> unloaded = CMediaModel::Create(spec, std::make_unique<CColladaDoc>(spec));
    ASSERT_NE(unloaded, nullptr);
    view.SetModel(unloaded.get());
    changed = true;
    EXPECT_EQ(view.Render(changed), nullptr);
    EXPECT_FALSE(changed);
    view.SetModel(nullptr);
    EXPECT_EQ(view.Render(changed), nullptr);
}

const std::string kAssimp = "/usr/share/assimp/models/Collada/";

TEST_F(ModelView, AssimpsNestedAnimationMoves) {
    if (!std::filesystem::exists(kAssimp + "box_nested_animation.dae"))
        GTEST_SKIP() << "assimp-testmodels is not installed";
    testsupport::FakeClock clock(10);
    plat::Ref<CMediaModel> model = FromFile(kAssimp + "box_nested_animation.dae");
    ASSERT_NE(model, nullptr);
    CModelView& view = *fView;
    view.SetSize(96, 96);
    view.SetModel(model.get());
    view.SetPlaying(true);
    // The file's animation carries the box about four units along +x, out of the bounds the view
    // frames: from twelve radii both places are in the picture.
    view.SetPosition(0, 0, -12);
    ASSERT_GT(view.Duration(), 0.0f);
    bool changed = false;
    std::vector<uint32_t> start = Pixels(view.Render(changed).get());
    clock.AdvanceMs(static_cast<int64_t>(500 * view.Duration()));
    std::vector<uint32_t> half = Pixels(view.Render(changed).get());
    EXPECT_TRUE(changed);
    EXPECT_TRUE(AnyLit(start));
    EXPECT_TRUE(AnyLit(half));
    EXPECT_NE(start, half);
}

TEST_F(ModelView, EveryAssimpColladaFileGoesThroughTheView) {
    std::error_code ec;
    int seen = 0;
    testsupport::FakeClock clock(10);
    for (const auto& entry : std::filesystem::directory_iterator(kAssimp, ec)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".dae" && ext != ".DAE") continue;
        plat::Ref<CMediaModel> model = FromFile(entry.path().string());
        if (!model) continue;
        ++seen;
        CModelView view;
        view.SetSize(48, 48);
        view.SetMultisample(seen % 2 == 0);
        view.SetModel(model.get());
        view.SetPlaying(true);
        view.SetTurn(30);
        view.SetTilt(-20);
        view.SetPosition(0.5f, 0, -6);
        bool changed = false;
        EXPECT_NE(view.Render(changed), nullptr) << entry.path();
        clock.AdvanceMs(700);
        (void)view.Render(changed);
    }
    if (!seen) GTEST_SKIP() << "assimp-testmodels is not installed";
}

}  // namespace
