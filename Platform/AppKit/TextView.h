#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/AppKit/TextRanges.h"
#include "Platform/AppKit/View.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Graphics/GraphicsTypes.h"

namespace plat {

class Font;
class TextLayout;
class TextView;

// Who a text view asks and tells. Every range is in UTF-16 units.
class TextViewDelegate {
public:
    virtual ~TextViewDelegate() = default;
    // Before every change (typing, paste, cut, delete; undo and redo replay without asking). False refuses
    // it; the delegate may make a change of its own instead through ReplaceCharacters, which asks nobody.
    virtual bool TextShouldChange(TextView*, TextRange, const std::string& /*replacement*/) { return true; }
    virtual void TextDidChange(TextView*) {}
    // A command of the keyboard before the view performs it; true: handled, the view does nothing.
    virtual bool TextDoCommandBySelector(TextView*, const char* /*selector*/) { return false; }
    // The view stops being first responder.
    virtual void TextDidEndEditing(TextView*) {}
};

// Editable UTF-8 text: a window's field editor or a multi-line text view. Keeps the text, the
// selection and its own undo steps; lays it out one paragraph at a time (only changed paragraphs
// are laid out again, only visible ones drawn) and sizes its frame to the document inside a clip
// view. Keys become typed text (InsertText) or command selectors offered to the delegate first.
// Cut, copy and paste use the general pasteboard's string type; selected text goes to the
// selection pasteboard and the middle button pastes from it; secure views draw bullets and never
// give their text to the pasteboard. Main thread only.
class TextView : public View {
public:
    static Ref<TextView> Create(const Rect& frame);

    TextViewDelegate* Delegate() const { return fDelegate; }
    void SetDelegate(TextViewDelegate* delegate) { fDelegate = delegate; }

    // The text as UTF-8 (always valid, no NUL).
    const std::string& String() const { return fText; }
    // Replaces the whole text (cleaned as SanitizeText does); asks nobody, clears undo, caret at the end.
    void SetString(const std::string& text);
    size_t Length() const;  // UTF-16 units

    TextRange SelectedRange() const;
    // Clipped to the text; ends inside a surrogate pair snap to the character's start.
    void SetSelectedRange(TextRange range);

    // Typed text: replaces the selection after the delegate agreed (NUL, broken UTF-8 and, in a
    // field editor, line breaks cleaned first).
    void InsertText(const std::string& text);
    // Replaces a range without asking anybody (one undo step); the caret goes after the new text.
    void ReplaceCharacters(TextRange range, const std::string& text);
    // Offers the selector to the delegate, then performs it when the delegate did not.
    void DoCommandBySelector(const char* selector) override;
    // Performs a selector; false when the view has none of that name.
    bool PerformSelector(const char* selector);

    // A field editor keeps one line: Return and Tab are left to the delegate, pasted line breaks become
    // blanks.
    bool IsFieldEditor() const { return fFieldEditor; }
    void SetFieldEditor(bool fieldEditor);
    bool IsEditable() const { return fEditable; }
    void SetEditable(bool editable) { fEditable = editable; }
    bool IsSelectable() const { return fSelectable; }
    void SetSelectable(bool selectable) { fSelectable = selectable; }
    bool IsSecure() const { return fSecure; }
    void SetSecure(bool secure);
    bool Wraps() const { return fWraps; }
    void SetWraps(bool wraps);
    void SetFont(Font* font);
    const Font& GetFont() const;
    void SetTextColor(const GfxColor& colour);
    GfxColor TextColor() const { return fTextColor; }
    void SetInsertionPointColor(const GfxColor& colour) { fCaretColor = colour; }
    GfxColor InsertionPointColor() const { return fCaretColor; }
    void SetBackgroundColor(const GfxColor& colour);
    void SetDrawsBackground(bool draws) { fDrawsBackground = draws; }

    // The size the whole text takes (at least one line).
    Size DocumentSize();
    // Fits the frame to the document and the clip view it sits in (wrapping at the clip's width).
    void SizeToFit();
    void ScrollSelectionToVisible();
    // Scrolls the enclosing clip view.
    void ScrollPoint(Point p);

    bool CanUndo() const { return fUndoPos > 0; }
    bool CanRedo() const { return fUndoPos < fUndo.size(); }
    // Ends the running typing step (the next typing starts a new one).
    void BreakUndoCoalescing() { fCoalescing = false; }

    // Caret blink: visible half of each period, on a timer in the common modes while first responder.
    bool CaretVisible() const { return fCaretOn; }
    static constexpr double kCaretBlinkPeriod = 0.5;
    void StartCaretTimer();
    void StopCaretTimer();

    void DrawRect(const Rect& dirty) override;
    void MouseDown(const Event& event) override;
    void OtherMouseDown(const Event& event) override;
    void KeyDown(const Event& event) override;
    bool ResignFirstResponder() override;

    // The selector a key event maps to, or null for typed text (or a key with no meaning here).
    static const char* SelectorForKey(const Event& event);

protected:
    explicit TextView(const Rect& frame);
    ~TextView() override;

private:
    struct Para {
        size_t start8 = 0;
        size_t start16 = 0;
        double y = 0;
        std::unique_ptr<TextLayout> layout;
    };
    struct Edit {
        size_t at = 0;  // bytes
        std::string removed;
        std::string inserted;
        size_t selStart = 0, selEnd = 0;  // selection before the edit
    };

    // Bytes of the text: the paragraph holding an offset, and conversions at the edges.
    size_t ParaIndex(size_t offset8) const;
    size_t ParaEnd(size_t index) const;  // before its line break
    size_t ToBytes(size_t offset16) const;
    size_t ToUnits(size_t offset8) const;
    TextLayout& Layout(size_t index);
    double WrapWidth() const;
    void Relayout();  // after a wrap or font change
    void UpdateYs();

    // The one place text changes (no asking); keeps paragraphs, undo and the frame.
    void Splice(size_t from, size_t to, const std::string& text, bool coalesce);
    // Asks the delegate, then splices; false when refused.
    bool ChangeText(size_t from, size_t to, const std::string& text, bool typing);
    void DidChange();
    void Select(size_t start, size_t end, bool keepAnchor = false);
    void MoveCaret(size_t to, bool extend);
    void PublishSelection();

    size_t CaretLeft(size_t at) const;
    size_t CaretRight(size_t at) const;
    size_t BackspaceFrom(size_t at);
    size_t WordLeft(size_t at) const;
    size_t WordRight(size_t at) const;
    size_t LineStartOf(size_t at) const;
    size_t LineEndOf(size_t at) const;
    size_t Vertical(size_t at, int direction);
    size_t OffsetAtPoint(Point p);
    Rect CaretRectAt(size_t at);

    void Undo();
    void Redo();
    void Copy();
    void Cut();
    void Paste();
    void DeleteSelectionOr(size_t from, size_t to);
    std::string Shown(const std::string& text) const;  // bullets when secure

    static void CaretTick(RunLoopTimer* timer, void* info);

    TextViewDelegate* fDelegate = nullptr;
    std::string fText;
    std::vector<Para> fParas;
    size_t fSelStart = 0, fSelEnd = 0;  // bytes; the anchor is the end not moved by extending
    size_t fAnchor = 0;
    double fGoalX = -1;  // kept by vertical moves
    bool fFieldEditor = false;
    bool fEditable = true;
    bool fSelectable = true;
    bool fSecure = false;
    bool fWraps = true;
    bool fDrawsBackground = true;
    Ref<Font> fFont;
    GfxColor fTextColor{0, 0, 0, 1};
    GfxColor fCaretColor{0, 0, 0, 1};
    GfxColor fBackground{1, 1, 1, 1};
    double fLaidOutWidth = -1;
    std::vector<Edit> fUndo;
    size_t fUndoPos = 0;
    bool fCoalescing = false;
    bool fTyping = false;  // inside InsertText
    bool fCaretOn = true;
    Ref<RunLoopTimer> fCaretTimer;
};

}  // namespace plat
