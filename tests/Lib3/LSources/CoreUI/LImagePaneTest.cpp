#include <gtest/gtest.h>

#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/SFieldDesc.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LHLockScope.h"
#include "Lib3/LSources/CoreUI/LImagePane.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Resources/ResourceFile.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestPNG.h"

namespace {

// A 4 x 2 'TPNG' picture: the left half red, the right half blue.
std::vector<uint8_t> TwoColourPNG() {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            bool left = x < 2;
            rgba.insert(rgba.end(), {uint8_t(left ? 255 : 0), 0, uint8_t(left ? 0 : 255), 255});
        }
    return testsupport::EncodeTestPNG(4, 2, rgba);
}

LImageH LoadImage() {
    std::vector<uint8_t> png = TwoColourPNG();
    return LImageH(new LRsrcImage(png.data(), png.size()));
}

// A resource file holding the picture as 'TPNG' "TWOCOLOUR" (id 128), looked up through a provider.
struct ImagePaneFixture : ::testing::Test {
    void SetUp() override {
        plat::ResourceEntry entry;
        entry.type = Fcc("TPNG");
        entry.id = 128;
        entry.name = "TWOCOLOUR";
        entry.data = TwoColourPNG();
        std::vector<uint8_t> file = plat::BuildResourceFile({entry});
        dir.Write("images.rsrc", std::string(file.begin(), file.end()));
        ref = plat::OpenResFile(dir.File("images.rsrc"));
        ASSERT_GT(ref, 0);
        provider = std::make_unique<ResourceFileProvider>(ref);
    }
    void TearDown() override { plat::CloseResFile(ref); }
    LImageH Resource(const SRsrcRequest& request) { return LImageH(new LRsrcImage(request, provider.get())); }

    testsupport::TempDir dir;
    plat::ResFileRef ref = plat::kNoResFile;
    std::unique_ptr<ResourceFileProvider> provider;
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 80, 40}};
};

}  // namespace

TEST(LImageH, EmptyAndInvalidImages) {
    LImageH none;
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_EQ(none.GetSize().width, 0);
    EXPECT_FALSE(none->IsValid());
    uint8_t junk[] = {1, 2, 3};
    LImageH bad(new LRsrcImage(junk, sizeof junk));
    EXPECT_TRUE(bad.IsEmpty());
    EXPECT_TRUE(LImageH(nullptr).IsSame(none));

    LImageH good = LoadImage();
    ASSERT_FALSE(good.IsEmpty());
    EXPECT_EQ(good.GetSize().width, 4);
    EXPECT_EQ(good.GetSize().height, 2);
    plat::BitmapImage* native = nullptr;
    EXPECT_EQ(good->GetNativeImage(native), LImage::kNativeKind);
    EXPECT_NE(native, nullptr);
    // The shape follows the rectangle: scaled with its size, moved with its place.
    EXPECT_TRUE(good->GetShape({0, 0, 8, 4}) == Rgn({0, 0, 8, 4}));
    EXPECT_TRUE(good->GetShape({10, 10, 18, 14}) == Rgn({10, 10, 18, 14}));
    EXPECT_TRUE(good->GetEraseShape({0, 0, 8, 4}).IsEmpty());  // opaque
}

TEST_F(ImagePaneFixture, PreferredSizesAndSetImage) {
    LImagePane pane(&owner);
    EXPECT_NE(pane.State() & LPane::kLocked, 0u);
    LPanePort port(&pane);
    LDrawContext measure(port);
    EXPECT_EQ(pane.PreferredWidth(measure, 0), 0);
    EXPECT_EQ(pane.PreferredHeight(measure, 0), 0);

    pane.SetBounds({0, 0, 40, 20});
    owner.invalids.clear();
    LImageH image = LoadImage();
    pane.SetImage(image);
    EXPECT_TRUE(owner.invalids.empty());  // not visible: just stored
    EXPECT_EQ(pane.PreferredWidth(measure, 0), 4);

    pane.ChangeState(LPane::kChainShow);
    LImageH other = LoadImage();
    owner.invalids.clear();
    pane.SetImage(other);
    ASSERT_EQ(owner.invalids.size(), 1u);
    EXPECT_TRUE(owner.invalids[0] == Rgn({0, 0, 40, 20}));
    pane.SetImage(other);
    EXPECT_EQ(owner.invalids.size(), 1u);  // the same image again: nothing

    // Centred at its own size: removing the image erases its old area.
    pane.SetPlacement(LImagePane::kCenter);
    owner.invalids.clear();
    owner.erases.clear();
    pane.SetImage(LImageH());
    ASSERT_EQ(owner.invalids.size(), 1u);
    EXPECT_TRUE(owner.invalids[0] == Rgn({18, 9, 22, 11}));
    EXPECT_TRUE(owner.erases[0] == Rgn({18, 9, 22, 11}));
}

TEST_F(ImagePaneFixture, TPNGResourcesLoadByNameAndId) {
    EXPECT_EQ(Resource("TWOCOLOUR").GetSize().width, 4);
    EXPECT_EQ(Resource(128).GetSize().height, 2);
    EXPECT_TRUE(Resource("MISSING").IsEmpty());
    EXPECT_TRUE(Resource(129).IsEmpty());
}

TEST_F(ImagePaneFixture, TPNGDrawsInEachPlacementMode) {
    struct Case {
        uint32_t mode;
        CLRect placement;
    } cases[] = {
        {LImagePane::kStretch, {0, 0, 40, 30}},
        {LImagePane::kCenter, {18, 14, 22, 16}},
        {LImagePane::kFit, {0, 5, 40, 25}},
    };
    for (const Case& c : cases) {
        LImagePane pane(&owner);
        pane.ChangeState(LPane::kChainShow);
        pane.SetBounds({0, 0, 40, 30});
        pane.SetPlacement(c.mode);
        pane.SetImage(Resource("TWOCOLOUR"));
        EXPECT_TRUE(pane.PlacementRect() == c.placement) << c.mode;

        plat::Ref<plat::DrawContext> native = plat::DrawContext::CreateImage(40, 30);
        LPanePort port(&pane);
        {
            LDrawContext ctx(port, native.get());
            pane.Draw(ctx);
        }
        const CLRect& r = c.placement;
        int midY = (r.top + r.bottom) / 2;
        EXPECT_EQ(native->PixelAt(r.left, midY), 0xFFFF0000u) << c.mode;
        EXPECT_EQ(native->PixelAt(r.right - 1, midY), 0xFF0000FFu) << c.mode;
        EXPECT_EQ(native->PixelAt(r.left, r.top - 1), 0u) << c.mode;  // nothing outside the placement
        if (r.left > 0) {
            EXPECT_EQ(native->PixelAt(r.left - 1, midY), 0u) << c.mode;
        }
        if (getenv("ORBILUME_PANE_PNG")) {
            EXPECT_TRUE(native->WritePNG(
                (std::string(getenv("ORBILUME_PANE_PNG")) + std::to_string(c.mode) + ".png").c_str()));
        }
        native = nullptr;
    }
}

TEST(LHLockScope, HoldsTheHandleForTheScope) {
    struct Handle {
        void Retain() { ++count; }
        void Release() { --count; }
        const uint8_t* Bytes() const { return bytes; }
        size_t Size() const { return 3; }
        int count = 1;
        uint8_t bytes[3] = {1, 2, 3};
    } h;
    {
        LHLockScope<Handle> lock(&h);
        EXPECT_EQ(h.count, 2);
        EXPECT_EQ(lock.Data(), h.bytes);
        EXPECT_EQ(lock.Size(), 3u);
    }
    EXPECT_EQ(h.count, 1);
    LHLockScope<Handle> empty(nullptr);
    EXPECT_EQ(empty.Data(), nullptr);
    EXPECT_EQ(empty.Size(), 0u);
}
