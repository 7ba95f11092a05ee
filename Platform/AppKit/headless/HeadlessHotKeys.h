#pragma once

#include <cstdint>
#include <vector>

#include "Platform/AppKit/HotKeys.h"

namespace plat::headless {

// Hot keys without a window system: tests press them and may have the next registration refused.
class HeadlessHotKeys final : public HotKeys {
public:
    uint32_t Register(uint32_t keyCode, uint32_t modifiers, HotKeyID id) override;
    void Unregister(uint32_t ref) override;

    // The next Register answers 0 (as when another program holds the key).
    void RefuseNextRegistration() { fRefuseNext = true; }
    // A press of the pair: true when it is registered (its handlers were called).
    bool PressHotKey(uint32_t keyCode, uint32_t modifiers);
    // A press with an arbitrary identifier, as a system would deliver one.
    void PressID(HotKeyID id) { Deliver(id); }

    struct Registration {
        uint32_t ref;
        uint32_t keyCode;
        uint32_t modifiers;
        HotKeyID id;
    };
    const std::vector<Registration>& Registrations() const { return fRegistrations; }
    uint32_t RegisterCalls() const { return fRegisterCalls; }

private:
    std::vector<Registration> fRegistrations;
    uint32_t fNextRef = 1;
    uint32_t fRegisterCalls = 0;
    bool fRefuseNext = false;
};

}  // namespace plat::headless
