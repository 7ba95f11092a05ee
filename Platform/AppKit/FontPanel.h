#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Platform/AppKit/Control.h"
#include "Platform/AppKit/TextField.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Graphics/FontCatalog.h"

namespace plat {

// Mode bits a "changeFont:" target answers from ValidModesForFontPanel: the parts it wants shown.
enum : uint32_t {
    kFontPanelFaceModeMask = 1u << 0,        // family and typeface
    kFontPanelSizeModeMask = 1u << 1,        // size field and sizes
    kFontPanelCollectionModeMask = 1u << 2,  // (no part of ours)
    kFontPanelUnderlineEffectModeMask = 1u << 8,
    kFontPanelStrikethroughEffectModeMask = 1u << 9,
    kFontPanelTextColorEffectModeMask = 1u << 10,  // text colour
    kFontPanelDocumentColorEffectModeMask = 1u << 11,
    kFontPanelShadowEffectModeMask = 1u << 12,
    kFontPanelAllEffectsModeMask = 0xFFF00u,
    kFontPanelStandardModesMask = 0xFFFFu,
    kFontPanelAllModesMask = 0xFFFFFFFFu,
};

// The shared font panel: a floating utility panel with a family pop-up, a typeface pop-up, a size
// field with a pop-up of common sizes, a text-colour swatch and a preview of the font. It shows the
// shared FontManager's selected font; each choice goes to the manager, which converts the selection
// and sends "changeFont:". When it is shown (and on ReloadModes) it asks the action's target for the
// valid modes and shows only those parts; the preview always shows. The delegate hears the panel's
// window callbacks (WindowWillClose). Closing only orders it out. Lives for the rest of the process
// once made. Main thread only.
class FontPanel final : public Object, public ControlTarget, public TextFieldDelegate, public WindowDelegate {
public:
    enum Part { kFamilyPart, kFacePart, kSizePart, kTextColorPart, kPreviewPart, kPartCount };

    static FontPanel* Shared();
    static bool SharedExists();

    Window* PanelWindow() const { return fWindow.get(); }
    // Reloads the families, shows the manager's selection and asks for the valid modes.
    void OrderFront();
    void OrderOut() { fWindow->OrderOut(); }
    void Close() { fWindow->Close(); }
    bool IsVisible() const { return fWindow->IsVisible(); }

    void ReloadModes();
    uint32_t Modes() const { return fModes; }
    bool ShowsPart(Part part) const;
    // Shows the font (the manager's selection is not changed).
    void SetPanelFont(const Font* font);

    // Not retained.
    WindowDelegate* Delegate() const { return fDelegate; }
    void SetDelegate(WindowDelegate* delegate) { fDelegate = delegate; }

    // What the panel shows.
    std::string ShownFamily() const;
    std::string ShownFace() const;  // the face's PostScript name
    double ShownSize() const { return fSize; }
    Control* FamilyPopUp() const { return fFamily.get(); }
    Control* FacePopUp() const { return fFace.get(); }
    TextField* SizeField() const { return fSizeField.get(); }
    Control* SizePopUp() const { return fSizes.get(); }

    // What the user does: choices of the pop-ups (false when the panel does not list it), a size
    // typed into the field (false when it is not above 0 or not a number), the close box.
    bool UserPickFamily(const std::string& family);
    bool UserPickFace(const std::string& fontName);
    bool UserSetSize(double size);
    void UserClose() { fWindow->PerformClose(); }

    // ControlTarget, TextFieldDelegate, WindowDelegate.
    void ControlAction(const char* action, Control* sender) override;
    void ControlTextDidEndEditing(TextField* field) override;
    bool ControlDoCommandBySelector(TextField* field, TextView* view, const char* selector) override;
    bool WindowShouldClose(Window* w) override { return !fDelegate || fDelegate->WindowShouldClose(w); }
    void WindowWillClose(Window* w) override;

private:
    FontPanel();
    ~FontPanel() override;

    void FillFamilies();
    void FillFaces(const std::string& family);
    void ShowSize(double size);
    void ShowSelection();
    void TakeSizeField();
    View* PartView(Part part) const;
    static void DrawPreview(View* view, const Rect& dirty, void* self);
    static void DrawTextColor(View* view, const Rect& dirty, void* self);

    Ref<Window> fWindow;
    Ref<Control> fFamily;
    Ref<Control> fFace;
    Ref<TextField> fSizeField;
    Ref<Control> fSizes;
    Ref<View> fTextColor;
    Ref<View> fPreview;
    std::vector<std::string> fFamilies;
    std::vector<Typeface> fFaces;
    double fSize = 12;
    Ref<Font> fShown;
    uint32_t fModes = kFontPanelAllModesMask;
    WindowDelegate* fDelegate = nullptr;
};

}  // namespace plat
