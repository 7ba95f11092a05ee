#include "Lib3/LSources/CoreUI/LLayoutText.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "Lib3/LSources/CoreData/LStrListRsrc.h"

namespace {

constexpr uint32_t kMaxFileSize = 1u << 20;
constexpr uint32_t kMaxParts = 64;

// Part number of a marker line "%%part N", or -1 when the line is not one.
long MarkerNumber(const char* line, uint32_t length) {
    static const char kMarker[] = "%%part ";
    const uint32_t prefix = sizeof kMarker - 1;
    if (length <= prefix || std::memcmp(line, kMarker, prefix) != 0) return -1;
    long n = 0;
    for (uint32_t i = prefix; i < length; ++i) {
        if (line[i] < '0' || line[i] > '9' || n > long{kMaxParts}) return -1;
        n = n * 10 + (line[i] - '0');
    }
    return n;
}

bool IsBlank(const char* line, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        if (line[i] != ' ' && line[i] != '\t') return false;
    return true;
}

}  // namespace

bool ParseLayoutText(const char* bytes, uint32_t size, LLayoutParts& out) {
    out.Clear();
    if (size && std::memchr(bytes, 0, size)) return false;
    std::vector<std::string> parts;
    bool inPart = false;
    uint32_t pos = 0;
    while (pos < size) {
        const char* line = bytes + pos;
        const char* end = static_cast<const char*>(std::memchr(line, '\n', size - pos));
        uint32_t length = end ? uint32_t(end - line) : size - pos;
        pos += length + (end ? 1 : 0);
        if (length && line[length - 1] == '\r') --length;

        long marker = MarkerNumber(line, length);
        if (marker >= 0) {
            if (marker > long{kMaxParts} || marker < long(parts.size())) return false;
            parts.resize(size_t(marker) + 1);
            inPart = true;
            continue;
        }
        if (length >= 2 && line[0] == '%' && line[1] == '%') continue;
        if (!inPart) {
            if (!IsBlank(line, length)) return false;
            continue;
        }
        parts.back().append(line, length);
        parts.back().push_back('\n');
    }
    for (const std::string& p : parts) out.Append(LString(p.data(), uint32_t(p.size())));
    return true;
}

bool ReadLayoutFile(const char* folder, const char* name, LLayoutParts& out) {
    out.Clear();
    if (!folder || !*folder || !name || !*name || std::strchr(name, '/')) return false;
    std::string path = std::string(folder) + "/" + name + ".tlyo";
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::string bytes;
    char buffer[4096];
    size_t got;
    bool tooBig = false;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        if (bytes.size() + got > kMaxFileSize) {
            tooBig = true;
            break;
        }
        bytes.append(buffer, got);
    }
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (tooBig || failed) return false;
    if (!ParseLayoutText(bytes.data(), uint32_t(bytes.size()), out)) {
        out.Clear();
        return false;
    }
    return true;
}

bool LoadLayout(const SRsrcRequest& request, LLayoutParts& out, ResourceProvider* provider) {
    out.Clear();
    LStrListRsrc list(request, provider, kLayoutRsrcType);
    if (!list.IsLoaded()) return false;
    for (uint32_t i = 0; i < list.Count(); ++i) out.Append(list.GetString(i));
    return true;
}
