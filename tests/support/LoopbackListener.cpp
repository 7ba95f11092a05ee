#include "tests/support/LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace testsupport {

LoopbackListener::LoopbackListener() {
    fFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fFd < 0) return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(fFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fFd, 4) != 0 ||
        getsockname(fFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        close(fFd);
        fFd = -1;
        return;
    }
    fPort = ntohs(addr.sin_port);
}

LoopbackListener::~LoopbackListener() {
    if (fFd >= 0) close(fFd);
}

namespace {

bool WaitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) == 1;
}

size_t ContentLength(const std::string& head) {
    for (size_t pos = 0; (pos = head.find("\r\n", pos)) != std::string::npos;) {
        pos += 2;
        if (strncasecmp(head.c_str() + pos, "content-length:", 15) == 0)
            return std::strtoul(head.c_str() + pos + 15, nullptr, 10);
    }
    return 0;
}

}  // namespace

std::string LoopbackListener::CaptureHttpRequest(int timeoutMs) {
    if (fFd < 0 || !WaitReadable(fFd, timeoutMs)) return {};
    const int conn = accept4(fFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (conn < 0) return {};
    std::string data;
    size_t want = std::string::npos;
    char buf[4096];
    while (data.size() < want && WaitReadable(conn, timeoutMs)) {
        const ssize_t n = read(conn, buf, sizeof buf);
        if (n <= 0) break;
        data.append(buf, static_cast<size_t>(n));
        const size_t end = data.find("\r\n\r\n");
        if (want == std::string::npos && end != std::string::npos)
            want = end + 4 + ContentLength(data.substr(0, end + 2));
    }
    static const char kReply[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    (void)!write(conn, kReply, sizeof kReply - 1);
    close(conn);
    return data;
}

}  // namespace testsupport
