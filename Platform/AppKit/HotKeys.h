#pragma once

#include <cstdint>
#include <vector>

namespace plat {

// Modifier bits of a hot key as clients register it: Command, Shift, Option, Control. Other bits
// (such as the function-key bit 0x20000) ask for no modifier.
enum HotKeyModifier : uint32_t {
    kHotKeyCommand = 0x0100,
    kHotKeyShift = 0x0200,
    kHotKeyOption = 0x0800,
    kHotKeyControl = 0x1000,
};

// Who registered a hot key: the application's signature and an id of its own.
struct HotKeyID {
    uint32_t signature = 0;
    uint32_t id = 0;
};

// System-wide hot keys: a registered (virtual key code, modifiers) pair is reported when pressed,
// whoever has the focus. Presses reach the press handlers on the main thread with the registration's
// id. Main thread only.
class HotKeys {
public:
    using PressHandler = void (*)(void* context, HotKeyID id);

    virtual ~HotKeys() = default;

    // A non-zero reference for the registration, or 0 when the system refuses it (the key is taken,
    // or the key code has no key).
    [[nodiscard]] virtual uint32_t Register(uint32_t keyCode, uint32_t modifiers, HotKeyID id) = 0;
    // Unknown references are ignored.
    virtual void Unregister(uint32_t ref) = 0;

    // Every installed handler sees every press. Answers a non-zero token for RemovePressHandler.
    uint32_t AddPressHandler(PressHandler handler, void* context);
    void RemovePressHandler(uint32_t token);
    uint32_t PressHandlerCount() const { return uint32_t(fHandlers.size()); }

protected:
    // Calls the handlers installed when the press arrives (a handler may remove any of them).
    void Deliver(HotKeyID id);

private:
    struct Handler {
        uint32_t token;
        PressHandler function;
        void* context;
    };
    std::vector<Handler> fHandlers;
    uint32_t fNextToken = 1;
};

// The hot keys of the installed backend; null when it has none.
HotKeys* CurrentHotKeys();

}  // namespace plat
