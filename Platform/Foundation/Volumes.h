#pragma once

#include <string>
#include <vector>

// Volumes on Linux.
//
// File specifications name a volume first and then the path inside it. The volume model:
// - The start-up volume is "/" under the fixed name kStartupVolumeName; its items are the POSIX
//   paths below "/".
// - Every other volume is a mount point one or two levels below a volume root (/media, /mnt,
//   /run/media: /media/usb, /media/<user>/usb, /run/media/<user>/usb), named by the mount point's
//   last segment; its items are the paths below the mount point.
// - A mount point whose name equals the start-up name or an earlier volume's name is not a volume
//   of its own; its items are reached through the start-up volume.
// - A path belongs to the volume with the longest mount point that contains it, else to the
//   start-up volume.
namespace plat {

inline constexpr const char* kStartupVolumeName = "Root";

struct Volume {
    std::string name;
    std::string mountPoint;  // absolute, no trailing "/" except for "/"
};

// Mount points of a mount table in the form of /proc/self/mounts (octal escapes decoded). Lines
// that do not have the device, mount point and type fields are skipped.
std::vector<std::string> ParseMountTable(const std::string& text);

// The volumes among mount points: the start-up volume first, then the others in table order.
std::vector<Volume> VolumesFromMountPoints(const std::vector<std::string>& mountPoints,
                                           const std::vector<std::string>& roots);

// The volumes mounted now.
std::vector<Volume> MountedVolumes();

// The volume of an absolute path and the path inside it ("" or starting with "/").
Volume VolumeOfPath(const std::string& absolutePath, std::string& inside);

// Tests point the model at their own mount table and volume roots (empty restores the defaults).
void SetMountTableForTesting(const std::string& path, const std::vector<std::string>& roots);
std::string MountTablePath();

// Reports mounts and unmounts. The kernel signals a change of /proc/self/mounts with POLLPRI while
// the file always polls readable, so the watcher keeps it in an epoll set of its own: that set's
// descriptor turns readable on a change and can be watched like any input. Whoever watches it calls
// Poll, which re-reads the table and reports the volumes that appeared and went since the last
// call. A table that cannot signal (a test file) is only read by Poll.
class MountWatcher {
public:
    MountWatcher();
    ~MountWatcher();
    MountWatcher(const MountWatcher&) = delete;
    MountWatcher& operator=(const MountWatcher&) = delete;

    // Readable when the mount table changed; -1 when the table could not be opened.
    int FileDescriptor() const { return fEpoll; }
    void Poll(std::vector<Volume>& mounted, std::vector<Volume>& unmounted);

    // The difference between two volume lists, by name and mount point.
    static void Diff(const std::vector<Volume>& before, const std::vector<Volume>& after,
                     std::vector<Volume>& mounted, std::vector<Volume>& unmounted);

private:
    int fFd = -1;
    int fEpoll = -1;
    std::vector<Volume> fVolumes;
};

}  // namespace plat
