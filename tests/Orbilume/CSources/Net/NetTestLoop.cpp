#include "tests/Orbilume/CSources/Net/NetTestLoop.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "Platform/Foundation/RunLoop.h"

namespace nettest {

MainLoop::MainLoop() = default;
MainLoop::~MainLoop() {
    Spin(0.01);  // let timers of destroyed clients drain
}

bool MainLoop::RunUntil(const std::function<bool()>& done, double seconds) {
    auto t0 = std::chrono::steady_clock::now();
    while (!done()) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() > seconds)
            return false;
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.002, false);
        fBase.IdlePass();
    }
    return true;
}

void MainLoop::Spin(double seconds) {
    RunUntil([] { return false; }, seconds);
}

LMessage Recorder::Handle(const LMessage& msg) {
    if (msg.Is(LHandler_Destructing)) return LMessage();
    ids.push_back(msg.id.Text());
    if (hook && !hook(msg)) return LHandler::Handle(msg);
    return LMessage();
}

int Recorder::Count(LMsgId id) const {
    int n = 0;
    for (const auto& s : ids)
        if (LMsgId(s.c_str()) == id) ++n;
    return n;
}

RawUdp::RawUdp() {
    fFd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(kLoopback);
    if (bind(fFd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return;
    socklen_t len = sizeof a;
    getsockname(fFd, reinterpret_cast<sockaddr*>(&a), &len);
    fPort = ntohs(a.sin_port);
}

RawUdp::~RawUdp() {
    if (fFd >= 0) close(fFd);
}

bool RawUdp::SendTo(uint16_t port, const std::string& bytes, uint32_t address) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address);
    return sendto(fFd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a) ==
           ssize_t(bytes.size());
}

std::string RawUdp::Receive() {
    pollfd p{fFd, POLLIN, 0};
    if (poll(&p, 1, 1000) != 1) return {};
    char buf[2048];
    ssize_t n = recv(fFd, buf, sizeof buf, 0);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

int ThreadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}

uint16_t FreeTcpPort() {
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

}  // namespace nettest
