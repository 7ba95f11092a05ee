#include <gtest/gtest.h>

// After gtest: Xlib defines None and Bool as macros.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/AppKit/x11/X11Selections.h"
#include "Platform/Foundation/Clock.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/XvfbServer.h"

namespace {

using plat::Application;
using plat::Pasteboard;
using plat::x11::X11Backend;

TEST(X11SelectionText, Latin1AndUriLists) {
    struct Case {
        const char* utf8;
        const char* latin1;
    } cases[] = {
        {"plain", "plain"},
        {"Gr\xc3\xbc\xc3\x9f"
         "e",
         "Gr\xfc\xdf"
         "e"},
        {"\xe2\x82\xac 5", "? 5"},    // outside Latin-1
        {"\xf0\x9f\x8e\xb5!", "?!"},  // four bytes, one character
        {"cut \xc3", "cut ?"},        // a broken sequence
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plat::x11::Utf8ToLatin1(c.utf8), c.latin1) << c.utf8;
    }
    EXPECT_EQ(plat::x11::Latin1ToUtf8("Gr\xfc\xdf"
                                      "e"),
              "Gr\xc3\xbc\xc3\x9f"
              "e");
    EXPECT_EQ(plat::x11::ParseUriList("# comment\r\nfile:///a%20b\r\n\r\nfile:///c\n"),
              (std::vector<std::string>{"file:///a%20b", "file:///c"}));
}

// The clipboard and primary selection against xclip and xsel on a private server.
class X11SelectionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::HaveProgram("xclip")) GTEST_SKIP() << "xclip is not installed";
        ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
        backend = X11Backend::Open(server.Display().c_str());
        ASSERT_NE(backend, nullptr);
        plat::SetBackend(backend.get());
        ASSERT_TRUE(backend->Start());
    }
    void TearDown() override {
        plat::SetBackend(nullptr);
        backend.reset();
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    template <typename F>
    bool Pump(F done, double wait = 10) {
        const double until = plat::ClockNow() + wait;
        while (!done()) {
            if (plat::ClockNow() > until) return false;
            Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.01,
                                             plat::kRunLoopDefaultMode, true, nullptr);
        }
        return true;
    }
    // Runs an X client while the event loop turns; its output, or "(failed)".
    std::string Client(const std::string& command, const std::string& input = {}) {
        testsupport::BackgroundCommand c("DISPLAY=" + server.Display() + " " + command, input);
        int status = -1;
        if (!Pump([&] { return c.Done(&status); }) || status != 0) return "(failed)";
        return c.Output();
    }
    // Waits until another program's types reached the pasteboard.
    bool Offered(Pasteboard* pb, int64_t before, const char* type) {
        return Pump([&] { return pb->ChangeCount() != before && pb->HasType(type); }, 5);
    }

    testsupport::XvfbServer server{"640x480x24"};
    std::unique_ptr<X11Backend> backend;
};

TEST_F(X11SelectionsTest, LargeDataGoesBothWaysInIncrements) {
    std::string big(5 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char('a' + (i * 7 + i / 4096) % 26);
    Pasteboard* pb = Pasteboard::General();
    const int64_t before = pb->ChangeCount();
    Client("xclip -selection clipboard -i", big);
    ASSERT_TRUE(Offered(pb, before, Pasteboard::kTypeString));
    std::string pasted;
    ASSERT_TRUE(pb->StringForType(Pasteboard::kTypeString, &pasted));
    EXPECT_EQ(pasted.size(), big.size());
    EXPECT_TRUE(pasted == big);

    // Ours, read by xclip: more than one request holds.
    pb->DeclareTypes({Pasteboard::kTypeString}, nullptr);
    std::string ours = big;
    ours[12345] = '#';
    ASSERT_TRUE(pb->SetString(ours));
    const std::string read = Client("xclip -selection clipboard -o");
    EXPECT_EQ(read.size(), ours.size());
    EXPECT_TRUE(read == ours);
}

TEST_F(X11SelectionsTest, TextOfferedOnlyAsStringIsReadAsLatin1) {
    Pasteboard* pb = Pasteboard::General();
    const int64_t before = pb->ChangeCount();
    Client("xclip -selection clipboard -i -t STRING",
           "Gr\xfc\xdf"
           "e \xb5");
    ASSERT_TRUE(Offered(pb, before, Pasteboard::kTypeString));
    std::string pasted;
    ASSERT_TRUE(pb->StringForType(Pasteboard::kTypeString, &pasted));
    EXPECT_EQ(pasted,
              "Gr\xc3\xbc\xc3\x9f"
              "e \xc2\xb5");
}

// Another program that owns CLIPBOARD, offers UTF8_STRING and sends it in increments, announced
// with a size (a lower bound: it may be short of the whole, or left out). Whole, it sends every
// chunk and the empty one that ends the transfer; otherwise one chunk, then nothing more (stalled)
// or it disconnects (vanished).
class IncrOwner {
public:
    enum class Ending { kWhole, kStalls, kVanishes };
    IncrOwner(const std::string& display, Ending ending, long sizeHint = 1 << 20, int chunkCount = 1)
        : fEnding(ending), fHint(sizeHint) {
        for (int i = 0; i < chunkCount; ++i) fChunks.emplace_back(65536 + 7 * size_t(i), char('a' + i % 26));
        fThread = std::thread([this, display] { Run(display); });
    }
    ~IncrOwner() {
        fStop = true;
        fThread.join();
    }
    // What the whole transfer holds.
    std::string Whole() const {
        std::string all;
        for (const std::string& c : fChunks) all += c;
        return all;
    }
    std::atomic<int> chunks{0};

private:
    void Run(const std::string& name) {
        ::Display* d = XOpenDisplay(name.c_str());
        if (!d) return;
        const ::Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
        const Atom clipboard = XInternAtom(d, "CLIPBOARD", False), targets = XInternAtom(d, "TARGETS", False),
                   utf8 = XInternAtom(d, "UTF8_STRING", False), incr = XInternAtom(d, "INCR", False);
        XSetSelectionOwner(d, clipboard, w, CurrentTime);
        XSync(d, False);
        ::Window requestor = 0;
        Atom property = 0;
        while (!fStop) {
            while (XPending(d)) {
                XEvent e;
                XNextEvent(d, &e);
                if (e.type == SelectionRequest) {
                    const XSelectionRequestEvent& r = e.xselectionrequest;
                    XEvent reply = {};
                    reply.xselection.type = SelectionNotify;
                    reply.xselection.requestor = r.requestor;
                    reply.xselection.selection = r.selection;
                    reply.xselection.target = r.target;
                    reply.xselection.time = r.time;
                    reply.xselection.property = r.property;
                    if (r.target == targets) {
                        const Atom list[] = {targets, utf8};
                        XChangeProperty(d, r.requestor, r.property, XA_ATOM, 32, PropModeReplace,
                                        reinterpret_cast<const unsigned char*>(list), 2);
                    } else if (r.target == utf8) {
                        XSelectInput(d, r.requestor, PropertyChangeMask);
                        XChangeProperty(d, r.requestor, r.property, incr, 32, PropModeReplace,
                                        reinterpret_cast<const unsigned char*>(&fHint), fHint < 0 ? 0 : 1);
                        requestor = r.requestor;
                        property = r.property;
                    } else {
                        reply.xselection.property = None;
                    }
                    XSendEvent(d, r.requestor, False, 0, &reply);
                    XFlush(d);
                } else if (e.type == PropertyNotify && e.xproperty.window == requestor &&
                           e.xproperty.atom == property && e.xproperty.state == PropertyDelete &&
                           (fEnding == Ending::kWhole ? chunks <= int(fChunks.size()) : chunks == 0)) {
                    // After the last chunk, the empty one.
                    const std::string chunk = chunks < int(fChunks.size()) ? fChunks[size_t(chunks)] : "";
                    // Counted before the requestor can have it: the test reads the count as soon as
                    // the transfer ends.
                    ++chunks;
                    XChangeProperty(d, requestor, property, utf8, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(chunk.data()), int(chunk.size()));
                    XFlush(d);
                    if (fEnding == Ending::kVanishes) {
                        XCloseDisplay(d);
                        return;
                    }
                }
            }
            usleep(2000);
        }
        XCloseDisplay(d);
    }

    const Ending fEnding;
    const long fHint;
    std::vector<std::string> fChunks;
    std::atomic<bool> fStop{false};
    std::thread fThread;
};

TEST_F(X11SelectionsTest, IncrementsArriveWholeWhateverSizeTheyAnnounce) {
    Pasteboard* pb = Pasteboard::General();
    constexpr int kChunks = 9;
    const long whole = kChunks * 65536 + 7 * (kChunks - 1) * kChunks / 2;
    struct Case {
        const char* name;
        long hint;
    } cases[] = {
        {"exact", whole},
        {"short of the whole", 1000},
        {"left out", -1},
        {"zero", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int64_t before = pb->ChangeCount();
        IncrOwner owner(server.Display(), IncrOwner::Ending::kWhole, c.hint, kChunks);
        ASSERT_TRUE(Offered(pb, before, Pasteboard::kTypeString));
        std::string pasted;
        ASSERT_TRUE(pb->StringForType(Pasteboard::kTypeString, &pasted));
        EXPECT_EQ(pasted.size(), size_t(whole));
        EXPECT_TRUE(pasted == owner.Whole());
        EXPECT_EQ(owner.chunks, kChunks + 1);
    }
}

TEST_F(X11SelectionsTest, TransfersThatStallOrWhoseOwnerVanishesEndWithoutData) {
    Pasteboard* pb = Pasteboard::General();
    for (IncrOwner::Ending ending : {IncrOwner::Ending::kStalls, IncrOwner::Ending::kVanishes}) {
        SCOPED_TRACE(ending == IncrOwner::Ending::kVanishes ? "vanished" : "stalled");
        const int64_t before = pb->ChangeCount();
        IncrOwner owner(server.Display(), ending);
        ASSERT_TRUE(Offered(pb, before, Pasteboard::kTypeString));
        std::string pasted = "unchanged";
        EXPECT_FALSE(pb->StringForType(Pasteboard::kTypeString, &pasted));
        EXPECT_EQ(pasted, "unchanged");
        EXPECT_EQ(owner.chunks, 1);
    }
    // A whole transfer still arrives afterwards.
    const int64_t before = pb->ChangeCount();
    Client("xclip -selection clipboard -i", "after");
    ASSERT_TRUE(Offered(pb, before, Pasteboard::kTypeString));
    std::string pasted;
    ASSERT_TRUE(pb->StringForType(Pasteboard::kTypeString, &pasted));
    EXPECT_EQ(pasted, "after");
}

TEST_F(X11SelectionsTest, TargetsNameTheTextAndTheApplicationsOwnTypes) {
    Pasteboard* pb = Pasteboard::General();
    pb->DeclareTypes({Pasteboard::kTypeString, "TSCP"}, nullptr);
    ASSERT_TRUE(pb->SetString("row"));
    const uint8_t rows[] = {1, 2, 3, 0, 255};
    ASSERT_TRUE(pb->SetData("TSCP", rows, sizeof rows));
    const std::string targets = Client("xclip -selection clipboard -o -t TARGETS");
    for (const char* t :
         {"TARGETS", "TIMESTAMP", "UTF8_STRING", "text/plain;charset=utf-8", "STRING", "TSCP"})
        EXPECT_NE(targets.find(t), std::string::npos) << t << " in " << targets;
    EXPECT_EQ(Client("xclip -selection clipboard -o -t TSCP"),
              std::string(reinterpret_cast<const char*>(rows), 5));
    // Latin-1 for STRING; unknown targets are refused.
    pb->DeclareTypes({Pasteboard::kTypeString}, nullptr);
    ASSERT_TRUE(
        pb->SetString("Gr\xc3\xbc\xc3\x9f"
                      "e"));
    EXPECT_EQ(Client("xclip -selection clipboard -o -t STRING"),
              "Gr\xfc\xdf"
              "e");
    EXPECT_EQ(Client("xclip -selection clipboard -o -t image/png"), "(failed)");

    // Another program's own type reaches the pasteboard under its name and pastes.
    const int64_t before = pb->ChangeCount();
    Client("xclip -selection clipboard -i -t TSCP", "\x01\x02rows");
    ASSERT_TRUE(Offered(pb, before, "TSCP"));
    std::vector<uint8_t> data;
    ASSERT_TRUE(pb->DataForType("TSCP", &data));
    EXPECT_EQ(std::string(data.begin(), data.end()), "\x01\x02rows");
    EXPECT_FALSE(backend->Selections()->Owns(true));
}

TEST_F(X11SelectionsTest, TheSelectionPasteboardIsThePrimarySelection) {
    if (!testsupport::HaveProgram("xsel")) GTEST_SKIP() << "xsel is not installed";
    Pasteboard* sel = Pasteboard::Selection();
    sel->DeclareTypes({Pasteboard::kTypeString}, nullptr);
    ASSERT_TRUE(sel->SetString("selected words"));
    EXPECT_EQ(Client("xsel -p -o"), "selected words");
    // The clipboard is another selection.
    EXPECT_NE(Client("xsel -b -o"), "selected words");

    const int64_t before = sel->ChangeCount();
    Client("xsel -p -i", "from xsel");
    ASSERT_TRUE(Offered(sel, before, Pasteboard::kTypeString));
    std::string text;
    ASSERT_TRUE(sel->StringForType(Pasteboard::kTypeString, &text));
    EXPECT_EQ(text, "from xsel");
}

TEST_F(X11SelectionsTest, FileUrlsTravelAsUriLists) {
    Pasteboard* pb = Pasteboard::General();
    pb->DeclareTypes({Pasteboard::kTypeFileURL}, nullptr);
    ASSERT_TRUE(pb->SetFileURLs({"/tmp/a b.obm", "/tmp/c.png"}));
    const std::string list = Client("xclip -selection clipboard -o -t text/uri-list");
    EXPECT_NE(list.find("file:///tmp/a%20b.obm"), std::string::npos) << list;
    EXPECT_NE(list.find("file:///tmp/c.png"), std::string::npos) << list;

    const int64_t before = pb->ChangeCount();
    Client("xclip -selection clipboard -i -t text/uri-list", "file:///srv/show.obm\r\n");
    ASSERT_TRUE(Offered(pb, before, Pasteboard::kTypeFileURL));
    std::vector<std::string> paths;
    ASSERT_TRUE(pb->FileNames(&paths));
    EXPECT_EQ(paths, (std::vector<std::string>{"/srv/show.obm"}));
}

}  // namespace
