#include "Platform/AppKit/TextField.h"

#include "Platform/AppKit/ClipView.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"

namespace plat {

namespace {

constexpr double kPad = 2;  // as the field editor keeps it

std::string Bullets(const std::string& text) {
    std::string out;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) out += "\xE2\x80\xA2";
    return out;
}

}  // namespace

Ref<TextField> TextField::Create(const Rect& frame, bool secure) {
    PLAT_DCHECK_MAIN_THREAD();
    return Adopt(new TextField(frame, secure));
}

TextField::TextField(const Rect& frame, bool secure)
    : View(frame), fSecure(secure), fFont(Font::CreateUser(0)) {}

TextField::~TextField() {
    if (fEditor) fEditor->SetDelegate(nullptr);
}

std::string TextField::StringValue() const {
    return fEditor ? fEditor->String() : fValue;
}

void TextField::SetStringValue(const std::string& text) {
    PLAT_DCHECK_MAIN_THREAD();
    std::string clean = SanitizeText(text, IsSingleLine());
    if (fEditor) {
        fEditor->SetString(clean);
        fEditor->ScrollSelectionToVisible();
    } else {
        fValue = std::move(clean);
    }
    SetNeedsDisplay(true);
}

void TextField::SetEditable(bool editable) {
    fEditable = editable;
    if (editable) fSelectable = true;
    if (fEditor) fEditor->SetEditable(editable);
}

void TextField::SetSelectable(bool selectable) {
    fSelectable = selectable;
    if (fEditor) fEditor->SetSelectable(selectable);
}

void TextField::SetFont(Font* font) {
    if (!font) return;
    fFont = RetainRef(font);
    if (fEditor) fEditor->SetFont(font);
    SetNeedsDisplay(true);
}

void TextField::SetTextColor(const GfxColor& colour) {
    fTextColor = colour;
    if (fEditor) fEditor->SetTextColor(colour);
    SetNeedsDisplay(true);
}

void TextField::SetBackgroundColor(const GfxColor& colour) {
    fBackground = colour;
    if (fEditor) fEditor->SetBackgroundColor(colour);
    SetNeedsDisplay(true);
}

void TextField::SetFrame(const Rect& frame) {
    View::SetFrame(frame);
    if (!fClip) return;
    fClip->SetFrame({0, 0, frame.width, frame.height});
    fEditor->SizeToFit();
    fEditor->ScrollSelectionToVisible();
}

View* TextField::BecomeFirstResponder() {
    if (!fEditable && !fSelectable) return nullptr;
    Window* w = GetWindow();
    TextView* editor = w ? w->FieldEditor(true, this) : nullptr;
    if (!editor) return nullptr;
    StartEditing(editor);
    return editor;
}

void TextField::StartEditing(TextView* editor) {
    if (fEditor.get() == editor) return;
    if (TextViewDelegate* other = editor->Delegate()) other->TextDidEndEditing(editor);
    Ref<TextField> keep = RetainRef(this);
    fEditor = RetainRef(editor);
    editor->SetDelegate(nullptr);
    editor->SetFieldEditor(IsSingleLine());
    editor->SetSecure(fSecure);
    editor->SetEditable(fEditable);
    editor->SetSelectable(fSelectable || fEditable);
    editor->SetWraps(fWraps);
    editor->SetFont(fFont.get());
    editor->SetTextColor(fTextColor);
    editor->SetInsertionPointColor(fTextColor);
    editor->SetBackgroundColor(fBackground);
    fClip = ClipView::Create({0, 0, Frame().width, Frame().height});
    AddSubview(fClip.get());
    fClip->SetDocumentView(editor);
    editor->SetString(fValue);
    editor->SetSelectedRange({0, editor->Length()});
    editor->SetDelegate(this);
    editor->StartCaretTimer();
    SetNeedsDisplay(true);
    if (fDelegate) fDelegate->ControlTextDidBeginEditing(this);
}

void TextField::EndEditing() {
    if (!fEditor) return;
    Ref<TextField> keep = RetainRef(this);
    Ref<TextView> editor = fEditor;
    fValue = editor->String();
    editor->SetDelegate(nullptr);
    editor->StopCaretTimer();
    fEditor = nullptr;
    if (fClip) {
        fClip->SetDocumentView(nullptr);
        fClip->RemoveFromSuperview();
        fClip = nullptr;
    }
    SetNeedsDisplay(true);
    if (fDelegate) fDelegate->ControlTextDidEndEditing(this);
}

void TextField::AbortEditing() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fEditor) return;
    Window* w = GetWindow();
    if (w && w->FirstResponder() == fEditor.get() && w->MakeFirstResponder(w->ContentView()) && !fEditor)
        return;
    EndEditing();
}

void TextField::SelectText() {
    PLAT_DCHECK_MAIN_THREAD();
    Window* w = GetWindow();
    if (!fEditor && w && !w->MakeFirstResponder(this)) return;
    if (fEditor) fEditor->SetSelectedRange({0, fEditor->Length()});
}

void TextField::DrawRect(const Rect& dirty) {
    DrawContext* ctx = CurrentDrawContext();
    if (!ctx) return;
    ctx->SetFillColor(fBackground);
    ctx->FillRect(dirty);
    if (fEditor || fValue.empty()) return;
    const std::string shown = fSecure ? Bullets(fValue) : fValue;
    TextDrawSpec spec;
    spec.box = {kPad, 0, Frame().width - 2 * kPad, Frame().height};
    spec.wrap = fWraps;
    spec.colour = fTextColor;
    DrawText(*ctx, *fFont, shown.data(), shown.size(), spec);
}

void TextField::MouseDown(const Event& event) {
    PLAT_DCHECK_MAIN_THREAD();
    Ref<TextField> keep = RetainRef(this);
    Window* w = GetWindow();
    if (!fEditor && (!w || !w->MakeFirstResponder(this))) return;
    if (fEditor) fEditor->MouseDown(event);
}

bool TextField::TextShouldChange(TextView*, TextRange, const std::string&) {
    return true;
}

void TextField::TextDidChange(TextView*) {
    if (fDelegate) fDelegate->ControlTextDidChange(this);
}

bool TextField::TextDoCommandBySelector(TextView* view, const char* selector) {
    return fDelegate && fDelegate->ControlDoCommandBySelector(this, view, selector);
}

void TextField::TextDidEndEditing(TextView* view) {
    if (view == fEditor.get()) EndEditing();
}

}  // namespace plat
