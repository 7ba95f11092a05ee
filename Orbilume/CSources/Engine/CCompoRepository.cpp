#include "Orbilume/CSources/Engine/CCompoRepository.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>

#include "Common/Stream/CXmlDom.h"
#include "Common/Stream/CXmlElement.h"
#include "Common/Stream/CXmlReader.h"
#include "Common/Stream/CXmlTokenizer.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Platform/Composer/Repository.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileIO.h"

namespace {

constexpr char kCompositions[] = "compositions";
constexpr char kAnimators[] = "animators";
constexpr char kPrivateCompo[] = "privatecompo";
constexpr char kInfoFile[] = "obexinfo";
constexpr char kAliasName[] = "obImageSpherer.qtz";
constexpr char kAliasTarget[] = "obImageSphere.qtz";

std::atomic<CCompoRepository*> gRepository{nullptr};

const std::vector<CompoRepoEntry> kNoEntries;

// A whole decimal integer (blanks around it allowed); anything else reads 0.
int64_t IntegerOf(const LString& text) {
    const char* p = text.CStr();
    const char* end = p + text.Length();
    while (p < end && *p == ' ') ++p;
    while (end > p && end[-1] == ' ') --end;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    if (p == end) return 0;
    int64_t n = 0;
    for (; p < end; ++p) {
        if (*p < '0' || *p > '9') return 0;
        if (n < (int64_t{1} << 40)) n = n * 10 + (*p - '0');
    }
    return negative ? -n : n;
}

struct FolderItem {
    std::string name;
    bool folder;
    bool operator<(const FolderItem& o) const { return name < o.name; }
};

// The items of a folder by name, at most max of them; symbolic links to folders are left out.
std::vector<FolderItem> FolderItems(const std::string& folder, uint32_t max) {
    std::vector<FolderItem> items;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return items;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        const std::string path = folder + "/" + e->d_name;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) continue;
        bool isFolder = S_ISDIR(st.st_mode);
        if (S_ISLNK(st.st_mode)) {
            if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            isFolder = false;
        } else if (!isFolder && !S_ISREG(st.st_mode)) {
            continue;
        }
        items.push_back({e->d_name, isFolder});
        if (items.size() >= max) break;
    }
    ::closedir(dir);
    std::sort(items.begin(), items.end());
    return items;
}

}  // namespace

const CCompoRepository::CategoryRow CCompoRepository::kCategoryRows[kCategoryRowCount] = {
    {"GraphicAnimation", kGraphicAnimation, false, 0},
    {"GraphicTransition", kGraphicTransition, false, 0},
    {"FilterDistortion", kImageFilter, true, MQcComposition_::kCategoryDistortion},
    {"FilterStylize", kImageFilter, true, MQcComposition_::kCategoryStylize},
    {"FilterUtility", kImageFilter, true, MQcComposition_::kCategoryUtility},
    {"FilterOther", kImageFilter, true, MQcComposition_::kCategoryOther},
    {"ScreenSaver", kScreenSaver, false, 0},
    {"RSSVisualizer", kRSSVisualizer, false, 0},
    {"MusicVisualizer", kMusicVisualizer, false, 0},
    {"Other", kOther, false, 0},
};

CCompoRepository* CCompoRepository::Global() {
    return gRepository.load();
}

void CCompoRepository::SetGlobal(CCompoRepository* repository) {
    gRepository.store(repository);
}

const std::vector<CompoRepoEntry>& CCompoRepository::List(uint32_t category) const {
    return category < kCategoryCount ? fLists[category] : kNoEntries;
}

void CCompoRepository::Scan() {
    Scan(plat::Repository::Shared(), plat::BundleSharedSupportPath(plat::MainBundlePath()));
}

void CCompoRepository::Scan(plat::Repository* repository, const std::string& sharedSupport) {
    for (auto& list : fLists) list.clear();
    fRepository = repository;
    fSharedSupport = sharedSupport;

    if (repository) {
        std::vector<MQcComposition_*> all;
        MQcComposition_::AllRepositoryCompositions(all, repository);
        for (MQcComposition_* c : all) {
            CompoRepoEntry e;
            e.identifier = MQcComposition_::Identifier(c);
            e.name = MQcComposition_::Name(c);
            e.filterKind = MQcComposition_::Category(c);
            e.fromRepository = 1;
            e.kind = kComposition;
            std::vector<uint32_t> codes;
            MQcComposition_::Protocols(c, codes);
            for (uint32_t code : codes) {
                if (code >= kCategoryCount) continue;
                if (code == kImageFilter && e.filterKind == 0) continue;
                fLists[code].push_back(e);
            }
        }
        MQcComposition_::ReleaseAll(all);
    }
    if (sharedSupport.empty()) return;
    ReadInfo(sharedSupport + "/" + kPrivateCompo + "/" + kInfoFile);
    ScanFolder(sharedSupport + "/" + kCompositions, kComposition, 0);
    ScanFolder(sharedSupport + "/" + kAnimators, kAnimator, 0);
}

void CCompoRepository::ReadInfo(const std::string& path) {
    std::string bytes;
    if (plat::ReadWholeFile(path, kMaxInfoBytes, bytes) != plat::ReadFileResult::kOk) return;
    ApplyInfo(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void CCompoRepository::ApplyInfo(const uint8_t* data, size_t size) {
    if (!data || size > kMaxInfoBytes) return;
    LCStrCharIn in(data, static_cast<uint32_t>(size));
    CXmlTokenizer tokenizer(in);
    if (!(CXmlReader::NextStartTag(tokenizer) == LString(kInfoFile))) return;
    CXmlRootHolder holder;
    if (CXmlDom::Build(holder, tokenizer) != CXmlDom::kBuilt) return;
    for (SSLink* l = holder.Root()->Children().First(); !l->IsEnd(); l = l->next) {
        auto* compo = static_cast<CXmlElement*>(l);
        if (!(compo->Name() == "compo")) continue;
        const LString id = compo->GetAttribute("id");
        if (id.IsEmpty()) continue;
        if (CompoRepoEntry* e = FindMutableEntry(id)) {
            const uint8_t plane = IntegerOf(compo->GetAttribute("plane")) != 0;
            const uint8_t clear = IntegerOf(compo->GetAttribute("clear")) != 0;
            // Every listing of the composition carries the flags.
            for (auto& list : fLists)
                for (CompoRepoEntry& same : list)
                    if (same.identifier == e->identifier) same.plane = plane, same.clear = clear;
        }
    }
}

void CCompoRepository::ScanFolder(const std::string& folder, uint32_t kind, uint32_t depth) {
    if (depth >= kMaxDepth) return;
    for (const FolderItem& item : FolderItems(folder, kMaxFilesPerFolder)) {
        const std::string path = folder + "/" + item.name;
        if (item.folder)
            ScanFolder(path, kind, depth + 1);
        else if (item.name != kAliasName)
            AddFile(path, item.name, kind);
    }
}

void CCompoRepository::AddFile(const std::string& path, const std::string& fileName, uint32_t kind) {
    plat::Ref<MQcComposition_> c = plat::Adopt(MQcComposition_::FromFile(path));
    if (!c) return;
    CompoRepoEntry e;
    e.identifier = LString(fileName.data(), static_cast<uint32_t>(fileName.size()));
    e.name = MQcComposition_::DisplayName(c.get());
    e.makerCategory = MQcComposition_::MakerCategory(c.get());
    e.filterKind = MQcComposition_::Category(c.get());
    e.fromRepository = 0;
    e.kind = kind;
    e.file = LFsSpec(LString(path.data(), static_cast<uint32_t>(path.size())));
    if (kind == kAnimator) {
        CStrArray outputs;
        MQcComposition_::OutputKeys(c.get(), outputs);
        CQcPortDesc desc;
        if (outputs.Count() > 0 && MQcComposition_::ReadPortDesc(c.get(), outputs[0], desc))
            e.animatorKind = desc.kind;
    }
    std::vector<uint32_t> codes;
    MQcComposition_::Protocols(c.get(), codes);
    if (codes.empty()) codes.push_back(kImageFilter);
    for (uint32_t code : codes)
        if (code < kCategoryCount) fLists[code].push_back(e);
}

CompoRepoEntry* CCompoRepository::FindMutableEntry(const LString& identifier) {
    for (auto& list : fLists)
        for (CompoRepoEntry& e : list)
            if (e.identifier == identifier) return &e;
    return nullptr;
}

const CompoRepoEntry* CCompoRepository::FindEntry(const LString& identifier) const {
    return const_cast<CCompoRepository*>(this)->FindMutableEntry(identifier);
}

LString CCompoRepository::LookupEntry(const LString& name) const {
    for (const auto& list : fLists)
        for (const CompoRepoEntry& e : list)
            if (e.name == name) return e.identifier;
    return LString();
}

LString CCompoRepository::LookupEntry(const LString& key, const LString& itemText) const {
    for (const CategoryRow& row : kCategoryRows) {
        if (!(key == row.name)) continue;
        for (const CompoRepoEntry& e : fLists[row.category])
            if (e.name == itemText) return e.identifier;
        return LString();
    }
    return LookupEntry(itemText);
}

MQcComposition_* CCompoRepository::Load(const LString& identifier) const {
    const LString id = identifier == kAliasName ? LString(kAliasTarget) : identifier;
    const CompoRepoEntry* e = FindEntry(id);
    if (e && !e->file.IsEmpty()) {
        if (MQcComposition_* c = MQcComposition_::FromFile(std::string(e->file.CStr(), e->file.Length())))
            return c;
    }
    return fRepository ? MQcComposition_::FromRepository(id, fRepository) : nullptr;
}

bool CCompoRepository::IsPlane(const MQcComposition_* composition) const {
    if (MQcComposition_::IsPlane(composition)) return true;
    const CompoRepoEntry* e = composition ? FindEntry(MQcComposition_::Identifier(composition)) : nullptr;
    return e && e->plane;
}

bool CCompoRepository::IsClear(const MQcComposition_* composition) const {
    if (MQcComposition_::IsClear(composition)) return true;
    const CompoRepoEntry* e = composition ? FindEntry(MQcComposition_::Identifier(composition)) : nullptr;
    return e && e->clear;
}

LFsSpec CCompoRepository::PrivateCompoSpec(const char* name) const {
    const std::string path = fSharedSupport + "/" + kPrivateCompo + "/" + (name ? name : "");
    return LFsSpec(LString(path.data(), static_cast<uint32_t>(path.size())));
}
