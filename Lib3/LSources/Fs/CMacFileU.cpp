#include "Lib3/LSources/Fs/CMacFileU.h"

#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "Common/Internet/CURL.h"
#include "Common/Internet/CURLU.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/FsDir/LFsItemInfoS.h"
#include "Lib3/LSources/String/UString.h"
#include "Platform/Foundation/FileRef.h"
#include "Platform/Foundation/Volumes.h"

namespace {

const unsigned char* Uc(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

// Swaps "/" and ":" between a POSIX name and a spec segment.
std::string SwapSeparators(const unsigned char* text, uint32_t n, char from, char to) {
    std::string s(reinterpret_cast<const char*>(text), n);
    for (char& c : s) {
        if (c == from) c = to;
    }
    return s;
}

std::string AbsolutePath(const char* path) {
    std::string p = path ? path : "";
    if (p.empty() || p[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) return std::string();
        p = std::string(cwd) + "/" + p;
    }
    // Lexical clean-up: empty and "." segments go, ".." takes the segment before it.
    std::vector<std::string> segments;
    size_t pos = 0;
    while (pos <= p.size()) {
        size_t slash = p.find('/', pos);
        if (slash == std::string::npos) slash = p.size();
        std::string seg = p.substr(pos, slash - pos);
        if (seg == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!seg.empty() && seg != ".") {
            segments.push_back(seg);
        }
        pos = slash + 1;
    }
    std::string out;
    for (const std::string& s : segments) out += "/" + s;
    return out.empty() ? std::string("/") : out;
}

}  // namespace

LString CMacFileU::GetStartupVolumeName() {
    return LString(plat::kStartupVolumeName);
}

LFsSpec CMacFileU::LFsSpecFromPath(const LString& path) {
    std::string absolute = AbsolutePath(path.CStr());
    if (absolute.empty()) return LFsSpec();
    std::string inside;
    plat::Volume volume = plat::VolumeOfPath(absolute, inside);
    LVariStr<64> text;
    text.Append("file:///");
    text.Append(CURLU::Encode(Uc(volume.name.c_str())));
    size_t pos = 0;
    while (pos < inside.size()) {
        size_t slash = inside.find('/', pos);
        if (slash == std::string::npos) slash = inside.size();
        if (slash > pos) {
            std::string segment =
                SwapSeparators(Uc(inside.c_str() + pos), static_cast<uint32_t>(slash - pos), ':', '/');
            CURLU::Descend(text, Uc(segment.c_str()));
        }
        pos = slash + 1;
    }
    return LFsSpec(LString(text));
}

LString CMacFileU::PathFromLFsSpec(const LFsSpec& spec) {
    CURL url(spec.Text());
    const unsigned char* p = url.Path().Text();
    LString volumeName = CURLU::Dig(p);
    if (volumeName.IsEmpty()) return LString();
    std::string path;
    bool found = false;
    for (const plat::Volume& v : plat::MountedVolumes()) {
        if (v.name == volumeName.CStr()) {
            path = v.mountPoint == "/" ? std::string() : v.mountPoint;
            found = true;
            break;
        }
    }
    if (!found) return LString();
    for (;;) {
        LString segment = CURLU::Dig(p);
        if (segment.IsEmpty()) break;
        if (UString::IsEqual(segment.Text(), Uc(".")) || UString::IsEqual(segment.Text(), Uc("..")))
            return LString();
        // A decoded %00 would cut the POSIX name short.
        if (UString::LengthOf(segment.Text()) != segment.Length()) return LString();
        path += "/" + SwapSeparators(segment.Text(), segment.Length(), '/', ':');
    }
    if (path.empty()) path = "/";
    return LString(path.c_str(), static_cast<uint32_t>(path.size()));
}

LFsSpec CMacFileU::LFsSpecFromFSRef(const plat::FileRef& ref) {
    const std::string path = plat::PathOfFileRef(ref);
    return path.empty() ? LFsSpec() : LFsSpecFromPath(LString(path.c_str()));
}

LFsSpec CMacFileU::LFsSpecFromNSURL(const plat::URL& url) {
    const std::string path = url.Path();
    return path.empty() ? LFsSpec() : LFsSpecFromPath(LString(path.c_str()));
}

plat::URL CMacFileU::NSURLFromLFsSpec(const LFsSpec& spec) {
    LString path = PathFromLFsSpec(spec);
    if (path.IsEmpty()) return plat::URL();
    const bool folder = spec.Length() > 0 && spec.Text()[spec.Length() - 1] == '/';
    return plat::URL::FileURLWithPath(std::string(path.CStr(), path.Length()), folder);
}

plat::URL CMacFileU::CFURLFromLFsSpec(const LFsSpec& spec) {
    return NSURLFromLFsSpec(spec);
}

bool CMacFileU::IsMountedVolume(const unsigned char* name) {
    if (UString::IsEmpty(name)) return false;
    for (const plat::Volume& v : plat::MountedVolumes()) {
        if (v.name == reinterpret_cast<const char*>(name)) return true;
    }
    return false;
}

LFsSpec CMacFileU::GetCurrentFolder() {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return LFsSpec();
    return LFsSpecFromPath(LString(cwd));
}

bool CMacFileU::SetInfo(const LFsSpec& spec, uint32_t fileType, uint32_t creator) {
    LFsItemInfoS info(spec, false);
    if (info.Status() != 0) return false;
    info.SetFiletype(fileType);
    info.SetCreator(creator);
    info.SetInfo();
    return info.Status() == 0;
}
