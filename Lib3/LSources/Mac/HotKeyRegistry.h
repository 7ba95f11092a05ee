#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LCallbackList.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Platform/AppKit/HotKeys.h"

// One system-wide hot key (a key code and modifier pair) and its callbacks.
class HotKeyEntry : public SSLink {
public:
    HotKeyEntry();  // the empty entry
    ~HotKeyEntry() override;
    HotKeyEntry(const HotKeyEntry&) = delete;
    HotKeyEntry& operator=(const HotKeyEntry&) = delete;

    uint32_t keyCode = 0;    // virtual key code
    uint32_t modifiers = 0;  // hot-key modifier mask, as registered
    LCallbackList callbacks;
    plat::HotKeys* service = nullptr;  // where the key is registered (with ref), none until then
    uint32_t ref = 0;
    plat::HotKeyID hotKeyID;
};

// The process's system-wide hot keys: one registration with the platform per key and modifier
// pair, a callback list per key, every callback called as function(context, key code, modifiers)
// when the key is pressed, whichever program has the focus. Main thread only.
class HotKeyRegistry {
public:
    using Function = void (*)(void* context, uint32_t keyCode, uint32_t modifiers);

    // The process-wide registry over the installed backend's hot keys.
    static HotKeyRegistry& Shared();

    // Over a given platform service (null: the installed backend's at each registration).
    explicit HotKeyRegistry(plat::HotKeys* service = nullptr);
    // Unregisters every key and removes the press handler.
    ~HotKeyRegistry();
    HotKeyRegistry(const HotKeyRegistry&) = delete;
    HotKeyRegistry& operator=(const HotKeyRegistry&) = delete;

    // False for a null function, an equal pair already there, or a key the platform refuses (which
    // leaves nothing behind).
    bool Register(uint32_t keyCode, uint32_t modifiers, void* context, Function function);
    // Removes the pair from the key's list (from every key's when all is set); a key left without
    // callbacks is unregistered, and with the last key the press handler goes.
    void Unregister(uint32_t keyCode, uint32_t modifiers, void* context, Function function, bool all = false);

    uint32_t EntryCount() const { return fEntries.Count(); }
    bool HasPressHandler() const { return fHandlerToken != 0; }
    // The application's signature that presses must carry.
    static uint32_t AppSignature();

private:
    plat::HotKeys* Service() const;
    bool IsLive(plat::HotKeys* service) const;
    HotKeyEntry* Find(uint32_t keyCode, uint32_t modifiers) const;
    bool IdInUse(uint32_t id) const;
    void Delete(HotKeyEntry* entry);
    void RemoveHandlerWhenEmpty();
    static void Pressed(void* self, plat::HotKeyID id);

    LSLinkBase fEntries;
    plat::HotKeys* fService;
    plat::HotKeys* fHandlerService = nullptr;
    uint32_t fHandlerToken = 0;
};

// The virtual key code of F(index + 1) for index 0 to 11, else -1.
int32_t KeyCodeForFunctionKey(int32_t index);
// The index 0 to 11 of a function key's virtual key code, else -1.
int32_t FunctionKeyForKeyCode(uint32_t keyCode);
