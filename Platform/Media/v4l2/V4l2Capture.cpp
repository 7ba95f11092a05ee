#include "Platform/Media/v4l2/V4l2Capture.h"

#include <fcntl.h>
#include <libudev.h>
#include <libv4l2.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "Platform/Foundation/RunLoop.h"
#include "Platform/Media/v4l2/V4l2Format.h"
#include "Platform/Media/v4l2/V4l2FrameConverter.h"

namespace plat {

namespace {

int Ioctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = v4l2_ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

// The card name of a node that captures video; empty for others (metadata, output, unreadable).
std::string CaptureCard(const char* path) {
    int fd = open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    v4l2_capability cap{};
    std::string card;
    if (ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0) {
        const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
        if ((caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING))
            card.assign(reinterpret_cast<const char*>(cap.card),
                        strnlen(reinterpret_cast<const char*>(cap.card), sizeof cap.card));
        if (card.empty() && (caps & V4L2_CAP_VIDEO_CAPTURE)) card = path;
    }
    close(fd);
    return card;
}

// The formats, sizes and rates a node offers (discrete sizes and intervals only).
std::vector<V4l2FormatOption> Options(int fd) {
    std::vector<V4l2FormatOption> options;
    for (uint32_t i = 0; i < 64; ++i) {
        v4l2_fmtdesc desc{};
        desc.index = i;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (Ioctl(fd, VIDIOC_ENUM_FMT, &desc) != 0) break;
        for (uint32_t s = 0; s < 64; ++s) {
            v4l2_frmsizeenum size{};
            size.index = s;
            size.pixel_format = desc.pixelformat;
            if (Ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size) != 0 || size.type != V4L2_FRMSIZE_TYPE_DISCRETE)
                break;
            double best = 0;
            for (uint32_t k = 0; k < 32; ++k) {
                v4l2_frmivalenum ival{};
                ival.index = k;
                ival.pixel_format = desc.pixelformat;
                ival.width = size.discrete.width;
                ival.height = size.discrete.height;
                if (Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &ival) != 0 ||
                    ival.type != V4L2_FRMIVAL_TYPE_DISCRETE)
                    break;
                if (ival.discrete.numerator)
                    best = std::max(best, double(ival.discrete.denominator) / ival.discrete.numerator);
            }
            options.push_back({desc.pixelformat, size.discrete.width, size.discrete.height, best});
        }
    }
    return options;
}

class V4l2Stream final : public CaptureStream {
public:
    V4l2Stream(std::string path, CaptureCallbacks callbacks)
        : fPath(std::move(path)), fCallbacks(std::move(callbacks)) {}
    ~V4l2Stream() override { Stop(); }

    bool Start() override {
        if (fThread.joinable()) return true;
        if (!Open()) {
            Close();
            return false;
        }
        fWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (fWake < 0) {
            Close();
            return false;
        }
        fStop = false;
        fThread = std::thread([this] { Run(); });
        return true;
    }

    void Stop() override {
        if (!fThread.joinable()) return;
        fStop = true;
        const uint64_t one = 1;
        (void)!write(fWake, &one, sizeof one);
        fThread.join();
        close(fWake);
        fWake = -1;
        Close();
    }

private:
    struct Mapping {
        void* address = MAP_FAILED;
        size_t length = 0;
    };

    bool Open() {
        fFd = v4l2_open(fPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fFd < 0) return false;
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        V4l2FormatOption current, chosen;
        const bool haveCurrent = Ioctl(fFd, VIDIOC_G_FMT, &format) == 0;
        if (haveCurrent)
            current = {format.fmt.pix.pixelformat, format.fmt.pix.width, format.fmt.pix.height, 0};
        if (!ChooseV4l2Format(haveCurrent ? &current : nullptr, Options(fFd), chosen)) return false;
        if (!haveCurrent || chosen.fourcc != current.fourcc || chosen.width != current.width ||
            chosen.height != current.height) {
            format.fmt.pix.pixelformat = chosen.fourcc;
            format.fmt.pix.width = chosen.width;
            format.fmt.pix.height = chosen.height;
            format.fmt.pix.field = V4L2_FIELD_ANY;
            if (Ioctl(fFd, VIDIOC_S_FMT, &format) != 0) return false;
        }
        fFormat = format.fmt.pix;
        if (!V4l2CanConvert(fFormat.pixelformat)) return false;
        v4l2_requestbuffers request{};
        request.count = 4;
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        if (Ioctl(fFd, VIDIOC_REQBUFS, &request) != 0 || request.count == 0) return false;
        fMappings.resize(std::min<uint32_t>(request.count, 8));
        for (uint32_t i = 0; i < fMappings.size(); ++i) {
            v4l2_buffer buffer{};
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            buffer.index = i;
            if (Ioctl(fFd, VIDIOC_QUERYBUF, &buffer) != 0) return false;
            fMappings[i].address =
                v4l2_mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fFd, buffer.m.offset);
            if (fMappings[i].address == MAP_FAILED) return false;
            fMappings[i].length = buffer.length;
            if (Ioctl(fFd, VIDIOC_QBUF, &buffer) != 0) return false;
        }
        v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        return Ioctl(fFd, VIDIOC_STREAMON, &type) == 0;
    }

    void Close() {
        if (fFd >= 0) {
            v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            (void)Ioctl(fFd, VIDIOC_STREAMOFF, &type);
        }
        for (Mapping& m : fMappings)
            if (m.address != MAP_FAILED) v4l2_munmap(m.address, m.length);
        fMappings.clear();
        if (fFd >= 0) v4l2_close(fFd);
        fFd = -1;
    }

    void Run() {
        bool gone = false;
        while (!fStop && !gone) {
            pollfd fds[2] = {{fFd, POLLIN, 0}, {fWake, POLLIN, 0}};
            if (poll(fds, 2, 1000) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (fds[1].revents) break;
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                gone = true;
                break;
            }
            if (!(fds[0].revents & POLLIN)) continue;
            v4l2_buffer buffer{};
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            if (Ioctl(fFd, VIDIOC_DQBUF, &buffer) != 0) {
                if (errno == EAGAIN) continue;
                gone = errno == ENODEV || errno == EIO;
                if (!gone) continue;
                break;
            }
            if (buffer.index < fMappings.size() && !(buffer.flags & V4L2_BUF_FLAG_ERROR)) {
                const Mapping& m = fMappings[buffer.index];
                const size_t used = std::min<size_t>(buffer.bytesused, m.length);
                Ref<PixelBuffer> frame =
                    fConverter.Convert(fFormat.pixelformat, fFormat.width, fFormat.height,
                                       fFormat.bytesperline, static_cast<const uint8_t*>(m.address), used);
                if (frame && fCallbacks.frame) fCallbacks.frame(std::move(frame));
            }
            if (Ioctl(fFd, VIDIOC_QBUF, &buffer) != 0 && errno == ENODEV) gone = true;
        }
        if (gone && fCallbacks.gone) fCallbacks.gone();
    }

    std::string fPath;
    CaptureCallbacks fCallbacks;
    int fFd = -1;
    int fWake = -1;
    v4l2_pix_format fFormat{};
    std::vector<Mapping> fMappings;
    V4l2FrameConverter fConverter;
    std::atomic<bool> fStop{false};
    std::thread fThread;
};

}  // namespace

V4l2Capture::V4l2Capture() {
    fUdev = udev_new();
    if (!fUdev) return;
    fMonitor = udev_monitor_new_from_netlink(fUdev, "udev");
    if (fMonitor && udev_monitor_filter_add_match_subsystem_devtype(fMonitor, "video4linux", nullptr) == 0 &&
        udev_monitor_enable_receiving(fMonitor) == 0) {
        fSource = FdSource::Create(udev_monitor_get_fd(fMonitor), FdSource::kReadable, &Readable, this);
        (void)RunLoop::Current()->AddFdSource(fSource.get(), kRunLoopCommonModes);
    }
}

V4l2Capture::~V4l2Capture() {
    if (fSource) fSource->Invalidate();
    if (fMonitor) udev_monitor_unref(fMonitor);
    if (fUdev) udev_unref(fUdev);
}

void V4l2Capture::Scan() {
    fNodes.clear();
    fScanned = true;
    if (!fUdev) return;
    udev_enumerate* e = udev_enumerate_new(fUdev);
    if (!e) return;
    udev_enumerate_add_match_subsystem(e, "video4linux");
    udev_enumerate_scan_devices(e);
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
        udev_device* device = udev_device_new_from_syspath(fUdev, udev_list_entry_get_name(entry));
        if (!device) continue;
        const char* node = udev_device_get_devnode(device);
        if (node && std::strncmp(node, "/dev/video", 10) == 0) {
            std::string card = CaptureCard(node);
            if (!card.empty()) fNodes.push_back({node, std::move(card)});
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(e);
    std::sort(fNodes.begin(), fNodes.end(), [](const Node& a, const Node& b) { return a.path < b.path; });
}

std::vector<CaptureDeviceInfo> V4l2Capture::Devices() {
    if (!fScanned) Scan();
    std::vector<CaptureDeviceInfo> devices;
    for (const Node& n : fNodes) devices.push_back({n.card, kCaptureVideo});
    return devices;
}

std::unique_ptr<CaptureStream> V4l2Capture::Open(size_t index, CaptureCallbacks callbacks) {
    if (!fScanned) Scan();
    if (index >= fNodes.size()) return nullptr;
    return std::make_unique<V4l2Stream>(fNodes[index].path, std::move(callbacks));
}

void V4l2Capture::Readable(FdSource*, int, uint32_t, void* self) {
    auto* c = static_cast<V4l2Capture*>(self);
    bool added = false, removed = false;
    // Bounded: a burst of events is read in one turn.
    for (int i = 0; i < 64; ++i) {
        udev_device* device = udev_monitor_receive_device(c->fMonitor);
        if (!device) break;
        const char* action = udev_device_get_action(device);
        if (action && std::strcmp(action, "add") == 0) added = true;
        if (action && std::strcmp(action, "remove") == 0) removed = true;
        udev_device_unref(device);
    }
    if (!added && !removed) return;
    c->Scan();
    if (c->onChange) {
        if (removed) c->onChange(false);
        if (added) c->onChange(true);
    }
}

}  // namespace plat
