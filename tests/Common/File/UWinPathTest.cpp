#include <gtest/gtest.h>

#include <string>

#include "Common/File/UWinPath.h"

namespace {

const unsigned char* U(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}
std::string S(const unsigned char* p) {
    return reinterpret_cast<const char*>(p);
}

TEST(UWinPathTest, SplitsNames) {
    EXPECT_EQ(S(UWinPath::FindPathName(U("C:\\\\dir\\file"))), "dir\\file");
    EXPECT_EQ(S(UWinPath::FindPathName(U("plain"))), "");
    EXPECT_EQ(S(UWinPath::FindLeafName(U("Disk:Folder::leaf.txt"))), "leaf.txt");
    EXPECT_EQ(S(UWinPath::FindLeafName(U("leaf"))), "leaf");
    EXPECT_EQ(S(UWinPath::FindLeafName(U("a/b"))), "a/b");  // "/" is not a separator here
}

TEST(UWinPathTest, Extensions) {
    struct Case {
        const char* name;
        const char* found;  // from FindExtension
        const char* ext;    // GetFileExtension
    } cases[] = {
        {"notes.TXT ", ".TXT ", "txt"},
        {"notes.txt", ".txt", "txt"},
        {"my.file v2", "", ""},
        {"arch.tar.gz", ".gz", "gz"},
        {"dir.d\\file", "", ""},
        {"noext", "", ""},
        {"caf\xC3\xA9.\xC3\x89T\xC3\x89", ".\xC3\x89T\xC3\x89", "\xC3\x89t\xC3\x89"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(S(UWinPath::FindExtension(U(c.name))), c.found) << c.name;
        EXPECT_EQ(UWinPath::GetFileExtension(U(c.name)), c.ext) << c.name;
    }
    EXPECT_EQ(UWinPath::ChangeExtension(U("show.txt"), U("md")), "show.md");
    EXPECT_EQ(UWinPath::ChangeExtension(U("show.txt"), U("")), "show");
    EXPECT_EQ(UWinPath::ChangeExtension(U("show"), U("obm")), "show.obm");
}

}  // namespace
