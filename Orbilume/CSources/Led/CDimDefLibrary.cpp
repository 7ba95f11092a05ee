#include "Orbilume/CSources/Led/CDimDefLibrary.h"

#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Lib3/LSources/Mac/CStdFolders.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Check.h"

CDimDefLibrary::CDimDefLibrary(CDimDefStore* store, std::string documentsFolder)
    : mStore(store), mDocuments(std::move(documentsFolder)) {}

CDimDefLibrary::~CDimDefLibrary() = default;

std::string CDimDefLibrary::BuiltInFolder() const {
    if (!mBuiltIn.empty()) return mBuiltIn;
    const std::string bundle = plat::MainBundlePath();
    return bundle.empty() ? std::string() : bundle + "/SharedSupport/diminst";
}

LMenu* CDimDefLibrary::GetMenu() {
    PLAT_DCHECK_MAIN_THREAD();
    if (mMenu) return mMenu.get();
    mMenu = std::make_unique<LMenu>(nullptr, SRsrcRequest(kMenuName));
    const std::string builtIn = BuiltInFolder();
    if (!builtIn.empty()) ScanFolder(builtIn, mMenu.get(), kCommand, true);
    if (LMenu* user = mMenu->FindSubmenu(LString(kUserMenuName))) {
        const std::string folder = UserFolder();
        if (!folder.empty()) ScanFolder(folder, user, kCommand, true);
        const uint32_t n = mStore ? mStore->Count() : 0;
        for (uint32_t i = 0; i < n; ++i) {
            const CRecord* def = mStore->At(i);
            if (!def || def->GetByte(CDimTypes::kDidfEmbedded) == 0) continue;
            auto* item = new LMenuItem(user);
            item->SetTexts(def->GetString(CDimTypes::kDidfName));
            item->SetCommand(kCommand);
            user->AppendItem(item);
        }
    }
    return mMenu.get();
}

void CDimDefLibrary::DropMenu() {
    mMenu.reset();
}

std::string CDimDefLibrary::UserFolder() const {
    std::string documents = mDocuments;
    // A path (the text of an LFsSpec is a URL).
    if (documents.empty() && gStdFolders)
        documents = CMacFileU::PathFromLFsSpec(gStdFolders->Get(CStdFolders::kDocuments)).CStr();
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

namespace {

void Scan(const std::string& folder, LMenu* menu, const char* command, bool recurse, uint32_t depth,
          uint32_t& entries) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (const dirent* e = readdir(dir)) {
        if (++entries > CDimDefStore::kMaxEntries) break;
        if (e->d_name[0] == '.') continue;  // hidden, "." and ".."
        names.emplace_back(e->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        auto* item = new LMenuItem(menu);
        item->SetTexts(LString(name.c_str(), static_cast<uint32_t>(name.size())));
        item->SetCommand(command);
        menu->AppendItem(item);
        if (!recurse) continue;
        const std::string path = folder + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;  // links are not entered
        if (depth + 1 >= CDimDefStore::kMaxDepth || entries > CDimDefStore::kMaxEntries) continue;
        auto* sub = new LMenu(menu, item->Text());
        sub->SetParent(menu);
        item->SetSubmenu(sub);
        Scan(path, sub, command, recurse, depth + 1, entries);
    }
}

}  // namespace

uint32_t CDimDefLibrary::ScanFolder(const std::string& folder, LMenu* menu, const char* command,
                                    bool recurse) {
    PLAT_DCHECK_MAIN_THREAD();
    uint32_t entries = 0;
    if (menu && command) Scan(folder, menu, command, recurse, 0, entries);
    return entries;
}
