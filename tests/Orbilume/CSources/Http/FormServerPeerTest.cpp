// The operation panel on 127.0.0.1 (inside the test's own network namespace) against curl,
// pngcheck and xmllint, with raw sockets where time matters.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/CValueProvider.h"
#include "Orbilume/CSources/Http/FormServer.h"
#include "Platform/Foundation/URLOpener.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/PNGDecoder.h"
#include "tests/Orbilume/CSources/Http/FormTestDocuments.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/Orbilume/CSources/Osc/OscRecorder.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestPNG.h"

namespace {

using nettest::kLoopback;

bool HaveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

#define NEED(program) \
    if (!HaveProgram(program)) GTEST_SKIP() << program " is not installed"

// A monitor source that delivers only when told.
class HeldMonitor : public FormMonitorSource {
public:
    bool Capture(uint32_t size, Done done) override {
        ++captures;
        lastSize = size;
        fDone = std::move(done);
        return true;
    }
    void Cancel() override { fDone = nullptr; }
    void Deliver() {
        if (!fDone) return;
        FixedPictureMonitorSource fixed;
        Done done = std::move(fDone);
        (void)fixed.Capture(lastSize, std::move(done));
    }
    int captures = 0;
    uint32_t lastSize = 0;

private:
    Done fDone;
};

struct Opened {
    std::vector<std::string> urls;
    static bool Record(const std::string& url, void* context) {
        static_cast<Opened*>(context)->urls.push_back(url);
        return true;
    }
};

struct FormServerPeerTest : ::testing::Test {
    nettest::MainLoop main;
    testsupport::TempDir root;
    testsupport::TempDir outside;
    osctest::OscRecorder listener;
    formtest::Documents documents;
    FixedPictureMonitorSource fixed;
    HeldMonitor held;  // outlives the server
    Opened opened;
    std::vector<std::string> announced;
    CValueProvider uploads{this, [](void* self, uint32_t op, void* data) {
                               if (op != CValueProvider::kHandOther) return false;
                               static_cast<FormServerPeerTest*>(self)->announced.push_back(
                                   static_cast<CValueProvider::SObject*>(data)->text.CStr());
                               return true;
                           }};
    std::unique_ptr<CFormServer> server;
    std::string base;

    void SetUp() override {
        ASSERT_EQ(mkdir(root.File("Upload").c_str(), 0755), 0);
        FormServerSettings settings;
        settings.root = root.Path();
        server = std::make_unique<CFormServer>(main.Loop(), &listener, &documents, settings, &uploads);
        server->SetFragments(formtest::Fragments());
        server->SetFormFolder(formtest::FormFolder());
        server->SetMonitorSource(&fixed);
        ASSERT_EQ(server->Listen(0, kLoopback), 0);
        base = "http://127.0.0.1:" + std::to_string(server->Port());
        plat::SetURLOpenerFunction(&Opened::Record, &opened);
    }
    void TearDown() override { plat::SetURLOpenerFunction(nullptr, nullptr); }

    void SetPassword(const std::string& password) {
        FormServerSettings s = server->Settings();
        s.pass = FormPassword::Store(password);
        server->SetSettings(s);
    }
    std::string Serve(const std::string& command) {
        std::atomic<bool> done{false};
        std::string out;
        std::thread t([&] {
            out = testsupport::CommandOutput(command);
            done = true;
        });
        EXPECT_TRUE(main.RunUntil([&] { return done.load(); }, 20));
        t.join();
        return out;
    }
    // Status line and headers on stderr (-v), the body on stdout.
    std::string Curl(const std::string& args) {
        return Serve("curl -sv --noproxy '*' --max-time 10 " + args + " 2>&1");
    }
    std::string Body(const std::string& args) { return Serve("curl -s --noproxy '*' --max-time 10 " + args); }
};

TEST_F(FormServerPeerTest, PasswordPerAddress) {
    NEED("curl");
    root.Write("index.html", "<p>home</p>");
    // No password: served, nobody remembered.
    EXPECT_EQ(Body(base + "/index.html"), "<p>home</p>");
    EXPECT_EQ(server->Access().AuthorisedCount(), 0u);

    SetPassword("ab");
    std::string out = Curl(base + "/index.html");
    EXPECT_NE(out.find("< HTTP/1.1 401 Unauthorized."), std::string::npos) << out;
    EXPECT_NE(out.find("< WWW-Authenticate: Basic realm=\"Orbilume Operation Panel\""), std::string::npos)
        << out;
    out = Curl("-u a:b " + base + "/index.html");  // "b" is not "ab"
    EXPECT_NE(out.find("401"), std::string::npos) << out;
    EXPECT_EQ(Body("-u anyone:ab " + base + "/index.html"), "<p>home</p>");
    // Later requests from the same address need no credentials.
    EXPECT_EQ(Body(base + "/index.html"), "<p>home</p>");
    // A new password forgets the address.
    SetPassword("cd34");
    EXPECT_NE(Curl(base + "/index.html").find("401"), std::string::npos);
}

TEST_F(FormServerPeerTest, RefusedClientOpensNothing) {
    NEED("curl");
    root.Write("show.obm", "doc");
    root.Write("show.mov", "movie");
    FormServerSettings s = server->Settings();
    s.opensame = true;
    s.pass = FormPassword::Store("ab12");
    server->SetSettings(s);
    EXPECT_NE(Curl(base + "/show.html").find("401"), std::string::npos);
    EXPECT_TRUE(documents.opened.empty());
    EXPECT_TRUE(opened.urls.empty());
    // With the password: the document and its same-named files are opened, the form served.
    const std::string page = Body("-u x:ab12 " + base + "/show.html");
    ASSERT_EQ(documents.opened.size(), 1u);
    EXPECT_EQ(documents.opened[0], root.File("show.obm"));
    ASSERT_EQ(opened.urls.size(), 1u);
    EXPECT_EQ(opened.urls[0], "file://" + root.File("show.mov"));
    EXPECT_NE(page.find("class=\"params\""), std::string::npos);
    // The provider's refusal fails the page.
    documents.answer = FormDocumentProvider::kRefused;
    EXPECT_NE(Curl(base + "/show.html").find("404"), std::string::npos);
}

TEST_F(FormServerPeerTest, PagesFilesAndLists) {
    NEED("curl");
    outside.Write("notes.txt", "secret");
    root.Write("notes.txt", "inside");
    root.Write("show.obm", "doc");
    std::string out = Curl("--path-as-is " + base + "/../notes.txt");
    EXPECT_NE(out.find("404"), std::string::npos) << out;
    EXPECT_EQ(out.find("secret"), std::string::npos);
    EXPECT_EQ(Body("--path-as-is '" + base + "/%2e%2e/%2E%2E/x/../notes.txt'").find("secret"),
              std::string::npos);
    EXPECT_EQ(Body(base + "//notes.txt"), "inside");
    out = Curl(base + "/notes%00.txt");
    EXPECT_NE(out.find("404"), std::string::npos);
    // A page beside its document is opened and served as it stands.
    root.Write("show.html", "<p>show page</p>");
    EXPECT_EQ(Body(base + "/show.html"), "<p>show page</p>");
    ASSERT_EQ(documents.opened.size(), 1u);
    // A missing page without a document: the "Not Found." page with status 200.
    out = Curl(base + "/nothing.html");
    EXPECT_NE(out.find("< HTTP/1.1 200 OK."), std::string::npos);
    EXPECT_NE(out.find("Not Found."), std::string::npos);
    EXPECT_NE(Curl(base + "/nothing.txt").find("404 Not Found."), std::string::npos);

    root.Write("Upload/b.png", "b");
    root.Write("Upload/a.png", "a");
    out = Curl(base + "/.upload");
    EXPECT_NE(out.find("< Content-Type: text/plain; charset=utf-8\r\n< Cache-Control: no-cache, no-store, "
                       "must-revalidate\r\n< Pragma: no-cache"),
              std::string::npos)
        << out;
    EXPECT_EQ(Body(base + "/.upload"), "a.png=Upload/a.png&b.png=Upload/b.png");
    EXPECT_EQ(Body(base + "/.osceq"), "/mode=1&/count=3&/gain=0.50&/title=%3Cb%3E%20%26&/movie=");
}

TEST_F(FormServerPeerTest, GeneratedPageIsValidHtml) {
    NEED("curl");
    NEED("xmllint");
    root.Write("show.obm", "doc");
    const std::string page = Body(base + "/show.html");
    root.Write("page.html", page);
    EXPECT_NE(page.find("&lt;b&gt;&#32;&amp;"), std::string::npos);
    const std::string lint = testsupport::CommandOutput("xmllint --html --noout '" + root.File("page.html") +
                                                        "' 2>&1; echo rc=$?");
    EXPECT_EQ(lint, "rc=0\n") << lint;
}

TEST_F(FormServerPeerTest, MonitorImageIsAPng) {
    NEED("curl");
    NEED("pngcheck");
    const std::string out = Curl(base + "/.monitor");
    EXPECT_NE(
        out.find("< Content-Type: image/png\r\n< Cache-Control: no-cache, no-store, must-revalidate\r\n< "
                 "Pragma: no-cache"),
        std::string::npos)
        << out;
    (void)Serve("curl -s --noproxy '*' --max-time 10 -o '" + root.File("m.png") + "' " + base + "/.monitor");
    const std::string check =
        testsupport::CommandOutput("pngcheck '" + root.File("m.png") + "' 2>&1; echo rc=$?");
    EXPECT_NE(check.find("160x90"), std::string::npos) << check;
    EXPECT_NE(check.find("rc=0"), std::string::npos) << check;
    // Without a document: 503 at once.
    documents.hasDocument = false;
    EXPECT_NE(Curl(base + "/.monitor").find("503 Service Unavailable."), std::string::npos);
}

// A blocking client on 127.0.0.1.
struct Client {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    explicit Client(int port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(kLoopback);
        connected = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Client() { close(fd); }
    void Send(const std::string& s) { (void)!send(fd, s.data(), s.size(), MSG_NOSIGNAL); }
    std::string ReadSome() {
        std::string out;
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 0) != 1) return out;
            char buf[4096];
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return out + "<eof>";
            out.append(buf, size_t(n));
        }
    }
    bool connected = false;
};

TEST_F(FormServerPeerTest, MonitorWaitersShareOneCaptureAndGiveUpAfterTwoSeconds) {
    server->SetMonitorSource(&held);
    testsupport::FakeClock clock;
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop) {
            clock.AdvanceMs(2);
            usleep(1000);
        }
    });
    // Two requests wait for one capture, which then arrives.
    Client a(server->Port()), b(server->Port());
    a.Send("GET /.monitor HTTP/1.0\r\n\r\n");
    b.Send("GET /.monitor HTTP/1.0\r\n\r\n");
    std::string ga, gb;
    ASSERT_TRUE(main.RunUntil([&] { return held.captures == 1 && server->ConnectionCount() == 2; }));
    main.Spin(0.05);
    ga += a.ReadSome();
    EXPECT_EQ(ga, "");
    EXPECT_EQ(held.captures, 1);
    held.Deliver();
    EXPECT_TRUE(main.RunUntil([&] {
        ga += a.ReadSome();
        gb += b.ReadSome();
        return ga.find("<eof>") != std::string::npos && gb.find("<eof>") != std::string::npos;
    }));
    EXPECT_EQ(ga.rfind("HTTP/1.1 200 OK.", 0), 0u) << ga;
    EXPECT_NE(gb.find("\x89PNG"), std::string::npos);

    // Nothing rendering: nothing before 2 s, 503 then.
    Client c(server->Port());
    c.Send("GET /.monitor HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(main.RunUntil([&] { return held.captures == 2; }));
    const double start = clock.Now();
    std::string gc;
    EXPECT_TRUE(main.RunUntil(
        [&] {
            gc += c.ReadSome();
            return !gc.empty();
        },
        20));
    const double after = clock.Now() - start;
    stop = true;
    ticker.join();
    EXPECT_EQ(gc.rfind("HTTP/1.1 503 Service Unavailable.", 0), 0u) << gc;
    EXPECT_GE(after, 1.9);
    EXPECT_LT(after, 2.5);
}

// The panel in headless Chromium, driven by puppeteer-core (tests/support/node): the page renders
// with the monitor image and a slider, a moved slider and an uploaded file reach the listener and
// the Upload folder. The screenshot is kept beside the test binary.
TEST_F(FormServerPeerTest, PanelInHeadlessChromium) {
    NEED("node");
    const std::string chromium = std::getenv("CHROMIUM") ? std::getenv("CHROMIUM") : "/usr/bin/chromium";
    if (access(chromium.c_str(), X_OK) != 0) GTEST_SKIP() << "chromium is not installed";
    const std::string node = std::string(ORBILUME_SOURCE_DIR) + "/tests/support/node";
    if (access((node + "/node_modules/puppeteer-core").c_str(), R_OK) != 0)
        GTEST_SKIP() << "puppeteer-core is not installed (npm ci in " << node << ")";
    root.Write("show.obm", "doc");
    // A 4 x 4 image to upload.
    const std::vector<uint8_t> png = testsupport::EncodeTestPNG(4, 4, std::vector<uint8_t>(64, 200));
    root.Write("pic.png", std::string(png.begin(), png.end()));
    listener.addresses = {"/gain", "/movie"};
    const std::string shot = "form-panel-chromium.png";
    const std::string out = Serve("HOME='" + root.Path() + "' node '" + node + "/panel-browser.js' " + base +
                                  " '" + shot + "' '" + root.File("pic.png") + "' 2>&1");
    ASSERT_NE(out.find("done"), std::string::npos) << out;
    EXPECT_NE(out.find("post 204\npost 204"), std::string::npos) << out;

    // Pixel probes of the screenshot: the monitor's first bar is white, its sixth red; the
    // slider is drawn (not the page background).
    int mx = 0, my = 0, mw = 0, mh = 0, sx = 0, sy = 0, sw = 0, sh = 0;
    ASSERT_EQ(std::sscanf(out.c_str() + out.find("monitor "), "monitor %d %d %d %d", &mx, &my, &mw, &mh), 4);
    ASSERT_EQ(std::sscanf(out.c_str() + out.find("slider "), "slider %d %d %d %d", &sx, &sy, &sw, &sh), 4);
    std::ifstream in(shot, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    plat::Ref<plat::BitmapImage> image = plat::PNGDecoder::Decode(bytes.data(), bytes.size());
    ASSERT_TRUE(image);
    const uint32_t white = image->PixelAt(mx + mw / 16, my + mh / 2) & 0xFFFFFF;
    const uint32_t red = image->PixelAt(mx + mw * 11 / 16, my + mh / 2) & 0xFFFFFF;
    EXPECT_GE(white & 0xFF, 0xE0u) << std::hex << white;
    EXPECT_GE(red >> 16, 0xE0u) << std::hex << red;
    EXPECT_LE(red & 0xFFFF, 0x2020u) << std::hex << red;
    const uint32_t background = image->PixelAt(2, image->Height() - 2) & 0xFFFFFF;
    bool sliderDrawn = false;
    for (int x = sx; x < sx + sw && !sliderDrawn; ++x)
        sliderDrawn = (image->PixelAt(x, sy + sh / 2) & 0xFFFFFF) != background;
    EXPECT_TRUE(sliderDrawn);

    // The slider's value and the uploaded file reached the listener; the file lies in Upload and
    // the provider was told its path.
    std::string all;
    for (const std::string& m : listener.messages) all += m + "\n";
    EXPECT_NE(all.find("/gain ,s 0.75"), std::string::npos) << all;
    EXPECT_NE(all.find("/movie ,s " + root.File("Upload/pic.png")), std::string::npos) << all;
    EXPECT_EQ(testsupport::CommandOutput("cmp '" + root.File("pic.png") + "' '" +
                                         root.File("Upload/pic.png") + "' && echo same"),
              "same\n");
    ASSERT_FALSE(announced.empty());
    EXPECT_EQ(announced.back(), root.File("Upload/pic.png"));
}

}  // namespace
