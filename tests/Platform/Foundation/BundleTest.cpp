#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Platform/Foundation/Bundle.h"
#include "tests/support/TempDir.h"

namespace {

TEST(BundleTest, FoundFromTheExecutable) {
    std::string exe = plat::MainExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.substr(exe.find_last_of('/') + 1), "test_Platform_Foundation");
    // Tests do not run from a bin folder, so the bundle is the executable's folder.
    EXPECT_EQ(plat::MainBundlePath(), exe.substr(0, exe.find_last_of('/')));
}

TEST(BundleTest, ReadsInformationValues) {
    testsupport::TempDir dir;
    mkdir(dir.File("Resources").c_str(), 0755);
    dir.Write("Resources/Info.plist",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<plist version=\"1.0\"><dict>\n"
              "<key>CFBundleVersion</key><string>2.4.1</string>\n"
              "<key>Count</key><integer>3</integer>\n"
              "</dict></plist>\n");
    plat::SetMainBundlePathForTesting(dir.Path());
    EXPECT_EQ(plat::MainBundlePath(), dir.Path());
    EXPECT_EQ(plat::BundleInfoValue(plat::MainBundlePath(), plat::kBundleVersionKey), "2.4.1");
    EXPECT_EQ(plat::BundleInfoValue(dir.Path(), "Count"), "");  // not a string
    EXPECT_EQ(plat::BundleInfoValue(dir.Path(), "Missing"), "");
    EXPECT_EQ(plat::BundlePlugInsPath(dir.Path()), dir.Path() + "/PlugIns");
    plat::SetMainBundlePathForTesting("");

    dir.Write("Resources/Info.plist", "not a property list");
    EXPECT_EQ(plat::BundleInfoValue(dir.Path(), plat::kBundleVersionKey), "");
}

}  // namespace
