#include "Lib3/LSources/Fs/UFsPath.h"

#include <sys/stat.h>

#include <cstring>
#include <string>

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

}  // namespace

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
