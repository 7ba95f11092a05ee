#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LTextBox.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"

class CEditText;
class LScrollBar;

// A key the field does not keep for its native editor (sender the field).
L_MESSAGE_ID(LEditText_Down);
// The text was changed by typing.
L_MESSAGE_ID(LEditText_Change);
// Editing ended (the focus went; not when the window was hidden).
L_MESSAGE_ID(LEditText_Unfocused);

// The framework's text-entry pane. It keeps, measures and draws its text itself and creates a
// native editor (CEditText) only while it holds the focus; all typing happens there and the text
// comes back when the editor is released. Modes: 0 one line, 1 multi-line (Tab typed, two scroll
// bars), 2 wrapped (a vertical bar). Main thread only.
class LEditText : public LPane {
public:
    enum : uint32_t { kNoHMargin = 1, kNoVMargin = 2, kPassword = 4, kNoFrame = 8, kScrollBars = 16 };
    enum : uint32_t { kSingleLine = 0, kMultiLine = 1, kWrapped = 2 };
    // The ring the frame may cover around the outer frame rectangle.
    static constexpr int32_t kFrameShapeWidth = 4;

    LEditText(LPane* owner, uint32_t mode, uint32_t options);
    ~LEditText() override;

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;
    bool IntersectsRegion(const CRgn& region) override;
    LPane* FindPaneAt(const CLPoint& p) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void Draw(LDrawContext& ctx) override;
    bool TakeFocus(int32_t backwards, bool restart) override;

    // The editing operations subclasses change.
    virtual CEditText* CreateEditor();
    // Copies the editor's text into the stored text and deletes the editor.
    virtual void ReleaseEditor(CEditText* editor);
    virtual void DrawText(LDrawContext& ctx, const CLRect& r);
    struct Extent {
        int32_t width = 0;
        int32_t height = 0;
    };
    virtual Extent MeasureText(LDrawContext& ctx);
    // Whether a typed character (a code point) may enter the text.
    virtual bool AcceptChar(uint32_t ch);
    virtual void TextChanged();
    virtual void Unfocused();

    LString GetText() const;
    void SetText(const LString& text);
    uint32_t Mode() const { return fMode; }
    void SetMode(uint32_t mode);
    uint32_t Options() const { return fOptions; }
    bool IsLocked() const { return fLocked; }
    void SetLocked(bool locked);
    bool IsReadOnly() const { return fReadOnly; }
    void SetReadOnly(bool readOnly);
    const LTextStyleH& TextStyle() const { return fStyle; }
    void SetTextStyle(const LTextStyleH& style);
    void SetBackgroundColor(const LColor& colour);
    void SetTextColor(const LColor& colour);
    void Activate();
    void SelectAll();
    bool HasSelection() const;
    bool CanTakeFocus();

    CEditText* Editor() const { return fEditor.get(); }
    LScrollBar* VerticalBar() const { return fVBar.get(); }
    LScrollBar* HorizontalBar() const { return fHBar.get(); }

    // Geometry in the owner's coordinates.
    CLRect TextRect() const;
    CLRect InnerFrameRect() const;
    CLRect OuterFrameRect() const;

    // The filter the native editor runs before each change: each character through AcceptChar.
    static bool CharacterFilter(LPane* owner, int32_t flag, LString& replacement);

protected:
    bool IsFocusedInKeyWindow() const {
        return (State() & (kFocused | kKeyWindow)) == (kFocused | kKeyWindow);
    }
    // Drops the focus (op 11).
    void DropFocus();
    // The LEditText handling of a key press ("LKeyboard_Down").
    LMessage HandleKey(const LMessage& msg);

private:
    int32_t FrameInset() const { return (fOptions & kNoFrame) ? 0 : 1; }
    int32_t HMargin() const { return (fOptions & kNoHMargin) ? 0 : 1; }
    int32_t VMargin() const { return (fOptions & kNoVMargin) ? 0 : 1; }
    int32_t VBarWidth() const;
    int32_t HBarHeight() const;
    void BuildScrollBars();
    void MakeEditor();
    void Release(bool tell);
    void ActivateEditor();
    void ReplaceEditor();
    void UpdateScrollBars();
    void InvalidateFrameArea();
    void InvalidateText();
    void PlaceScrollBars();
    LMessage HandleMouse(const LMessage& msg);
    CLPoint LocalMouse() const;

    std::unique_ptr<LScrollBar> fVBar;
    std::unique_ptr<LScrollBar> fHBar;
    LString fText;
    std::unique_ptr<CEditText> fEditor;
    uint32_t fOptions;
    uint32_t fMode;
    LTextStyleH fStyle;
    LColor fBackground;
    LColor fTextColor;
    bool fLocked = false;
    bool fReadOnly = false;
    LTextBox fDrawer;
};
