#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Led/CDimOutput.h"
#include "Orbilume/CSources/Led/UDimArrange.h"

class CAppPrefs;
class CDimDefLibrary;
class CDimDefStore;
class CDmxIoManager;
class IDimDefEditor;
class IDimUvAdWindow;
class IDimWindow;
class LAsyncLoop;
class LMenuBar;

// The questions the dimmer document asks, through one table of functions: the real dialogs by
// default, a scripted table in tests. Main thread only.
struct SDimDialogs {
    enum : uint32_t { kCancel = 0, kSave = 1, kDiscard = 2 };
    // Save changes to the named layout? kSave, kCancel or kDiscard.
    uint32_t (*askSaveChanges)(const LString& name) = nullptr;
    // The layout save panel ("DIMFFMT") / open panel ("DIMFFLT") starting at a path; true with a path.
    bool (*askSavePath)(const std::string& start, std::string& chosen) = nullptr;
    bool (*askOpenPath)(const std::string& start, std::string& chosen) = nullptr;
    void (*showMessage)(const LString& text) = nullptr;
    // The add-devices dialog over the values (its selector over the library's menu); true on OK.
    // Null: the command is disabled.
    bool (*addDevices)(LHandler* upper, CDimDefStore* defs, CDimDefLibrary* library,
                       UDimArrange::AddValues& values) = nullptr;
    // The DMX signal dialog over the "dmxtiming" set; true on OK. Null: the command is disabled.
    bool (*signalDialog)(LHandler* upper, CRecordRef timing) = nullptr;
};
const SDimDialogs& DimDialogs();
// Null restores the real dialogs.
void SetDimDialogs(const SDimDialogs* dialogs);

// The LED dimmer document: its DIMS tree with undo, the definitions store, the output engine and
// the windows over them. It opens and saves layouts (XML record documents carrying the definitions
// their devices use), answers the dimmer commands and keeps the canvas size from the devices and
// the output's aspect. Every change of a saved part of the tree marks it dirty; Load and Save clear
// that. Main thread only, except AfterFrame (render thread).
class CDimInstruments : public LHandler {
public:
    static constexpr uint64_t kUndoBytes = 1 << 20;
    static constexpr uint32_t kMaxCanvasSide = 4096;
    static constexpr size_t kMaxFileBytes = 64u << 20;
    // A layout nests its elements a few levels deep (nested parameter sets add some); a deeper
    // text is no layout, whatever a forgiving reader would make of it.
    static constexpr uint32_t kMaxElementDepth = 64;

    // The settings are the 'dimp' set of prefs; the library gets the store until destruction, and
    // its built-in and user definitions are loaded before the last layout.
    CDimInstruments(LHandler* upper, LAsyncLoop* mainLoop, CDmxIoManager* usb, CAppPrefs* prefs,
                    CDimDefLibrary* library);
    ~CDimInstruments() override;

    LMessage Handle(const LMessage& msg) override;

    // Makes the dimmer window on first use, titles and shows it; false without a window factory.
    bool OpenWindow();
    // The output aspect (0 becomes 1); the canvas follows.
    void SetAspect(uint32_t width, uint32_t height);
    // Render thread: the output's capture; a taken frame asks the window to redraw.
    bool AfterFrame(void* drawContext, CDimOutput::DrawFunction* draw);

    // True when there is nothing to save or the user agreed; case 0 before Open, 2 on quit.
    bool AskToSave(uint32_t dialogCase);
    // Reads the layout; on failure a message names the file and nothing changes.
    bool Load(const std::string& path);
    // Checks a layout's bytes strictly (well-formed, a DIMS root, nesting within kMaxElementDepth)
    // and reads them into a new DIMS tree the caller deletes; null on success, else the reason
    // (and the line, 0 when none applies) with no tree.
    static const char* ReadLayout(const std::string& bytes, CRecord*& tree, uint32_t& line);
    // Writes the layout with its definitions without destroying the old file.
    bool Save(const std::string& path);
    bool SaveAs();
    void Open();

    // The commands: readiness on the bar, then one command; false when it is not ours.
    void MenuReady(LMenuBar* bar);
    bool DoCommand(const LString& command);

    // Runs a pending canvas recompute now (the next frame would run it anyway).
    void UpdateCanvas();
    // Auto division of the devices with known definitions (500 without any).
    static uint32_t AutoDivision(const CRecord* dims, const CDimDefStore& defs);
    // Canvas sides from the aspect, division, gap and stretch, each within 1..limit.
    static void CanvasSize(uint32_t aspectWidth, uint32_t aspectHeight, uint32_t division, uint32_t gap,
                           bool stretch, uint32_t limit, uint32_t& width, uint32_t& height);

    bool IsDirty() const { return mDims.IsModified(); }
    const std::string& LastFile() const { return mLastFile; }
    CRecordHolder& Dims() { return mDims; }
    CDimDefStore& Defs() { return *mDefs; }
    CDimOutput& Output() { return *mOutput; }
    CUndoQueue& Undo() { return mUndo; }
    CRecordRef Settings() const;
    uint32_t CanvasWidth() const { return mCanvasWidth; }
    uint32_t CanvasHeight() const { return mCanvasHeight; }
    bool CanvasPending() const { return mCanvasStale; }
    // Any thread: the canvas size last computed.
    void SharedCanvas(uint32_t& width, uint32_t& height) const {
        const uint64_t v = mCanvasShared.load();
        width = uint32_t(v >> 32);
        height = uint32_t(v);
    }
    IDimWindow* Window() const { return mWindow.get(); }
    IDimUvAdWindow* UniverseWindow() const { return mUvAdWindow.get(); }
    // The window title: the last file's name, or "Untitled".
    LString Title() const;
    // The add-devices values, kept for the application's life.
    static UDimArrange::AddValues& AddValues();

private:
    static void DimsChanged(void* self, const SRecordEvent* event);
    static void DefsChanged(void* self, const SRecordEvent* event);
    void OnDimsChange(const SRecordEvent& event);
    void CanvasStale();
    void ComputeCanvas();
    void UpdateTitle();
    void SetRootByte(uint32_t field, uint8_t value);
    void ShowUniverseWindow();
    void RunSignalDialog();
    void RunAddDevices();
    void ReportLoad(const std::string& path, uint32_t line, const char* reason);
    void ReportDiffering(const std::string& names);

    CUndoQueue mUndo{kUndoBytes};
    CAppPrefs* mPrefs;
    CRecordHolder mDims;
    std::unique_ptr<CDimDefStore> mDefs;
    CDimDefLibrary* mLibrary;
    std::unique_ptr<IDimDefEditor> mDefEditor;
    std::unique_ptr<CDimOutput> mOutput;
    std::unique_ptr<IDimWindow> mWindow;
    std::unique_ptr<IDimUvAdWindow> mUvAdWindow;
    std::atomic<IDimWindow*> mWindowShared{nullptr};  // read by AfterFrame
    std::atomic<uint64_t> mCanvasShared{(uint64_t(1) << 32) | 1};
    CRecord* mUvAdSet = nullptr;                      // the "uvads" settings of the window
    std::string mLastFile;
    uint32_t mAspectWidth = 1, mAspectHeight = 1;
    uint32_t mCanvasWidth = 1, mCanvasHeight = 1;
    bool mCanvasStale = false;
    bool mComputing = false;
    LTimer mCanvasTimer{this};
};
