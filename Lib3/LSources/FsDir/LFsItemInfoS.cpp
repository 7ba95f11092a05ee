#include "Lib3/LSources/FsDir/LFsItemInfoS.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Fs/LFsOpS.h"
#include "Platform/Foundation/Bytes.h"

namespace {

constexpr double kUnixTo2001 = 978307200.0;
const char kTypeAttr[] = "user.orbilume.type";
const char kCreatorAttr[] = "user.orbilume.creator";
const char kHiddenAttr[] = "user.orbilume.hidden";
const char kCreatedAttr[] = "user.orbilume.created";

std::string Leaf(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

bool StatItem(const std::string& path, struct stat& st) {
    return stat(path.c_str(), &st) == 0 || lstat(path.c_str(), &st) == 0;
}

uint32_t ReadCode(const std::string& path, const char* attr) {
    unsigned char b[4];
    if (lgetxattr(path.c_str(), attr, b, 4) != 4) return 0;
    return plat::LoadFourCC(b);
}

bool Unsupported(int err) {
    return err == ENOTSUP || err == EPERM;
}

// Writes or removes one attribute; a file system without user attributes is not a failure.
bool WriteAttr(const std::string& path, const char* attr, const void* value, size_t n, bool remove) {
    int r = remove ? lremovexattr(path.c_str(), attr) : lsetxattr(path.c_str(), attr, value, n, 0);
    if (r == 0 || (remove && errno == ENODATA) || Unsupported(errno)) return true;
    return false;
}

bool WriteCode(const std::string& path, const char* attr, uint32_t code) {
    unsigned char b[4];
    plat::StoreFourCC(b, code);
    return WriteAttr(path, attr, b, 4, code == 0);
}

struct timespec ToTimespec(double g) {
    double unixSeconds = g + kUnixTo2001;
    double whole = std::floor(unixSeconds);
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(whole);
    ts.tv_nsec = static_cast<long>((unixSeconds - whole) * 1e9);
    return ts;
}

double FromTimespec(const struct timespec& ts) {
    return double(ts.tv_sec) - kUnixTo2001 + ts.tv_nsec / 1e9;
}

}  // namespace

LFsItemInfo::~LFsItemInfo() = default;

void LFsItemInfo::OpenFolder(const std::string& folder) {
    fStatus = kNotFound;
    fNames.clear();
    fIndex = 0;
    fCurrent.clear();
    fFolder = folder;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (struct dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        fNames.push_back(e->d_name);
    }
    closedir(dir);
    std::sort(fNames.begin(), fNames.end());
    if (fNames.empty()) return;
    SetCurrent(folder == "/" ? "/" + fNames[0] : folder + "/" + fNames[0]);
}

void LFsItemInfo::SetCurrent(const std::string& path) {
    fCurrent = path;
    fStatus = kFound;
}

bool LFsItemInfo::isDirectory() const {
    struct stat st;
    return HasCurrent() && StatItem(fCurrent, st) && S_ISDIR(st.st_mode);
}

bool LFsItemInfo::isInvisible() const {
    if (!HasCurrent()) return false;
    if (fPending.visibility) return !fPending.visible;
    if (Leaf(fCurrent).compare(0, 1, ".") == 0) return true;
    char v;
    return lgetxattr(fCurrent.c_str(), kHiddenAttr, &v, 1) == 1 && v == '1';
}

LString LFsItemInfo::name() const {
    if (!HasCurrent()) return LString();
    std::string leaf = fCurrent == "/" ? std::string() : Leaf(fCurrent);
    for (char& c : leaf) {
        if (c == ':') c = '/';
    }
    return LString(leaf.c_str(), static_cast<uint32_t>(leaf.size()));
}

double LFsItemInfo::createdG() const {
    if (!HasCurrent()) return 0;
    if (fPending.created) return fPending.createdG;
    double stored;
    if (lgetxattr(fCurrent.c_str(), kCreatedAttr, &stored, sizeof stored) == sizeof stored) return stored;
    struct statx sx;
    if (statx(AT_FDCWD, fCurrent.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) == 0) {
        const struct statx_timestamp& t = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime;
        struct timespec ts = {t.tv_sec, t.tv_nsec};
        return FromTimespec(ts);
    }
    return 0;
}

double LFsItemInfo::modifiedG() const {
    if (!HasCurrent()) return 0;
    if (fPending.modified) return fPending.modifiedG;
    struct stat st;
    return StatItem(fCurrent, st) ? FromTimespec(st.st_mtim) : 0;
}

uint32_t LFsItemInfo::creator() const {
    if (!HasCurrent()) return 0;
    return fPending.creator ? fPending.creatorCode : ReadCode(fCurrent, kCreatorAttr);
}

uint32_t LFsItemInfo::filetype() const {
    if (!HasCurrent()) return 0;
    return fPending.filetype ? fPending.filetypeCode : ReadCode(fCurrent, kTypeAttr);
}

void LFsItemInfo::SetCreatedG(double seconds) {
    if (!HasCurrent()) return;
    fPending.created = true;
    fPending.createdG = seconds;
}

void LFsItemInfo::SetModifiedG(double seconds) {
    if (!HasCurrent()) return;
    fPending.modified = true;
    fPending.modifiedG = seconds;
}

void LFsItemInfo::SetVisibility(bool visible) {
    if (!HasCurrent()) return;
    fPending.visibility = true;
    fPending.visible = visible;
}

void LFsItemInfo::SetCreator(uint32_t code) {
    if (!HasCurrent()) return;
    fPending.creator = true;
    fPending.creatorCode = code;
}

void LFsItemInfo::SetFiletype(uint32_t code) {
    if (!HasCurrent()) return;
    fPending.filetype = true;
    fPending.filetypeCode = code;
}

void LFsItemInfo::SetInfo() {
    if (fStatus != kFound || fCurrent.empty()) return;
    const Pending p = fPending;
    fPending = Pending();
    const char* path = fCurrent.c_str();
    bool ok = true;
    if (p.modified) {
        struct timespec times[2];
        times[0].tv_nsec = UTIME_OMIT;
        times[0].tv_sec = 0;
        times[1] = ToTimespec(p.modifiedG);
        ok = utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW) == 0;
    }
    if (ok && p.created) ok = WriteAttr(fCurrent, kCreatedAttr, &p.createdG, sizeof p.createdG, false);
    if (ok && p.filetype) ok = WriteCode(fCurrent, kTypeAttr, p.filetypeCode);
    if (ok && p.creator) ok = WriteCode(fCurrent, kCreatorAttr, p.creatorCode);
    if (ok && p.visibility) ok = WriteAttr(fCurrent, kHiddenAttr, "1", 1, p.visible);
    if (!ok) fStatus = errno == ENOENT ? kNotFound : kWriteFailed;
}

LFsItemInfoS::LFsItemInfoS(const LFsSpec& spec, bool enumerate) : fEnumerate(enumerate), fSpec(spec) {
    LString path = CMacFileU::PathFromLFsSpec(spec);
    if (path.IsEmpty()) return;
    if (enumerate) {
        OpenFolder(path.CStr());
        UpdateCurrentSpec();
        return;
    }
    struct stat st;
    if (StatItem(path.CStr(), st)) SetCurrent(path.CStr());
}

LFsItemInfoS::LFsItemInfoS(const LFsItemInfoS& parent) : LFsItemInfo(), fEnumerate(true) {
    parent.GetSpec(fSpec);
    if (parent.Status() != kFound) {
        fStatus = parent.Status();
        return;
    }
    if (!parent.isDirectory()) return;
    OpenFolder(parent.fCurrent);
    UpdateCurrentSpec();
}

void LFsItemInfoS::Next() {
    DropPending();
    if (!fEnumerate || fStatus != kFound) {
        fStatus = kNotFound;
        return;
    }
    if (++fIndex >= fNames.size()) {
        fStatus = kNotFound;
        fCurrent.clear();
        return;
    }
    SetCurrent(fFolder == "/" ? "/" + fNames[fIndex] : fFolder + "/" + fNames[fIndex]);
    UpdateCurrentSpec();
}

void LFsItemInfoS::UpdateCurrentSpec() {
    if (fStatus != kFound || fIndex >= fNames.size()) {
        fCurrentSpec = LFsSpec();
        return;
    }
    LString leaf = name();
    fCurrentSpec = LFsDescendS(fSpec, leaf.Text()).Spec();
}

void LFsItemInfoS::GetSpec(LFsSpec& spec) const {
    spec = fEnumerate ? fCurrentSpec : fSpec;
}
