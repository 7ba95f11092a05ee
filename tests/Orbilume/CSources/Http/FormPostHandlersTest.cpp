#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CValueProvider.h"
#include "Orbilume/CSources/Http/FormPostHandlers.h"
#include "Platform/Foundation/FileIO.h"
#include "tests/Orbilume/CSources/Osc/OscRecorder.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<std::string> List(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every file below folder, as paths relative to it.
void Walk(const std::string& folder, const std::string& prefix, std::vector<std::string>& out) {
    for (const auto& n : List(folder)) {
        struct stat st;
        const std::string path = folder + "/" + n;
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            Walk(path, prefix + n + "/", out);
        else
            out.push_back(prefix + n);
    }
}

std::string Multipart(const std::string& name, const std::string& fileName, const std::string& data) {
    std::string d = "form-data; name=\"" + name + "\"";
    if (!fileName.empty()) d += "; filename=\"" + fileName + "\"";
    return "--B0\r\nContent-Disposition: " + d + "\r\n\r\n" + data + "\r\n";
}

const char* const kMultipart = "multipart/form-data; boundary=B0";

struct FormPostHandlersTest : ::testing::Test {
    testsupport::TempDir root;
    osctest::OscRecorder listener;
    std::vector<std::string> announced;
    bool announce = true;
    CValueProvider provider{
        this, [](void* self, uint32_t op, void* data) {
            auto* t = static_cast<FormPostHandlersTest*>(self);
            if (op != CValueProvider::kHandOther) return false;
            t->announced.push_back(static_cast<CValueProvider::SObject*>(data)->text.CStr());
            return t->announce;
        }};
    OsceqPostHandler osceq{root.Path(), &listener, &provider};
    CmdPostHandler cmd{root.Path()};

    std::string Upload() const { return root.Path() + "/Upload"; }

    void Post(HttpPostHandler& h, const std::string& type, const std::string& body, bool finish = true) {
        auto r = h.Begin(type);
        ASSERT_TRUE(r);
        // In uneven pieces, as a connection hands them out.
        for (size_t at = 0; at < body.size(); at += 1000)
            h.Feed(*r, reinterpret_cast<const uint8_t*>(body.data()) + at,
                   uint32_t(std::min<size_t>(1000, body.size() - at)));
        std::string redirect;
        if (finish) h.Finish(*r, redirect);
        EXPECT_EQ(h.ResponseBody(*r), nullptr);
    }
};

TEST_F(FormPostHandlersTest, UrlEncodedFieldsBecomeMessages) {
    listener.addresses = {"a", "b"};
    Post(osceq, "application/x-www-form-urlencoded", "a=1&b=x+y%21");
    EXPECT_EQ(listener.messages, (std::vector<std::string>{"a ,s 1", "b ,s x y!"}));
    listener.messages.clear();
    Post(osceq, "application/x-www-form-urlencoded", "");
    Post(osceq, "application/x-www-form-urlencoded", "&&");
    EXPECT_TRUE(listener.messages.empty());
}

TEST_F(FormPostHandlersTest, FilePartsAreStoredAndAnnounced) {
    listener.addresses = {"/layer/1/opacity", "/layer/1/image"};
    // Bytes that start boundary lines without finishing them, across the pieces handed in.
    std::string png(50000, 'p');
    for (size_t at = 7; at + 12 < png.size(); at += 997)
        png.replace(at, 9, at % 2 ? "\r\n--Bx\r\r" : "\r\r\n-\r\n--B");
    Post(osceq, kMultipart,
         Multipart("/layer/1/opacity", "", "0.5") + Multipart("/layer/1/image", "pic.png", png) +
             "--B0--\r\n");
    const std::string stored = Upload() + "/pic.png";
    EXPECT_TRUE(root.Read("Upload/pic.png") == png);
    EXPECT_EQ(listener.messages,
              (std::vector<std::string>{"/layer/1/opacity ,s 0.5", "/layer/1/image ,s " + stored}));
    EXPECT_EQ(announced, std::vector<std::string>{stored});
    EXPECT_EQ(List(Upload()), std::vector<std::string>{"pic.png"});

    // A refused announcement keeps the file and sends nothing.
    listener.messages.clear();
    announce = false;
    Post(osceq, kMultipart, Multipart("/layer/1/image", "b.png", "b") + "--B0--\r\n");
    EXPECT_EQ(root.Read("Upload/b.png"), "b");
    EXPECT_TRUE(listener.messages.empty());
}

TEST_F(FormPostHandlersTest, UploadNamesStayInsideTheUploadFolder) {
    struct Case {
        std::string fileName;
        std::string stored;  // empty: skipped
    };
    const Case cases[] = {
        {"../../x.png", "x.png"},
        {"..\\..\\y.png", "y.png"},
        {"/etc/z", "z"},
        {"C:\\Users\\me\\w.png", "w.png"},
        {"..", ""},
        {"a/..", ""},
        {"a/.", ""},
        {"dir/", ""},
        {std::string("a\x01") + "b", ""},
        {"a\x7f", ""},
        {std::string(256, 'n'), ""},
        {std::string(255, 'n'), std::string(255, 'n')},
    };
    listener.addresses = {"/f"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileName);
        listener.messages.clear();
        Post(osceq, kMultipart, Multipart("/f", c.fileName, "data") + "--B0--\r\n");
        std::vector<std::string> files;
        Walk(root.Path(), "", files);
        if (c.stored.empty()) {
            EXPECT_TRUE(listener.messages.empty());
            EXPECT_TRUE(files.empty()) << files.front();
        } else {
            EXPECT_EQ(files, std::vector<std::string>{"Upload/" + c.stored});
            EXPECT_EQ(listener.messages, std::vector<std::string>{"/f ,s " + Upload() + "/" + c.stored});
        }
        (void)CmdPostHandler::DeleteUploads(root.Path());
    }
}

TEST_F(FormPostHandlersTest, BodiesCutShortLeaveNoFile) {
    listener.addresses = {"/f"};
    const std::string part = Multipart("/f", "big.bin", std::string(100000, 'b'));
    // The connection ended inside the part: the receiver goes without Finish.
    Post(osceq, kMultipart, part.substr(0, 60000), false);
    EXPECT_TRUE(List(Upload()).empty());
    // The body ended without the boundary after the part.
    Post(osceq, kMultipart, part.substr(0, part.size() - 2));
    EXPECT_TRUE(List(Upload()).empty());
    EXPECT_TRUE(listener.messages.empty());
}

TEST_F(FormPostHandlersTest, FailedWriteRemovesTheFileAndSendsNothing) {
    listener.addresses = {"/f", "/g"};
    rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 20000;  // writes beyond fail with EFBIG, as on a full disk
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Post(osceq, kMultipart,
         Multipart("/f", "big.bin", std::string(100000, 'b')) + Multipart("/g", "", "after") + "--B0--\r\n");
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(List(Upload()).empty());
    EXPECT_EQ(listener.messages, std::vector<std::string>{"/g ,s after"});
    EXPECT_TRUE(announced.empty());
}

TEST_F(FormPostHandlersTest, DeleteUploadsEmptiesTheFolderAndKeepsFolders) {
    ASSERT_TRUE(plat::MakeFolders(Upload() + "/sub"));
    root.Write("Upload/a.png", "a");
    root.Write("Upload/b.png", "b");
    root.Write("keep.txt", "k");
    Post(cmd, "application/x-www-form-urlencoded", "cmd=other&x=delupload");
    EXPECT_EQ(List(Upload()), (std::vector<std::string>{"a.png", "b.png", "sub"}));
    Post(cmd, kMultipart,
         Multipart("f", "ignored.bin", std::string(40000, 'x')) + Multipart("cmd", "", "delupload") +
             "--B0--\r\n");
    EXPECT_EQ(List(Upload()), std::vector<std::string>{"sub"});
    EXPECT_EQ(root.Read("keep.txt"), "k");
}

}  // namespace
