#include <gtest/gtest.h>

#include "Lib3/LSources/Fs/LFsOpS.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

namespace {

LFsSpec Spec(const char* text) {
    return LFsSpec(LString(text));
}
const unsigned char* U(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

TEST(LFsSpecTest, TextNameAndEquality) {
    LFsSpec a = Spec("file:///Root/home/My%20Notes.txt");
    LFsSpec b = a;
    EXPECT_TRUE(a.IsSame(b));
    EXPECT_TRUE(a == Spec("file:///Root/home/My%20Notes.txt"));
    EXPECT_FALSE(a == Spec("file:///Root/home/my%20notes.txt"));
    EXPECT_EQ(a.name(), "My Notes.txt");
    EXPECT_EQ(Spec("file:///Root/home/").name(), "home");
    EXPECT_TRUE(LFsSpec().IsEmpty());
    EXPECT_TRUE(LFsSpec::samename(U("Notes.TXT"), U("notes.txt")));
    EXPECT_EQ(a.GetText(), "file:///Root/home/My%20Notes.txt");
}

TEST(LFsSpecTest, SetNameAndSuffix) {
    struct Case {
        const char* spec;
        const char* name;
        const char* result;
    } names[] = {
        {"file:///Root/a/b.txt", "c d.txt", "file:///Root/a/c%20d.txt"},
        {"file:///Root/a/", "c", "file:///Root/a/c"},
        {"file:///Root/a/b", "..", "file:///Root/a/%2E%2E"},
        {"file:///Root/a/b", "x/y", "file:///Root/a/x%2Fy"},
    };
    for (const Case& c : names) {
        LFsSpec s = Spec(c.spec);
        s.SetName(c.name);
        EXPECT_EQ(s.GetText(), c.result) << c.spec << " " << c.name;
    }
    LFsSpec empty;
    empty.SetName("");
    EXPECT_TRUE(empty.IsEmpty());

    struct SuffixCase {
        const char* spec;
        int n;
        const char* result;
    } suffixes[] = {
        {"file:///Root/a/notes.txt", 2, "file:///Root/a/notes2.txt"},
        {"file:///Root/a/notes", 3, "file:///Root/a/notes3"},
        {"file:///Root/a/arch.tar.gz", 4, "file:///Root/a/arch.tar4.gz"},
        {"file:///Root/a/my%20file.v%201", 5, "file:///Root/a/my%20file.v%2015"},  // "v 1" is no extension
    };
    for (const SuffixCase& c : suffixes) {
        LFsSpec s = Spec(c.spec);
        s.Suffix(c.n);
        EXPECT_EQ(s.GetText(), c.result) << c.spec;
    }
}

TEST(LFsSpecTest, FolderAndChildSpecs) {
    LFsPathSpecS folder(U("file:///Root/a/b.txt"));
    EXPECT_EQ(folder.Status(), 0u);
    EXPECT_EQ(folder.Spec().GetText(), "file:///Root/a");
    EXPECT_EQ(LFsPathSpecS(U("file:///Root/a/")).Spec().GetText(), "file:///Root/a");
    EXPECT_EQ(LFsPathSpecS(U("file:///Root")).Status(), 1u);
    EXPECT_TRUE(LFsPathSpecS(U("file:///Root")).Spec().IsEmpty());

    EXPECT_EQ(LFsDescendS(Spec("file:///Root/a"), "b c").Spec().GetText(), "file:///Root/a/b%20c");
    EXPECT_EQ(LFsDescendS(Spec("file:///Root/a/"), "%").Spec().GetText(), "file:///Root/a/%25");
    EXPECT_EQ(LFsDescendS(Spec("file:///Root/a"), "").Spec().GetText(), "file:///Root/a");
}

}  // namespace
