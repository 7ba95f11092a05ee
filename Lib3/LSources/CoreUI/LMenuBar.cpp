#include "Lib3/LSources/CoreUI/LMenuBar.h"

#include <algorithm>
#include <cstring>

#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMenuNative.h"
#include "Lib3/LSources/CoreUI/LMenuTracer.h"
#include "Platform/Foundation/Check.h"

namespace {

LMenuBar* gMain = nullptr;

std::vector<LMenuBar*>& AllBars() {
    static std::vector<LMenuBar*> bars;
    return bars;
}
LHandler* gCommandTarget = nullptr;

bool Same(const LString& a, const char* b) {
    return std::strcmp(a.CStr(), b ? b : "") == 0;
}

// Calls f(item) for every item of the menu, depth-first; stops when f answers true.
template <typename F>
bool Walk(LMenu* menu, F& f) {
    for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i)) {
        if (f(i)) return true;
        if (i->Submenu() && Walk(i->Submenu(), f)) return true;
    }
    return false;
}

// Each menu's items before its submenus; submenus only through enabled items.
template <typename F>
LMenuItem* Search(LMenu* menu, F& match) {
    for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i))
        if (i->IsEnabled() && !i->Submenu() && match(i)) return i;
    for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i))
        if (i->IsEnabled() && i->Submenu())
            if (LMenuItem* found = Search(i->Submenu(), match)) return found;
    return nullptr;
}

}  // namespace

LMenuBar::LMenuBar(LHandler* upper) : LHandler(upper), fTimer(this) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!gMain) gMain = this;
    AllBars().push_back(this);
}

LMenuBar::LMenuBar(LHandler* upper, Private) : LHandler(upper), fTimer(this) {
    PLAT_DCHECK_MAIN_THREAD();
    AllBars().push_back(this);
}

void LMenuBar::MenuDestroyed(LMenu* menu) {
    for (LMenuBar* bar : AllBars())
        if (bar->Contains(menu)) bar->RemoveMenu(menu);
}

LMenuBar::LMenuBar(LHandler* upper, const SRsrcRequest& names, ResourceProvider* module) : LMenuBar(upper) {
    LStrListRsrc list(names, module, LMenu::kBarType);
    for (uint32_t i = 0; i < list.Count(); ++i) {
        LString name = list.GetString(i);
        if (name.IsEmpty()) continue;
        auto* menu = new LMenu(this, SRsrcRequest(name), module);
        if (!menu->Parent()) menu->SetParent(this);
        AddMenu(menu, -1);
    }
    // Announced once the loop runs, so that the menu-key registry can apply its keys.
    if (!fMenus.IsEmpty()) fTimer.StartOnce(0, 0);
}

LMenuBar::~LMenuBar() {
    fTimer.Stop();
    // Each menu leaves the list before it goes; its "LMenu_Destructing" finds it gone.
    while (LMenu* menu = FirstMenu()) {
        const bool owned = menu->Parent() == this;
        RemoveMenu(menu);
        if (owned) delete menu;
    }
    if (gMain == this) gMain = nullptr;
    auto& all = AllBars();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

LMenuBar* LMenuBar::Main() {
    return gMain;
}

void LMenuBar::WithMainMenuBar(void* context, void (*function)(void*, LMenuBar*)) {
    if (gMain && function) function(context, gMain);
}

void LMenuBar::SetCommandTarget(LHandler* handler) {
    gCommandTarget = handler;
}

LHandler* LMenuBar::CommandTarget() {
    return gCommandTarget;
}

LMenu* LMenuBar::FirstMenu() const {
    SSLink* n = fMenus.First();
    return n->IsEnd() ? nullptr : static_cast<LMenu*>(n);
}

LMenu* LMenuBar::NextMenu(const LMenu* menu) const {
    if (!menu) return FirstMenu();
    SSLink* n = menu->next;
    return (!n || n->IsEnd()) ? nullptr : static_cast<LMenu*>(n);
}

bool LMenuBar::Contains(const LMenu* menu) const {
    for (LMenu* m = FirstMenu(); m; m = NextMenu(m))
        if (m == menu) return true;
    return false;
}

void LMenuBar::AddMenu(LMenu* menu, int32_t index) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!menu || menu->IsLinked()) return;
    // The menu now at the index, whose native part the new one goes before.
    LMenu* before = nullptr;
    if (index >= 0) {
        int32_t i = 0;
        for (LMenu* m = FirstMenu(); m; m = NextMenu(m), ++i)
            if (i == index) before = m;
    }
    fMenus.Append(menu);
    LMenu::Touch();
    if (IsMain() && menu->Native()) menu->Native()->InstallInMenuBar(before ? before->Native() : nullptr);
}

void LMenuBar::AppendMenu(LMenu* menu) {
    if (!menu) return;
    if (!menu->Parent()) menu->SetParent(this);
    AddMenu(menu, -1);
}

void LMenuBar::InsertMenuBefore(LMenu* menu, LMenu* before) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!menu || menu->IsLinked()) return;
    fMenus.Append(menu);
    LMenu::Touch();
    if (IsMain()) {
        if (menu->Native()) menu->Native()->InstallInMenuBar(before ? before->Native() : nullptr);
        fTimer.StartOnce(0, 0);
    }
}

void LMenuBar::RemoveMenu(LMenu* menu) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!menu || !Contains(menu)) return;
    fMenus.Remove(menu);
    LMenu::Touch();
    if (menu->Parent() == this) menu->SetParent(nullptr);
    if (IsMain() && menu->Native()) menu->Native()->RemoveFromMenuBar();
}

void LMenuBar::ReplaceMenu(LMenu* old, LMenu* replacement) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!old || !replacement || replacement->IsLinked() || !Contains(old)) return;
    fMenus.InsertAfter(replacement, old);
    fMenus.Remove(old);
    LMenu::Touch();
    if (IsMain()) {
        if (replacement->Native()) replacement->Native()->InstallInMenuBar(old->Native());
        if (old->Native()) old->Native()->RemoveFromMenuBar();
        fTimer.StartOnce(0, 0);
    }
}

void LMenuBar::ResetItemStates() {
    for (LMenu* m = FirstMenu(); m; m = NextMenu(m)) m->ResetItemStates();
}

const std::vector<LMenuItem*>* LMenuBar::ItemsFor(const char* command) {
    if (fIndexGeneration != LMenu::Generation()) {
        fIndex.clear();
        struct Context {
            std::unordered_map<std::string, std::vector<LMenuItem*>>* index;
            LMenuItem* item;
        } ctx{&fIndex, nullptr};
        auto f = [&](LMenuItem* i) {
            ctx.item = i;
            i->ForEachCommand(
                [](void* c, const LString& id) {
                    auto* x = static_cast<Context*>(c);
                    (*x->index)[id.CStr()].push_back(x->item);
                },
                &ctx);
            return false;
        };
        for (LMenu* m = FirstMenu(); m; m = NextMenu(m)) Walk(m, f);
        fIndexGeneration = LMenu::Generation();
    }
    auto it = fIndex.find(command ? command : "");
    return it == fIndex.end() ? nullptr : &it->second;
}

// Through the command index: the pass before every key equivalent stays linear in the bar's size.
void LMenuBar::EnableCommand(const char* command, const char* newText, bool keepDisabled) {
    const std::vector<LMenuItem*>* items = ItemsFor(command);
    if (!items) return;
    const bool replace = newText && *newText;
    LString text = replace ? LString(newText) : LString();
    for (LMenuItem* i : *items) {
        if (i->IsEnabled()) continue;
        if (!keepDisabled) i->SetEnabled(true);
        if (replace) i->SetText(text);
    }
}

bool LMenuBar::CheckCommand(const char* command, const char* text) {
    bool any = false;
    const bool all = !text || !*text;
    auto f = [&](LMenuItem* i) {
        if (!i->HasCommand(command) || (!all && !Same(i->Text(), text))) return false;
        i->SetMarked(true);
        any = true;
        return false;
    };
    for (LMenu* m = FirstMenu(); m; m = NextMenu(m)) Walk(m, f);
    return any;
}

LMenu* LMenuBar::FindMenu(const LString& name) const {
    for (LMenu* m = FirstMenu(); m; m = NextMenu(m))
        if (m->Name() == name) return m;
    for (LMenu* m = FirstMenu(); m; m = NextMenu(m))
        if (LMenu* found = m->FindSubmenu(name)) return found;
    return nullptr;
}

bool LMenuBar::FindMenuPosition(const LMenu* menu, LMenu** parent, int32_t* index) const {
    int32_t i = 0;
    for (LMenu* m = FirstMenu(); m; m = NextMenu(m), ++i) {
        if (m != menu) continue;
        if (parent) *parent = nullptr;
        if (index) *index = i;
        return true;
    }
    LMenu* holder = nullptr;
    int32_t at = -1;
    auto f = [&](LMenuItem* item) {
        if (item->Submenu() != menu) return false;
        holder = item->Menu();
        at = holder ? holder->IndexOfItem(item) : -1;
        return true;
    };
    for (LMenu* m = FirstMenu(); m; m = NextMenu(m))
        if (Walk(m, f)) break;
    if (!holder) return false;
    if (parent) *parent = holder;
    if (index) *index = at;
    return true;
}

LMenuItem* LMenuBar::FindCommand(const char* command) const {
    auto match = [&](LMenuItem* i) { return i->HasCommand(command); };
    for (LMenu* m = FirstMenu(); m; m = NextMenu(m))
        if (LMenuItem* found = Search(m, match)) return found;
    return nullptr;
}

LMenuItem* LMenuBar::FindItemByKey(const char* spec) const {
    if (!spec || !*spec) return nullptr;
    auto match = [&](LMenuItem* i) { return Same(i->KeySpec(), spec); };
    for (LMenu* m = FirstMenu(); m; m = NextMenu(m))
        if (LMenuItem* found = Search(m, match)) return found;
    return nullptr;
}

LMenuItem* LMenuBar::FindNativeItem(int32_t tag) const {
    if (tag < 0) return nullptr;
    auto match = [&](LMenuItem* i) { return i->Tag() == tag; };
    for (LMenu* m = FirstMenu(); m; m = NextMenu(m))
        if (LMenuItem* found = Search(m, match)) return found;
    return nullptr;
}

LMenuItem* LMenuBar::Select(LMenuItem* item) {
    if (!item || !gCommandTarget) return item;
    Dispatch(LMessage(LMenuItem_Selected, item, gCommandTarget));
    return nullptr;
}

LMenuItem* LMenuBar::SelectCommand(const char* command) {
    return Select(FindCommand(command));
}

LMenuItem* LMenuBar::SelectItemByKey(const char* spec) {
    return Select(FindItemByKey(spec));
}

LMenuItem* LMenuBar::SelectNativeItem(int32_t tag) {
    return Select(FindNativeItem(tag));
}

void LMenuBar::ForEachItem(ItemFunction function, void* context) const {
    if (!function) return;
    auto f = [&](LMenuItem* i) {
        function(context, i);
        return false;
    };
    for (LMenu* m = FirstMenu(); m; m = NextMenu(m)) Walk(m, f);
}

void LMenuBar::SyncToNative() {
    for (LMenu* m = FirstMenu(); m; m = NextMenu(m)) m->SyncToNative();
}

LMessage LMenuBar::Handle(const LMessage& msg) {
    LHandler* sender = msg.sender;
    if (msg.Is(LMenuTracer_Trace) && sender) {
        auto* tracer = static_cast<LMenuTracer*>(sender);
        if (!tracer->Bar()) tracer->SetBar(this);
        return LMessage();
    }
    if (msg.Is(LMenu_ItemAdded)) {
        fTimer.StartOnce(0, 0);
        return LMessage();
    }
    if (msg.Is(LTimer_Expire) && sender == &fTimer) {
        Dispatch(LMessage(LMenuBar_Added, this, Upper() ? Upper() : this));
        return LMessage();
    }
    if ((msg.Is(LMenuBar_Added) || msg.Is(LMenuBar_Ready)) && sender == this) {
        SyncToNative();
        return LMessage();
    }
    if (msg.Is(LMenu_Destructing) && sender) {
        auto* menu = static_cast<LMenu*>(sender);
        if (Contains(menu)) RemoveMenu(menu);
        return LMessage();
    }
    return LHandler::Handle(msg);
}

// Groups --------------------------------------------------------------------------------------------

LOwningMenuBar::LOwningMenuBar(LHandler* upper) : LMenuBar(upper, Private{}) {}

LOwningMenuBar::LOwningMenuBar(LHandler* upper, const SRsrcRequest& names, ResourceProvider* module)
    : LMenuBar(upper, Private{}) {
    LStrListRsrc list(names, module, LMenu::kBarType);
    for (uint32_t i = 0; i < list.Count(); ++i) {
        LString name = list.GetString(i);
        if (name.IsEmpty()) continue;
        AppendMenu(new LMenu(this, SRsrcRequest(name), module));
    }
}

LOwningMenuBar::~LOwningMenuBar() {
    RemoveFromMain();
}

namespace {
// The group whose menus are in the main bar: one at a time, so groups never shadow each other.
LOwningMenuBar* gLentGroup = nullptr;
}  // namespace

void LOwningMenuBar::InsertIntoMain() {
    LMenuBar* main = Main();
    if (!main || main == this || !fLent.empty()) return;
    if (gLentGroup && gLentGroup != this) gLentGroup->RemoveFromMain();
    gLentGroup = this;
    LMenu::Touch();
    LMenu* before = main->FindMenu(LString("WINDOW"));
    if (!before) before = main->FindMenu(LString("HELP"));
    if (before && !main->Contains(before)) before = nullptr;
    std::vector<LMenu*> menus;
    while (SSLink* n = fMenus.RemoveFirst()) menus.push_back(static_cast<LMenu*>(n));
    for (LMenu* menu : menus) {
        fLent.push_back(menu);
        LMenu* own = nullptr;
        for (LMenu* m = main->FirstMenu(); m && !menu->Name().IsEmpty(); m = main->NextMenu(m))
            if (m->Name() == menu->Name() && m->Parent() != this) own = m;
        if (!own) {
            main->InsertMenuBefore(menu, before);
            continue;
        }
        if (own == before) before = menu;
        fShadowed.push_back(Shadowed{menu, own, own->Parent(), own->Upper()});
        main->ReplaceMenu(own, menu);
        own->SetParent(this);
        own->SetUpper(this);
        fMenus.Append(own);
    }
}

LMenu* LOwningMenuBar::TakeShadowed(LMenu* lent) {
    for (auto it = fShadowed.begin(); it != fShadowed.end(); ++it) {
        if (it->lent != lent) continue;
        LMenu* own = it->own;
        fMenus.Remove(own);
        own->SetParent(it->ownParent);
        own->SetUpper(it->ownUpper);
        fShadowed.erase(it);
        return own;
    }
    return nullptr;
}

void LOwningMenuBar::RemoveFromMain() {
    if (gLentGroup == this) gLentGroup = nullptr;
    LMenuBar* main = Main();
    if (!fLent.empty()) LMenu::Touch();
    while (!fLent.empty()) {
        LMenu* menu = fLent.back();
        fLent.pop_back();
        LMenu* own = main ? TakeShadowed(menu) : nullptr;
        if (own)
            main->ReplaceMenu(menu, own);
        else if (main)
            main->RemoveMenu(menu);
        fMenus.Insert(menu);
    }
    if (!main) fShadowed.clear();  // the main bar's menus stay with the group, which deletes them
}

LMessage LOwningMenuBar::Handle(const LMessage& msg) {
    if (msg.Is(LMenu_Destructing) && msg.sender) {
        auto* menu = static_cast<LMenu*>(msg.sender);
        auto it = std::find(fLent.begin(), fLent.end(), menu);
        if (it != fLent.end()) {
            fLent.erase(it);
            LMenuBar* main = Main();
            LMenu* own = main ? TakeShadowed(menu) : nullptr;
            if (own)
                main->ReplaceMenu(menu, own);
            else if (main)
                main->RemoveMenu(menu);
            return LMessage();
        }
    }
    return LMenuBar::Handle(msg);
}
