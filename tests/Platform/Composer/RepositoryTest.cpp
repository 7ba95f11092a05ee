#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Platform/Composer/Composition.h"
#include "Platform/Composer/Repository.h"
#include "tests/support/TempDir.h"

namespace {

std::string Fixture(const std::string& name) {
    return std::string(COMPOSER_FIXTURES) + "/" + name;
}

std::vector<std::string> Identifiers(const plat::Repository& r) {
    std::vector<std::string> ids;
    for (const plat::Ref<plat::Composition>& c : r.AllCompositions()) ids.push_back(c->Identifier());
    return ids;
}

TEST(RepositoryTest, ListsAndFindsCompositionsOfAFolder) {
    plat::Repository xml({Fixture("xml")});
    plat::Repository bin({Fixture("binary")});
    // broken.qtz and readme.txt are passed over.
    EXPECT_EQ(Identifiers(xml), (std::vector<std::string>{"/animation", "/filter"}));
    EXPECT_EQ(Identifiers(bin), Identifiers(xml));
    plat::Composition* f = xml.FindComposition("/filter");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Name(), "Invert");
    EXPECT_EQ(f->Path(), Fixture("xml/filter.qtz"));
    plat::Composition* g = bin.FindComposition("/filter");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->Identifier(), f->Identifier());
    EXPECT_EQ(g->Attributes(), f->Attributes());
    EXPECT_EQ(xml.FindComposition("filter"), nullptr);
    EXPECT_EQ(xml.FindComposition("/broken"), nullptr);
}

TEST(RepositoryTest, EmptyAndMissingFoldersAreNoError) {
    testsupport::TempDir empty;
    plat::Repository r({empty.Path(), empty.File("missing"), Fixture("xml/filter.qtz")});
    EXPECT_TRUE(r.AllCompositions().empty());
    EXPECT_EQ(r.FindComposition("/filter"), nullptr);
    plat::Repository none({});
    EXPECT_TRUE(none.AllCompositions().empty());
}

TEST(RepositoryTest, EarlierFoldersWinAndCompositionsOutliveTheRepository) {
    testsupport::TempDir user;
    // A user composition named like a system one, and one of its own.
    const std::string filter = Fixture("xml/filter.qtz");
    const std::string cmd = "sed 's/Invert/Mine/' " + filter + " > " + user.File("filter.qtz") +
                            " && sed 's/Invert/Extra/' " + filter + " > " + user.File("extra.qtz");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    plat::Ref<plat::Composition> kept;
    {
        plat::Repository r({Fixture("xml"), user.Path()});
        EXPECT_EQ(Identifiers(r), (std::vector<std::string>{"/animation", "/filter", "/extra"}));
        EXPECT_EQ(r.FindComposition("/filter")->Name(), "Invert");
        kept = plat::RetainRef(r.FindComposition("/extra"));
        ASSERT_NE(kept, nullptr);
    }
    EXPECT_EQ(kept->Name(), "Extra");
}

TEST(RepositoryTest, DefaultFoldersFollowTheEnvironment) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    std::string keep = saved ? saved : "";
    setenv("XDG_DATA_HOME", "/data/home", 1);
    std::vector<std::string> folders = plat::Repository::DefaultFolders();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0].substr(folders[0].size() - 25), "/SharedSupport/repository");
    EXPECT_EQ(folders[1], "/data/home/orbilume/compositions");
    if (saved)
        setenv("XDG_DATA_HOME", keep.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

}  // namespace
