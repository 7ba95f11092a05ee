#include <gtest/gtest.h>

#include "Common/Internet/CURL.h"

namespace {

TEST(CURLTest, ParsesSixParts) {
    struct Case {
        const char* text;
        const char* scheme;
        const char* authority;
        const char* path;
        const char* params;
        const char* query;
        const char* fragment;
    } cases[] = {
        {"http://host:8080/a/b;p=1?q=2#frag", "http", "host:8080", "/a/b", "p=1", "q=2", "frag"},
        {"a;b?c;d", "", "", "a", "b", "c;d", ""},
        {"c:file", "c", "", "file", "", "", ""},
        {":x/y", "", "", ":x/y", "", "", ""},
        {"file:///Root/a%20b", "file", "", "/Root/a%20b", "", "", ""},
        {"//auth", "", "auth", "", "", "", ""},
        {"x#a#b", "", "", "x", "", "", "a#b"},
        {"", "", "", "", "", "", ""},
    };
    for (const Case& c : cases) {
        CURL u(c.text);
        EXPECT_EQ(u.Scheme(), c.scheme) << c.text;
        EXPECT_EQ(u.Authority(), c.authority) << c.text;
        EXPECT_EQ(u.Path(), c.path) << c.text;
        EXPECT_EQ(u.Params(), c.params) << c.text;
        EXPECT_EQ(u.Query(), c.query) << c.text;
        EXPECT_EQ(u.Fragment(), c.fragment) << c.text;
    }
    EXPECT_TRUE(CURL(static_cast<const unsigned char*>(nullptr)).empty());
    EXPECT_TRUE(CURL("HTTP://x").isscheme("http"));
}

TEST(CURLTest, WritesText) {
    EXPECT_EQ(CURL("http://host:8080/a/b;p=1?q=2#frag").GetString(), "http://host:8080/a/b;p=1?q=2#frag");
    EXPECT_EQ(CURL("http://host").GetString(), "http://host/");
    EXPECT_EQ(CURL("a/b").GetString(), "///a/b");
    EXPECT_EQ(CURL("file:///Root/x").GetString(), "file:///Root/x");
}

TEST(CURLTest, ResolvesReferences) {
    struct Case {
        const char* ref;
        const char* base;
        bool folder;
        const char* result;
    } cases[] = {
        {"../x", "http://h/a/b/c", false, "http://h/a/x"},
        {"../x", "http://h/a/b/c", true, "http://h/a/b/x"},
        {".", "http://h/a/b/", false, "http://h/a/b"},
        {"?q=new", "http://h/p;x?q=old", false, "http://h/p;x?q=new"},
        {"#f", "http://h/p?q", false, "http://h/p?q#f"},
        {"../../../../x", "http://h/a/b", false, "http://h/x"},
        {"%2E%2E/x", "http://h/a/b", false, "http://h/a/%2E%2E/x"},
        {"/abs/./y", "http://h/a/b", false, "http://h/abs/./y"},
        {"//other/p", "http://h/a", false, "http://other/p"},
        {"ftp:z", "http://h/a", false, "ftp:///z"},
        {"y", "", false, "///y"},
        {"", "http://h/a?q#f", false, "http://h/a?q#f"},
        {"c/d/", "file:///Root/a/b", false, "file:///Root/a/c/d"},
    };
    for (const Case& c : cases) {
        CURL u(c.ref);
        u.Inherit(CURL(c.base), c.folder);
        EXPECT_EQ(u.GetString(), c.result) << c.ref << " against " << c.base;
    }
}

}  // namespace
