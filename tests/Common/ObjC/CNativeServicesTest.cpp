#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/ObjC/CNativeServices.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Platform/AppKit/Theme.h"
#include "Platform/Foundation/URLOpener.h"

namespace {

struct Opened {
    std::vector<std::string> urls;
};

bool Record(const std::string& url, void* context) {
    static_cast<Opened*>(context)->urls.push_back(url);
    return true;
}

TEST(CNativeServicesTest, IndexedSpecsMapToThePlatformsColours) {
    const plat::theme::Palette& p = plat::theme::Colours();
    struct Case {
        LColorSpec spec;
        plat::GfxColor colour;
    };
    const Case cases[] = {
        {LColorSpec(), p.text},
        {LColorSpec::MakeIndexed(1), p.selectedText},
        {LColorSpec::MakeIndexed(2), p.disabledText},
        {LColorSpec::MakeIndexed(8), p.disabledText},
        {LColorSpec::MakeIndexed(3), {1, 1, 1, 1}},
        {LColorSpec::MakeIndexed(4), {0, 0, 0, 1}},
        {LColorSpec::MakeIndexed(5), {0.5, 0.5, 0.5, 1}},
        {LColorSpec::MakeIndexed(6), p.text},
        {LColorSpec::MakeIndexed(7), p.accentText},
        {LColorSpec::MakeIndexed(42), p.text},
        {LColorSpec::MakeRGB(LRGB(255, 0, 51)), {1, 0, 0.2, 1}},
    };
    for (const Case& c : cases) {
        const plat::GfxColor got = NativeColorForSpec(c.spec);
        EXPECT_DOUBLE_EQ(got.red, c.colour.red);
        EXPECT_DOUBLE_EQ(got.green, c.colour.green);
        EXPECT_DOUBLE_EQ(got.blue, c.colour.blue);
        EXPECT_DOUBLE_EQ(got.alpha, c.colour.alpha);
    }
    const LRGB sel = SelectionBackgroundRGB();
    EXPECT_EQ(sel.red, 181);
    EXPECT_EQ(sel.green, 214);
    EXPECT_EQ(sel.blue, 255);
}

TEST(CNativeServicesTest, RevealOpensTheFolderOpenOpensTheFile) {
    Opened opened;
    plat::SetURLOpenerFunction(&Record, &opened);
    EXPECT_TRUE(RevealFile(CMacFileU::LFsSpecFromPath("/tmp/a folder/file #1.txt")));
    EXPECT_TRUE(OpenFile(CMacFileU::LFsSpecFromPath("/tmp/a folder/file #1.txt")));
    EXPECT_TRUE(RevealFile(CMacFileU::LFsSpecFromPath("/top")));
    EXPECT_FALSE(OpenFile(LFsSpec()));
    plat::SetURLOpenerFunction(nullptr, nullptr);
    EXPECT_EQ(opened.urls, (std::vector<std::string>{"file:///tmp/a%20folder",
                                                     "file:///tmp/a%20folder/file%20%231.txt", "file:///"}));
}

}  // namespace
