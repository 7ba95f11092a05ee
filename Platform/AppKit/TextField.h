#pragma once

#include <string>

#include "Platform/AppKit/TextView.h"
#include "Platform/AppKit/View.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Graphics/GraphicsTypes.h"

namespace plat {

class ClipView;
class Font;
class TextField;

// What a text field tells whoever watches it while it is edited.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual void ControlTextDidBeginEditing(TextField*) {}
    virtual void ControlTextDidChange(TextField*) {}
    virtual void ControlTextDidEndEditing(TextField*) {}
    // A command of the keyboard (insertNewline:, cancelOperation:, ...) before the field editor
    // performs it; true: handled, the editor does nothing.
    virtual bool ControlDoCommandBySelector(TextField*, TextView*, const char* /*selector*/) { return false; }
};

// A text field, plain or secure. It keeps and draws its string while idle; made first responder
// it edits through its window's field editor (Window::FieldEditor), placed inside a clip view
// over the field, and takes the editor's string back when editing ends. The field is the
// editor's delegate while editing: the "should change" hook (TextShouldChange) is its to
// override. Main thread only.
class TextField : public View, public TextViewDelegate {
public:
    static Ref<TextField> Create(const Rect& frame, bool secure = false);

    bool IsSecure() const { return fSecure; }
    TextFieldDelegate* Delegate() const { return fDelegate; }
    void SetDelegate(TextFieldDelegate* delegate) { fDelegate = delegate; }

    // The editor's string while editing, else the field's.
    std::string StringValue() const;
    void SetStringValue(const std::string& text);

    bool IsEditable() const { return fEditable; }
    void SetEditable(bool editable);
    bool IsSelectable() const { return fSelectable; }
    void SetSelectable(bool selectable);
    void SetFont(Font* font);
    const Font* GetFont() const { return fFont.get(); }
    GfxColor TextColor() const { return fTextColor; }
    void SetTextColor(const GfxColor& colour);
    void SetBackgroundColor(const GfxColor& colour);
    GfxColor BackgroundColor() const { return fBackground; }
    void SetWraps(bool wraps) { fWraps = wraps; }
    bool Wraps() const { return fWraps; }
    void SetUsesSingleLineMode(bool single) { fSingleLine = single; }
    // Whether the field editor should keep one line (Return and Tab end up with the delegate).
    virtual bool IsSingleLine() const { return fSingleLine; }
    // The class a window delegate may ask about to pick the field editor.
    virtual const char* ClassName() const { return "TextField"; }
    void SetAllowsEditingTextAttributes(bool allows) { fRich = allows; }
    bool AllowsEditingTextAttributes() const { return fRich; }

    // The field editor while the field is being edited, else null.
    TextView* CurrentEditor() const { return fEditor.get(); }
    // The clip view the editor scrolls in while editing, else null.
    ClipView* EditorClip() const { return fClip.get(); }
    // Makes the field first responder and selects its whole text.
    void SelectText();
    // Ends editing (the string is taken back; the window's content view becomes first responder).
    void AbortEditing();

    void SetFrame(const Rect& frame) override;
    void DrawRect(const Rect& dirty) override;
    void MouseDown(const Event& event) override;
    View* BecomeFirstResponder() override;

    // The editor's hooks.
    bool TextShouldChange(TextView* view, TextRange range, const std::string& replacement) override;
    void TextDidChange(TextView* view) override;
    bool TextDoCommandBySelector(TextView* view, const char* selector) override;
    void TextDidEndEditing(TextView* view) override;

protected:
    TextField(const Rect& frame, bool secure);
    ~TextField() override;

private:
    void StartEditing(TextView* editor);
    void EndEditing();

    bool fSecure;
    TextFieldDelegate* fDelegate = nullptr;
    std::string fValue;
    bool fEditable = true;
    bool fSelectable = true;
    bool fWraps = false;
    bool fSingleLine = true;
    bool fRich = false;
    Ref<Font> fFont;
    GfxColor fTextColor{0, 0, 0, 1};
    GfxColor fBackground{1, 1, 1, 1};
    Ref<TextView> fEditor;
    Ref<ClipView> fClip;
};

}  // namespace plat
