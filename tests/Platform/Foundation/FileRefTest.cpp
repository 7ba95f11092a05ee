#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Platform/Foundation/FileRef.h"
#include "tests/support/TempDir.h"

namespace {

TEST(FileRefTest, RefersToTheItemNotItsLinkTarget) {
    testsupport::TempDir dir;
    dir.Write("a.txt", "x");
    ASSERT_EQ(symlink(dir.File("a.txt").c_str(), dir.File("link").c_str()), 0);
    mkdir(dir.File("sub").c_str(), 0700);

    plat::FileRef file = plat::FileRefFromPath(dir.File("a.txt"));
    plat::FileRef link = plat::FileRefFromPath(dir.File("link"));
    ASSERT_TRUE(file.IsValid());
    ASSERT_TRUE(link.IsValid());
    EXPECT_NE(link.node, file.node);
    EXPECT_FALSE(file.folder);
    EXPECT_TRUE(plat::FileRefFromPath(dir.File("sub")).folder);
    EXPECT_EQ(plat::PathOfFileRef(file), dir.File("a.txt"));

    plat::FileRef missing = plat::FileRefFromPath(dir.File("none"));
    EXPECT_FALSE(missing.IsValid());
    EXPECT_EQ(missing.device, 0u);
    EXPECT_TRUE(missing.path.empty());
    EXPECT_FALSE(plat::FileRefFromPath("relative").IsValid());

    // Another item now at the path is not the referred one.
    ASSERT_EQ(std::rename(dir.File("a.txt").c_str(), dir.File("b.txt").c_str()), 0);
    dir.Write("a.txt", "y");
    EXPECT_EQ(plat::PathOfFileRef(file), "");
}

TEST(FileRefTest, FileURLs) {
    struct Case {
        const char* path;
        bool folder;
        const char* url;
    };
    const Case cases[] = {
        {"/", false, "file:///"},
        {"/tmp/a b/c%d.txt", false, "file:///tmp/a%20b/c%25d.txt"},
        {"/x/y", true, "file:///x/y/"},
        {"/q?#[]", false, "file:///q%3F%23%5B%5D"},
        {"/caf\xC3\xA9:@+", false, "file:///caf%C3%A9:@+"},
    };
    for (const Case& c : cases) {
        plat::URL url = plat::URL::FileURLWithPath(c.path, c.folder);
        EXPECT_EQ(url.String(), c.url) << c.path;
        EXPECT_TRUE(url.IsFileURL());
        EXPECT_EQ(url.Path(), c.path) << c.path;
    }
    EXPECT_TRUE(plat::URL::FileURLWithPath("relative").IsEmpty());
    EXPECT_EQ(plat::URL("FILE://localhost/a%2Fb?q#f").Path(), "/a/b");
    EXPECT_EQ(plat::URL("file:///a//").Path(), "/a");
    EXPECT_EQ(plat::URL("file://host/a").Path(), "");
    EXPECT_EQ(plat::URL("file:///a%00b").Path(), "");
    EXPECT_EQ(plat::URL(std::string("file:///a\0b", 11)).Path(), "");
    EXPECT_EQ(plat::URL("file:///a%2").Path(), "");
    EXPECT_EQ(plat::URL("file:///a%zz").Path(), "");
    EXPECT_EQ(plat::URL("http://127.0.0.1/a").Path(), "");
}

}  // namespace
