#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Platform/AppKit/TextField.h"
#include "Platform/Foundation/Object.h"

class CEditText;
class LPane;

// Sent by the editor to its owner pane: the text changed by typing; the field scrolled.
L_MESSAGE_ID(CEditText_Change);
L_MESSAGE_ID(CEditText_Scroll);

// Called before each change with the replacement text, which it may rewrite; false refuses the
// change. The flag is 0 for changes the user makes.
using CEditTextFilter = bool (*)(LPane* owner, int32_t flag, LString& replacement);

// The native field of an editing pane: a plat::TextField (secure for passwords) placed over the
// pane in its window's content view while the pane holds the focus. Its owner pane creates and
// deletes it and hears "CEditText_Change" and "CEditText_Scroll" (sender the editor). Main thread only.
class CEditText : public LHandler {
public:
    enum : uint32_t { kMultiLine = 1, kWrapped = 2 };

    // Rectangles in the owner's coordinates.
    CEditText(LPane* owner, const CLRect& editRect, const CLRect& fieldRect, CEditTextFilter filter,
              uint32_t mode, const LTextStyleH& style, bool secure, bool readOnly, bool richText);
    ~CEditText() override;

    LPane* Owner() const { return mOwner; }
    uint32_t Mode() const { return mMode; }
    bool IsSingleLine() const { return mMode != kMultiLine && mMode != kWrapped; }
    plat::TextField* Field() const { return mField.get(); }
    plat::TextView* CurrentEditor() const { return mField ? mField->CurrentEditor() : nullptr; }

    // Edit messages ("LKeyboard_Char", "LMenuBar_Ready", "LMenuItem_Selected", "LMouse_Cursor"):
    // true when consumed.
    bool HandleEditMessage(const LMessage& msg);

    bool HasSelection() const;
    bool AllSelected() const;
    void SelectAll();
    // UTF-16 units, clipped to the text.
    void SetSelection(uint32_t start, uint32_t length);
    void GetSelection(uint32_t& start, uint32_t& length) const;
    // Ends a pending composition (nothing composes here; the request is answered empty).
    void Complete();
    bool IsCompleting() const { return mCompleting; }

    // Reading or setting the text clears the changed flag.
    LString GetText();
    void SetText(const LString& text);
    bool Changed() const { return mChanged; }

    void SetRects(const CLRect& editRect, const CLRect& fieldRect);
    // Makes the field first responder (when on) and starts watching its scrolling.
    void Focus(bool on);
    // The press LMouse holds goes to the field editor.
    void MouseDown();
    CLPoint GetScrollPosition();
    void SetScrollPosition(int32_t x, int32_t y);
    void SetBackgroundColor(const LColor& colour);
    void SetTextColor(const LColor& colour);
    // The size of the whole text in the editor (0, 0 without one).
    plat::Size DocumentSize() const;

    // Used by the field and its delegate.
    bool Filter(LString& replacement) const { return !mFilter || mFilter(mOwner, 0, replacement); }
    void NoteChanged() { mChanged = true; }
    void ApplyTypingAttributes();

private:
    static void ClipBoundsChanged(const char* name, const void* object, void* observer);
    plat::Rect FieldFrame() const;

    LPane* mOwner;
    CLRect mEditRect;
    CLRect mFieldRect;
    CEditTextFilter mFilter;
    LTextStyleH mStyle;
    CLPoint mScroll;
    bool mChanged = false;
    plat::GfxColor mTypingColour{0, 0, 0, 1};
    plat::Ref<plat::TextField> mField;
    plat::Ref<plat::Object> mDelegate;  // the MTextFieldDelegate
    uint32_t mMode;
    bool mCompleting = false;
    bool mRich;
    bool mObserving = false;
};

// The field of every framework editor: lets the owner's filter see typed text. A text the filter
// rewrote is put in place directly, never typed again, so the filter runs once per change.
class MTextField : public plat::TextField {
public:
    static plat::Ref<MTextField> Create(const plat::Rect& frame, CEditText* owner);

    CEditText* Owner() const { return mOwner; }
    void Detach() { mOwner = nullptr; }
    const char* ClassName() const override { return "MTextField"; }
    bool IsSingleLine() const override { return !mOwner || mOwner->IsSingleLine(); }
    bool TextShouldChange(plat::TextView* view, plat::TextRange range,
                          const std::string& replacement) override;

private:
    MTextField(const plat::Rect& frame, CEditText* owner) : plat::TextField(frame, false), mOwner(owner) {}
    CEditText* mOwner;
};

// The field's delegate: reports changes and scrolling to the editor's owner and routes command
// keys through the window's content view, so that the framework sees Return, Tab and Escape.
class MTextFieldDelegate : public plat::Object, public plat::TextFieldDelegate {
public:
    static plat::Ref<MTextFieldDelegate> Create(CEditText* owner);
    void Detach() { mOwner = nullptr; }
    bool IsObserving() const { return mObserving; }
    void SetObserving(bool on) { mObserving = on; }

    void ControlTextDidBeginEditing(plat::TextField*) override;
    void ControlTextDidChange(plat::TextField* field) override;
    bool ControlDoCommandBySelector(plat::TextField* field, plat::TextView* view,
                                    const char* selector) override;
    void ClipBoundsChanged();

private:
    explicit MTextFieldDelegate(CEditText* owner) : mOwner(owner) {}
    CEditText* mOwner;
    bool mObserving = false;
};
