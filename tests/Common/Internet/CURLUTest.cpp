#include <gtest/gtest.h>

#include "Common/Internet/CURLU.h"
#include "Lib3/LSources/CoreString/LVariStr.h"

namespace {

const unsigned char* U(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

TEST(CURLUTest, EncodesSegments) {
    EXPECT_EQ(CURLU::Encode(U("a b/c")), "a%20b%2Fc");
    EXPECT_EQ(CURLU::Encode(U(".")), "%2E");
    EXPECT_EQ(CURLU::Encode(U("..")), "%2E%2E");
    EXPECT_EQ(CURLU::Encode(U("...")), "...");
    EXPECT_EQ(CURLU::Encode(U("\xC3\xA9")), "%C3%A9");
    EXPECT_EQ(CURLU::Encode(U("!$'()*+,-._~:;=@&%#?")), "!$'()*+,-._%7E%3A%3B%3D%40%26%25%23%3F");
}

TEST(CURLUTest, WalksPaths) {
    LVariStr<64> path;
    CURLU::Descend(path, U("a b"));
    CURLU::Descend(path, U(""));
    CURLU::Descend(path, U("c/d"));
    EXPECT_STREQ(path.CStr(), "/a%20b/c%2Fd");

    const unsigned char* p = U("//a%20b/c%2Fd/%zz%4/");
    EXPECT_EQ(CURLU::Dig(p), "a b");
    EXPECT_EQ(CURLU::Dig(p), "c/d");
    EXPECT_EQ(CURLU::Dig(p), "%zz%4");
    EXPECT_EQ(CURLU::Dig(p), "");

    struct Case {
        const char* path;
        const char* parent;
        const char* leaf;
    } cases[] = {
        {"a/b/", "a/", "b"}, {"/a/b%20c", "/a/", "b c"}, {"leaf", "", "leaf"}, {"/", "", ""}, {"", "", ""},
    };
    for (const Case& c : cases) {
        LString leaf;
        EXPECT_EQ(CURLU::Ascend(U(c.path), leaf), c.parent) << c.path;
        EXPECT_EQ(leaf, c.leaf) << c.path;
    }
    EXPECT_EQ(CURLU::GetLeafDecoded(U("file:///Root/x/My%20File.txt?q")), "My File.txt");
}

TEST(CURLUTest, RelativePaths) {
    struct Case {
        const char* target;
        const char* base;
        const char* result;
    } cases[] = {
        {"/a/c/d", "/a/b", "../c/d"},
        {"/a/b/c", "/a/b", "c"},
        {"/a/b", "/a/b", ""},
        {"/a", "/a/b/c", "../../"},
        {"/x/y%20z/w", "/a/b", "../../x/y%20z/w"},
        {"/a/b c/d", "/a", "b%20c/d"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CURLU::GetRelativePath(U(c.target), U(c.base)), c.result) << c.target;
}

TEST(CURLUTest, Addresses) {
    EXPECT_EQ(CURLU::AddrToStr(0x7F000001), "127.0.0.1");
    EXPECT_EQ(CURLU::HostPortToStr(0x7F000001, 0), "127.0.0.1");
    EXPECT_EQ(CURLU::HostPortToStr(0x7F000001, 8080), "127.0.0.1:8080");
    EXPECT_EQ(CURLU::StrToAddr(U("127.0.0.1")), 0x7F000001u);
    EXPECT_EQ(CURLU::StrToAddr(U("10.1")), 0x0A000001u);  // inet_aton forms
    EXPECT_EQ(CURLU::StrToAddr(U("localhost")), 0u);
    EXPECT_EQ(CURLU::StrToAddr(nullptr), 0u);
}

}  // namespace
