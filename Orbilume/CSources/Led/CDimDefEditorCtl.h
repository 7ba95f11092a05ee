#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"

class CDimDefLibrary;
class CDimDefStore;
class CRecord;
class CUndoStrm;

// Follows the definition an editor shows: any change of its fields 1 to 7 (grid, composition,
// channel counts and codes, dot order), by the editor, another editor or undo, marks it changed; its
// removal from the store leaves nothing shown. Main thread only.
class CDimDefWatch {
public:
    explicit CDimDefWatch(CDimDefStore* store);
    ~CDimDefWatch();
    CDimDefWatch(const CDimDefWatch&) = delete;
    CDimDefWatch& operator=(const CDimDefWatch&) = delete;

    // Follows a definition of the store (null: none); clears the flag.
    void Show(CRecord* definition);
    CRecord* Shown() const { return fShown; }
    bool IsChanged() const { return fChanged; }
    bool TakeChanged();
    // Called after the shown definition changed (field, event kind) or went (shown is null then).
    std::function<void(const SRecordEvent& event)> onChange;

private:
    static void Observe(void* context, const SRecordEvent* event);

    CDimDefStore* fStore;
    CRecord* fShown = nullptr;
    bool fChanged = false;
};

// What the controller needs of the definition editor window.
class CDimDefEditorView {
public:
    virtual ~CDimDefEditorView() = default;
    // Shows a definition of the store (null: none) and clears the changed flag.
    virtual void ShowDefinition(CRecord* definition) = 0;
    virtual CRecord* ShownDefinition() const = 0;
    // The shown definition changed since it was shown or last asked (and the flag is cleared).
    virtual bool TakeChanged() = 0;
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
    // The frame that sends "LFrame_Close".
    virtual LHandler* ViewHandler() = 0;
    // The window's definition selector ("CDIMDefSel_Changed"), or null.
    virtual LHandler* Selector() { return nullptr; }
};

// Answers "cDimDefNew", "cDimDefDup" and "cDimDefDel", opens definitions in the editor window and
// saves the user's definitions to their files: the file the definition was loaded from, else its
// file at the top of the user folder, always through the atomic writer. Deleting removes only the
// definition's own regular file inside the user folder; when that fails the definition stays.
// Keeps its own undo queue. Main thread only.
class CDimDefEditorCtl : public LHandler {
public:
    static constexpr uint64_t kUndoBytes = 0x10000;

    using ViewFactory = std::function<std::unique_ptr<CDimDefEditorView>(CDimDefEditorCtl& controller)>;

    CDimDefEditorCtl(LHandler* upper, CDimDefStore* store, CDimDefLibrary* library);
    ~CDimDefEditorCtl() override;

    LMessage Handle(const LMessage& msg) override;

    // How the editor window is made; the owner installs CDimDefWin::Make (no window until set).
    void SetViewFactory(ViewFactory factory) { fFactory = std::move(factory); }
    CDimDefEditorView* View() const { return fView.get(); }
    // Makes the window when missing and shows it.
    void ShowEditor();

    // Closes the shown definition and shows the named one; clearHistory empties the undo queue.
    void Open(std::string_view name, bool clearHistory = true);
    // Saves the shown definition when it changed (normalized first).
    void Close();
    // Writes a user definition to its file; false (with a message when it was tried) otherwise.
    bool Save(std::string_view name);
    // Removes the definition's own file; true when it is gone or there was none to remove.
    bool DeleteFile(std::string_view name);

    // The commands, as the menu runs them.
    void NewDefinition();
    void DuplicateDefinition();
    void DeleteDefinition();

    CDimDefStore* Store() const { return fStore; }
    CDimDefLibrary* Library() const { return fLibrary; }
    CUndoQueue& Undo() { return fUndo; }

    // Tests inject a failing removal.
    using UnlinkFunction = int (*)(const char* path);
    static void SetUnlinkForTesting(UnlinkFunction unlink);

private:
    static void Observe(void* context, const SRecordEvent* event);
    static void ReplayDelete(void* context, CUndoStrm& stream, int direction);
    void MenuReady(LHandler* bar);
    CRecord* ShownDefinition() const;
    std::string ShownName() const;

    CUndoQueue fUndo{kUndoBytes};
    CDimDefStore* fStore;
    CDimDefLibrary* fLibrary;
    ViewFactory fFactory;
    std::unique_ptr<CDimDefEditorView> fView;
};
