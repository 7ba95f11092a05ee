#pragma once

#include <cstdint>

#include "Common/ObjC/MMachColorPanel.h"
#include "Common/ObjC/MMachFontPanel.h"
#include "Common/ObjC/SFontDesc.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Platform/Graphics/GraphicsTypes.h"

// The shared colour and font panels for portable code. A choice is modeless (answer 2 at once; every
// change reaches the callback with code 2 until the panel is closed for that owner and callback) or
// modal (the panel runs modally until it closes; answer 0 with the chosen colour or font written
// back). Answer 1: no window system to show a panel on. One owner at a time per panel: a new choice
// takes the panel over. Main thread only.
class UMachPanel {
public:
    static constexpr const char* kChangeColorAction = "changeColor:";
    static constexpr const char* kChangeFontAction = "changeFont:";

    // Font options: show the size part, the face part, the text-colour part.
    enum : uint32_t { kSizeOption = 1u << 0, kFaceOption = 1u << 1, kTextColorOption = 1u << 2 };

    static int32_t ChooseColor(bool modal, LRGB& colour, void* owner, MMachColorPanel::Callback callback,
                               bool unused, bool showAlpha);
    // Nothing unless the panel belongs to that owner and callback (any owner with a null callback).
    static void CloseColorPanel(void* owner, MMachColorPanel::Callback callback);

    // The panel opens on the description's font name, else its family name, at its size (the
    // default size for 0 or less or NaN); on the user font when no installed font has the name.
    static int32_t ChooseFont(bool modal, SFontDesc& description, void* owner,
                              MMachFontPanel::Callback callback, bool unused, uint32_t options);
    // Only for exactly that owner and callback: puts the application's next responder back, orders
    // the panel out and releases the target.
    static void CloseFontPanel(void* owner, MMachFontPanel::Callback callback);

    // The current targets (null when none), for tests.
    static MMachColorPanel* ColorTarget();
    static MMachFontPanel* FontTarget();

    static LRGB ToLRGB(const plat::GfxColor& colour);
    static plat::GfxColor ToGfxColor(const LRGB& colour);
};
