#include "Lib3/LSources/Mac/HotKeyRegistry.h"

#include <vector>

#include "Lib3/LSources/Mac/CProcessInfo.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr uint32_t kFunctionKeyCodes[12] = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111};
constexpr uint32_t kUnknownSignature = 0x3F3F3F3F;  // '????'

// Ids stay unique across registries and registrations.
uint32_t gNextId = 1;

}  // namespace

HotKeyEntry::HotKeyEntry() = default;

HotKeyEntry::~HotKeyEntry() {
    if (service && ref) service->Unregister(ref);
}

int32_t KeyCodeForFunctionKey(int32_t index) {
    return index >= 0 && index < 12 ? int32_t(kFunctionKeyCodes[index]) : -1;
}

int32_t FunctionKeyForKeyCode(uint32_t keyCode) {
    for (int32_t i = 0; i < 12; ++i)
        if (kFunctionKeyCodes[i] == keyCode) return i;
    return -1;
}

HotKeyRegistry& HotKeyRegistry::Shared() {
    static HotKeyRegistry registry;
    return registry;
}

HotKeyRegistry::HotKeyRegistry(plat::HotKeys* service) : fService(service) {}

HotKeyRegistry::~HotKeyRegistry() {
    for (SSLink* n = fEntries.First(); !n->IsEnd(); n = fEntries.First())
        Delete(static_cast<HotKeyEntry*>(n));
    RemoveHandlerWhenEmpty();
}

uint32_t HotKeyRegistry::AppSignature() {
    return gProcessInfo ? gProcessInfo->Signature() : kUnknownSignature;
}

plat::HotKeys* HotKeyRegistry::Service() const {
    return fService ? fService : plat::CurrentHotKeys();
}

HotKeyEntry* HotKeyRegistry::Find(uint32_t keyCode, uint32_t modifiers) const {
    for (SSLink* n = fEntries.First(); !n->IsEnd(); n = n->next) {
        auto* e = static_cast<HotKeyEntry*>(n);
        if (e->keyCode == keyCode && e->modifiers == modifiers) return e;
    }
    return nullptr;
}

bool HotKeyRegistry::IdInUse(uint32_t id) const {
    for (SSLink* n = fEntries.First(); !n->IsEnd(); n = n->next)
        if (static_cast<HotKeyEntry*>(n)->hotKeyID.id == id) return true;
    return false;
}

bool HotKeyRegistry::Register(uint32_t keyCode, uint32_t modifiers, void* context, Function function) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!function) return false;
    if (HotKeyEntry* e = Find(keyCode, modifiers)) return e->callbacks.Add(context, function);

    plat::HotKeys* service = Service();
    if (!service) return false;
    while (gNextId == 0 || IdInUse(gNextId)) ++gNextId;
    auto* entry = new HotKeyEntry;
    entry->keyCode = keyCode;
    entry->modifiers = modifiers;
    entry->hotKeyID = {AppSignature(), gNextId};
    entry->ref = service->Register(keyCode, modifiers, entry->hotKeyID);
    if (!entry->ref) {
        delete entry;
        return false;
    }
    entry->service = service;
    if (!entry->callbacks.Add(context, function)) {
        delete entry;
        return false;
    }
    ++gNextId;
    if (fEntries.IsEmpty() && !fHandlerToken) {
        fHandlerService = service;
        fHandlerToken = service->AddPressHandler(&HotKeyRegistry::Pressed, this);
    }
    fEntries.Append(entry);
    return true;
}

bool HotKeyRegistry::IsLive(plat::HotKeys* service) const {
    return service && (service == fService || service == plat::CurrentHotKeys());
}

void HotKeyRegistry::Delete(HotKeyEntry* entry) {
    fEntries.Remove(entry);
    // A service replaced since (its backend gone at exit) is not called.
    if (!IsLive(entry->service)) entry->service = nullptr;
    delete entry;
}

void HotKeyRegistry::Unregister(uint32_t keyCode, uint32_t modifiers, void* context, Function function,
                                bool all) {
    PLAT_DCHECK_MAIN_THREAD();
    SSLink* n = fEntries.First();
    while (!n->IsEnd()) {
        auto* e = static_cast<HotKeyEntry*>(n);
        n = n->next;
        if (!all && (e->keyCode != keyCode || e->modifiers != modifiers)) continue;
        (void)e->callbacks.Remove(context, function);
        if (e->callbacks.IsEmpty()) Delete(e);
    }
    RemoveHandlerWhenEmpty();
}

void HotKeyRegistry::RemoveHandlerWhenEmpty() {
    if (!fEntries.IsEmpty() || !fHandlerToken) return;
    if (IsLive(fHandlerService)) fHandlerService->RemovePressHandler(fHandlerToken);
    fHandlerToken = 0;
    fHandlerService = nullptr;
}

void HotKeyRegistry::Pressed(void* self, plat::HotKeyID id) {
    auto* registry = static_cast<HotKeyRegistry*>(self);
    if (id.signature != AppSignature()) return;
    HotKeyEntry* entry = nullptr;
    for (SSLink* n = registry->fEntries.First(); !n->IsEnd(); n = n->next) {
        if (static_cast<HotKeyEntry*>(n)->hotKeyID.id == id.id) {
            entry = static_cast<HotKeyEntry*>(n);
            break;
        }
    }
    if (!entry) return;
    // A callback may remove the key's last callback and so delete the entry: everything the calls
    // need is copied out first.
    const uint32_t keyCode = entry->keyCode;
    const uint32_t modifiers = entry->modifiers;
    std::vector<LCallbackList::Entry> snapshot;
    snapshot.reserve(entry->callbacks.Count());
    for (uint32_t i = 0; i < entry->callbacks.Count(); ++i) snapshot.push_back(entry->callbacks[i]);
    for (const LCallbackList::Entry& c : snapshot)
        c.As<void(void*, uint32_t, uint32_t)>()(c.context, keyCode, modifiers);
}
