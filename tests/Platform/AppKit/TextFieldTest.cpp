#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/ClipView.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/InputSource.h"
#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/AppKit/TextField.h"
#include "Platform/AppKit/TextView.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/support/FakeClock.h"
#include "tests/support/GeneralPasteboardText.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

using plat::Application;
using plat::EventType;
using plat::TextField;
using plat::TextRange;
using plat::TextView;
using plat::Window;
using plat::headless::HeadlessBackend;

constexpr uint32_t kShift = plat::kShiftKeyMask, kAlt = plat::kAlternateKeyMask, kCmd = plat::kCommandKeyMask;
const char* const kLeft = "\xEF\x9C\x82";
const char* const kRight = "\xEF\x9C\x83";
const char* const kUp = "\xEF\x9C\x80";
const char* const kDown = "\xEF\x9C\x81";
const char* const kForwardDelete = "\xEF\x9C\xA8";
const char* const kHome = "\xEF\x9C\xA9";
const char* const kEnd = "\xEF\x9C\xAB";

// Records what the field tells, and answers selectors as told.
struct Watcher : plat::TextFieldDelegate {
    std::vector<std::string> selectors;
    std::vector<std::string> handled;  // selectors to take
    int changes = 0, ends = 0;
    void ControlTextDidChange(TextField*) override { ++changes; }
    void ControlTextDidEndEditing(TextField*) override { ++ends; }
    bool ControlDoCommandBySelector(TextField*, TextView*, const char* s) override {
        selectors.push_back(s);
        for (const std::string& h : handled)
            if (h == s) return true;
        return false;
    }
};

// A field whose "should change" hook records ranges and may refuse.
class RecordingField : public TextField {
public:
    static plat::Ref<RecordingField> Make(const plat::Rect& r, bool secure) {
        return plat::Adopt(new RecordingField(r, secure));
    }
    bool TextShouldChange(TextView*, TextRange range, const std::string& replacement) override {
        ranges.push_back(range);
        replacements.push_back(replacement);
        return !refuse;
    }
    std::vector<TextRange> ranges;
    std::vector<std::string> replacements;
    bool refuse = false;

private:
    RecordingField(const plat::Rect& r, bool secure) : TextField(r, secure) {}
};

class TextFieldTest : public ::testing::Test {
protected:
    TextFieldTest() {
        app->DiscardEvents(plat::kAnyEventMask);
        app->Activate();
        window = Window::Create({100, 100, 400, 300}, plat::kTitledWindowMask).release();
        content = plat::View::Create({0, 0, 400, 300}).release();
        window->SetContentView(content);
        content->Release();
        window->MakeKeyAndOrderFront();
    }
    ~TextFieldTest() override {
        app->DiscardEvents(plat::kAnyEventMask);
        window->Close();
        window->Release();
    }
    RecordingField* AddField(const std::string& text, bool secure = false, plat::Rect r = {10, 10, 200, 22}) {
        RecordingField* f = RecordingField::Make(r, secure).release();
        content->AddSubview(f);
        f->Release();
        f->SetStringValue(text);
        f->SetDelegate(&watcher);
        return f;
    }
    TextView* Focus(TextField* f) {
        EXPECT_TRUE(window->MakeFirstResponder(f));
        return f->CurrentEditor();
    }
    void Key(const char* chars, uint32_t mods = 0) {
        app->SendEvent(HeadlessBackend::KeyEvent(EventType::kKeyDown, window, chars, 0, mods));
    }
    void Type(const std::string& text) {
        for (size_t i = 0; i < text.size();) {
            size_t n = 1;
            while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
            Key(text.substr(i, n).c_str());
            i += n;
        }
    }

    testsupport::HeadlessScreens screens;
    Application* app = Application::Shared();
    Window* window = nullptr;
    plat::View* content = nullptr;
    testsupport::GeneralPasteboardText board;
    Watcher watcher;
};

TEST_F(TextFieldTest, EditingGoesThroughTheWindowsFieldEditorAndEndsWithTheTextKept) {
    RecordingField* f = AddField("start");
    TextView* editor = Focus(f);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor, window->FieldEditor(false, f));
    EXPECT_EQ(window->FirstResponder(), editor);
    EXPECT_TRUE(editor->IsFieldEditor());
    EXPECT_EQ(editor->SelectedRange(), (TextRange{0, 5}));
    Type("Grüße 42");
    EXPECT_EQ(f->StringValue(), "Grüße 42");
    EXPECT_EQ(watcher.changes, 8);
    ASSERT_TRUE(window->MakeFirstResponder(content));
    EXPECT_EQ(f->CurrentEditor(), nullptr);
    EXPECT_EQ(watcher.ends, 1);
    EXPECT_EQ(f->StringValue(), "Grüße 42");
}

TEST_F(TextFieldTest, RangesOverMixedTextAreUtf16BothWays) {
    RecordingField* f = AddField(
        "a\xC3\xA9\xF0\x9D\x84\x9E"
        "b");
    TextView* editor = Focus(f);
    EXPECT_EQ(editor->Length(), 5u);
    // Inside the surrogate pair: snapped to the character's start.
    editor->SetSelectedRange({3, 1});
    EXPECT_EQ(editor->SelectedRange(), (TextRange{2, 2}));
    editor->SetSelectedRange({4, 0});
    Key("\x7f");
    ASSERT_EQ(f->ranges.size(), 1u);
    EXPECT_EQ(f->ranges[0], (TextRange{2, 2}));
    EXPECT_EQ(f->StringValue(),
              "a\xC3\xA9"
              "b");
    editor->SetSelectedRange({1, SIZE_MAX});
    Key("x");
    EXPECT_EQ(f->ranges.back(), (TextRange{1, 2}));
    EXPECT_EQ(f->StringValue(), "ax");
    editor->SetSelectedRange({99, 5});
    EXPECT_EQ(editor->SelectedRange(), (TextRange{2, 0}));
}

TEST_F(TextFieldTest, CaretKeysShiftExtensionAndWordMoves) {
    struct Step {
        const char* key;
        uint32_t mods;
        TextRange selection;
    };
    struct Case {
        const char* name;
        TextRange start;
        std::vector<Step> steps;
    };
    // "one two three": words at 0-3, 4-7, 8-13.
    const Case cases[] = {
        {"arrows", {5, 0}, {{kLeft, 0, {4, 0}}, {kRight, 0, {5, 0}}, {kRight, 0, {6, 0}}}},
        {"collapse", {4, 3}, {{kLeft, 0, {4, 0}}}},
        {"collapse right", {4, 3}, {{kRight, 0, {7, 0}}}},
        {"shift", {5, 0}, {{kLeft, kShift, {4, 1}}, {kLeft, kShift, {3, 2}}, {kRight, kShift, {4, 1}}}},
        {"shift across anchor",
         {5, 0},
         {{kLeft, kShift, {4, 1}}, {kRight, kShift, {5, 0}}, {kRight, kShift, {5, 1}}}},
        {"words",
         {5, 0},
         {{kLeft, kAlt, {4, 0}}, {kLeft, kAlt, {0, 0}}, {kRight, kAlt, {3, 0}}, {kRight, kAlt, {7, 0}}}},
        {"word extend", {13, 0}, {{kLeft, kAlt | kShift, {8, 5}}, {kLeft, kAlt | kShift, {4, 9}}}},
        {"line ends",
         {5, 0},
         {{kLeft, kCmd, {0, 0}}, {kRight, kCmd, {13, 0}}, {kLeft, kCmd | kShift, {0, 13}}}},
        {"home end", {5, 0}, {{kHome, 0, {0, 0}}, {kEnd, 0, {13, 0}}, {kHome, kShift, {0, 13}}}},
        {"shift end", {5, 0}, {{kEnd, kShift, {5, 8}}, {kHome, kShift, {0, 5}}}},
        {"select all then collapse", {5, 0}, {{"a", kCmd, {0, 13}}, {kRight, 0, {13, 0}}}},
        {"select all then collapse left", {5, 2}, {{"a", kCmd, {0, 13}}, {kLeft, 0, {0, 0}}}},
        {"single line up down", {5, 0}, {{kUp, 0, {0, 0}}, {kDown, 0, {13, 0}}}},
        {"ends", {0, 0}, {{kLeft, 0, {0, 0}}, {kEnd, 0, {13, 0}}, {kRight, 0, {13, 0}}}},
    };
    RecordingField* f = AddField("one two three");
    TextView* editor = Focus(f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        editor->SetSelectedRange(c.start);
        for (const Step& s : c.steps) {
            Key(s.key, s.mods);
            EXPECT_EQ(editor->SelectedRange(), s.selection);
        }
    }
    EXPECT_TRUE(f->ranges.empty());  // moves change nothing
}

TEST_F(TextFieldTest, UpAndDownKeepTheColumnInMultiLineText) {
    RecordingField* f = AddField("", false, {10, 10, 300, 200});
    f->SetUsesSingleLineMode(false);
    f->SetStringValue("aaa\naaaaa\naa");
    TextView* editor = Focus(f);
    EXPECT_FALSE(editor->IsFieldEditor());
    editor->SetSelectedRange({2, 0});
    Key(kDown);
    EXPECT_EQ(editor->SelectedRange(), (TextRange{6, 0}));
    Key(kDown);
    EXPECT_EQ(editor->SelectedRange(), (TextRange{12, 0}));
    Key(kUp);
    EXPECT_EQ(editor->SelectedRange(), (TextRange{6, 0}));
    Key(kDown, kShift);
    EXPECT_EQ(editor->SelectedRange(), (TextRange{6, 6}));
    Key("\r");  // typed in a multi-line editor
    EXPECT_EQ(f->StringValue(), "aaa\naa\n");
}

TEST_F(TextFieldTest, DeletionGoesByGraphemeCluster) {
    struct Case {
        std::string text;
        TextRange caret;
        const char* key;
        std::string result;
    };
    const Case cases[] = {
        {"ae\xCC\x81x", {1, 0}, kForwardDelete, "ax"},  // e + combining acute
        {"a\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA"
         "b",
         {1, 0},
         kForwardDelete,
         "ab"},  // a flag: two code points
        {"ab", {2, 0}, "\x7f", "a"},
        {"ab", {0, 0}, "\x7f", "ab"},
        {"ab", {2, 0}, kForwardDelete, "ab"},
        {"one two", {7, 0}, "\x7f", "one tw"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        RecordingField* f = AddField(c.text);
        TextView* editor = Focus(f);
        editor->SetSelectedRange(c.caret);
        Key(c.key);
        EXPECT_EQ(f->StringValue(), c.result);
        f->RemoveFromSuperview();
    }
    RecordingField* f = AddField(
        "a\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA"
        "b");
    TextView* editor = Focus(f);
    editor->SetSelectedRange({1, 0});
    Key(kRight);
    EXPECT_EQ(editor->SelectedRange(), (TextRange{5, 0}));
    Key("\x7f", kAlt);  // a word backwards
    EXPECT_EQ(editor->SelectedRange().location, 0u);
}

TEST_F(TextFieldTest, TypingIsOneUndoStepUntilTheCaretMoves) {
    RecordingField* f = AddField("");
    TextView* editor = Focus(f);
    Type("abc");
    Key(kLeft);
    Type("XY");
    EXPECT_EQ(f->StringValue(), "abXYc");
    editor->DoCommandBySelector("undo:");
    EXPECT_EQ(f->StringValue(), "abc");
    editor->DoCommandBySelector("undo:");
    EXPECT_EQ(f->StringValue(), "");
    EXPECT_FALSE(editor->CanUndo());
    editor->DoCommandBySelector("redo:");
    EXPECT_EQ(f->StringValue(), "abc");
    Key("z", kCmd | kShift);
    EXPECT_EQ(f->StringValue(), "abXYc");
    EXPECT_FALSE(editor->CanRedo());
    Key("z", kCmd);
    EXPECT_EQ(f->StringValue(), "abc");
    // A new change drops what could be redone.
    Type("!");
    EXPECT_FALSE(editor->CanRedo());
}

TEST_F(TextFieldTest, CommandKeysAreOfferedToTheDelegateFirst) {
    RecordingField* f = AddField("ab");
    TextView* editor = Focus(f);
    editor->SetSelectedRange({1, 0});
    watcher.handled = {"moveLeft:", "insertNewline:", "cancelOperation:"};
    Key(kLeft);
    EXPECT_EQ(editor->SelectedRange(), (TextRange{1, 0}));  // taken by the delegate
    Key("\r");
    Key("\x1b");
    Key("\t");  // not taken: a field editor leaves it alone
    Key(kRight);
    EXPECT_EQ(watcher.selectors, (std::vector<std::string>{"moveLeft:", "insertNewline:", "cancelOperation:",
                                                           "insertTab:", "moveRight:"}));
    EXPECT_EQ(f->StringValue(), "ab");
    EXPECT_EQ(editor->SelectedRange(), (TextRange{2, 0}));
}

TEST_F(TextFieldTest, TheFilterHookSeesEveryChange) {
    RecordingField* f = AddField("abc");
    TextView* editor = Focus(f);
    f->refuse = true;
    editor->SetSelectedRange({1, 1});
    Key("x");
    Key("\x7f");
    board.WriteString("pasted");
    Key("v", kCmd);
    Key("x", kCmd);
    EXPECT_EQ(f->StringValue(), "abc");
    EXPECT_EQ(f->replacements, (std::vector<std::string>{"x", "", "pasted", ""}));
    for (const TextRange& r : f->ranges) EXPECT_EQ(r, (TextRange{1, 1}));
    EXPECT_EQ(watcher.changes, 0);
}

TEST_F(TextFieldTest, SecureFieldsShowBulletsAndNeverReachThePasteboard) {
    RecordingField* f = AddField("secret", true);
    TextView* editor = Focus(f);
    EXPECT_TRUE(editor->IsSecure());
    board.WriteString("kept");
    board.Mark();
    editor->SetSelectedRange({0, 6});
    Key("c", kCmd);
    Key("x", kCmd);
    editor->DoCommandBySelector("copy:");
    EXPECT_EQ(board.Changes(), 0);
    EXPECT_EQ(board.Text(), "kept");
    EXPECT_EQ(f->StringValue(), "secret");
    Key(kRight);
    Key("\x7f");
    EXPECT_EQ(f->StringValue(), "secre");
    // A plain field after it copies again.
    ASSERT_TRUE(window->MakeFirstResponder(content));
    RecordingField* plain = AddField("open", false, {10, 50, 200, 22});
    TextView* e2 = Focus(plain);
    EXPECT_FALSE(e2->IsSecure());
    e2->SetSelectedRange({0, 4});
    Key("c", kCmd);
    EXPECT_EQ(board.Text(), "open");
}

TEST_F(TextFieldTest, PastedTextFromOutsideIsCleaned) {
    RecordingField* f = AddField("");
    TextView* editor = Focus(f);
    board.WriteString(
        std::string("a\xFF"
                    "b\0c\r\nd",
                    8));
    editor->DoCommandBySelector("paste:");
    EXPECT_EQ(f->StringValue(),
              "a\xEF\xBF\xBD"
              "bc d");
    // A mebibyte in one go.
    board.WriteString(std::string(1 << 20, 'x'));
    editor->DoCommandBySelector("selectAll:");
    editor->DoCommandBySelector("paste:");
    EXPECT_EQ(f->StringValue().size(), size_t(1) << 20);
    EXPECT_EQ(editor->Length(), size_t(1) << 20);
}

TEST_F(TextFieldTest, LongTextScrollsTheClipViewAndTellsObservers) {
    RecordingField* f = AddField("", false, {10, 10, 60, 22});
    TextView* editor = Focus(f);
    int posts = 0;
    plat::NotificationCenter::Default().AddObserver(
        &posts, [](const char*, const void*, void* o) { ++*static_cast<int*>(o); },
        plat::kViewBoundsDidChangeNotification, f->EditorClip());
    Type("a rather long line of text");
    EXPECT_GT(posts, 0);
    EXPECT_GT(f->EditorClip()->Bounds().x, 0);
    EXPECT_GT(editor->DocumentSize().width, 60);
    Key(kHome);
    EXPECT_EQ(f->EditorClip()->Bounds().x, 0);
    plat::NotificationCenter::Default().RemoveObserver(&posts);
}

TEST_F(TextFieldTest, ClicksPlaceTheCaretSelectWordsAndExtend) {
    RecordingField* f = AddField("one two three", false, {10, 10, 300, 22});
    TextView* editor = Focus(f);
    auto click = [&](double x, int count, uint32_t mods = 0) {
        testsupport::NestedLoopGuard guard;
        plat::Event up = HeadlessBackend::MouseEvent(EventType::kLeftMouseUp, window, {x, 20});
        screens.Backend().Inject(up);
        plat::Event down = HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, window, {x, 20}, mods);
        down.clickCount = count;
        f->MouseDown(down);
        EXPECT_FALSE(guard.Fired());
    };
    click(11, 1);
    EXPECT_EQ(editor->SelectedRange(), (TextRange{0, 0}));
    click(300, 1);
    EXPECT_EQ(editor->SelectedRange(), (TextRange{13, 0}));
    click(40, 2);  // inside "two"
    EXPECT_EQ(editor->SelectedRange(), (TextRange{4, 3}));
    click(11, 1, kShift);
    EXPECT_EQ(editor->SelectedRange(), (TextRange{0, 4}));
}

TEST_F(TextFieldTest, TheCaretBlinksOnATimerInTheCommonModes) {
    testsupport::FakeClock clock;
    RecordingField* f = AddField("x");
    TextView* editor = Focus(f);
    EXPECT_TRUE(editor->CaretVisible());
    clock.Advance(TextView::kCaretBlinkPeriod + 0.01);
    plat::RunLoop::Main()->RunInMode(plat::kEventTrackingRunLoopMode, 0, false);
    EXPECT_FALSE(editor->CaretVisible());
    clock.Advance(TextView::kCaretBlinkPeriod);
    plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    EXPECT_TRUE(editor->CaretVisible());
    ASSERT_TRUE(window->MakeFirstResponder(content));
    clock.Advance(TextView::kCaretBlinkPeriod);
    plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    EXPECT_TRUE(editor->CaretVisible());  // stopped with editing
}

TEST(InputSourceTest, SelectionsAreRecorded) {
    plat::InputSource::ResetForTesting();
    plat::Ref<plat::InputSource> saved = plat::InputSource::CopyCurrentKeyboard();
    EXPECT_FALSE(saved->IsASCIICapable());
    plat::Ref<plat::InputSource> ascii = plat::InputSource::CopyCurrentASCIICapableKeyboard();
    EXPECT_TRUE(ascii->Select());
    EXPECT_TRUE(plat::InputSource::CopyCurrentKeyboard()->IsASCIICapable());
    EXPECT_TRUE(saved->Select());
    EXPECT_EQ(plat::InputSource::Selections(),
              (std::vector<std::string>{ascii->Identifier(), saved->Identifier()}));
}

}  // namespace
