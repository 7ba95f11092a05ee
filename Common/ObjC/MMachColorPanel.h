#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LColor.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Object.h"

// The shared colour panel's target while a caller of UMachPanel::ChooseColor uses it: takes
// "changeColor:" and reports the panel's colour to the owner's callback with code 2; as the panel's
// delegate during a modal choice it ends the modal run when the panel closes. One at a time (made
// and released by UMachPanel). Main thread only.
class MMachColorPanel final : public plat::Object, public plat::WindowDelegate {
public:
    using Callback = void (*)(void* owner, const LRGB* colour, int32_t code);

    static plat::Ref<MMachColorPanel> Create() { return plat::Adopt(new MMachColorPanel); }

    void* owner = nullptr;
    Callback callback = nullptr;
    bool modal = false;

    bool RespondsToAction(const char* action) const override;
    void PerformAction(const char* action, plat::MenuItem* sender) override;
    void WindowWillClose(plat::Window* window) override;

private:
    MMachColorPanel() = default;
    ~MMachColorPanel() override = default;
};
