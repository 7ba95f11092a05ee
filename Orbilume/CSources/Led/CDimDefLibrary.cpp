#include "Orbilume/CSources/Led/CDimDefLibrary.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Lib3/LSources/Mac/CStdFolders.h"

CDimDefLibrary::CDimDefLibrary(CDimDefStore* store, std::string documentsFolder)
    : mStore(store), mDocuments(std::move(documentsFolder)) {}

std::string CDimDefLibrary::UserFolder() const {
    std::string documents = mDocuments;
    if (documents.empty() && gStdFolders) documents = gStdFolders->Get(CStdFolders::kDocuments).CStr();
    if (documents.empty()) return {};
    return documents + "/" + kFolderName;
}

bool CDimDefLibrary::IsSafeName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameBytes || name == "." || name == "..") return false;
    return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::string CDimDefLibrary::DefinitionPath(std::string_view name, bool create) const {
    if (!IsSafeName(name)) return {};
    const std::string folder = UserFolder();
    if (folder.empty()) return {};
    if (create && mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return {};
    return folder + "/" + std::string(name);
}

int CDimDefLibrary::RemoveFolder(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return 2;
    if (!S_ISDIR(st.st_mode)) return 1;
    return rmdir(path.c_str()) == 0 ? 0 : 1;
}
