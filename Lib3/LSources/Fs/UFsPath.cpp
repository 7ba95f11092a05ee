#include "Lib3/LSources/Fs/UFsPath.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "Common/Internet/CURL.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/String/UString.h"
#include "Platform/Foundation/StandardFolders.h"

namespace {

LFsSpec StandardBase(plat::StandardFolder folder) {
    const std::string path = plat::StandardFolderPath(folder, false);
    return path.empty() ? LFsSpec() : CMacFileU::LFsSpecFromPath(LString(path.c_str()));
}

LFsSpec Documents() {
    return StandardBase(plat::StandardFolder::kDocuments);
}

LFsSpec Home() {
    return StandardBase(plat::StandardFolder::kCurrentUser);
}

bool Exists(const LFsSpec& spec) {
    const LString path = CMacFileU::PathFromLFsSpec(spec);
    struct stat st;
    return !path.IsEmpty() && ::stat(path.CStr(), &st) == 0;
}

LFsSpec Against(const LString& relative, const LString& folderText) {
    if (folderText.IsEmpty()) return LFsSpec();
    CURL url(relative.Text());
    url.Inherit(CURL(folderText.Text()), true);
    return LFsSpec(url.GetString());
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The last segment of a URL path text, %-decoded (a query or fragment is not part of it).
std::string LastSegment(const LString& stored) {
    std::string text(stored.CStr(), stored.Length());
    text = text.substr(0, text.find_first_of("?#"));
    while (!text.empty() && text.back() == '/') text.pop_back();
    const size_t slash = text.rfind('/');
    if (slash != std::string::npos) text.erase(0, slash + 1);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        int hi, lo;
        if (text[i] == '%' && i + 2 < text.size() && (hi = HexDigit(text[i + 1])) >= 0 &&
            (lo = HexDigit(text[i + 2])) >= 0) {
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Breadth-first search below folder for an item of that name; empty on a miss.
std::string SearchBelow(const std::string& folder, const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos) return {};
    std::deque<std::pair<std::string, uint32_t>> queue{{folder, 0}};
    uint32_t entries = 0;
    while (!queue.empty()) {
        auto [dirPath, depth] = std::move(queue.front());
        queue.pop_front();
        DIR* dir = opendir(dirPath.c_str());
        if (!dir) continue;
        std::vector<std::string> names;
        while (const dirent* e = readdir(dir)) {
            if (++entries > UFsPath::kSearchEntries) break;
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        }
        closedir(dir);
        for (const std::string& item : names) {
            const std::string path = dirPath + "/" + item;
            if (item == name) return path;
            struct stat st;
            if (depth + 1 < UFsPath::kSearchDepth && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                queue.emplace_back(path, depth + 1);
        }
        if (entries > UFsPath::kSearchEntries) return {};
    }
    return {};
}

}  // namespace

bool UFsPath::ResolveDocRelative(const LString& stored, const LFsSpec& document, LFsSpec& out,
                                 int* foundBySearch) {
    return ResolveDocRelative(stored, document, Documents(), Home(), out, foundBySearch);
}

bool UFsPath::ResolveDocRelative(const LString& stored, const LFsSpec& document, const LFsSpec& documents,
                                 const LFsSpec& home, LFsSpec& out, int* foundBySearch) {
    out = LFsSpec();
    if (stored.IsEmpty()) return false;
    if (stored.Text()[0] == '/') {
        out = CMacFileU::LFsSpecFromPath(stored);
        if (Exists(out)) return true;
    } else {
        const LString bases[] = {ParentFolderText(document), FolderText(documents), FolderText(home)};
        for (const LString& base : bases) {
            LFsSpec candidate = Against(stored, base);
            if (candidate.IsEmpty()) continue;
            out = candidate;
            if (Exists(candidate)) return true;
        }
    }
    if (!foundBySearch) return false;
    const LString folderText = ParentFolderText(document);
    if (folderText.IsEmpty()) return false;
    const LString folder = CMacFileU::PathFromLFsSpec(LFsSpec(folderText));
    if (folder.IsEmpty()) return false;
    std::string start(folder.CStr(), folder.Length());
    while (start.size() > 1 && start.back() == '/') start.pop_back();
    const std::string found = SearchBelow(start, LastSegment(stored));
    if (found.empty()) return false;
    out = CMacFileU::LFsSpecFromPath(LString(found.c_str()));
    *foundBySearch = 1;
    return true;
}

LString UFsPath::FolderText(const LFsSpec& folder) {
    if (folder.IsEmpty()) return LString();
    if (folder.Text()[folder.Length() - 1] == '/') return folder.GetText();
    LVariStr<128> text;
    text.Append(folder.Text(), folder.Length());
    text.Append('/');
    return LString(text);
}

LString UFsPath::ParentFolderText(const LFsSpec& spec) {
    uint32_t n = spec.Length();
    const unsigned char* t = spec.Text();
    while (n > 0 && t[n - 1] == '/') --n;  // a folder's own trailing "/"
    while (n > 0 && t[n - 1] != '/') --n;
    return n ? LString(t, n) : LString();
}

bool UFsPath::RelativeTo(const LFsSpec& file, const LString& folderText, LString& relative) {
    const uint32_t n = folderText.Length();
    if (n == 0 || file.Length() <= n || std::memcmp(file.Text(), folderText.Text(), n) != 0) return false;
    relative = LString(file.Text() + n, file.Length() - n);
    return true;
}

LString UFsPath::MakeDocRelative(const LFsSpec& file, const LFsSpec& document) {
    return MakeDocRelative(file, document, Documents(), Home());
}

LString UFsPath::MakeDocRelative(const LFsSpec& file, const LFsSpec& document, const LFsSpec& documents,
                                 const LFsSpec& home) {
    if (file.IsEmpty()) return LString();
    LString relative;
    if (RelativeTo(file, ParentFolderText(document), relative)) return relative;
    if (RelativeTo(file, FolderText(documents), relative)) return relative;
    if (RelativeTo(file, FolderText(home), relative)) return relative;
    return CMacFileU::PathFromLFsSpec(file);
}

LFsSpec UFsPath::ResolveDocRelative(const LString& stored, const LFsSpec& document) {
    return ResolveDocRelative(stored, document, Documents(), Home());
}

LFsSpec UFsPath::ResolveDocRelative(const LString& stored, const LFsSpec& document, const LFsSpec& documents,
                                    const LFsSpec& home) {
    if (stored.IsEmpty()) return LFsSpec();
    if (stored.Text()[0] == '/') return CMacFileU::LFsSpecFromPath(stored);
    const LString bases[] = {ParentFolderText(document), FolderText(documents), FolderText(home)};
    LFsSpec first;
    for (const LString& base : bases) {
        LFsSpec candidate = Against(stored, base);
        if (candidate.IsEmpty()) continue;
        if (Exists(candidate)) return candidate;
        if (first.IsEmpty()) first = candidate;
    }
    return first;
}
