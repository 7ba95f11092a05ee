#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CDocPathHolder.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

namespace {

LFsSpec At(const std::string& path) {
    return CMacFileU::LFsSpecFromPath(LString(path.c_str()));
}

TEST(DocPathHolder, NamesAndLocations) {
    testsupport::TempDir home;
    testsupport::EnvOverride homeEnv("HOME", home.Path().c_str());
    testsupport::EnvOverride configEnv("XDG_CONFIG_HOME", home.Path().c_str());
    home.Write("user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    LFsSpec remembered;
    CDocPathHolder holder(LString("untitled.obm"), &remembered);
    EXPECT_STREQ(holder.DisplayName().CStr(), "untitled.obm");
    // Nothing remembered: Documents with the default name, which is then remembered.
    EXPECT_EQ(holder.DefaultLocation(), At(home.Path() + "/Docs/untitled.obm"));
    EXPECT_EQ(remembered, At(home.Path() + "/Docs/untitled.obm"));
    EXPECT_EQ(holder.SavePath(), At(home.Path() + "/Docs/untitled.obm"));

    remembered = At("/srv/shows/last.obm");
    EXPECT_EQ(holder.SavePath(), At("/srv/shows/untitled.obm"));

    holder.SetPath(At("/srv/other/gig.obm"));
    EXPECT_STREQ(holder.DisplayName().CStr(), "gig.obm");
    EXPECT_EQ(holder.SavePath(), At("/srv/other/gig.obm"));
    EXPECT_EQ(remembered, At("/srv/other/gig.obm"));
    holder.SetPath(LFsSpec());  // no name: nothing remembered
    EXPECT_EQ(remembered, At("/srv/other/gig.obm"));
    EXPECT_STREQ(holder.DisplayName().CStr(), "untitled.obm");
}

}  // namespace
