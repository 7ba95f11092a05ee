#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

class LMenu;
class MQcComposition_;

namespace plat {
class Repository;
}

// One composition the operator can load.
struct CompoRepoEntry {
    // The shared repository's identifier ("/name"), or the file name of a bundle composition.
    LString identifier;
    LString name;
    // 1 distortion, 2 stylize, 3 utility, 0 other.
    uint32_t filterKind = 0;
    uint8_t fromRepository = 0;
    // "lumetra.category" of a bundle composition.
    LString makerCategory;
    // 0 composition, 1 animator.
    uint32_t kind = 0;
    // The kind of an animator's first output port.
    uint32_t animatorKind = 0;
    // Empty for the shared repository's compositions.
    LFsSpec file;
    uint8_t plane = 0;
    uint8_t clear = 0;
};

// Every composition the operator can load: those of the shared repository and the compositions
// and animators in the bundle's SharedSupport, sorted into seven category lists (a composition is
// listed once in each of its categories), with the flags of "obexinfo". Filled once on the main
// thread at start-up, then only read.
class CCompoRepository {
public:
    enum : uint32_t {
        kGraphicAnimation = 0,
        kGraphicTransition = 1,
        kImageFilter = 2,
        kScreenSaver = 3,
        kRSSVisualizer = 4,
        kMusicVisualizer = 5,
        kOther = 6,
        kCategoryCount = 7
    };
    enum : uint32_t { kComposition = 0, kAnimator = 1 };
    // Bounds of the bundle folder scan.
    static constexpr uint32_t kMaxDepth = 16;
    static constexpr uint32_t kMaxFilesPerFolder = 4096;
    static constexpr size_t kMaxInfoBytes = 1 << 20;

    CCompoRepository() = default;
    CCompoRepository(const CCompoRepository&) = delete;
    CCompoRepository& operator=(const CCompoRepository&) = delete;

    // The shared repository and the running bundle's SharedSupport.
    void Scan();
    // The given repository (none when null) and SharedSupport folder.
    void Scan(plat::Repository* repository, const std::string& sharedSupport);

    // Applies an "obexinfo" document to the entries listed so far (Scan reads the file; the fuzz
    // target hands bytes).
    void ApplyInfo(const uint8_t* data, size_t size);

    const std::vector<CompoRepoEntry>& List(uint32_t category) const;
    // In category order, the first entry with exactly that identifier; null when none.
    const CompoRepoEntry* FindEntry(const LString& identifier) const;
    // The identifier of the first entry with exactly that display name; empty when none.
    LString LookupEntry(const LString& name) const;
    // The editors' form: the first entry of the list a category row name gives (the names
    // AddCategoryRows fills; an empty or unknown key searches every list) whose display name is the
    // item's text; its identifier, empty when none.
    LString LookupEntry(const LString& key, const LString& itemText) const;

    // Owned reference: the entry's file when it loads, else the repository's composition of that
    // identifier; null when neither. "obImageSpherer.qtz" is read as "obImageSphere.qtz".
    MQcComposition_* Load(const LString& identifier) const;
    bool IsPlane(const MQcComposition_* composition) const;
    bool IsClear(const MQcComposition_* composition) const;
    // The file of that name in SharedSupport's "privatecompo".
    LFsSpec PrivateCompoSpec(const char* name) const;
    const std::string& SharedSupport() const { return fSharedSupport; }

    // Menus (main thread). Items are titled with display names and bound to "CAppCmd_AddCompo".
    void BuildMenu(LMenu* menu, uint32_t category, bool byFilterKind, uint32_t filterKind,
                   uint32_t kind) const;
    // Fills the submenus of the items named "GraphicAnimation", "GraphicTransition",
    // "FilterDistortion", "FilterStylize", "FilterUtility", "FilterOther", "ScreenSaver",
    // "RSSVisualizer", "MusicVisualizer" and "Other".
    void AddCategoryRows(LMenu* menu) const;
    // The editors' form: clears the menu, then one item per entry of list (0-6), in list order.
    void FillMenu(LMenu* menu, uint32_t list) const;

    // The rows AddCategoryRows fills: item name, category list, and the filter kind when by filter kind.
    struct CategoryRow {
        const char* name;
        uint32_t category;
        bool byFilterKind;
        uint32_t filterKind;
    };
    static constexpr uint32_t kCategoryRowCount = 10;
    static const CategoryRow kCategoryRows[kCategoryRowCount];

    // The application's repository (set by the application object).
    static CCompoRepository* Global();
    static void SetGlobal(CCompoRepository* repository);

private:
    CompoRepoEntry* FindMutableEntry(const LString& identifier);
    void ReadInfo(const std::string& path);
    void ScanFolder(const std::string& folder, uint32_t kind, uint32_t depth);
    void AddFile(const std::string& path, const std::string& fileName, uint32_t kind);

    std::vector<CompoRepoEntry> fLists[kCategoryCount];
    plat::Repository* fRepository = nullptr;
    std::string fSharedSupport;
};
