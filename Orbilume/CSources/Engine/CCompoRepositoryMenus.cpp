// The composition menus of CCompoRepository.
#include <vector>

#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/String/UStrCompar.h"
#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr char kAddCompoCommand[] = "CAppCmd_AddCompo";
constexpr char kGroupTitles[] = "QCREPO";
enum : uint32_t { kSystemTitle = 0, kUngroupedTitle = 1 };

bool IsSeparator(const LMenuItem* item) {
    return item->Text().IsEmpty();
}

// After the last item that is a separator or whose title sorts before the title.
uint32_t SortedPosition(const LMenu* menu, const LString& title) {
    uint32_t position = 0;
    for (uint32_t i = 0; i < menu->ItemCount(); ++i) {
        const LMenuItem* item = menu->ItemAt(i);
        if (IsSeparator(item) || UStrCompar::Locale(item->Text().Text(), title.Text()) < 0) position = i + 1;
    }
    return position;
}

LMenuItem* NewItem(LMenu* menu, const LString& title) {
    auto* item = new LMenuItem(menu);
    item->SetTexts(title);
    if (!title.IsEmpty()) item->SetCommand(kAddCompoCommand);
    return item;
}

LMenuItem* AddSorted(LMenu* menu, const LString& title) {
    LMenuItem* item = NewItem(menu, title);
    menu->InsertItem(item, SortedPosition(menu, title));
    return item;
}

void AddSeparator(LMenu* menu) {
    menu->AppendItem(NewItem(menu, LString()));
}

// The submenu of the item titled title, made (sorted in) when there is none.
LMenu* SubmenuTitled(LMenu* menu, const LString& title, bool sorted) {
    for (uint32_t i = 0; i < menu->ItemCount(); ++i) {
        LMenuItem* item = menu->ItemAt(i);
        if (item->Text() == title && item->Submenu()) return item->Submenu();
    }
    LMenuItem* item = NewItem(menu, title);
    const uint32_t position = sorted ? SortedPosition(menu, title) : menu->ItemCount();
    menu->InsertItem(item, position);
    return menu->MakeSubmenu(static_cast<uint32_t>(menu->IndexOfItem(item)));
}

}  // namespace

void CCompoRepository::BuildMenu(LMenu* menu, uint32_t category, bool byFilterKind, uint32_t filterKind,
                                 uint32_t kind) const {
    PLAT_DCHECK_MAIN_THREAD();
    if (!menu || category >= kCategoryCount) return;
    std::vector<const CompoRepoEntry*> animators[3];  // kinds other than 4 and 5, 4, 5
    std::vector<const CompoRepoEntry*> system, ungrouped;
    for (const CompoRepoEntry& e : fLists[category]) {
        if (e.kind != kind || (byFilterKind && e.filterKind != filterKind)) continue;
        if (e.kind == kAnimator) {
            animators[e.animatorKind == 4 ? 1 : e.animatorKind == 5 ? 2 : 0].push_back(&e);
        } else if (category == kGraphicAnimation && e.fromRepository) {
            system.push_back(&e);
        } else if (category == kGraphicAnimation && e.makerCategory.IsEmpty()) {
            ungrouped.push_back(&e);
        } else if (category == kGraphicAnimation) {
            AddSorted(SubmenuTitled(menu, e.makerCategory, true), e.name);
        } else {
            AddSorted(menu, e.name);
        }
    }
    for (const auto& group : animators) {
        if (group.empty()) continue;
        if (menu->ItemCount() > 0) AddSeparator(menu);
        for (const CompoRepoEntry* e : group) AddSorted(menu, e->name);
    }
    const LStrListRsrcH titles{SRsrcRequest(kGroupTitles)};
    if (!ungrouped.empty()) {
        LMenu* sub = SubmenuTitled(menu, titles.GetString(kUngroupedTitle), false);
        for (const CompoRepoEntry* e : ungrouped) AddSorted(sub, e->name);
    }
    if (!system.empty()) {
        LMenu* sub = SubmenuTitled(menu, titles.GetString(kSystemTitle), false);
        for (const CompoRepoEntry* e : system) AddSorted(sub, e->name);
    }
}

void CCompoRepository::AddCategoryRows(LMenu* menu) const {
    PLAT_DCHECK_MAIN_THREAD();
    if (!menu) return;
    for (const CategoryRow& row : kCategoryRows)
        if (LMenu* sub = menu->FindSubmenu(LString(row.name)))
            BuildMenu(sub, row.category, row.byFilterKind, row.filterKind, kComposition);
}

void CCompoRepository::FillMenu(LMenu* menu, uint32_t list) const {
    PLAT_DCHECK_MAIN_THREAD();
    if (!menu) return;
    menu->RemoveAllItems();
    if (list >= kCategoryCount) return;
    for (const CompoRepoEntry& e : fLists[list]) menu->AppendItem(NewItem(menu, e.name));
}
