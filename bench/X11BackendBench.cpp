// The X11 backend beside the raw X calls it stands on, on a private Xvfb: presenting a 1920 × 1080
// window beside a bare XShmPutImage of that size (each followed by the same round trip), and
// reading 64 MiB of CLIPBOARD from xclip beside `xclip -o` reading it from another xclip. Each
// iteration times ours and the peer; "ratio" is ours over the peer for the whole run.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <benchmark/benchmark.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/XvfbServer.h"

namespace {

using Steady = std::chrono::steady_clock;

double Seconds(Steady::time_point t0) {
    return std::chrono::duration<double>(Steady::now() - t0).count();
}

struct Session {
    testsupport::XvfbServer server{"1920x1200x24"};
    std::unique_ptr<plat::x11::X11Backend> backend;
    Session() {
        if (!server.Ok()) return;
        backend = plat::x11::X11Backend::Open(server.Display().c_str());
        if (backend) {
            plat::SetBackend(backend.get());
            if (!backend->Start()) backend.reset();
        }
    }
    ~Session() {
        plat::SetBackend(nullptr);
        backend.reset();
    }
    template <typename F>
    void Pump(F done) {
        const double until = plat::ClockNow() + 30;
        while (!done() && plat::ClockNow() < until)
            plat::Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.005,
                                                   plat::kRunLoopDefaultMode, true, nullptr);
    }
};

void BM_X11PresentFullHDWindow(benchmark::State& state) {
    Session s;
    if (!s.backend) {
        state.SkipWithError("no Xvfb");
        return;
    }
    constexpr int W = 1920, H = 1080;
    ::Display* d = s.backend->XDisplay();
    plat::Ref<plat::Window> window = plat::Window::Create({0, 0, W, H}, plat::kBorderlessWindowMask);
    window->OrderFront();
    plat::DrawContext* store = window->BackingStore();
    store->SetFillColor({0.2, 0.4, 0.6, 1});
    store->FillRect({0, 0, W, H});

    // The peer: one shared-memory image of the same size into the same window.
    XShmSegmentInfo info = {};
    XImage* image =
        XShmCreateImage(d, DefaultVisual(d, 0), unsigned(DefaultDepth(d, 0)), ZPixmap, nullptr, &info, W, H);
    info.shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * H, IPC_CREAT | 0600);
    info.shmaddr = image->data = static_cast<char*>(shmat(info.shmid, nullptr, 0));
    // The same picture: untouched pages would all read the one zero page.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            reinterpret_cast<uint32_t*>(image->data + size_t(y) * size_t(image->bytes_per_line))[x] =
                0xFF336699;
    XShmAttach(d, &info);
    XSync(d, False);
    shmctl(info.shmid, IPC_RMID, nullptr);
    const ::Window target = s.backend->XWindowOf(window.get());
    GC gc = XCreateGC(d, target, 0, nullptr);
    XSync(d, False);

    double ours = 0, bare = 0;
    bool oursFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            const auto t0 = Steady::now();
            if ((turn == 0) == oursFirst) {
                s.backend->PresentWindow(window.get(), {0, 0, W, H});
                ours += Seconds(t0);
            } else {
                XShmPutImage(d, target, gc, image, 0, 0, 0, 0, W, H, False);
                XSync(d, False);
                bare += Seconds(t0);
            }
        }
        oursFirst = !oursFirst;
    }
    state.counters["ratio"] = bare > 0 ? ours / bare : 0;
    state.counters["presented"] = double(s.backend->PresentStats().presented.size());
    XFreeGC(d, gc);
    XShmDetach(d, &info);
    image->data = nullptr;
    XDestroyImage(image);
    shmdt(info.shmaddr);
    window->Close();
}
BENCHMARK(BM_X11PresentFullHDWindow)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_X11ReadClipboardFromXclip(benchmark::State& state) {
    if (!testsupport::HaveProgram("xclip")) {
        state.SkipWithError("xclip is not installed");
        return;
    }
    Session s;
    if (!s.backend) {
        state.SkipWithError("no Xvfb");
        return;
    }
    std::string data(64 << 20, 'x');
    for (size_t i = 0; i < data.size(); i += 61) data[i] = char('a' + i % 26);
    const std::string env = "DISPLAY=" + s.server.Display() + " ";
    plat::Pasteboard* pb = plat::Pasteboard::General();
    double ours = 0, peer = 0;
    bool oursFirst = true;
    for (auto _ : state) {
        {
            const int64_t before = pb->ChangeCount();
            testsupport::BackgroundCommand put(env + "xclip -selection clipboard -i", data);
            s.Pump([&] { return put.Done() && pb->ChangeCount() != before && pb->HasType(pb->kTypeString); });
        }
        // Ours and the peer take turns going first.
        for (int turn = 0; turn < 2; ++turn) {
            const auto t0 = Steady::now();
            if ((turn == 0) == oursFirst) {
                std::string text;
                const bool ok = pb->StringForType(plat::Pasteboard::kTypeString, &text);
                ours += Seconds(t0);
                if (!ok || text.size() != data.size()) {
                    state.SkipWithError("the clipboard did not arrive whole");
                    return;
                }
            } else {
                if (std::system((env + "xclip -selection clipboard -o > /dev/null").c_str()) != 0) {
                    state.SkipWithError("xclip -o failed");
                    return;
                }
                peer += Seconds(t0);
            }
        }
        oursFirst = !oursFirst;
    }
    state.counters["ratio"] = peer > 0 ? ours / peer : 0;
}
BENCHMARK(BM_X11ReadClipboardFromXclip)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
