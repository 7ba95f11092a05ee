#pragma once

#include <cstdint>

#include "Common/ObjC/SFontDesc.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Graphics/Font.h"

// The font panel's target while a caller of UMachPanel::ChooseFont uses it. It sits in the
// application's next-responder place, so the font manager's "changeFont:" reaches it: it converts
// its font and reports it to the owner's callback with code 2. It answers the panel's valid modes
// from its options, and, as the panel's delegate during a modal choice, ends the modal run when
// the panel closes. It keeps the next responder it replaced and puts it back whenever the panel
// closes (the close box too) and when UMachPanel releases it. One at a time. Main thread only.
class MMachFontPanel final : public plat::Object, public plat::WindowDelegate {
public:
    using Callback = void (*)(void* owner, const SFontDesc* description, int32_t code);

    static plat::Ref<MMachFontPanel> Create() { return plat::Adopt(new MMachFontPanel); }

    plat::Ref<plat::Font> mFont;
    uint8_t sizeMode = 0;
    uint8_t faceMode = 0;
    uint8_t colorMode = 0;
    void* mRef = nullptr;
    Callback mCB = nullptr;
    bool mModal = false;

    // Becomes the application's next responder, keeping the one it replaces (once: a second call
    // while it is in place keeps the first).
    void BecomeNextResponder();
    // Puts the kept next responder back when this one is still in place.
    void RestoreNextResponder();

    static SFontDesc Describe(const plat::Font& font);

    bool RespondsToAction(const char* action) const override;
    void PerformAction(const char* action, plat::MenuItem* sender) override;
    uint32_t ValidModesForFontPanel() const override;
    void WindowWillClose(plat::Window* window) override;

private:
    MMachFontPanel() = default;
    ~MMachFontPanel() override;

    plat::MenuTarget* fSavedNext = nullptr;
    bool fInPlace = false;
};
