#include "Platform/Foundation/Volumes.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <mutex>

namespace plat {
namespace {

std::mutex gVolumeMutex;
std::string gTablePath;
std::vector<std::string> gRoots;

const std::vector<std::string>& DefaultRoots() {
    static const std::vector<std::string> roots = {"/media", "/mnt", "/run/media"};
    return roots;
}

void Settings(std::string& table, std::vector<std::string>& roots) {
    std::lock_guard<std::mutex> lock(gVolumeMutex);
    table = gTablePath.empty() ? std::string("/proc/self/mounts") : gTablePath;
    roots = gRoots.empty() ? DefaultRoots() : gRoots;
}

// The kernel writes blank, tab, newline and backslash in mount points as \ooo.
std::string DecodeField(const std::string& s) {
    std::string out;
    size_t i = 0;
    while (i < s.size()) {
        bool octal = s[i] == '\\' && s.size() - i > 3;
        int v = 0;
        for (size_t k = 1; octal && k <= 3; ++k) {
            octal = s[i + k] >= '0' && s[i + k] <= '7';
            v = v * 8 + (s[i + k] - '0');
        }
        if (octal && v < 256) {
            out += static_cast<char>(v);
            i += 4;
        } else {
            out += s[i++];
        }
    }
    return out;
}

// Bounded read: mount tables are small, but /proc files report no size.
std::string ReadTable(int fd) {
    std::string text;
    char buf[8192];
    if (lseek(fd, 0, SEEK_SET) < 0) return text;
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0 && text.size() < (16u << 20))
        text.append(buf, static_cast<size_t>(n));
    return text;
}

std::vector<Volume> ReadVolumes(int fd) {
    std::string table;
    std::vector<std::string> roots;
    Settings(table, roots);
    return VolumesFromMountPoints(ParseMountTable(ReadTable(fd)), roots);
}

size_t Depth(const std::string& path, const std::string& root) {
    if (path.size() <= root.size() + 1 || path.compare(0, root.size(), root) != 0 || path[root.size()] != '/')
        return 0;
    size_t depth = 1;
    for (size_t i = root.size() + 1; i < path.size(); ++i) depth += path[i] == '/';
    return depth;
}

}  // namespace

std::vector<std::string> ParseMountTable(const std::string& text) {
    std::vector<std::string> points;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string fields[3];
        int count = 0;
        size_t i = pos;
        while (i < end && count < 3) {
            while (i < end && (text[i] == ' ' || text[i] == '\t')) ++i;
            size_t start = i;
            while (i < end && text[i] != ' ' && text[i] != '\t') ++i;
            if (i > start) fields[count++] = text.substr(start, i - start);
        }
        if (count == 3 && fields[1][0] == '/') {
            std::string point = DecodeField(fields[1]);
            while (point.size() > 1 && point.back() == '/') point.pop_back();
            points.push_back(point);
        }
        pos = end + 1;
    }
    return points;
}

std::vector<Volume> VolumesFromMountPoints(const std::vector<std::string>& mountPoints,
                                           const std::vector<std::string>& roots) {
    std::vector<Volume> volumes = {{kStartupVolumeName, "/"}};
    for (const std::string& point : mountPoints) {
        bool underRoot = false;
        for (const std::string& root : roots) {
            size_t d = Depth(point, root);
            if (d == 1 || d == 2) underRoot = true;
        }
        if (!underRoot) continue;
        std::string name = point.substr(point.find_last_of('/') + 1);
        bool taken = false;
        for (const Volume& v : volumes) taken = taken || v.name == name;
        if (!taken) volumes.push_back({name, point});
    }
    return volumes;
}

std::vector<Volume> MountedVolumes() {
    std::string table;
    std::vector<std::string> roots;
    Settings(table, roots);
    int fd = open(table.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {{kStartupVolumeName, "/"}};
    std::vector<Volume> volumes = ReadVolumes(fd);
    close(fd);
    return volumes;
}

Volume VolumeOfPath(const std::string& absolutePath, std::string& inside) {
    std::vector<Volume> volumes = MountedVolumes();
    const Volume* best = &volumes[0];
    for (const Volume& v : volumes) {
        if (v.mountPoint.size() <= best->mountPoint.size()) continue;
        if (absolutePath.compare(0, v.mountPoint.size(), v.mountPoint) == 0 &&
            (absolutePath.size() == v.mountPoint.size() || absolutePath[v.mountPoint.size()] == '/'))
            best = &v;
    }
    inside = best->mountPoint == "/" ? absolutePath : absolutePath.substr(best->mountPoint.size());
    if (inside == "/") inside.clear();
    return *best;
}

void SetMountTableForTesting(const std::string& path, const std::vector<std::string>& roots) {
    std::lock_guard<std::mutex> lock(gVolumeMutex);
    gTablePath = path;
    gRoots = roots;
}

std::string MountTablePath() {
    std::string table;
    std::vector<std::string> roots;
    Settings(table, roots);
    return table;
}

MountWatcher::MountWatcher() {
    fFd = open(MountTablePath().c_str(), O_RDONLY | O_CLOEXEC);
    if (fFd < 0) return;
    fVolumes = ReadVolumes(fFd);
    fEpoll = epoll_create1(EPOLL_CLOEXEC);
    if (fEpoll < 0) return;
    struct epoll_event ev = {};
    ev.events = EPOLLPRI;
    epoll_ctl(fEpoll, EPOLL_CTL_ADD, fFd, &ev);  // refused for plain files: then never readable
}

MountWatcher::~MountWatcher() {
    if (fEpoll >= 0) close(fEpoll);
    if (fFd >= 0) close(fFd);
}

void MountWatcher::Poll(std::vector<Volume>& mounted, std::vector<Volume>& unmounted) {
    mounted.clear();
    unmounted.clear();
    if (fFd < 0) return;
    struct epoll_event events[4];
    if (fEpoll >= 0) epoll_wait(fEpoll, events, 4, 0);  // takes the change signal
    std::vector<Volume> now = ReadVolumes(fFd);
    Diff(fVolumes, now, mounted, unmounted);
    fVolumes = std::move(now);
}

void MountWatcher::Diff(const std::vector<Volume>& before, const std::vector<Volume>& after,
                        std::vector<Volume>& mounted, std::vector<Volume>& unmounted) {
    auto contains = [](const std::vector<Volume>& list, const Volume& v) {
        for (const Volume& w : list) {
            if (w.name == v.name && w.mountPoint == v.mountPoint) return true;
        }
        return false;
    };
    for (const Volume& v : after) {
        if (!contains(before, v)) mounted.push_back(v);
    }
    for (const Volume& v : before) {
        if (!contains(after, v)) unmounted.push_back(v);
    }
}

}  // namespace plat
