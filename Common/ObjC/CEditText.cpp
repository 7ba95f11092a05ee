#include "Common/ObjC/CEditText.h"

#include <algorithm>
#include <string>

#include "Common/ObjC/CMacCursor.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Platform/AppKit/ClipView.h"
#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/TextView.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr int32_t kIBeam = 2;

std::string ToStd(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

LString ToL(const std::string& s) {
    return LString(s.data(), uint32_t(s.size()));
}

}  // namespace

// MTextField.

plat::Ref<MTextField> MTextField::Create(const plat::Rect& frame, CEditText* owner) {
    PLAT_DCHECK_MAIN_THREAD();
    return plat::Adopt(new MTextField(frame, owner));
}

bool MTextField::TextShouldChange(plat::TextView* view, plat::TextRange range,
                                  const std::string& replacement) {
    if (!mOwner) return true;
    LString text = ToL(replacement);
    if (!mOwner->Filter(text)) return false;
    if (text == ToL(replacement)) return true;
    // Put the filtered text in place without asking again: a filter need not be idempotent.
    view->ReplaceCharacters(range, ToStd(text));
    return false;
}

// MTextFieldDelegate.

plat::Ref<MTextFieldDelegate> MTextFieldDelegate::Create(CEditText* owner) {
    return plat::Adopt(new MTextFieldDelegate(owner));
}

void MTextFieldDelegate::ControlTextDidBeginEditing(plat::TextField*) {
    if (mOwner) mOwner->ApplyTypingAttributes();
}

void MTextFieldDelegate::ControlTextDidChange(plat::TextField* field) {
    if (!mOwner) return;
    mOwner->NoteChanged();
    LHandler::Dispatch(LMessage(CEditText_Change, mOwner, mOwner->Owner()));
    plat::TextView* editor = field->CurrentEditor();
    if (mOwner && editor && editor->String().empty()) mOwner->ApplyTypingAttributes();
}

bool MTextFieldDelegate::ControlDoCommandBySelector(plat::TextField* field, plat::TextView*,
                                                    const char* selector) {
    LKeyboard* kb = LKeyboard::Get();
    // Without a key being replayed nobody took the command: the editor performs it.
    if (kb) kb->SetHandled(false);
    field->DoCommandBySelector(selector);
    return kb && kb->Handled();
}

void MTextFieldDelegate::ClipBoundsChanged() {
    if (mOwner) LHandler::Dispatch(LMessage(CEditText_Scroll, mOwner, mOwner->Owner()));
}

// CEditText.

CEditText::CEditText(LPane* owner, const CLRect& editRect, const CLRect& fieldRect, CEditTextFilter filter,
                     uint32_t mode, const LTextStyleH& style, bool secure, bool readOnly, bool richText)
    : LHandler(nullptr),
      mOwner(owner),
      mEditRect(editRect),
      mFieldRect(fieldRect),
      mFilter(filter),
      mStyle(style),
      mMode(mode),
      mRich(richText) {
    PLAT_DCHECK_MAIN_THREAD();
    LPanePort port(owner);
    if (!port.contentView) return;
    const plat::Rect frame = FieldFrame();
    if (secure)
        mField = plat::TextField::Create(frame, true);
    else
        mField = MTextField::Create(frame, this);
    if (readOnly) {
        mField->SetEditable(false);
        mField->SetSelectable(true);
    }
    mField->SetAllowsEditingTextAttributes(richText);
    if (plat::Font* font = mStyle.Font()) mField->SetFont(font);
    mField->SetUsesSingleLineMode(IsSingleLine());
    mField->SetWraps(mode == kWrapped);
    plat::Ref<MTextFieldDelegate> delegate = MTextFieldDelegate::Create(this);
    mField->SetDelegate(delegate.get());
    mDelegate = delegate;
    port.contentView->AddSubview(mField.get());
}

CEditText::~CEditText() {
    if (!mField) return;
    plat::NotificationCenter::Default().RemoveObserver(this);
    auto* delegate = static_cast<MTextFieldDelegate*>(mDelegate.get());
    plat::View* super = mField->Superview();
    plat::Window* w = mField->GetWindow();
    if (w && super) (void)w->MakeFirstResponder(super);
    mField->AbortEditing();
    delegate->Detach();
    mField->SetDelegate(nullptr);
    if (!mField->IsSecure()) static_cast<MTextField*>(mField.get())->Detach();
    mField->RemoveFromSuperview();
    mField = nullptr;
    mDelegate = nullptr;
}

plat::Rect CEditText::FieldFrame() const {
    LPanePort port(mOwner);
    CLRect r = mFieldRect;
    r.Shift(port.origin.x, port.origin.y);
    return {double(r.left), double(r.top), double(r.Width()), double(r.Height())};
}

bool CEditText::HandleEditMessage(const LMessage& msg) {
    if (!mField) return false;
    if (msg.Is(LKeyboard_Char)) {
        auto* kb = static_cast<LKeyboard*>(msg.sender);
        if (!kb || kb->Char() == 27) return false;
        kb->SetHandled(false);
        return true;
    }
    if (msg.Is(LMenuBar_Ready)) {
        auto* bar = static_cast<LMenuBar*>(msg.sender);
        if (!bar) return false;
        const bool editable = mField->IsEditable();
        if (editable && plat::Pasteboard::General()->HasType(plat::Pasteboard::kTypeString))
            bar->EnableCommand("LStdCmd_Paste");
        if (HasSelection()) {
            bar->EnableCommand("LStdCmd_Copy");
            if (editable) {
                bar->EnableCommand("LStdCmd_Cut");
                bar->EnableCommand("LStdCmd_Delete");
            }
        }
        return false;
    }
    if (msg.Is(LMenuItem_Selected)) {
        auto* item = static_cast<LMenuItem*>(msg.sender);
        const char* action = nullptr;
        if (!item) return false;
        if (item->HasCommand("LStdCmd_Cut"))
            action = "cut:";
        else if (item->HasCommand("LStdCmd_Copy"))
            action = "copy:";
        else if (item->HasCommand("LStdCmd_Paste"))
            action = "paste:";
        else if (item->HasCommand("LStdCmd_Delete"))
            action = "delete:";
        if (!action) return false;
        if (plat::TextView* editor = CurrentEditor()) editor->PerformSelector(action);
        return true;
    }
    if (msg.Is(LMouse_Cursor)) {
        CMacCursor::SetStandard(kIBeam);
        return true;
    }
    return false;
}

bool CEditText::HasSelection() const {
    plat::TextView* editor = CurrentEditor();
    return editor && editor->SelectedRange().length != 0;
}

bool CEditText::AllSelected() const {
    if (!mField) return true;
    plat::TextView* editor = CurrentEditor();
    if (!editor) return mField->StringValue().empty();
    const plat::TextRange r = editor->SelectedRange();
    return r.location == 0 && r.length >= editor->Length();
}

void CEditText::SelectAll() {
    if (!mField) return;
    if (plat::TextView* editor = CurrentEditor())
        editor->PerformSelector("selectAll:");
    else
        mField->SelectText();
}

void CEditText::SetSelection(uint32_t start, uint32_t length) {
    if (plat::TextView* editor = CurrentEditor()) editor->SetSelectedRange({start, length});
}

void CEditText::GetSelection(uint32_t& start, uint32_t& length) const {
    start = length = 0;
    if (plat::TextView* editor = CurrentEditor()) {
        const plat::TextRange r = editor->SelectedRange();
        start = uint32_t(std::min<size_t>(r.location, UINT32_MAX));
        length = uint32_t(std::min<size_t>(r.length, UINT32_MAX));
    }
}

void CEditText::Complete() {
    mCompleting = true;
    if (plat::TextView* editor = CurrentEditor()) editor->PerformSelector("complete:");
    mCompleting = false;
}

LString CEditText::GetText() {
    mChanged = false;
    return mField ? ToL(mField->StringValue()) : LString();
}

void CEditText::SetText(const LString& text) {
    mChanged = false;
    if (mField) mField->SetStringValue(ToStd(text));
}

void CEditText::SetRects(const CLRect& editRect, const CLRect& fieldRect) {
    mEditRect = editRect;
    mFieldRect = fieldRect;
    if (mField) mField->SetFrame(FieldFrame());
}

void CEditText::Focus(bool on) {
    if (!mField) return;
    plat::Window* w = mField->GetWindow();
    if (on && w && (!CurrentEditor() || w->FirstResponder() != CurrentEditor())) {
        if (!w->MakeFirstResponder(mField.get())) return;
    }
    mTypingColour = mField->TextColor();
    if (plat::TextView* editor = CurrentEditor()) editor->SetInsertionPointColor(mTypingColour);
    auto* delegate = static_cast<MTextFieldDelegate*>(mDelegate.get());
    if (!delegate->IsObserving()) {
        delegate->SetObserving(true);
        mObserving = true;
        plat::NotificationCenter::Default().AddObserver(this, &CEditText::ClipBoundsChanged,
                                                        plat::kViewBoundsDidChangeNotification, nullptr);
    }
}

void CEditText::ClipBoundsChanged(const char*, const void* object, void* observer) {
    auto* self = static_cast<CEditText*>(observer);
    if (!self->mField || object != self->mField->EditorClip()) return;
    static_cast<MTextFieldDelegate*>(self->mDelegate.get())->ClipBoundsChanged();
}

void CEditText::MouseDown() {
    if (!mField) return;
    LMouse* mouse = LMouse::Get();
    if (!mouse) return;
    if (plat::TextView* editor = CurrentEditor())
        editor->MouseDown(mouse->CurrentEvent());
    else
        mField->MouseDown(mouse->CurrentEvent());
}

CLPoint CEditText::GetScrollPosition() {
    if (mField && mField->EditorClip()) {
        const plat::Rect b = mField->EditorClip()->Bounds();
        mScroll = {int32_t(b.x), int32_t(b.y)};
    }
    return mScroll;
}

void CEditText::SetScrollPosition(int32_t x, int32_t y) {
    if (mScroll.x == x && mScroll.y == y) return;
    mScroll = {x, y};
    if (plat::TextView* editor = CurrentEditor()) editor->ScrollPoint({double(x), double(y)});
}

void CEditText::SetBackgroundColor(const LColor& colour) {
    if (mField) mField->SetBackgroundColor(LDrawContext::NativeColor(colour));
}

void CEditText::SetTextColor(const LColor& colour) {
    if (!mField) return;
    mField->SetTextColor(LDrawContext::NativeColor(colour));
    mTypingColour = mField->TextColor();
}

plat::Size CEditText::DocumentSize() const {
    plat::TextView* editor = CurrentEditor();
    return editor ? editor->DocumentSize() : plat::Size{0, 0};
}

void CEditText::ApplyTypingAttributes() {
    // Typing attributes matter only to rich text, which the editor keeps plain.
    if (!mRich) return;
    if (plat::TextView* editor = CurrentEditor()) editor->SetTextColor(mTypingColour);
}
