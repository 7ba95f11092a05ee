#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Mac/CProcessInfo.h"
#include "Lib3/LSources/Mac/UBundleItems.h"
#include "Platform/Foundation/Bundle.h"
#include "tests/support/SpecTempDir.h"

namespace {

TEST(UBundleItemsTest, ItemsAndVersionOfTheBundle) {
    testsupport::SpecTempDir bundle;
    mkdir(bundle.File("Resources").c_str(), 0755);
    bundle.Write("Resources/Info.plist",
                 "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                 "<key>CFBundleVersion</key><string>1.2.3</string>"
                 "<key>CFBundleSignature</key><string>ORBL</string>"
                 "</dict></plist>");
    plat::SetMainBundlePathForTesting(bundle.Path());

    EXPECT_EQ(UBundleItems::BundleFolder(), bundle.Spec());
    EXPECT_EQ(UBundleItems::SharedSupportItem(reinterpret_cast<const unsigned char*>("editor")),
              LFsDescendS(bundle.Child("SharedSupport"), "editor").Spec());
    EXPECT_EQ(UBundleItems::PlugInItem(reinterpret_cast<const unsigned char*>("privatepatch")),
              LFsDescendS(bundle.Child("PlugIns"), "privatepatch").Spec());
    UBundleItems::Version v = UBundleItems::BundleVersion(bundle.Spec());
    EXPECT_EQ(v.status, 0u);
    EXPECT_EQ(v.text, "1.2.3");
    EXPECT_EQ(UBundleItems::BundleVersion(bundle.Child("Resources")).status, 1u);

    CProcessInfo info;
    EXPECT_EQ(info.Bundle(), bundle.Spec());
    EXPECT_EQ(info.Signature(), 0x4F52424Cu);
    EXPECT_EQ(info.Application().name(), "test_Lib3_Mac");
    EXPECT_EQ(info.ResFileNode(), UINT64_MAX);

    plat::SetMainBundlePathForTesting("");
    EXPECT_EQ(CProcessInfo().Signature(), 0x3F3F3F3Fu);  // '????' without a signature
}

TEST(UBundleItemsTest, BuiltBundleCarriesItsVersion) {
    plat::SetMainBundlePathForTesting(ORBILUME_BUNDLE_DIR);
    UBundleItems::Version v = UBundleItems::BundleVersion(UBundleItems::BundleFolder());
    plat::SetMainBundlePathForTesting("");
    EXPECT_EQ(v.status, 0u);
    EXPECT_EQ(v.text, ORBILUME_VERSION);
}

}  // namespace
