#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "Lib3/LSources/CoreData/LRsrcData.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/PNGDecoder.h"
#include "Platform/Resources/ResourceFile.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

namespace {

// The chain of the application: the system file (0) first added, the application's file last, so
// the application's resources are found first.
class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plat::OpenSystemResFile(ORBILUME_TEST_SYSTEM_RESOURCES));
        appRef = plat::OpenResFile(ORBILUME_TEST_APP_RESOURCES);
        ASSERT_GT(appRef, 0);
        system = std::make_unique<ResourceFileProvider>(plat::kSystemResFile);
        app = std::make_unique<ResourceFileProvider>(appRef);
        chain.Add(system.get());
        chain.Add(app.get());
        chain.Add(nullptr);
        ResourceProviderChain::SetGlobal(&chain);
    }
    void TearDown() override {
        ResourceProviderChain::SetGlobal(nullptr);
        plat::CloseResFile(appRef);
        plat::CloseResFile(plat::kSystemResFile);
    }

    plat::ResFileRef appRef = plat::kNoResFile;
    std::unique_ptr<ResourceFileProvider> system;
    std::unique_ptr<ResourceFileProvider> app;
    ResourceProviderChain chain;
};

TEST_F(ResourceTest, CompiledStringListsReadBack) {
    LStrListRsrc list("LIST");
    ASSERT_TRUE(list.IsLoaded());
    const char* expected[] = {"zero",       "one with \\ backslash",
                              "two\nlines", "",
                              "four\ttab",  "%% five starts with two percent signs",
                              "six ünïcode"};
    ASSERT_EQ(list.Count(), 7u);
    for (uint32_t i : {5u, 2u, 3u, 6u, 0u, 1u, 4u}) EXPECT_STREQ(list.GetString(i).CStr(), expected[i]) << i;
    EXPECT_STREQ(list.GetString(7).CStr(), "");

    LStrListRsrc byId(200);  // the id the source file gave it
    EXPECT_EQ(byId.Count(), 7u);

    LStrListRsrcH empty(SRsrcRequest("EMPTY"));
    EXPECT_EQ(empty.Count(), 0u);
    EXPECT_STREQ(empty.GetString(0).CStr(), "");

    // A named request looks only by name, even with an id set.
    SRsrcRequest named("NOSUCH");
    named.id = 200;
    LStrListRsrcH missing(named);
    EXPECT_EQ(missing.Count(), 0u);
    EXPECT_STREQ(missing.GetString(0).CStr(), "");
    EXPECT_EQ(LStrListRsrcH().Count(), 0u);
}

TEST_F(ResourceTest, ChainSearchesTheApplicationFileFirst) {
    EXPECT_STREQ(LStrListRsrcH(SRsrcRequest("SHARED")).GetString(0).CStr(), "app");
    EXPECT_STREQ(LStrListRsrcH(SRsrcRequest("SYSONLY")).GetString(0).CStr(), "only in the system file");
    EXPECT_EQ(chain.Language(), ResourceProvider::kLanguageUS);
    // The provider restores the current file after each lookup.
    plat::UseResFile(plat::kSystemResFile);
    LStrListRsrc list("LIST");
    EXPECT_EQ(plat::CurResFile(), plat::kSystemResFile);
    // Asking one provider directly.
    EXPECT_STREQ(LStrListRsrcH(SRsrcRequest("SHARED"), system.get()).GetString(0).CStr(), "system");
}

TEST_F(ResourceTest, PngResourceDecodesToItsSize) {
    LRsrcData png(LRsrcData::kTypePng, "SWATCH");
    ASSERT_TRUE(png.IsLoaded());
    plat::Ref<plat::BitmapImage> image = plat::PNGDecoder::Decode(png.Bytes(), png.Size());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Width(), 5);
    EXPECT_EQ(image->Height(), 3);
    EXPECT_EQ((image->PixelAt(2, 1) >> 16) & 0xFF, 80u);  // x 2, y 1: red is 40 * x
    EXPECT_EQ((image->PixelAt(2, 1) >> 8) & 0xFF, 80u);
    image = nullptr;

    EXPECT_EQ(plat::PNGDecoder::Decode(png.Bytes(), png.Size() / 2), nullptr);
    LRsrcData none(LRsrcData::kTypePng, "NOSUCH");
    EXPECT_FALSE(none.IsLoaded());
}

TEST(ResourceFile, MalformedFilesAreRefused) {
    const std::vector<uint8_t> good = plat::BuildResourceFile({{Fcc("CST#"), 128, "A", {0, 1, 'x', 0}}});
    std::vector<plat::ResourceEntry> entries;
    ASSERT_TRUE(plat::ParseResourceFile(good.data(), good.size(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "A");
    for (size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(plat::ParseResourceFile(good.data(), cut, entries)) << cut;
    std::vector<uint8_t> bad = good;
    bad[8 + 3] = 200;  // more entries than the table holds
    EXPECT_FALSE(plat::ParseResourceFile(bad.data(), bad.size(), entries));
    bad = good;
    bad[12 + 16] = 0x7F;  // data offset far outside
    EXPECT_FALSE(plat::ParseResourceFile(bad.data(), bad.size(), entries));
    EXPECT_EQ(plat::OpenResFile("/nonexistent/file.rsrc"), plat::kNoResFile);
}

TEST(ResourceFile, ShortListsReadEmptyPastTheirStrings) {
    // The count claims five strings, the data holds two (the second without its 0 byte).
    const std::vector<uint8_t> image =
        plat::BuildResourceFile({{LStrListRsrc::kType, 128, "SHORT", {0, 5, 'a', 0, 'b', 'c'}}});
    testsupport::TempDir dir;
    dir.Write("short.rsrc", std::string(image.begin(), image.end()));
    const plat::ResFileRef ref = plat::OpenResFile(dir.File("short.rsrc"));
    ASSERT_GT(ref, 0);
    ResourceFileProvider provider(ref);
    LStrListRsrc list("SHORT", &provider);
    EXPECT_EQ(list.Count(), 5u);
    EXPECT_STREQ(list.GetString(1).CStr(), "bc");
    EXPECT_STREQ(list.GetString(4).CStr(), "");
    EXPECT_STREQ(list.GetString(0).CStr(), "a");
    plat::CloseResFile(ref);
}

TEST(ResourceFile, ApplicationFileIsFoundInTheBundle) {
    const std::string file = ORBILUME_RESOURCE_FILE;
    const std::string bundle = file.substr(0, file.rfind("/Resources/"));
    plat::SetMainBundlePathForTesting(bundle);
    const int32_t ref = ResourceFileProvider::OpenApplicationFile();
    plat::SetMainBundlePathForTesting("");
    ASSERT_GT(ref, 0);
    ResourceFileProvider provider(ref);
    EXPECT_STREQ(LStrListRsrcH(SRsrcRequest("CUNDOQ"), &provider).GetString(2).CStr(), "Undo %0");
    plat::CloseResFile(ref);
}

TEST(ResourceCompiler, BadSourcesFailTheBuildStep) {
    testsupport::TempDir dir;
    ASSERT_EQ(mkdir(dir.File("Strings").c_str(), 0700), 0);
    dir.Write("Strings/BAD.cst", "bad \\q escape\n");
    const std::string out =
        testsupport::CommandOutput("python3 " ORBILUME_RESOURCE_COMPILER " --out " + dir.File("out.rsrc") +
                                   " " + dir.Path() + " 2>&1; echo $?");
    EXPECT_NE(out.find("BAD.cst:1: unknown escape"), std::string::npos) << out;
    EXPECT_EQ(out.substr(out.size() - 2), "1\n");
}

}  // namespace
