#include "Platform/AppKit/TextView.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/ClipView.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Theme.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/TextEncoding.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/TextLayout.h"

namespace plat {

namespace {

constexpr double kPad = 2;  // room left of the text, as the framework draws stored text
constexpr double kPoll = 0.05;
constexpr char kBullet[] = "\xE2\x80\xA2";
constexpr size_t kBulletLength = 3;

uint32_t FirstCodePoint(const std::string& s) {
    size_t pos = 0;
    uint32_t cp = 0;
    return DecodeUtf8Char(reinterpret_cast<const uint8_t*>(s.data()), s.size(), pos, cp) ? cp : 0;
}

size_t CodePoints(std::string_view s) {
    size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// The byte offset after `count` code points of s.
size_t AfterCodePoints(std::string_view s, size_t count) {
    size_t i = 0;
    while (i < s.size() && count > 0) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
        --count;
    }
    return i;
}

}  // namespace

Ref<TextView> TextView::Create(const Rect& frame) {
    PLAT_DCHECK_MAIN_THREAD();
    return Adopt(new TextView(frame));
}

TextView::TextView(const Rect& frame) : View(frame), fFont(Font::CreateUser(0)) {
    fParas.emplace_back();
}

TextView::~TextView() {
    StopCaretTimer();
}

// Paragraphs.

size_t TextView::ParaIndex(size_t offset8) const {
    auto it = std::upper_bound(fParas.begin(), fParas.end(), offset8,
                               [](size_t o, const Para& p) { return o < p.start8; });
    return size_t(it - fParas.begin()) - 1;
}

size_t TextView::ParaEnd(size_t index) const {
    return index + 1 < fParas.size() ? fParas[index + 1].start8 - 1 : fText.size();
}

size_t TextView::ToBytes(size_t offset16) const {
    auto it = std::upper_bound(fParas.begin(), fParas.end(), offset16,
                               [](size_t o, const Para& p) { return o < p.start16; });
    const size_t i = size_t(it - fParas.begin()) - 1;
    const Para& p = fParas[i];
    std::string_view text(fText.data() + p.start8, ParaEnd(i) - p.start8);
    return p.start8 + Utf8OffsetForUtf16(text, offset16 - p.start16);
}

size_t TextView::ToUnits(size_t offset8) const {
    offset8 = std::min(offset8, fText.size());
    const size_t i = ParaIndex(offset8);
    const Para& p = fParas[i];
    std::string_view text(fText.data() + p.start8, ParaEnd(i) - p.start8);
    return p.start16 + Utf16OffsetForUtf8(text, offset8 - p.start8);
}

double TextView::WrapWidth() const {
    if (!fWraps) return 0;
    const double w = Superview() ? Superview()->Frame().width : Frame().width;
    return std::max(1.0, w - 2 * kPad);
}

std::string TextView::Shown(const std::string& text) const {
    if (!fSecure) return text;
    std::string out;
    const size_t n = CodePoints(text);
    out.reserve(n * kBulletLength);
    for (size_t i = 0; i < n; ++i) out += kBullet;
    return out;
}

TextLayout& TextView::Layout(size_t index) {
    const double wrap = WrapWidth();
    if (wrap != fLaidOutWidth) Relayout();
    Para& p = fParas[index];
    if (!p.layout) {
        std::string text = Shown(fText.substr(p.start8, ParaEnd(index) - p.start8));
        p.layout = std::make_unique<TextLayout>(*fFont, text, wrap);
    }
    return *p.layout;
}

void TextView::Relayout() {
    fLaidOutWidth = WrapWidth();
    for (Para& p : fParas) p.layout.reset();
}

void TextView::UpdateYs() {
    double y = 0;
    for (size_t i = 0; i < fParas.size(); ++i) {
        fParas[i].y = y;
        y += Layout(i).Height();
    }
}

Size TextView::DocumentSize() {
    UpdateYs();
    double width = 0;
    for (size_t i = 0; i < fParas.size(); ++i) width = std::max(width, Layout(i).Width());
    const Para& last = fParas.back();
    return {width + 2 * kPad + 1, last.y + Layout(fParas.size() - 1).Height()};
}

void TextView::SizeToFit() {
    const Size doc = DocumentSize();
    Size clip = Superview() ? Superview()->Frame().GetSize() : Frame().GetSize();
    const double w = fWraps ? clip.width : std::max(clip.width, doc.width);
    const double h = std::max(clip.height, doc.height);
    const Rect f = Frame();
    if (f.width != w || f.height != h) SetFrame({0, 0, w, h});
    if (auto* clipView = Superview()) clipView->SetNeedsDisplay(true);
}

// Text changes.

void TextView::SetString(const std::string& text) {
    PLAT_DCHECK_MAIN_THREAD();
    std::string clean = SanitizeText(text, fFieldEditor);
    fText.clear();
    fParas.clear();
    fParas.emplace_back();
    fUndo.clear();
    fUndoPos = 0;
    fCoalescing = false;
    if (!clean.empty()) {
        // Splice records undo; drop it again.
        Splice(0, 0, clean, false);
        fUndo.clear();
        fUndoPos = 0;
    }
    fCoalescing = false;
    fSelStart = fSelEnd = fAnchor = fText.size();
    SizeToFit();
    SetNeedsDisplay(true);
}

size_t TextView::Length() const {
    return ToUnits(fText.size());
}

void TextView::Splice(size_t from, size_t to, const std::string& text, bool coalesce) {
    from = std::min(from, fText.size());
    to = std::clamp(to, from, fText.size());
    if (from == to && text.empty()) return;

    // Undo: typing at the end of the running typing step joins it.
    fUndo.resize(fUndoPos);
    Edit* last = fUndo.empty() ? nullptr : &fUndo.back();
    if (coalesce && fCoalescing && last && from == to && last->at + last->inserted.size() == from) {
        last->inserted += text;
    } else {
        fUndo.push_back({from, fText.substr(from, to - from), text, fSelStart, fSelEnd});
    }
    fUndoPos = fUndo.size();
    fCoalescing = coalesce;

    const size_t pa = ParaIndex(from);
    const size_t pb = ParaIndex(to);
    const size_t begin = fParas[pa].start8;
    const size_t oldEnd = ParaEnd(pb);
    const bool hasNext = pb + 1 < fParas.size();
    const size_t oldNext16 = hasNext ? fParas[pb + 1].start16 : 0;
    fText.replace(from, to - from, text);
    const size_t newEnd = oldEnd + text.size() - (to - from);

    std::vector<Para> fresh;
    size_t start = begin;
    size_t start16 = fParas[pa].start16;
    for (;;) {
        const void* nl = std::memchr(fText.data() + start, '\n', newEnd - start);
        const size_t end = nl ? size_t(static_cast<const char*>(nl) - fText.data()) : newEnd;
        Para p;
        p.start8 = start;
        p.start16 = start16;
        fresh.push_back(std::move(p));
        start16 += Utf16Length(std::string_view(fText.data() + start, end - start));
        if (!nl) break;
        start = end + 1;
        start16 += 1;
    }
    const ptrdiff_t delta8 = ptrdiff_t(newEnd) - ptrdiff_t(oldEnd);
    const ptrdiff_t delta16 = hasNext ? ptrdiff_t(start16 + 1) - ptrdiff_t(oldNext16) : 0;
    for (size_t i = pb + 1; i < fParas.size(); ++i) {
        fParas[i].start8 = size_t(ptrdiff_t(fParas[i].start8) + delta8);
        fParas[i].start16 = size_t(ptrdiff_t(fParas[i].start16) + delta16);
    }
    fParas.erase(fParas.begin() + ptrdiff_t(pa), fParas.begin() + ptrdiff_t(pb) + 1);
    fParas.insert(fParas.begin() + ptrdiff_t(pa), std::make_move_iterator(fresh.begin()),
                  std::make_move_iterator(fresh.end()));
    SizeToFit();
    SetNeedsDisplay(true);
}

bool TextView::ChangeText(size_t from, size_t to, const std::string& text, bool typing) {
    if (!fEditable) return false;
    const size_t from16 = ToUnits(from);
    const TextRange range{from16, ToUnits(to) - from16};
    if (fDelegate && !fDelegate->TextShouldChange(this, range, text)) return false;
    Splice(from, to, text, typing);
    Select(from + text.size(), from + text.size());
    DidChange();
    return true;
}

void TextView::DidChange() {
    Ref<TextView> keep = RetainRef(this);
    if (fDelegate) fDelegate->TextDidChange(this);
    ScrollSelectionToVisible();
}

void TextView::InsertText(const std::string& text) {
    PLAT_DCHECK_MAIN_THREAD();
    const std::string clean = SanitizeText(text, fFieldEditor);
    if (clean.empty()) return;
    fTyping = true;
    ChangeText(fSelStart, fSelEnd, clean, true);
    fTyping = false;
}

void TextView::ReplaceCharacters(TextRange range, const std::string& text) {
    PLAT_DCHECK_MAIN_THREAD();
    range = ClipRange(range, Length());
    const size_t from = ToBytes(range.location);
    const size_t to = ToBytes(range.End());
    const std::string clean = SanitizeText(text, fFieldEditor);
    Splice(from, to, clean, fTyping);
    Select(from + clean.size(), from + clean.size());
    DidChange();
}

// Selection.

TextRange TextView::SelectedRange() const {
    const size_t s = ToUnits(fSelStart);
    return {s, ToUnits(fSelEnd) - s};
}

void TextView::SetSelectedRange(TextRange range) {
    PLAT_DCHECK_MAIN_THREAD();
    range = ClipRange(range, Length());
    Select(ToBytes(range.location), ToBytes(range.End()));
}

void TextView::Select(size_t start, size_t end, bool keepAnchor) {
    start = std::min(start, fText.size());
    end = std::min(end, fText.size());
    if (!keepAnchor) fAnchor = start;
    fSelStart = std::min(start, end);
    fSelEnd = std::max(start, end);
    fCaretOn = true;
    SetNeedsDisplay(true);
    PublishSelection();
}

// Selected text of a view in a window becomes the selection pasteboard's (the primary selection).
void TextView::PublishSelection() {
    if (fSecure || fSelStart == fSelEnd || !GetWindow()) return;
    Pasteboard* board = Pasteboard::Selection();
    std::string selected = fText.substr(fSelStart, fSelEnd - fSelStart);
    std::string held;
    if (board->Owner() == nullptr && board->Types().size() == 1 &&
        board->StringForType(Pasteboard::kTypeString, &held) && held == selected)
        return;
    board->DeclareTypes({Pasteboard::kTypeString}, nullptr);
    board->SetString(selected);
}

void TextView::MoveCaret(size_t to, bool extend) {
    fCoalescing = false;
    if (extend)
        Select(fAnchor, to, true);
    else
        Select(to, to);
    ScrollSelectionToVisible();
}

// Caret stops (secure text moves by code point over its bullets).

size_t TextView::CaretLeft(size_t at) const {
    if (at == 0) return 0;
    const size_t i = ParaIndex(at);
    const Para& p = fParas[i];
    if (at == p.start8) return at - 1;  // over the line break
    if (fSecure || !p.layout) {
        size_t b = at - 1;
        while (b > p.start8 && (static_cast<unsigned char>(fText[b]) & 0xC0) == 0x80) --b;
        return b;
    }
    return p.start8 + p.layout->PreviousCaretStop(at - p.start8);
}

size_t TextView::CaretRight(size_t at) const {
    if (at >= fText.size()) return fText.size();
    const size_t i = ParaIndex(at);
    const Para& p = fParas[i];
    if (at == ParaEnd(i)) return at + 1;
    if (fSecure || !p.layout) {
        size_t b = at + 1;
        while (b < fText.size() && (static_cast<unsigned char>(fText[b]) & 0xC0) == 0x80) ++b;
        return b;
    }
    return p.start8 + p.layout->NextCaretStop(at - p.start8);
}

size_t TextView::BackspaceFrom(size_t at) {
    if (at == 0) return 0;
    if (fSecure) return CaretLeft(at);
    const size_t i = ParaIndex(at);
    const Para& p = fParas[i];
    if (at == p.start8) return at - 1;
    return p.start8 + Layout(i).BackspaceStop(at - p.start8);
}

size_t TextView::WordLeft(size_t at) const {
    if (fSecure) return at > 0 ? fParas[ParaIndex(at)].start8 : 0;
    size_t i = ParaIndex(at);
    if (at == fParas[i].start8) {
        if (i == 0) return 0;
        --i;
        at = ParaEnd(i);
    }
    const Para& p = fParas[i];
    return p.start8 + p.layout->PreviousWordStart(at - p.start8);
}

size_t TextView::WordRight(size_t at) const {
    if (fSecure) return ParaEnd(ParaIndex(at));
    size_t i = ParaIndex(at);
    if (at == ParaEnd(i)) {
        if (i + 1 >= fParas.size()) return at;
        ++i;
        at = fParas[i].start8;
    }
    const Para& p = fParas[i];
    return p.start8 + p.layout->NextWordEnd(at - p.start8);
}

size_t TextView::LineStartOf(size_t at) const {
    const size_t i = ParaIndex(at);
    const Para& p = fParas[i];
    if (fSecure || !fWraps) return p.start8;
    return p.start8 + p.layout->LineStart(at - p.start8);
}

size_t TextView::LineEndOf(size_t at) const {
    const size_t i = ParaIndex(at);
    const Para& p = fParas[i];
    if (fSecure || !fWraps) return ParaEnd(i);
    return p.start8 + p.layout->LineEnd(at - p.start8);
}

Rect TextView::CaretRectAt(size_t at) {
    const size_t i = ParaIndex(at);
    UpdateYs();
    Para& p = fParas[i];
    size_t local = at - p.start8;
    if (fSecure) local = CodePoints(std::string_view(fText.data() + p.start8, local)) * kBulletLength;
    Rect r = Layout(i).CaretRect(local);
    return {r.x + kPad, r.y + p.y, 1, r.height};
}

size_t TextView::OffsetAtPoint(Point pt) {
    UpdateYs();
    size_t i = 0;
    while (i + 1 < fParas.size() && fParas[i + 1].y <= pt.y) ++i;
    const Para& p = fParas[i];
    size_t local = Layout(i).OffsetAt({pt.x - kPad, pt.y - p.y});
    if (fSecure)
        local = AfterCodePoints(std::string_view(fText.data() + p.start8, ParaEnd(i) - p.start8),
                                local / kBulletLength);
    return p.start8 + local;
}

size_t TextView::Vertical(size_t at, int direction) {
    const Rect caret = CaretRectAt(at);
    if (fGoalX < 0) fGoalX = caret.x;
    const double y = direction > 0 ? caret.MaxY() + 1 : caret.y - 1;
    if (y < 0) return 0;
    const Para& last = fParas.back();
    if (y >= last.y + Layout(fParas.size() - 1).Height()) return fText.size();
    return OffsetAtPoint({fGoalX, y});
}

// Undo.

void TextView::Undo() {
    if (fUndoPos == 0 || !fEditable) return;
    Edit e = fUndo[--fUndoPos];
    std::vector<Edit> keep;
    keep.swap(fUndo);
    const size_t pos = fUndoPos;
    Splice(e.at, e.at + e.inserted.size(), e.removed, false);
    fUndo.swap(keep);
    fUndoPos = pos;
    fCoalescing = false;
    Select(e.selStart, e.selEnd);
    DidChange();
}

void TextView::Redo() {
    if (fUndoPos >= fUndo.size() || !fEditable) return;
    Edit e = fUndo[fUndoPos];
    std::vector<Edit> keep;
    keep.swap(fUndo);
    const size_t pos = fUndoPos + 1;
    Splice(e.at, e.at + e.removed.size(), e.inserted, false);
    fUndo.swap(keep);
    fUndoPos = pos;
    fCoalescing = false;
    Select(e.at + e.inserted.size(), e.at + e.inserted.size());
    DidChange();
}

// Pasteboard.

void TextView::Copy() {
    if (fSecure || fSelStart == fSelEnd) return;
    Pasteboard* board = Pasteboard::General();
    board->DeclareTypes({Pasteboard::kTypeString}, nullptr);
    board->SetString(fText.substr(fSelStart, fSelEnd - fSelStart));
}

void TextView::Cut() {
    if (fSecure || !fEditable || fSelStart == fSelEnd) return;
    Copy();
    fCoalescing = false;
    ChangeText(fSelStart, fSelEnd, std::string(), false);
}

void TextView::Paste() {
    if (!fEditable) return;
    std::string text;
    if (!Pasteboard::General()->StringForType(Pasteboard::kTypeString, &text)) return;
    const std::string clean = SanitizeText(text, fFieldEditor);
    if (clean.empty()) return;
    fCoalescing = false;
    ChangeText(fSelStart, fSelEnd, clean, false);
}

// The middle button pastes the selection pasteboard's text where it is pressed.
void TextView::OtherMouseDown(const Event& event) {
    PLAT_DCHECK_MAIN_THREAD();
    if (event.buttonNumber != 2 || !fEditable || !fSelectable) {
        View::OtherMouseDown(event);
        return;
    }
    Ref<TextView> keep = RetainRef(this);
    std::string text;
    if (!Pasteboard::Selection()->StringForType(Pasteboard::kTypeString, &text)) return;
    const std::string clean = SanitizeText(text, fFieldEditor);
    if (clean.empty()) return;
    Point content = event.location;
    if (Window* w = GetWindow(); w && event.windowNumber != w->Number())
        content = w->ConvertFromScreen(content);
    UpdateYs();
    const size_t at = OffsetAtPoint(ConvertFromContent(content));
    fCoalescing = false;
    fGoalX = -1;
    Select(at, at);
    ChangeText(at, at, clean, false);
}

void TextView::DeleteSelectionOr(size_t from, size_t to) {
    if (fSelStart != fSelEnd) {
        from = fSelStart;
        to = fSelEnd;
    }
    if (from >= to) return;
    fCoalescing = false;
    ChangeText(from, to, std::string(), false);
}

// Commands.

void TextView::DoCommandBySelector(const char* selector) {
    PLAT_DCHECK_MAIN_THREAD();
    Ref<TextView> keep = RetainRef(this);
    if (fDelegate && fDelegate->TextDoCommandBySelector(this, selector)) return;
    PerformSelector(selector);
}

bool TextView::PerformSelector(const char* selector) {
    PLAT_DCHECK_MAIN_THREAD();
    std::string_view s(selector ? selector : "");
    constexpr std::string_view kModify = "AndModifySelection:";
    const bool extend = s.size() > kModify.size() && s.ends_with(kModify);
    std::string_view base = extend ? s.substr(0, s.size() - kModify.size()) : s.substr(0, s.size() - 1);
    const size_t head = fAnchor == fSelStart ? fSelEnd : fSelStart;
    const bool empty = fSelStart == fSelEnd;
    // Lay out the paragraphs the caret moves use.
    if (!fText.empty()) UpdateYs();

    if (base == "moveLeft" || base == "moveBackward") {
        MoveCaret(!extend && !empty ? fSelStart : CaretLeft(head), extend);
    } else if (base == "moveRight" || base == "moveForward") {
        MoveCaret(!extend && !empty ? fSelEnd : CaretRight(head), extend);
    } else if (base == "moveWordLeft" || base == "moveWordBackward") {
        MoveCaret(WordLeft(head), extend);
    } else if (base == "moveWordRight" || base == "moveWordForward") {
        MoveCaret(WordRight(head), extend);
    } else if (base == "moveToBeginningOfLine" || base == "moveToLeftEndOfLine") {
        MoveCaret(LineStartOf(head), extend);
    } else if (base == "moveToEndOfLine" || base == "moveToRightEndOfLine") {
        MoveCaret(LineEndOf(head), extend);
    } else if (base == "moveToBeginningOfDocument" || base == "pageUp") {
        MoveCaret(0, extend);
    } else if (base == "moveToEndOfDocument" || base == "pageDown") {
        MoveCaret(fText.size(), extend);
    } else if (base == "moveUp" || base == "moveDown") {
        MoveCaret(Vertical(head, base == "moveUp" ? -1 : 1), extend);
        return true;
    } else if (s == "deleteBackward:") {
        DeleteSelectionOr(BackspaceFrom(fSelStart), fSelStart);
    } else if (s == "deleteForward:") {
        DeleteSelectionOr(fSelEnd, CaretRight(fSelEnd));
    } else if (s == "deleteWordBackward:") {
        DeleteSelectionOr(WordLeft(fSelStart), fSelStart);
    } else if (s == "deleteWordForward:") {
        DeleteSelectionOr(fSelEnd, WordRight(fSelEnd));
    } else if (s == "deleteToEndOfLine:") {
        DeleteSelectionOr(fSelEnd, LineEndOf(fSelEnd));
    } else if (s == "delete:") {
        DeleteSelectionOr(fSelStart, fSelEnd);
    } else if (s == "insertNewline:" || s == "insertTab:" || s == "insertBacktab:") {
        // A field editor leaves these to its delegate.
        if (!fFieldEditor && s != "insertBacktab:") {
            fCoalescing = false;
            ChangeText(fSelStart, fSelEnd, s == "insertTab:" ? "\t" : "\n", false);
        }
    } else if (s == "insertNewlineIgnoringFieldEditor:" || s == "insertTabIgnoringFieldEditor:") {
        if (!fFieldEditor)
            ChangeText(fSelStart, fSelEnd, s == "insertTabIgnoringFieldEditor:" ? "\t" : "\n", false);
    } else if (s == "selectAll:") {
        if (fSelectable) Select(0, fText.size());
    } else if (s == "undo:") {
        Undo();
    } else if (s == "redo:") {
        Redo();
    } else if (s == "copy:") {
        Copy();
    } else if (s == "cut:") {
        Cut();
    } else if (s == "paste:") {
        Paste();
    } else if (s == "cancelOperation:" || s == "complete:" || s == "noop:") {
        // Nothing to complete or cancel here.
    } else {
        return false;
    }
    fGoalX = -1;
    return true;
}

const char* TextView::SelectorForKey(const Event& e) {
    const uint32_t cp =
        FirstCodePoint(e.charactersIgnoringModifiers.empty() ? e.characters : e.charactersIgnoringModifiers);
    const uint32_t m = e.modifierFlags;
    const bool shift = m & kShiftKeyMask, alt = m & kAlternateKeyMask, cmd = m & kCommandKeyMask;
    auto pick = [shift](const char* plain, const char* extended) { return shift ? extended : plain; };
    switch (cp) {
        case 0xF702:
            if (cmd) return pick("moveToLeftEndOfLine:", "moveToLeftEndOfLineAndModifySelection:");
            if (alt) return pick("moveWordLeft:", "moveWordLeftAndModifySelection:");
            return pick("moveLeft:", "moveLeftAndModifySelection:");
        case 0xF703:
            if (cmd) return pick("moveToRightEndOfLine:", "moveToRightEndOfLineAndModifySelection:");
            if (alt) return pick("moveWordRight:", "moveWordRightAndModifySelection:");
            return pick("moveRight:", "moveRightAndModifySelection:");
        case 0xF700:
            if (cmd)
                return pick("moveToBeginningOfDocument:", "moveToBeginningOfDocumentAndModifySelection:");
            return pick("moveUp:", "moveUpAndModifySelection:");
        case 0xF701:
            if (cmd) return pick("moveToEndOfDocument:", "moveToEndOfDocumentAndModifySelection:");
            return pick("moveDown:", "moveDownAndModifySelection:");
        case 0xF729:
            return pick("moveToBeginningOfLine:", "moveToBeginningOfLineAndModifySelection:");
        case 0xF72B:
            return pick("moveToEndOfLine:", "moveToEndOfLineAndModifySelection:");
        case 0xF72C:
            return pick("pageUp:", "pageUpAndModifySelection:");
        case 0xF72D:
            return pick("pageDown:", "pageDownAndModifySelection:");
        case 0x7F:
        case 0x08:
            return alt ? "deleteWordBackward:" : "deleteBackward:";
        case 0xF728:
            return alt ? "deleteWordForward:" : "deleteForward:";
        case '\r':
        case '\n':
        case 0x03:
            return alt ? "insertNewlineIgnoringFieldEditor:" : "insertNewline:";
        case '\t':
            return shift ? "insertBacktab:" : alt ? "insertTabIgnoringFieldEditor:" : "insertTab:";
        case 0x19:
            return "insertBacktab:";
        case 0x1B:
            return "cancelOperation:";
        default:
            break;
    }
    if (cmd && !alt) {
        switch (cp | 0x20) {
            case 'a':
                return "selectAll:";
            case 'c':
                return "copy:";
            case 'x':
                return "cut:";
            case 'v':
                return "paste:";
            case 'z':
                return shift ? "redo:" : "undo:";
            default:
                return nullptr;
        }
    }
    return nullptr;
}

void TextView::KeyDown(const Event& e) {
    PLAT_DCHECK_MAIN_THREAD();
    Ref<TextView> keep = RetainRef(this);
    if (const char* selector = SelectorForKey(e)) {
        DoCommandBySelector(selector);
        return;
    }
    const uint32_t cp = FirstCodePoint(e.characters);
    const bool command = e.modifierFlags & (kCommandKeyMask | kControlKeyMask);
    const bool printable = cp >= 0x20 && cp != 0x7F && !(cp >= 0xF700 && cp <= 0xF8FF);
    if (command || !printable) {
        View::KeyDown(e);
        return;
    }
    InsertText(e.characters);
}

// Responder and caret.

bool TextView::ResignFirstResponder() {
    Ref<TextView> keep = RetainRef(this);
    StopCaretTimer();
    fCoalescing = false;
    SetNeedsDisplay(true);
    if (fDelegate) fDelegate->TextDidEndEditing(this);
    return true;
}

void TextView::CaretTick(RunLoopTimer*, void* info) {
    auto* self = static_cast<TextView*>(info);
    self->fCaretOn = !self->fCaretOn;
    if (self->fSelStart == self->fSelEnd) self->SetNeedsDisplayInRect(self->CaretRectAt(self->fSelStart));
}

void TextView::StartCaretTimer() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fCaretTimer && fCaretTimer->IsValid()) return;
    fCaretOn = true;
    fCaretTimer =
        RunLoopTimer::Create(ClockNow() + kCaretBlinkPeriod, kCaretBlinkPeriod, &TextView::CaretTick, this);
    if (!RunLoop::Main()->AddTimer(fCaretTimer.get(), kRunLoopCommonModes)) fCaretTimer = nullptr;
}

void TextView::StopCaretTimer() {
    if (fCaretTimer) fCaretTimer->Invalidate();
    fCaretTimer = nullptr;
    fCaretOn = true;
}

void TextView::ScrollSelectionToVisible() {
    auto* clip = Superview();
    if (!clip) return;
    const size_t head = fAnchor == fSelStart ? fSelEnd : fSelStart;
    Rect r = CaretRectAt(head);
    r.x -= kPad;
    r.width += 2 * kPad;
    static_cast<ClipView*>(clip)->ScrollRectToVisible(r);
}

void TextView::ScrollPoint(Point p) {
    if (auto* clip = Superview()) static_cast<ClipView*>(clip)->ScrollToPoint(p);
}

// Attributes.

void TextView::SetFieldEditor(bool fieldEditor) {
    fFieldEditor = fieldEditor;
}

void TextView::SetSecure(bool secure) {
    if (fSecure == secure) return;
    fSecure = secure;
    Relayout();
    SetNeedsDisplay(true);
}

void TextView::SetWraps(bool wraps) {
    if (fWraps == wraps) return;
    fWraps = wraps;
    Relayout();
    SizeToFit();
}

void TextView::SetFont(Font* font) {
    if (!font || font == fFont.get()) return;
    fFont = RetainRef(font);
    Relayout();
    SizeToFit();
}

const Font& TextView::GetFont() const {
    return *fFont;
}

void TextView::SetTextColor(const GfxColor& colour) {
    fTextColor = colour;
    SetNeedsDisplay(true);
}

void TextView::SetBackgroundColor(const GfxColor& colour) {
    fBackground = colour;
    SetNeedsDisplay(true);
}

// Drawing and the mouse.

void TextView::DrawRect(const Rect& dirty) {
    DrawContext* ctx = CurrentDrawContext();
    if (!ctx) return;
    if (fDrawsBackground) {
        ctx->SetFillColor(fBackground);
        ctx->FillRect(dirty);
    }
    UpdateYs();
    const Window* w = GetWindow();
    const bool focused = w && w->FirstResponder() == this;
    size_t i = 0;
    while (i + 1 < fParas.size() && fParas[i + 1].y <= dirty.y) ++i;
    for (; i < fParas.size() && fParas[i].y < dirty.MaxY(); ++i) {
        Para& p = fParas[i];
        TextLayout& layout = Layout(i);
        const size_t end = ParaEnd(i);
        if (fSelStart != fSelEnd && fSelStart <= end && fSelEnd >= p.start8) {
            const Rect a = CaretRectAt(std::max(fSelStart, p.start8));
            const Rect b = CaretRectAt(std::min(fSelEnd, end));
            const double right = std::max(Bounds().width, layout.Width() + kPad);
            ctx->SetFillColor(theme::Colours().selectedTextBackground);
            if (a.y == b.y) {
                ctx->FillRect({a.x, a.y, std::max(1.0, b.x - a.x), a.height});
            } else {
                ctx->FillRect({a.x, a.y, right - a.x, a.height});
                if (b.y > a.MaxY()) ctx->FillRect({0, a.MaxY(), right, b.y - a.MaxY()});
                ctx->FillRect({0, b.y, b.x, b.height});
            }
        }
        layout.Draw(*ctx, {kPad, p.y}, fTextColor);
    }
    if (focused && fEditable && fSelStart == fSelEnd && fCaretOn) {
        ctx->SetFillColor(fCaretColor);
        ctx->FillRect(CaretRectAt(fSelStart));
    }
}

void TextView::MouseDown(const Event& event) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fSelectable) return;
    Ref<TextView> keep = RetainRef(this);
    Window* w = GetWindow();
    auto local = [&](const Event& e) {
        Point content = e.location;
        if (w && e.windowNumber != w->Number()) content = w->ConvertFromScreen(e.location);
        return ConvertFromContent(content);
    };
    const int32_t clicks = std::max(1, event.clickCount);
    fCoalescing = false;
    fGoalX = -1;
    UpdateYs();
    const size_t at = OffsetAtPoint(local(event));
    size_t anchorStart = at, anchorEnd = at;
    if (clicks == 2 && !fSecure) {
        const size_t i = ParaIndex(at);
        Layout(i).WordAt(at - fParas[i].start8, anchorStart, anchorEnd);
        anchorStart += fParas[i].start8;
        anchorEnd += fParas[i].start8;
    } else if (clicks >= 3 || (clicks == 2 && fSecure)) {
        const size_t i = ParaIndex(at);
        anchorStart = fParas[i].start8;
        anchorEnd = ParaEnd(i);
    }
    if (event.modifierFlags & kShiftKeyMask) {
        const size_t anchor = fAnchor;
        Select(anchor, at < anchor ? anchorStart : anchorEnd, true);
    } else {
        Select(anchorStart, anchorEnd);
    }
    if (!w) return;
    Application* app = Application::Shared();
    const size_t fixedStart = fAnchor == fSelStart ? fSelStart : fSelEnd;
    for (;;) {
        Event e;
        if (!app->NextEvent(kAnyEventMask, ClockNow() + kPoll, kEventTrackingRunLoopMode, true, &e)) {
            if (!app->IsActive() || app->TerminationRequested()) break;
            continue;
        }
        if (e.type == EventType::kLeftMouseUp) break;
        if (e.type != EventType::kLeftMouseDragged) {
            if (!e.IsMouse()) app->SendEvent(e);
            continue;
        }
        const Point p = local(e);
        const size_t to = OffsetAtPoint(p);
        Select(fixedStart, to, false);
        fAnchor = fixedStart;
        if (auto* clip = Superview()) static_cast<ClipView*>(clip)->ScrollRectToVisible({p.x, p.y, 1, 1});
    }
}

}  // namespace plat
