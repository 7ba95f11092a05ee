// The HTTP server beside lighttpd, both on 127.0.0.1 with a kernel-chosen port, in the same run:
// wrk with 16 keep-alive connections for 10 s on a 16 KiB file, and a 100 MiB multipart upload
// with curl (to "/.Osceq", which stores the file; lighttpd hands the body to a CGI script that
// writes it to disk). Counters: requests per second (or seconds per upload) of both and the ratio
// ours / lighttpd. Skips with the reason when wrk, curl or lighttpd is missing.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Orbilume/CSources/Http/FormPostHandlers.h"
#include "Orbilume/CSources/Http/HttpServer.h"
#include "Platform/Foundation/RunLoop.h"

extern char** environ;

namespace {

constexpr uint32_t kLoopback = INADDR_LOOPBACK;

bool HaveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

uint16_t FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(kLoopback);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

struct Folder {
    std::string path;
    Folder() {
        char t[] = "/tmp/httpbench-XXXXXX";
        path = mkdtemp(t);
    }
    ~Folder() { (void)!std::system(("rm -rf '" + path + "'").c_str()); }
};

class Loop {
public:
    LAsyncMainLoop* Get() { return &fLoop; }
    // Turns the main loop while work runs on a thread.
    void RunWhile(const std::function<void()>& work) {
        std::atomic<bool> done{false};
        std::thread t([&] {
            work();
            done = true;
        });
        while (!done) {
            plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.002, false);
            fBase.IdlePass();
        }
        t.join();
    }

private:
    class Base : public CMainLoopBase {
    public:
        explicit Base(LHandler* root) : CMainLoopBase(root) {}
        void RunModalStep() override {}
        void Quit() override {}
        void RequestUpdate() override {}
        CMacTimer* CreateTimer(TimerCallback, void*) override { return nullptr; }
    };
    LHandler fRoot{nullptr};
    Base fBase{&fRoot};
    LAsyncMainLoop fLoop;
};

class FileServer : public HttpServer {
public:
    FileServer(LAsyncLoop* loop, const std::string& root)
        : HttpServer(loop), fRoot(root), fOsceq(root, nullptr, nullptr) {
        AddPostHandler(&fOsceq);
    }
    bool Route(const std::string& path, std::unique_ptr<HttpBodySource>* body, std::string&,
               HttpConnection&) override {
        if (path.find("..") != std::string::npos) return false;
        body->reset(HttpFileBody::Open(fRoot + path));
        return bool(*body);
    }

private:
    std::string fRoot;
    OsceqPostHandler fOsceq;
};

// lighttpd in the foreground on 127.0.0.1:port serving root, with up.cgi taking uploads.
class Lighttpd {
public:
    Lighttpd(const std::string& root, uint16_t port) {
        const std::string conf = root + "/lighttpd.conf";
        std::ofstream(conf) << "server.document-root = \"" << root << "/www\"\n"
                            << "server.bind = \"127.0.0.1\"\nserver.port = " << port << "\n"
                            << "server.upload-dirs = (\"" << root << "\")\n"
                            << "server.max-request-size = 2097152\n"
                            << "server.modules += (\"mod_cgi\")\ncgi.assign = (\".cgi\" => \"/bin/sh\")\n"
                            << "server.errorlog = \"" << root << "/error.log\"\n";
        std::ofstream(root + "/www/up.cgi") << "cat > \"" << root << "/www/Upload/up.bin\"\n"
                                            << "printf 'Status: 204\\r\\n\\r\\n'\n";
        const char* argv[] = {"lighttpd", "-D", "-f", conf.c_str(), nullptr};
        if (posix_spawnp(&fPid, "lighttpd", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            fPid = -1;
        // Ready once it accepts.
        for (int i = 0; i < 200 && fPid > 0; ++i) {
            int fd = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(port);
            a.sin_addr.s_addr = htonl(kLoopback);
            const bool up = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
            close(fd);
            if (up) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~Lighttpd() {
        if (fPid <= 0) return;
        kill(fPid, SIGTERM);
        int status;
        waitpid(fPid, &status, 0);
    }
    bool Running() const { return fPid > 0; }

private:
    pid_t fPid = -1;
};

// Requests per second from wrk's report; 0 when it reported errors.
double WrkRate(const std::string& report, std::string& error) {
    if (report.find("Non-2xx") != std::string::npos || report.find("Socket errors") != std::string::npos) {
        error = report;
        return 0;
    }
    const size_t at = report.find("Requests/sec:");
    return at == std::string::npos ? 0 : std::atof(report.c_str() + at + 13);
}

std::string Wrk(uint16_t port) {
    return Output("wrk -t2 -c16 -d10s http://127.0.0.1:" + std::to_string(port) + "/file.bin 2>&1");
}

void Setup(const Folder& f) {
    (void)!std::system(("mkdir -p '" + f.path + "/www/Upload'").c_str());
    std::ofstream(f.path + "/www/file.bin") << std::string(16384, 'x');
}

void BM_HttpFileBesideLighttpd(benchmark::State& state) {
    if (!HaveProgram("wrk") || !HaveProgram("lighttpd")) {
        state.SkipWithError("wrk or lighttpd is not installed (scripts/setup installs both)");
        return;
    }
    Folder folder;
    Setup(folder);
    Loop loop;
    FileServer server(loop.Get(), folder.path + "/www");
    const uint16_t peerPort = FreePort();
    Lighttpd peer(folder.path, peerPort);
    if (server.Listen(0, kLoopback) != 0 || !peer.Running()) {
        state.SkipWithError("cannot start both servers on 127.0.0.1");
        return;
    }
    std::string ours, theirs;
    for (auto _ : state) {
        loop.RunWhile([&] { ours = Wrk(uint16_t(server.Port())); });
        theirs = Wrk(peerPort);
    }
    std::string error;
    const double oursRate = WrkRate(ours, error), theirRate = WrkRate(theirs, error);
    if (!error.empty() || oursRate <= 0 || theirRate <= 0) {
        state.SkipWithError(("wrk reported errors: " + error + ours + theirs).c_str());
        return;
    }
    state.counters["ours_rps"] = oursRate;
    state.counters["lighttpd_rps"] = theirRate;
    state.counters["ratio"] = oursRate / theirRate;
}
BENCHMARK(BM_HttpFileBesideLighttpd)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// "<http code> <seconds>" of one curl upload of the file as a multipart part.
std::string Upload(const std::string& file, const std::string& url) {
    return Output("curl -s --noproxy '*' -o /dev/null -w '%{http_code} %{time_total}' -F '/f=@" + file +
                  ";filename=big.bin' " + url);
}

void BM_HttpUploadBesideLighttpd(benchmark::State& state) {
    if (!HaveProgram("curl") || !HaveProgram("lighttpd")) {
        state.SkipWithError("curl or lighttpd is not installed (scripts/setup installs both)");
        return;
    }
    Folder folder;
    Setup(folder);
    const std::string big = folder.path + "/big.bin";
    {
        std::ofstream out(big, std::ios::binary);
        std::string block(1 << 20, '\0');
        for (size_t i = 0; i < block.size(); ++i) block[i] = char(i * 131 + (i >> 9));
        for (int i = 0; i < 100; ++i) out << block;
    }
    Loop loop;
    FileServer server(loop.Get(), folder.path + "/www");
    const uint16_t peerPort = FreePort();
    Lighttpd peer(folder.path, peerPort);
    if (server.Listen(0, kLoopback) != 0 || !peer.Running()) {
        state.SkipWithError("cannot start both servers on 127.0.0.1");
        return;
    }
    std::string ours, theirs;
    for (auto _ : state) {
        loop.RunWhile(
            [&] { ours = Upload(big, "http://127.0.0.1:" + std::to_string(server.Port()) + "/.Osceq"); });
        theirs = Upload(big, "http://127.0.0.1:" + std::to_string(peerPort) + "/up.cgi");
    }
    if (ours.compare(0, 3, "204") != 0 || theirs.compare(0, 3, "204") != 0) {
        state.SkipWithError(("an upload failed: ours " + ours + ", lighttpd " + theirs).c_str());
        return;
    }
    const double oursS = std::atof(ours.c_str() + 4), theirS = std::atof(theirs.c_str() + 4);
    state.counters["ours_s"] = oursS;
    state.counters["lighttpd_s"] = theirS;
    // Above 1: faster than lighttpd.
    state.counters["speed_ratio"] = oursS > 0 ? theirS / oursS : 0;
}
BENCHMARK(BM_HttpUploadBesideLighttpd)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
