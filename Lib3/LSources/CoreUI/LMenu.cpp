#include "Lib3/LSources/CoreUI/LMenu.h"

#include <algorithm>
#include <vector>

#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/ReadQuoted.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMenuNative.h"
#include "Lib3/LSources/CoreUI/LMenuTracer.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kCmdQuit = "LStdCmd_Quit";
constexpr uint32_t kMaxItemTokens = 4;

uint64_t gGeneration = 1;

std::vector<LMenu*>& AllMenus() {
    static std::vector<LMenu*> menus;
    return menus;
}

// Up to `count` tokens of a resource line; missing ones stay empty, extra ones are ignored.
void Tokens(const LString& line, LString* out, uint32_t count) {
    LStrCharIn in(line);
    LVariStr<64> token;
    for (uint32_t i = 0; i < count; ++i) {
        token.Reset();
        if (!ReadQuotedToken(in, token, false)) break;
        out[i] = LString(token);
    }
}

}  // namespace

LMenu::LMenu(LHandler* upper, const SRsrcRequest& resource, ResourceProvider* module, uint32_t depth)
    : LHandler(upper) {
    PLAT_DCHECK_MAIN_THREAD();
    LStrListRsrc list(resource, module, kType);
    if (list.IsLoaded() && list.Count() > 0) {
        LString head[2];
        Tokens(list.GetString(0), head, 2);
        fName = head[0];
        fTitle = head[1];
    }
    fNative.reset(LMenuNative::Make(this));
    Register();
    if (list.IsLoaded() && list.Count() >= 2) LoadItems(resource, module, depth);
}

LMenu::LMenu(LHandler* upper, const LString& title) : LHandler(upper), fTitle(title) {
    PLAT_DCHECK_MAIN_THREAD();
    fNative.reset(LMenuNative::Make(this));
    Register();
}

LMenu::~LMenu() {
    Touch();
    Send(LMenu_Destructing);
    LMenuBar::MenuDestroyed(this);
    RemoveAllItems();
    auto& all = AllMenus();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    fNative.reset();
}

void LMenu::Register() {
    AllMenus().push_back(this);
}

uint64_t LMenu::Generation() {
    return gGeneration;
}

void LMenu::Touch() {
    ++gGeneration;
}

uint32_t LMenu::LiveCount() {
    return uint32_t(AllMenus().size());
}

void LMenu::LoadItems(const SRsrcRequest& resource, ResourceProvider* module, uint32_t depth) {
    LStrListRsrc list(resource, module, kType);
    const uint32_t count = list.Count();
    for (uint32_t i = 1; i < count; ++i) {
        LString t[kMaxItemTokens];
        Tokens(list.GetString(i), t, kMaxItemTokens);
        auto* item = new LMenuItem(this);
        item->SetCommand(t[0].CStr());
        item->SetTexts(t[1]);
        if (!t[2].IsEmpty()) item->SetKeySpec(t[2]);
        if (!t[3].IsEmpty() && depth + 1 < kMaxDepth) {
            auto* sub = new LMenu(this, SRsrcRequest(t[3]), module, depth + 1);
            if (!sub->Parent()) sub->SetParent(this);
            item->SetSubmenu(sub);
        }
        AppendItem(item);
        if (!item->HasCommand(kCmdQuit)) continue;
        // Separators just before Quit go, unless Quit is the first item.
        while (LMenuItem* before = ItemAt(ItemCount() >= 2 ? ItemCount() - 2 : ItemCount())) {
            if (!before->Text().IsEmpty()) break;
            delete before;
        }
        break;
    }
}

LMenuItem* LMenu::ItemAt(uint32_t index) const {
    SSLink* n = fItems.First();
    for (; !n->IsEnd() && index > 0; n = n->next) --index;
    return n->IsEnd() ? nullptr : static_cast<LMenuItem*>(n);
}

LMenuItem* LMenu::FirstItem() const {
    SSLink* n = fItems.First();
    return n->IsEnd() ? nullptr : static_cast<LMenuItem*>(n);
}

LMenuItem* LMenu::NextItem(const LMenuItem* item) const {
    if (!item) return FirstItem();
    SSLink* n = item->next;
    return (!n || n->IsEnd()) ? nullptr : static_cast<LMenuItem*>(n);
}

int32_t LMenu::IndexOfItem(const LMenuItem* item) const {
    int32_t i = 0;
    for (SSLink* n = fItems.First(); !n->IsEnd(); n = n->next, ++i)
        if (n == item) return i;
    return -1;
}

bool LMenu::IsNative(const LMenuItem* item) {
    return item && !item->HasCommand(kCmdQuit);
}

uint32_t LMenu::NativeIndex(const LMenuItem* item) const {
    uint32_t index = fFirstIndex;
    for (SSLink* n = fItems.First(); !n->IsEnd() && n != item; n = n->next)
        if (IsNative(static_cast<LMenuItem*>(n))) ++index;
    return index;
}

void LMenu::AppendItem(LMenuItem* item) {
    InsertItem(item, ItemCount());
}

void LMenu::InsertItem(LMenuItem* item, uint32_t position) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!item || item->IsLinked()) return;
    LMenuItem* after = position == 0 ? nullptr : ItemAt(position - 1);
    if (position > 0 && !after)
        fItems.Append(item);
    else
        fItems.InsertAfter(item, after);
    item->fMenu = this;
    item->SetUpper(this);
    item->fDirty = true;
    item->AssignTag();
    Touch();
    if (fNative && IsNative(item)) fNative->InsertItem(NativeIndex(item), item);
    Send(LMenu_ItemAdded);
}

void LMenu::RemoveItem(LMenuItem* item) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!item || item->fMenu != this) return;
    if (fNative && IsNative(item)) fNative->RemoveItem(NativeIndex(item));
    fItems.Remove(item);
    item->fMenu = nullptr;
    Touch();
}

void LMenu::RemoveItemAt(uint32_t index) {
    if (index < fFirstIndex) return;
    delete ItemAt(index - fFirstIndex);
}

void LMenu::RemoveAllItems() {
    while (LMenuItem* item = FirstItem()) delete item;
}

LMenu* LMenu::MakeSubmenu(uint32_t index) {
    LMenuItem* item = ItemAt(index);
    if (!item) return nullptr;
    auto* sub = new LMenu(this, item->Text());
    sub->SetParent(this);
    item->SetSubmenu(sub);
    return sub;
}

LMenu* LMenu::FindSubmenu(const LString& name) const {
    for (LMenuItem* i = FirstItem(); i; i = NextItem(i))
        if (i->Submenu() && i->Submenu()->Name() == name) return i->Submenu();
    for (LMenuItem* i = FirstItem(); i; i = NextItem(i))
        if (i->Submenu())
            if (LMenu* found = i->Submenu()->FindSubmenu(name)) return found;
    return nullptr;
}

void LMenu::EnableAllItems() {
    for (LMenuItem* i = FirstItem(); i; i = NextItem(i)) {
        if (!i->Text().IsEmpty()) i->SetEnabled(true);
        if (i->Submenu()) i->Submenu()->EnableAllItems();
    }
}

void LMenu::ResetItemStates() {
    for (LMenuItem* i = FirstItem(); i; i = NextItem(i)) {
        i->fEnabled = false;
        i->fMarked = false;
        i->fText = i->fBaseText;
        if (i->Submenu()) i->Submenu()->ResetItemStates();
    }
}

bool LMenu::EnableCommand(const char* command) {
    bool any = false;
    for (LMenuItem* i = FirstItem(); i; i = NextItem(i)) {
        bool on = i->HasCommand(command);
        if (i->Submenu() && i->Submenu()->EnableCommand(command)) on = true;
        if (!on) continue;
        i->SetEnabled(true);
        any = true;
    }
    return any;
}

void LMenu::SyncToNative() {
    PLAT_DCHECK_MAIN_THREAD();
    uint32_t index = fFirstIndex;
    for (LMenuItem* i = FirstItem(); i; i = NextItem(i)) {
        if (LMenu* sub = i->Submenu()) sub->SyncToNative();
        if (!IsNative(i)) continue;
        if (fNative) fNative->UpdateItem(index, i);
        ++index;
        i->fDirty = false;
    }
}

LMenuItem* LMenu::FindNativeItem(int32_t tag) {
    if (tag < 0) return nullptr;
    for (LMenuItem* i = FirstItem(); i; i = NextItem(i))
        if (i->Tag() == tag) return i;
    for (LMenuItem* i = FirstItem(); i; i = NextItem(i))
        if (i->IsEnabled() && i->Submenu())
            if (LMenuItem* found = i->Submenu()->FindNativeItem(tag)) return found;
    return nullptr;
}

LMessage LMenu::Handle(const LMessage& msg) {
    if (msg.Is(LMenuTracer_Trace) && msg.sender) {
        auto* tracer = static_cast<LMenuTracer*>(msg.sender);
        if (!tracer->Found() && (tracer->Name().IsEmpty() || tracer->Name() == fName)) tracer->SetFound(this);
        return msg.Retarget(fParent ? fParent : Upper());
    }
    if (msg.Is(LMenu_Destructing) && msg.sender && msg.sender != this) {
        for (LMenuItem* i = FirstItem(); i; i = NextItem(i))
            if (i->fSubmenu == msg.sender) i->fSubmenu = nullptr;
        Touch();
    }
    return LHandler::Handle(msg);
}
