// The panel's text helpers, password store, access list, path resolution and generated pages,
// without sockets.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Orbilume/CSources/Http/FormHtml.h"
#include "Orbilume/CSources/Http/FormPassword.h"
#include "Orbilume/CSources/Http/FormServer.h"
#include "Platform/Foundation/URLOpener.h"
#include "tests/Orbilume/CSources/Http/FormTestDocuments.h"
#include "tests/support/TempDir.h"

namespace {

TEST(FormHtmlTest, EscapingAndPercentEncoding) {
    struct Case {
        const char* in;
        const char* escaped;
        const char* encoded;
    };
    const Case cases[] = {
        {"<b>", "&lt;b&gt;", "%3Cb%3E"},
        {"a b", "a&#32;b", "a%20b"},
        {"\"q\" & 'a'", "&quot;q&quot;&#32;&amp;&#32;&#39;a&#39;", "%22q%22%20%26%20%27a%27"},
        {"x\ty\n", "x&#9;y&#10;", "x%09y%0A"},
        {"/a.b_c~-", "/a.b_c~-", "/a.b_c~-"},
        {"\xC3\xA9=&", "\xC3\xA9=&amp;", "%C3%A9%3D%26"},
    };
    for (const Case& c : cases) {
        std::string e, p;
        formhtml::AppendEscaped(e, c.in);
        formhtml::AppendPercentEncoded(p, c.in);
        EXPECT_EQ(e, c.escaped) << c.in;
        EXPECT_EQ(p, c.encoded) << c.in;
    }
    std::string out;
    formhtml::AppendFilled(out, "<a x=\"%0\">%1</a>%2 100%% %9", {"\"><script>", "<b>"});
    EXPECT_EQ(out, "<a x=\"&quot;&gt;&lt;script&gt;\">&lt;b&gt;</a> 100% ");
}

TEST(FormPasswordTest, StoredValuesAreSaltedHashes) {
    const std::string a = FormPassword::Store("ab12");
    const std::string b = FormPassword::Store("ab12");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(a.find("ab12"), std::string::npos);
    EXPECT_EQ(FormPassword::Verify(a, "ab12"), FormPassword::kMatch);
    EXPECT_EQ(FormPassword::Verify(b, "ab12"), FormPassword::kMatch);
    EXPECT_EQ(FormPassword::Verify(a, "ab13"), FormPassword::kMismatch);
    EXPECT_EQ(FormPassword::Verify(a, std::string("ab12\0", 5)), FormPassword::kMismatch);
    // Short passwords are hashed too; the empty one is none, and a 3-byte stored value means none.
    EXPECT_EQ(FormPassword::Verify(FormPassword::Store("ab"), "ab"), FormPassword::kMatch);
    EXPECT_EQ(FormPassword::Store(""), "");
    EXPECT_EQ(FormPassword::Verify("xyz", "anything"), FormPassword::kNoPassword);
    EXPECT_EQ(FormPassword::Verify("", ""), FormPassword::kNoPassword);
    // A value that is no hash (such as an old scrambled one) opens nothing.
    for (const char* bad : {"scrambled-bytes", "$argon2id$v=19$m=1,t=1,p=1$x$y", "ab12"})
        EXPECT_EQ(FormPassword::Verify(bad, bad), FormPassword::kMismatch) << bad;
}

TEST(FormAccessTest, AuthorisedAddressesAndGuessing) {
    FormAccess access;
    // No password: everyone passes, nobody is remembered.
    EXPECT_TRUE(access.Check(1, false, "", 0));
    EXPECT_EQ(access.AuthorisedCount(), 0u);

    access.SetStored(FormPassword::Store("ab12"));
    EXPECT_FALSE(access.Check(1, false, "", 0));
    EXPECT_EQ(access.Verifications(), 0u);  // no credentials, nothing hashed
    EXPECT_TRUE(access.Check(1, true, "ab12", 0));
    EXPECT_TRUE(access.Check(1, false, "", 10));  // remembered
    EXPECT_EQ(access.Verifications(), 1u);

    // Five wrong passwords within a minute lock the address out for 30 s, unchecked.
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(access.Check(2, true, "nope", 1000 + uint32_t(i)));
    const uint32_t checked = access.Verifications();
    EXPECT_FALSE(access.Check(2, true, "ab12", 2000));
    EXPECT_FALSE(access.Check(2, true, "ab12", 1004 + 29999));
    EXPECT_EQ(access.Verifications(), checked);
    EXPECT_TRUE(access.Check(2, true, "ab12", 1004 + 30000));
    // Guesses spread wider than the window do not lock.
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(access.Check(3, true, "nope", uint32_t(i) * 20000));
    EXPECT_TRUE(access.Check(3, true, "ab12", 8 * 20000));

    // At most 256 addresses, the oldest dropped.
    for (uint32_t a = 100; a < 100 + 260; ++a) ASSERT_TRUE(access.Check(a, true, "ab12", 200000));
    EXPECT_EQ(access.AuthorisedCount(), FormAccess::kMaxAuthorised);
    EXPECT_FALSE(access.Check(100, false, "", 200000));
    EXPECT_TRUE(access.Check(359, false, "", 200000));
    // A new password forgets them all.
    access.SetStored(FormPassword::Store("cd34"));
    EXPECT_EQ(access.AuthorisedCount(), 0u);
    EXPECT_FALSE(access.Check(359, false, "", 200000));
}

TEST(FormServerPathTest, ResolvesInsideTheRootOnly) {
    struct Case {
        const char* path;
        const char* file;  // null: refused
    };
    const Case cases[] = {
        {"/a.html", "/r/a.html"},
        {"a.html", "/r/a.html"},
        {"//x//y", "/r/x/y"},
        {"/x/../y", "/r/y"},
        {"/./x/.", "/r/x"},
        {"/../notes.txt", nullptr},
        {"/x/../../notes.txt", nullptr},
        {"/..", nullptr},
        {"/", "/r"},
        {"/x/..%2f", "/r/x/..%2f"},
    };
    for (const Case& c : cases) {
        std::string file;
        const bool ok = CFormServer::ResolvePath("/r", c.path, file);
        EXPECT_EQ(ok, c.file != nullptr) << c.path;
        if (ok && c.file) {
            EXPECT_EQ(file, c.file) << c.path;
        }
    }
}

TEST(FormServerSettingsTest, RoundTripAndDefaults) {
    CRecord* set = CRecord::New(&CParamSet::SetType());
    CRecordRef ref(&set);
    const FormServerSettings defaults = FormServerSettings::Read(ref);
    EXPECT_EQ(defaults.port, 51000);
    EXPECT_EQ(defaults.monsz, 160u);
    EXPECT_FALSE(defaults.opensame);
    EXPECT_TRUE(defaults.monimg && defaults.valnum && defaults.valsld && defaults.upld && defaults.uplddel &&
                defaults.upldsel && defaults.gohome);
    EXPECT_EQ(defaults.pass, "");
    EXPECT_NE(defaults.Root().find("/Orbilume Server"), std::string::npos) << defaults.Root();

    testsupport::TempDir dir;
    FormServerSettings s;
    s.port = 8080;
    s.root = dir.File("panel root");
    s.pass = FormPassword::Store("abcd1");
    s.monsz = 320;
    s.opensame = true;
    s.valsld = false;
    s.gohome = false;
    ASSERT_TRUE(s.Write(ref, nullptr));
    struct stat st {};
    EXPECT_EQ(stat((s.root + "/Upload").c_str(), &st), 0);
    const FormServerSettings back = FormServerSettings::Read(ref);
    EXPECT_EQ(back.port, 8080);
    EXPECT_EQ(back.root, s.root);
    EXPECT_EQ(FormPassword::Verify(back.pass, "abcd1"), FormPassword::kMatch);
    EXPECT_EQ(back.monsz, 320u);
    EXPECT_TRUE(back.opensame);
    EXPECT_FALSE(back.valsld);
    EXPECT_FALSE(back.gohome);
    EXPECT_TRUE(back.upldsel);

    // No password removes the entry; out-of-range numbers are clamped.
    s.pass = "";
    ASSERT_TRUE(s.Write(ref, nullptr));
    EXPECT_LT(CParamSet::Find(ref, LString("pass")), 0);
    CParamSet::SetInt(ref, nullptr, LString("port"), 70000);
    CParamSet::SetInt(ref, nullptr, LString("monsz"), 4);
    EXPECT_EQ(FormServerSettings::Read(ref).port, 65535);
    EXPECT_EQ(FormServerSettings::Read(ref).monsz, 32u);
    CRecord::Delete(set);
}

TEST(FormServerSettingsTest, ShowMakesTheFoldersAndOpensTheRoot) {
    testsupport::TempDir dir;
    std::vector<std::string> urls;
    plat::SetURLOpenerFunction(
        [](const std::string& url, void* context) {
            static_cast<std::vector<std::string>*>(context)->push_back(url);
            return true;
        },
        &urls);
    FormServerSettings s;
    s.root = dir.File("my panel");
    EXPECT_TRUE(s.ShowRoot());
    plat::SetURLOpenerFunction(nullptr, nullptr);
    struct stat st {};
    EXPECT_EQ(stat((s.root + "/Upload").c_str(), &st), 0);
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0], "file://" + dir.Path() + "/my%20panel");
}

struct FormPageTest : ::testing::Test {
    LAsyncLoop loop;
    testsupport::TempDir root;
    formtest::Documents documents;
    FormServerSettings settings;
    std::unique_ptr<CFormServer> server;
    void SetUp() override {
        settings.root = root.Path();
        server = std::make_unique<CFormServer>(&loop, nullptr, &documents, settings);
        ASSERT_EQ(formtest::Fragments().size(), CFormServer::kFragmentCount);
        server->SetFragments(formtest::Fragments());
        server->SetFormFolder(formtest::FormFolder());
    }
};

TEST_F(FormPageTest, GeneratedPageFollowsTheSettings) {
    const std::string page = server->FormPage();
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("&lt;b&gt;"), std::string::npos);  // a value
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_NE(page.find("Blue&#32;sky"), std::string::npos);                   // a scene name
    EXPECT_NE(page.find("<option value=\"1\" selected>"), std::string::npos);  // the chosen item
    EXPECT_NE(page.find("type=\"range\" name=\"/gain\""), std::string::npos);  // kind 1
    EXPECT_NE(page.find("data-kind=\"integer\""), std::string::npos);          // kind 0 without items
    EXPECT_NE(page.find("type=\"file\" name=\"/movie\""), std::string::npos);  // kind 3
    EXPECT_NE(page.find("id=\"monitor-img\""), std::string::npos);
    EXPECT_NE(page.find("/.Cmd"), std::string::npos);
    EXPECT_NE(page.find("</html>"), std::string::npos);

    settings.valsld = false;
    settings.monimg = false;
    settings.upld = false;
    server->SetSettings(settings);
    const std::string less = server->FormPage();
    EXPECT_EQ(less.find("type=\"range\""), std::string::npos);
    EXPECT_EQ(less.find("id=\"monitor-img\""), std::string::npos);
    EXPECT_EQ(less.find("type=\"file\""), std::string::npos);
    EXPECT_EQ(less.find("/.Cmd"), std::string::npos);              // deleting uploads needs "upld"
    EXPECT_NE(less.find("class=\"uploads\""), std::string::npos);  // "upldsel" still on

    documents.hasDocument = false;
    const std::string empty = server->FormPage();
    EXPECT_EQ(empty.find("class=\"params\""), std::string::npos);
}

TEST_F(FormPageTest, ListsAreEncoded) {
    ASSERT_EQ(mkdir(root.File("Upload").c_str(), 0755), 0);
    root.Write("Upload/b.png", "b");
    root.Write("Upload/a.png", "a");
    EXPECT_EQ(server->UploadList(), "a.png=Upload/a.png&b.png=Upload/b.png");
    root.Write("Upload/c d&e.png", "c");
    EXPECT_EQ(server->UploadList(),
              "a.png=Upload/a.png&b.png=Upload/b.png&c%20d%26e.png=Upload/c%20d%26e.png");
    EXPECT_EQ(server->EntryList(), "/mode=1&/count=3&/gain=0.50&/title=%3Cb%3E%20%26&/movie=");
}

}  // namespace
