#include "tests/support/XExtensionFilter.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

namespace testsupport {

namespace {

constexpr uint8_t kQueryExtension = 98;
constexpr uint8_t kListExtensions = 99;

// An abstract socket address as X servers listen on: "@/tmp/.X11-unix/X<n>".
socklen_t Address(int number, sockaddr_un* a) {
    std::memset(a, 0, sizeof(*a));
    a->sun_family = AF_UNIX;
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    std::memcpy(a->sun_path + 1, path.data(), path.size());
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + path.size());
}

int ConnectTo(int number) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un a;
    const socklen_t length = Address(number, &a);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// One client's connection and its server side; the byte streams are cut into messages so that
// requests can be counted and replies matched to them.
struct Link {
    int client = -1;
    int server = -1;
    std::string fromClient, toServer, fromServer, toClient;
    bool little = true;
    bool setUp = false;       // the client's set-up block passed
    bool setUpReply = false;  // the server's answer to it passed
    uint32_t sequence = 0;
    std::map<uint16_t, uint8_t> pending;  // sequence -> request whose reply is rewritten

    uint32_t Card16(const std::string& s, size_t at) const {
        const uint8_t a = uint8_t(s[at]), b = uint8_t(s[at + 1]);
        return little ? uint32_t(a | b << 8) : uint32_t(a << 8 | b);
    }
    uint32_t Card32(const std::string& s, size_t at) const {
        const uint32_t a = Card16(s, at), b = Card16(s, at + 2);
        return little ? (a | b << 16) : (a << 16 | b);
    }
    void Put32(std::string& s, size_t at, uint32_t v) const {
        for (int i = 0; i < 4; ++i) s[at + size_t(i)] = char(little ? v >> (8 * i) : v >> (8 * (3 - i)));
    }
};

size_t Pad4(size_t n) {
    return (n + 3) & ~size_t(3);
}

bool Hidden(const std::vector<std::string>& hidden, const std::string& name) {
    return std::find(hidden.begin(), hidden.end(), name) != hidden.end();
}

// Moves the client's complete messages to the server side.
void FromClient(Link& l, const std::vector<std::string>& hidden) {
    std::string& in = l.fromClient;
    for (;;) {
        size_t size;
        if (!l.setUp) {
            if (in.size() < 12) return;
            l.little = in[0] == 'l';
            size = 12 + Pad4(l.Card16(in, 6)) + Pad4(l.Card16(in, 8));
        } else {
            if (in.size() < 4) return;
            size = size_t(l.Card16(in, 2)) * 4;
            if (size == 0) {  // BIG-REQUESTS: the length follows the header
                if (in.size() < 8) return;
                size = size_t(l.Card32(in, 4)) * 4;
            }
            if (size < 4) size = 4;
        }
        if (in.size() < size) return;
        if (l.setUp) {
            ++l.sequence;
            const uint8_t opcode = uint8_t(in[0]);
            if (opcode == kQueryExtension && size >= 8) {
                const size_t n = std::min<size_t>(l.Card16(in, 4), size - 8);
                if (Hidden(hidden, in.substr(8, n))) l.pending[uint16_t(l.sequence)] = opcode;
            } else if (opcode == kListExtensions) {
                l.pending[uint16_t(l.sequence)] = opcode;
            }
        }
        l.setUp = true;
        l.toServer.append(in, 0, size);
        in.erase(0, size);
    }
}

// The names of a ListExtensions reply without the hidden ones.
void FilterList(Link& l, std::string& reply, const std::vector<std::string>& hidden) {
    std::string names;
    uint8_t count = 0;
    size_t at = 32;
    for (uint8_t i = 0; i < uint8_t(reply[1]) && at < reply.size(); ++i) {
        const size_t n = uint8_t(reply[at]);
        if (at + 1 + n > reply.size()) break;
        const std::string name = reply.substr(at + 1, n);
        if (!Hidden(hidden, name)) {
            names += char(n);
            names += name;
            ++count;
        }
        at += 1 + n;
    }
    names.resize(Pad4(names.size()), '\0');
    reply.resize(32);
    reply += names;
    reply[1] = char(count);
    l.Put32(reply, 4, uint32_t(names.size() / 4));
}

// Moves the server's complete messages to the client side, rewriting the replies asked for.
void FromServer(Link& l, const std::vector<std::string>& hidden) {
    std::string& in = l.fromServer;
    for (;;) {
        size_t size;
        if (!l.setUpReply) {
            if (in.size() < 8) return;
            size = 8 + size_t(l.Card16(in, 6)) * 4;
        } else {
            if (in.size() < 32) return;
            const uint8_t type = uint8_t(in[0]) & 0x7F;
            size = type == 1 || type == 35 ? 32 + size_t(l.Card32(in, 4)) * 4 : 32;  // reply, generic event
        }
        if (in.size() < size) return;
        std::string message = in.substr(0, size);
        in.erase(0, size);
        if (l.setUpReply && uint8_t(message[0]) == 1) {
            auto it = l.pending.find(uint16_t(l.Card16(message, 2)));
            if (it != l.pending.end()) {
                if (it->second == kQueryExtension)
                    std::memset(&message[8], 0, 4);  // present, major opcode, first event, first error
                else
                    FilterList(l, message, hidden);
                l.pending.erase(it);
            }
        }
        l.setUpReply = true;
        l.toClient += message;
    }
}

// Reads what is there (false at the end of the stream or on an error).
bool ReadInto(int fd, std::string& buffer) {
    char chunk[65536];
    const ssize_t n = read(fd, chunk, sizeof(chunk));
    if (n > 0) {
        buffer.append(chunk, size_t(n));
        return true;
    }
    return n < 0 && (errno == EAGAIN || errno == EINTR);
}

bool WriteFrom(int fd, std::string& buffer) {
    const ssize_t n = write(fd, buffer.data(), buffer.size());
    if (n > 0) {
        buffer.erase(0, size_t(n));
        return true;
    }
    return n < 0 && (errno == EAGAIN || errno == EINTR);
}

}  // namespace

XExtensionFilter::XExtensionFilter(const std::string& display, std::vector<std::string> hidden)
    : fTarget(display), fHidden(std::move(hidden)) {
    if (display.size() < 2 || display[0] != ':' || pipe2(fWake, O_CLOEXEC | O_NONBLOCK) != 0) return;
    // A display number no server uses: its abstract socket is free to take.
    for (int number = 300 + int(getpid() % 300), tries = 0; tries < 200; ++tries, ++number) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) return;
        sockaddr_un a;
        const socklen_t length = Address(number, &a);
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), length) == 0 && listen(fd, 16) == 0) {
            fListen = fd;
            fDisplay = ":" + std::to_string(number);
            break;
        }
        close(fd);
    }
    if (fListen >= 0) fThread = std::thread([this] { Run(); });
}

XExtensionFilter::~XExtensionFilter() {
    if (fThread.joinable()) {
        (void)!write(fWake[1], "x", 1);
        fThread.join();
    }
    if (fListen >= 0) close(fListen);
    for (int fd : fWake)
        if (fd >= 0) close(fd);
}

void XExtensionFilter::Run() {
    const int target = std::atoi(fTarget.c_str() + 1);
    std::vector<std::unique_ptr<Link>> links;
    struct Closer {
        std::vector<std::unique_ptr<Link>>& links;
        ~Closer() {
            for (const auto& l : links) {
                close(l->client);
                close(l->server);
            }
        }
    } closer{links};
    for (;;) {
        std::vector<pollfd> fds{{fWake[0], POLLIN, 0}, {fListen, POLLIN, 0}};
        for (const auto& l : links) {
            // Reads wait while the other side has much unsent.
            fds.push_back(
                {l->client,
                 short((l->toServer.size() < (4u << 20) ? POLLIN : 0) | (l->toClient.empty() ? 0 : POLLOUT)),
                 0});
            fds.push_back(
                {l->server,
                 short((l->toClient.size() < (4u << 20) ? POLLIN : 0) | (l->toServer.empty() ? 0 : POLLOUT)),
                 0});
        }
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents) return;
        if (fds[1].revents & POLLIN) {
            const int client = accept4(fListen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (client >= 0) {
                const int server = ConnectTo(target);
                if (server < 0) {
                    close(client);
                } else {
                    fcntl(server, F_SETFL, fcntl(server, F_GETFL) | O_NONBLOCK);
                    auto l = std::make_unique<Link>();
                    l->client = client;
                    l->server = server;
                    links.push_back(std::move(l));
                }
            }
        }
        for (size_t i = 0; i < links.size() && 2 + 2 * i + 1 < fds.size(); ++i) {
            Link& l = *links[i];
            const short c = fds[2 + 2 * i].revents, s = fds[2 + 2 * i + 1].revents;
            bool alive = true;
            if (c & (POLLIN | POLLHUP | POLLERR)) {
                alive = ReadInto(l.client, l.fromClient);
                FromClient(l, fHidden);
            }
            if (alive && (s & (POLLIN | POLLHUP | POLLERR))) {
                alive = ReadInto(l.server, l.fromServer);
                FromServer(l, fHidden);
            }
            if (alive && (c & POLLOUT)) alive = WriteFrom(l.client, l.toClient);
            if (alive && (s & POLLOUT)) alive = WriteFrom(l.server, l.toServer);
            if (!alive) {
                close(l.client);
                close(l.server);
                l.client = l.server = -1;
            }
        }
        links.erase(std::remove_if(links.begin(), links.end(), [](const auto& l) { return l->client < 0; }),
                    links.end());
    }
}

}  // namespace testsupport
