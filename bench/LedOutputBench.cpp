#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "Orbilume/CSources/DmxIn/CUvAdTable.h"
#include "Orbilume/CSources/DmxIn/DmxPackets.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimOutput.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Orbilume/CSources/Net/CUDPPort.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/support/NetNamespace.h"

// The LED output's capture and sampling beside the same work in plain GL (the floor), pass by pass
// in the same loop: a 1920 × 1080 texture drawn into a canvas-sized framebuffer, read synchronously,
// and each dot's precomputed pixel copied into 513-byte universes. Cases: 100 fixtures of 16 × 16 dots at 160
// × 160 and 480 × 480, 1000 fixtures of 13 × 13 at 520 × 325.
namespace {

using T = CDimTypes;

struct Case {
    uint32_t fixtures, dots, width, height;
};
const Case kCases[] = {{100, 16, 160, 160}, {100, 16, 480, 480}, {1000, 13, 520, 325}};

// Sends nothing: the benchmark times capture and sampling only.
class NullUdp : public CUDPPort {
public:
    NullUdp(LHandler* upper, LAsyncLoop* loop) : CUDPPort(upper, loop) {}
    bool IsOpen() const override { return true; }
    bool CanSend() const override { return true; }
    int Open(uint16_t, uint32_t, uint32_t, uint32_t) override { return kOk; }
    void Close() override {}
    bool Send(const CNetAddress&, const void*, uint32_t) override { return true; }
};

struct Env {
    Env() {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        setenv("EGL_PLATFORM", "surfaceless", 0);
        common = COpenGLCommonCtx::Use();
        COpenGLContext_Cca::SetShared(common);
        COpenGLScope_Cca scope(*common);
        std::vector<uint32_t> pixels(1920 * 1080);
        for (uint32_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | (i * 2654435761u >> 8);
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1920, 1080, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     pixels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        glFinish();
    }
    COpenGLContext_Cca* common = nullptr;
    GLuint texture = 0;
};

Env& TheEnv() {
    static Env env;
    return env;
}

// The same texture over the whole viewport, fixed function.
void DrawTexture(GLuint texture) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, -1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, 1);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

void DrawCallback(void* texture, COpenGLContext_Cca&, bool) {
    DrawTexture(*static_cast<GLuint*>(texture));
}

// Fixtures in a grid over the canvas, each on a universe of its own.
std::string DimsXml(const Case& c) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<YOBM_DIMS><YOBM_DIMS_devs>";
    uint32_t side = 1;
    while (side * side < c.fixtures) ++side;
    const float aspectX = c.width >= c.height ? 1.0f : float(c.width) / float(c.height);
    const float aspectY = c.width >= c.height ? float(c.height) / float(c.width) : 1.0f;
    const float w = 2 * aspectX / float(side), h = 2 * aspectY / float(side);
    for (uint32_t i = 0; i < c.fixtures; ++i) {
        const float x = -aspectX + w * (float(i % side) + 0.5f), y = -aspectY + h * (float(i / side) + 0.5f);
        s += "<YOBM_DIDV dfid=\"M\" posx=\"" + std::to_string(x) + "\" posy=\"" + std::to_string(y) +
             "\" sizw=\"" + std::to_string(w) + "\" sizh=\"" + std::to_string(h) +
             "\" conn=\"2\"><YOBM_DIDV_prms><YUND_PRMS><YUND_PRMS_prms><YUND_PRAM i=\"anuniv\" v=\"" +
             std::to_string(i) + "\"/></YUND_PRMS_prms></YUND_PRMS></YOBM_DIDV_prms></YOBM_DIDV>";
    }
    return s + "</YOBM_DIMS_devs><YOBM_DIMS_defs><YOBM_DIDF dfid=\"M\" dthz=\"" + std::to_string(c.dots) +
           "\" dtvt=\"" + std::to_string(c.dots) + "\"/></YOBM_DIMS_defs></YOBM_DIMS>\n";
}

// An output over the case's document, started, with the canvas size.
struct Output {
    nettest::MainLoop main;
    CAppPrefs prefs;
    CRecordHolder dims{CRecord::New(T::Dims())};
    CDimDefStore defs;
    std::unique_ptr<CDimOutput> output;
    // Each dot's pixel and first slot, as the floor precomputes them.
    std::vector<uint32_t> pixelIndex, slotIndex, universeIndex;

    explicit Output(const Case& c) {
        std::string xml = DimsXml(c);
        CMemStream in(xml.data(), static_cast<uint32_t>(xml.size()));
        (void)ReadXmlDocument(in, dims.RootRef());
        CRecord* root = dims.Root();
        for (uint32_t i = 0; i < root->ArrayCount(T::kDimsDefinitions); ++i)
            (void)defs.Add(CRecord::Clone(root->GetElement(T::kDimsDefinitions, i), nullptr));
        UDimPrefs::SetUse(CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefDimmer).record), true);
        output = std::make_unique<CDimOutput>(main.Loop(), nullptr, &prefs, &dims, &defs);
        output->SetUdpPort(std::make_unique<NullUdp>(output.get(), main.Loop()));
        output->Resize(c.width, c.height);
        for (uint32_t d = 0; d < output->DeviceCount(); ++d) {
            const SDimDevice* dev = output->DeviceAt(d);
            for (uint32_t r = 0; r < c.dots; ++r)
                for (uint32_t k = 0; k < c.dots; ++k) {
                    const float x = dev->x0 + dev->colDx * float(k) + dev->rowDx * float(r);
                    const float y = dev->y0 + dev->colDy * float(k) + dev->rowDy * float(r);
                    const uint32_t slot = 1 + 3 * (r * c.dots + k);
                    if (x < 0 || y < 0 || x >= float(c.width) || y >= float(c.height) || slot > 510) continue;
                    pixelIndex.push_back(uint32_t(y) * c.width + uint32_t(x));
                    slotIndex.push_back(slot);
                    universeIndex.push_back(d);
                }
        }
    }
};

// Turns the main run loop until the sampling pass has run (returning as soon as a source fired).
void RunPass(CDimOutput& output) {
    for (int i = 0; i < 1000 && output.IsBusy(); ++i)
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
}

double Ms(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// The floor in a context of its own: draw, synchronous read, indexed copy.
struct Floor {
    const Case& c;
    const Output& o;
    COpenGLContext_Cca context{nullptr, nullptr};
    GLuint fbo = 0, colour = 0;
    std::vector<uint32_t> frame;
    std::vector<std::vector<uint8_t>> universes;

    Floor(const Case& k, const Output& out)
        : c(k), o(out), frame(size_t(k.width) * k.height), universes(k.fixtures, std::vector<uint8_t>(513)) {
        COpenGLScope_Cca scope(context);
        glGenTextures(1, &colour);
        glBindTexture(GL_TEXTURE_2D, colour);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, GLsizei(c.width), GLsizei(c.height), 0, GL_RGB,
                     GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        glGenFramebuffersEXT(1, &fbo);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colour, 0);
        glViewport(0, 0, GLsizei(c.width), GLsizei(c.height));
        DrawTexture(TheEnv().texture);  // warm: the first draw compiles its shaders
        glReadPixels(0, 0, GLsizei(c.width), GLsizei(c.height), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     frame.data());
    }
    ~Floor() {
        COpenGLScope_Cca scope(context);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glDeleteFramebuffersEXT(1, &fbo);
        glDeleteTextures(1, &colour);
    }
    void Index(const uint32_t* pixels) {
        for (size_t i = 0; i < o.pixelIndex.size(); ++i) {
            const uint32_t p = pixels[o.pixelIndex[i]];
            uint8_t* u = universes[o.universeIndex[i]].data() + o.slotIndex[i];
            u[0] = uint8_t(p >> 16);
            u[1] = uint8_t(p >> 8);
            u[2] = uint8_t(p);
        }
        benchmark::DoNotOptimize(universes.data());
    }
    // One pass in milliseconds (its context is made current before the clock starts).
    double Pass() {
        COpenGLScope_Cca scope(context);
        const auto t0 = std::chrono::steady_clock::now();
        DrawTexture(TheEnv().texture);
        glReadPixels(0, 0, GLsizei(c.width), GLsizei(c.height), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     frame.data());
        Index(frame.data());
        return Ms(t0);
    }
};

// Capture plus the sampling pass of the output (the read trails by one pass, as in the product),
// interleaved with the floor pass by pass, their order alternating: ratio_to_floor is the sum over
// the sum, median_ratio the median of the pairs' ratios.
void BM_LedCaptureAndSample(benchmark::State& state) {
    Env& env = TheEnv();
    const Case& c = kCases[state.range(0)];
    Output o(c);
    Floor floor(c, o);
    static uint32_t clock = 0;
    o.output->SetClock(+[] { return clock += 25; });
    for (int i = 0; i < 2; ++i) {  // warm, and past the first pass that only starts a read
        (void)o.output->Capture(&env.texture, &DrawCallback);
        RunPass(*o.output);
    }
    auto product = [&] {
        const auto t0 = std::chrono::steady_clock::now();
        if (!o.output->Capture(&env.texture, &DrawCallback)) state.SkipWithError("capture refused");
        RunPass(*o.output);
        return Ms(t0);
    };
    double total = 0, floorTotal = 0;
    std::vector<double> ratios;
    bool productFirst = false;
    for (auto _ : state) {
        double p, f;
        if (productFirst) {
            p = product();
            f = floor.Pass();
        } else {
            f = floor.Pass();
            p = product();
        }
        productFirst = !productFirst;
        total += p;
        floorTotal += f;
        ratios.push_back(p / f);
    }
    const double n = double(state.iterations());
    state.counters["pass_ms"] = total / n;
    state.counters["floor_ms"] = floorTotal / n;
    state.counters["ratio_to_floor"] = floorTotal > 0 ? total / floorTotal : 0;
    state.counters["median_ratio"] = Median(ratios);
}

// Sampling alone on a frame in memory, interleaved with the floor's indexing loop over it.
void BM_LedSampleOnly(benchmark::State& state) {
    (void)TheEnv();  // the shared context, before the floor's context is made
    const Case& c = kCases[state.range(0)];
    Output o(c);
    Floor floor(c, o);
    std::vector<uint32_t> frame(size_t(c.width) * c.height, 0xFF336699);
    double total = 0, floorTotal = 0;
    std::vector<double> ratios;
    bool sampleFirst = false;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (sampleFirst) o.output->SampleFrame(frame.data(), c.width, c.height);
        const auto t1 = std::chrono::steady_clock::now();
        floor.Index(frame.data());
        const auto t2 = std::chrono::steady_clock::now();
        if (!sampleFirst) o.output->SampleFrame(frame.data(), c.width, c.height);
        const auto t3 = std::chrono::steady_clock::now();
        const double f = std::chrono::duration<double, std::nano>(t2 - t1).count();
        const double s = std::chrono::duration<double, std::nano>((t1 - t0) + (t3 - t2)).count();
        sampleFirst = !sampleFirst;
        total += s;
        floorTotal += f;
        ratios.push_back(s / f);
    }
    const double n = double(state.iterations());
    state.counters["sample_us"] = total / n / 1000;
    state.counters["index_us"] = floorTotal / n / 1000;
    state.counters["ratio_to_floor_index"] = floorTotal > 0 ? total / floorTotal : 0;
    state.counters["median_ratio"] = Median(ratios);
}

// A UDP socket bound to 127.0.0.1:port with an 8 MiB receive buffer and a 100 ms receive
// timeout; -1 when the port can't be had.
int LoopbackReceiver(uint16_t port) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int size = 8 << 20;
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        (void)setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    timeval tv{0, 100000};
    (void)setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// A receiver on 127.0.0.1:6454, counting datagrams on its own thread.
struct Receiver {
    int fd = -1;
    std::atomic<uint64_t> count{0};
    std::atomic<bool> stop{false};
    std::thread thread;
    Receiver() {
        fd = LoopbackReceiver(dmxpkt::kArtNetPort);
        if (fd < 0) return;
        thread = std::thread([this] {
            uint8_t b[700];
            while (!stop.load())
                if (recv(fd, b, sizeof b, 0) > 0) ++count;
        });
    }
    ~Receiver() {
        stop = true;
        if (thread.joinable()) thread.join();
        if (fd >= 0) close(fd);
    }
};

constexpr Case kSendCase{1000, 1, 100, 100};
double gBareSendMs = 0;

// The bare loop: the same 1000 ArtDmx datagrams through sendto.
void BM_LedSendBare(benchmark::State& state) {
    if (!testsupport::NetNamespace::Inside()) {
        state.SkipWithError("run inside tests/support/netns-run (ports 6454 of a private namespace)");
        return;
    }
    Receiver receiver;
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(dmxpkt::kArtNetPort);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<uint8_t> packets(1000 * dmxpkt::kArtDmxSize);
    for (uint32_t u = 0; u < 1000; ++u)
        (void)dmxpkt::BuildArtDmx(&packets[u * dmxpkt::kArtDmxSize], u, nullptr);
    double total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        for (uint32_t u = 0; u < 1000; ++u)
            (void)sendto(fd, &packets[u * dmxpkt::kArtDmxSize], dmxpkt::kArtDmxSize, 0,
                         reinterpret_cast<sockaddr*>(&to), sizeof to);
        total += Ms(t0);
    }
    close(fd);
    gBareSendMs = total / double(state.iterations());
    state.counters["pass_ms"] = gBareSendMs;
}

// One send pass of the output over 1000 universes listed at 127.0.0.1, paced by "CUDPPort_Sent".
void BM_LedSendPass(benchmark::State& state) {
    if (!testsupport::NetNamespace::Inside()) {
        state.SkipWithError("run inside tests/support/netns-run (ports 6454 of a private namespace)");
        return;
    }
    Receiver receiver;
    Output o(kSendCase);
    o.output->SetUdpPort(std::make_unique<CUDPPort>(o.output.get(), o.main.Loop()));
    const UvAdRecord listed{0, 1000, "127.0.0.1"};
    (void)o.output->Table()->Rebuild(&listed, 1);
    std::vector<uint32_t> frame(size_t(kSendCase.width) * kSendCase.height, 0xFF808080);
    o.output->SampleFrame(frame.data(), kSendCase.width, kSendCase.height);
    double total = 0;
    const uint64_t before = receiver.count.load();
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        o.output->SendPass();
        for (int i = 0; i < 100000 && o.output->NextPort() < o.output->PortCount(); ++i)
            plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
        total += Ms(t0);
    }
    usleep(200000);
    const double ms = total / double(state.iterations());
    state.counters["pass_ms"] = ms;
    state.counters["ratio_to_bare"] = gBareSendMs > 0 ? ms / gBareSendMs : 0;
    state.counters["received_share"] =
        double(receiver.count.load() - before) / (1000.0 * double(state.iterations()));
}

// E1.31 at 44 passes a second for 10 s over the same 1000 universes, unicast to a receiver on
// 127.0.0.1:5568 with an 8 MiB buffer: every datagram arrives and each universe's sequence numbers
// follow one another (44 Hz is the line rate, above the capture gate's 40 Hz).
void BM_LedSend44Hz(benchmark::State& state) {
    if (!testsupport::NetNamespace::Inside()) {
        state.SkipWithError("run inside tests/support/netns-run (ports 5568 of a private namespace)");
        return;
    }
    const int fd = LoopbackReceiver(dmxpkt::kSAcnPort);
    if (fd < 0) {
        state.SkipWithError("cannot bind 127.0.0.1:5568");
        return;
    }
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> received{0}, gaps{0}, foreign{0};
    std::thread reader([&] {
        std::vector<int> last(65536, -1);
        uint8_t b[700];
        while (!stop.load()) {
            const ssize_t n = recv(fd, b, sizeof b, 0);
            if (n <= 0) continue;
            dmxpkt::E131View view;
            if (!dmxpkt::CheckE131(b, size_t(n), &view)) {
                ++foreign;
                continue;
            }
            const int sequence = b[111];
            int& previous = last[view.universe];
            if (previous >= 0 && sequence != ((previous + 1) & 0xFF)) ++gaps;
            previous = sequence;
            ++received;
        }
    });

    Output o(kSendCase);
    o.output->SetUdpPort(std::make_unique<CUDPPort>(o.output.get(), o.main.Loop()));
    (void)o.dims.RootRef().SetByte(nullptr, T::kDimsSacn, 1);
    const UvAdRecord listed{0, 1000, "127.0.0.1"};
    (void)o.output->Table()->Rebuild(&listed, 1);
    std::vector<uint32_t> frame(size_t(kSendCase.width) * kSendCase.height, 0xFF808080);
    o.output->SampleFrame(frame.data(), kSendCase.width, kSendCase.height);
    constexpr int kPasses = 440;
    int late = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int pass = 0; pass < kPasses; ++pass) {
            const auto due = t0 + std::chrono::microseconds(int64_t(pass) * 1000000 / 44);
            if (std::chrono::steady_clock::now() > due + std::chrono::milliseconds(23)) ++late;
            std::this_thread::sleep_until(due);
            o.output->SendPass();
            for (int i = 0; i < 100000 && o.output->NextPort() < o.output->PortCount(); ++i)
                plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
        }
    }
    usleep(300000);
    stop = true;
    reader.join();
    close(fd);
    state.counters["received"] = double(received.load());
    state.counters["expected"] = double(kPasses) * 1000;
    state.counters["sequence_gaps"] = double(gaps.load());
    state.counters["late_passes"] = late;
    state.counters["foreign"] = double(foreign.load());
}

BENCHMARK(BM_LedSendBare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LedSend44Hz)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LedSendPass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LedCaptureAndSample)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LedSampleOnly)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace
