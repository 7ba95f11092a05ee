#include "Platform/Foundation/FileRef.h"

#include <sys/stat.h>

namespace plat {

namespace {

// Path characters a file URL keeps as they are.
bool KeptInPath(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
        case '-':
        case '.':
        case '_':
        case '~':
        case '!':
        case '$':
        case '&':
        case '\'':
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case ';':
        case '=':
        case ':':
        case '@':
        case '/':
            return true;
        default:
            return false;
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

FileRef FileRefFromPath(const std::string& path) {
    FileRef ref;
    struct stat st;
    if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos ||
        lstat(path.c_str(), &st) != 0)
        return ref;
    ref.device = uint64_t(st.st_dev);
    ref.node = uint64_t(st.st_ino);
    ref.folder = S_ISDIR(st.st_mode);
    ref.path = path;
    return ref;
}

std::string PathOfFileRef(const FileRef& ref) {
    if (!ref.IsValid()) return std::string();
    const FileRef now = FileRefFromPath(ref.path);
    return now.IsValid() && now.device == ref.device && now.node == ref.node ? ref.path : std::string();
}

URL URL::FileURLWithPath(const std::string& path, bool folder) {
    if (path.empty() || path[0] != '/') return URL();
    static const char kHex[] = "0123456789ABCDEF";
    std::string text = "file://";
    for (unsigned char c : path) {
        if (KeptInPath(c)) {
            text += char(c);
        } else {
            text += '%';
            text += kHex[c >> 4];
            text += kHex[c & 15];
        }
    }
    if (folder && text.back() != '/') text += '/';
    return URL(std::move(text));
}

bool URL::IsFileURL() const {
    return fText.size() >= 7 && (fText[0] | 0x20) == 'f' && (fText[1] | 0x20) == 'i' &&
           (fText[2] | 0x20) == 'l' && (fText[3] | 0x20) == 'e' && fText.compare(4, 3, "://") == 0;
}

std::string URL::Path() const {
    if (!IsFileURL()) return std::string();
    const size_t start = fText.find('/', 7);
    if (start == std::string::npos) return std::string();
    const std::string authority = fText.substr(7, start - 7);
    if (!authority.empty() && authority != "localhost") return std::string();
    size_t end = fText.find_first_of("?#", start);
    if (end == std::string::npos) end = fText.size();
    std::string path;
    for (size_t i = start; i < end; ++i) {
        if (fText[i] == '\0') return std::string();
        if (fText[i] != '%') {
            path += fText[i];
            continue;
        }
        const int hi = i + 2 < end ? HexValue(fText[i + 1]) : -1;
        const int lo = i + 2 < end ? HexValue(fText[i + 2]) : -1;
        if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return std::string();
        path += char(hi * 16 + lo);
        i += 2;
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace plat
