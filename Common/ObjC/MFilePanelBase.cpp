#include "Common/ObjC/MFilePanelBase.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "Platform/AppKit/FilePackage.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Collation.h"
#include "Platform/Foundation/TextEncoding.h"

namespace {

bool IsFolderPath(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void MFilePanelBase::SetAllowedFileTypes(const std::vector<std::string>& types) {
    if (types == mAllowed) return;
    mAllowed = types;
    AllowedTypesChanged();
}

std::string MFilePanelBase::ExtensionOf(const std::string& name) {
    const size_t slash = name.rfind('/');
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return name.substr(dot + 1);
}

bool MFilePanelBase::Allows(const std::string& name) const {
    if (mAllowed.empty()) return true;
    const std::string ext = ExtensionOf(name);
    return std::find(mAllowed.begin(), mAllowed.end(), ext) != mAllowed.end();
}

bool MFilePanelBase::Shows(const std::string& path, const MFileEntry& entry) const {
    if (mDelegate) return mDelegate->ShouldShowEntry(*this, path, &entry);
    if (!entry.exists) return false;
    if (entry.folder && (mTreatPackages || !entry.package)) return true;
    if (!mChooseFiles && !entry.package) return false;
    return Allows(entry.name);
}

std::vector<MFileEntry> MFilePanelBase::List(const std::string& folder) const {
    PLAT_DCHECK_MAIN_THREAD();
    std::vector<MFileEntry> out;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return out;
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    const size_t base = path.size();
    while (dirent* d = ::readdir(dir)) {
        if (d->d_name[0] == '.') continue;  // ".", ".." and hidden files
        MFileEntry e;
        e.name = d->d_name;
        path.resize(base);
        path += e.name;
        struct stat st {};
        // stat follows links; a link that loops or dangles fails and is not entered.
        if (::stat(path.c_str(), &st) != 0) {
            e.exists = false;
        } else {
            e.folder = S_ISDIR(st.st_mode);
            e.package = e.folder && plat::IsFilePackage(path);
        }
        if (!Shows(path, e)) continue;
        e.shown = plat::IsValidUtf8(e.name) ? e.name : plat::ValidUtf8(e.name);
        out.push_back(std::move(e));
    }
    ::closedir(dir);
    // Sorted by collation keys, made once per entry.
    std::vector<std::pair<std::string, size_t>> keys(out.size());
    std::u16string text;
    for (size_t i = 0; i < out.size(); ++i) {
        const bool folder = out[i].folder && !out[i].package;
        text.clear();
        (void)plat::DecodeUtf8(reinterpret_cast<const uint8_t*>(out[i].shown.data()), out[i].shown.size(),
                               text);
        keys[i].first =
            std::string(1, folder ? '\0' : '\1') + plat::CollationKey(text.data(), text.size(), 0);
        keys[i].second = i;
    }
    std::sort(keys.begin(), keys.end(), [&out](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        return out[a.second].name < out[b.second].name;
    });
    std::vector<MFileEntry> sorted;
    sorted.reserve(out.size());
    for (const auto& k : keys) sorted.push_back(std::move(out[k.second]));
    return sorted;
}

bool MFilePanelBase::IsValidSaveName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.size() > kMaxNameBytes) return false;
    return name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::string MFilePanelBase::NearestExistingFolder(const std::string& path) {
    std::string p = path.empty() || path[0] != '/' ? "/" + path : path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    while (p.size() > 1 && !IsFolderPath(p)) {
        const size_t slash = p.rfind('/');
        p.resize(slash == 0 ? 1 : slash);
    }
    return p;
}

std::string MFilePanelBase::Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return "/" + name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}
