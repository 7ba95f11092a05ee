#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Fs/UFsPath.h"
#include "tests/support/SpecTempDir.h"

namespace {

LFsSpec At(const std::string& path) {
    return CMacFileU::LFsSpecFromPath(LString(path.c_str()));
}

TEST(UFsPathTest, MakeDocRelative) {
    const LFsSpec documents = At("/home/x/Documents");
    const LFsSpec home = At("/home/x");
    struct Case {
        const char* file;
        const char* document;
        const char* stored;
        bool resolvesBack = true;  // only the first base is tried for files that do not exist
    } cases[] = {
        {"/home/x/Show/media/m.mov", "/home/x/Show/a.obm", "media/m.mov"},  // document's folder
        {"/home/x/Show/m.mov", "/home/x/Show/a.obm", "m.mov"},
        {"/home/x/Documents/clips/m.mov", "/srv/shows/a.obm", "clips/m.mov", false},  // Documents
        {"/home/x/Documents2/m.mov", "/srv/shows/a.obm", "Documents2/m.mov", false},  // not Documents: home
        {"/home/x/Documents/m.mov", "/home/x/Documents/Show/a.obm", "m.mov",
         false},                                                     // outside the show's folder
        {"/home/xy/m.mov", "/srv/shows/a.obm", "/home/xy/m.mov"},    // "xy" is not "x"
        {"/mnt/disk/m.mov", "/srv/shows/a.obm", "/mnt/disk/m.mov"},  // elsewhere: absolute
        {"/home/x/Show/my clip%.mov", "/home/x/Show/a.obm", "my%20clip%25.mov"},
        {"/home/x/Show/m.mov", "", "Show/m.mov", false},  // untitled document
    };
    for (const Case& c : cases) {
        const LFsSpec document = *c.document ? At(c.document) : LFsSpec();
        const LString stored = UFsPath::MakeDocRelative(At(c.file), document, documents, home);
        EXPECT_STREQ(stored.CStr(), c.stored) << c.file;
        if (c.resolvesBack) {
            EXPECT_EQ(UFsPath::ResolveDocRelative(stored, document, documents, home), At(c.file)) << c.file;
        }
    }
    EXPECT_TRUE(UFsPath::MakeDocRelative(LFsSpec(), At("/a/b.obm"), documents, home).IsEmpty());
}

TEST(UFsPathTest, ResolveTakesTheFirstBaseThatHoldsTheFile) {
    testsupport::SpecTempDir dir;
    for (const char* sub : {"show", "docs", "home"}) ::mkdir(dir.File(sub).c_str(), 0700);
    dir.Write("show/a.obm", "");
    dir.Write("docs/only-in-docs.qtz", "");
    dir.Write("home/only-at-home.qtz", "");
    const LFsSpec document = At(dir.File("show/a.obm"));
    const LFsSpec documents = At(dir.File("docs"));
    const LFsSpec home = At(dir.File("home"));
    EXPECT_EQ(UFsPath::ResolveDocRelative(LString("only-in-docs.qtz"), document, documents, home),
              At(dir.File("docs/only-in-docs.qtz")));
    EXPECT_EQ(UFsPath::ResolveDocRelative(LString("only-at-home.qtz"), document, documents, home),
              At(dir.File("home/only-at-home.qtz")));
    // Nowhere: the document's folder is proposed.
    EXPECT_EQ(UFsPath::ResolveDocRelative(LString("missing.qtz"), document, documents, home),
              At(dir.File("show/missing.qtz")));
    EXPECT_EQ(UFsPath::ResolveDocRelative(LString("sub/../a.obm"), document, documents, home), document);
    EXPECT_TRUE(UFsPath::ResolveDocRelative(LString(), document, documents, home).IsEmpty());
}

TEST(UFsPathTest, ResolveSearchesTheDocumentFolderForAMovedFile) {
    testsupport::SpecTempDir dir;
    for (const char* sub : {"show", "show/media", "show/media/old clips", "show/.cache", "docs", "home"})
        ASSERT_EQ(::mkdir(dir.File(sub).c_str(), 0700), 0);
    dir.Write("show/a.obm", "");
    dir.Write("show/beside.mov", "");
    dir.Write("docs/in-docs.mov", "");
    dir.Write("home/at-home.mov", "");
    dir.Write("show/media/old clips/moved clip.mov", "");
    dir.Write("show/.cache/hidden.mov", "");
    ASSERT_EQ(::symlink(dir.File("show").c_str(), dir.File("show/media/loop").c_str()), 0);
    const LFsSpec document = At(dir.File("show/a.obm"));
    const LFsSpec documents = At(dir.File("docs"));
    const LFsSpec home = At(dir.File("home"));
    struct Case {
        std::string stored;
        bool found;
        int flag;
        std::string file;
    } cases[] = {
        {dir.File("docs/in-docs.mov"), true, 0, dir.File("docs/in-docs.mov")},  // absolute
        {"beside.mov", true, 0, dir.File("show/beside.mov")},
        {"in-docs.mov", true, 0, dir.File("docs/in-docs.mov")},
        {"at-home.mov", true, 0, dir.File("home/at-home.mov")},
        {"elsewhere/moved%20clip.mov", true, 1, dir.File("show/media/old clips/moved clip.mov")},
        {"hidden.mov", false, 0, dir.File("home/hidden.mov")},    // a hidden folder is not entered
        {"missing.mov", false, 0, dir.File("home/missing.mov")},  // the last candidate
    };
    for (const Case& c : cases) {
        LFsSpec out;
        int flag = 0;
        EXPECT_EQ(
            UFsPath::ResolveDocRelative(LString(c.stored.c_str()), document, documents, home, out, &flag),
            c.found)
            << c.stored;
        EXPECT_EQ(flag, c.flag) << c.stored;
        EXPECT_EQ(out, At(c.file)) << c.stored;
    }
    // Without the flag no search is made.
    LFsSpec out;
    EXPECT_FALSE(
        UFsPath::ResolveDocRelative(LString("moved%20clip.mov"), document, documents, home, out, nullptr));
}

}  // namespace
