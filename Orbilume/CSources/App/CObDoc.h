#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/Document/CDocPathHolder.h"
#include "Orbilume/CSources/Timecode/TimecodeSourceGroup.h"

class CCtlInEngineBinder;
class CCtlInHub;
class CRunLoopSignal;
class CDocModelHolder;
class COSCSender;
class OscPattern;
struct OscArg;
class CMixEngine;
class LMenu;
class CMovieRecorder;
class CObStillSaver_CGi_File;
class CRecord;
class CSceneCtlIn;
class CSceneRecall;
class CSchCtl;
class CSeqCtlIn;
class CSeqPlayer;
class COpenGLContext_Cca;
class LAsyncLoop;
class LPane;
struct SRecordEvent;

// Sent by a document to its upper handler (the application): its monitor window came to the front,
// or it may be closed now.
L_MESSAGE_ID(CObDoc_Front);
L_MESSAGE_ID(CObDoc_Close);

// One open show: its record tree, the engine that renders it, the sequence player, control binder,
// scene recall and scene-control input, the schedule runner, and its windows (reached through the
// window factories; absent kinds are skipped). It saves and loads its file as XML, asks before
// changes are lost, records stills and movies of its output and keeps its window places in its DCPF
// record. A file that cannot be read as a show leaves the document empty, untitled and clean, with
// a message naming the file. Main thread only.
class CObDoc : public LHandler {
public:
    // The document's path holders remember the last document and movie folders (statics of the
    // bootstrap). docPrefs is the DCPF record of this document (borrowed from the preferences).
    CObDoc(LHandler* upper, LAsyncLoop* worker, const TimecodeSourceGroup& sources, CRecord* docPrefs,
           const LFsSpec& spec);
    ~CObDoc() override;

    LMessage Handle(const LMessage& msg) override;

    // Writes the show to the file through a new file renamed over it; false (path, title and dirty
    // flag unchanged, the old file untouched) on failure.
    [[nodiscard]] bool SaveToFile(const LFsSpec& spec);
    // The save panel, then SaveToFile; false when cancelled or failed.
    bool SaveAs();
    // The save panel with no owner, from the last document folder with "untitled.obm".
    static bool AskNewPath(LFsSpec& chosen);
    // Reads the show. A missing file is a new show bound to that path (true). A damaged one (not
    // readable, not well-formed, cut short, no show root) gives the message, an empty untitled
    // clean document, and false.
    bool LoadFromFile(const LFsSpec& spec);
    // True when the document may close: clean, or the user saved or discarded.
    bool CanClose();

    void StoreWindowState();
    void RestoreWindowState();
    void ShowWindows();
    // The monitor as a full-screen window at the rectangle (its windowed place kept in 'mnwp'),
    // and back to its window at 'mnwp'; both show it. The replaced window is kept hidden until the
    // next change, as a message of it may still be on its way.
    void MonitorFullScreen(const CLRect& rect);
    void MonitorWindowed();
    // Gives each layer's blend input its control from the CTRL record (type, first channel or
    // controller), counting up per layer.
    void SpreadBlendControls();

    // "cSaveParam": the layers selected in the console's channel list (whole units), else its current
    // unit, else its current parameter (one input, not while it goes straight to the engine) into
    // every selected scene, as one undo group. CanSaveParam is the same choice without storing.
    void StoreSceneValues();
    bool CanSaveParam() const;
    // Recalls scene n of the current list as OSC input and the scene keys do (no overrides).
    void SelectScene(uint32_t n);

    // The sender that announces recalled scenes when PREF 'snsl' has "send" (the application's;
    // null: none).
    static void SetSceneSender(COSCSender* sender);

    // A still of a coming frame into the capture folder; the path, or empty. Stills asked for
    // before the last one is written follow it, one per frame, each into its own file.
    std::string CaptureStill();
    bool StartRecording();
    void StopRecording();
    bool IsRecording() const;

    bool IsDirty() const;
    const LFsSpec& Path() const { return mPath; }
    LString DisplayName() const { return mPathHolder.DisplayName(); }
    LString Title() const;
    CRecord* DocPrefs() const { return mDocPrefs; }
    CDocModelHolder& Model() { return *mModel; }
    CMixEngine& Engine() { return *mEngine; }
    CSeqPlayer& Player() { return *mPlayer; }
    CSchCtl& ScheduleRunner() { return *mSchedule; }
    CSceneRecall& Recall() { return *mRecall; }
    CSceneCtlIn& SceneControlInput() { return *mSceneCtlIn; }
    CSeqCtlIn& SequenceControlInput() { return *mSeqCtlIn; }
    CUndoQueue& Undo() { return mUndo; }
    IMonitorWin* Monitor() const { return mMonitor.get(); }
    IConsoleWin* Console() const { return mConsole.get(); }
    IDocWindow* SequenceList() const { return mSeqList.get(); }
    // The user closed the console (it stays hidden when the document comes to the front).
    bool ConsoleClosed() const { return mConsoleClosed; }
    CObStillSaver_CGi_File* StillSaver() const { return mStill.get(); }

    static constexpr uint32_t kUndoBytes = 1048576;
    static constexpr uint32_t kFileType = 0x4F424D46;  // 'OBMF'

private:
    // The Edit menu's compositions, once: a row per category filled by the repository.
    static void FillCompositionMenu(LMenu* menu);
    // Where new layers go: the console's insert position (0 without a console).
    uint32_t InsertIndex() const;
    // Selects the layer a command inserted at index (-1: none was).
    void AddLayer(int32_t index);
    static void ModelObserver(void* context, const SRecordEvent* event);
    static void PrefsObserver(void* context, const SRecordEvent* event);
    void OnModelChange(const SRecordEvent& event);
    void OnScenesChange(uint32_t field);
    void RecallSelected();
    void ApplyFaderLevels();
    static void OscProc(void* context, OscPattern& pattern, const OscArg* args, uint32_t count);
    void OnOscMessage(OscPattern& pattern, const OscArg* args, uint32_t count);
    void ChooseOscScene(int32_t n);
    LMessage HandleConsoleButton(const LMessage& msg);
    bool HandleParamChange(const LMessage& msg, bool animator);
    bool HandleSceneKey(const LMessage& msg);
    void LocateToStart();
    void NewScene();
    void SaveScene();
    // The units (whole) or the one input that "cSaveParam" stores; false when nothing.
    bool SaveParamChoice(std::vector<CRecord*>* units, CRecord** input) const;
    static void StillCapture(void* context, CMixEngine* engine, COpenGLContext_Cca* draw);
    void ArmStill();      // the first waiting still is taken at the next frame
    void StillWritten();  // the saver is done with it: the next one, or no more frames
    void UpdateTitles();
    void BindPath(const LFsSpec& spec);
    void ResetToEmpty();
    void ReportDamaged(const LFsSpec& spec, uint32_t line, const char* reason);
    LMessage HandleCommand(const LMessage& msg);
    void MenuReady(LHandler* bar);
    void ApplyMonitorRect();
    void ReplaceMonitor(bool fullScreen);
    void ApplyTimerSettings();
    LPane* ConsolePane() const;

    LAsyncLoop* mWorker;                          // 1
    LStrListRsrcH mStrings;                       // 2 "CONSOLEWIN"
    CRecord* mDocPrefs;                           // 3
    CDocPathHolder mPathHolder;                   // 4
    CDocPathHolder mMoviePathHolder;              // 5
    CUndoQueue mUndo;                             // 6
    std::unique_ptr<CDocModelHolder> mModel;      // 7
    LFsSpec mPath;                                // 8
    std::unique_ptr<CMixEngine> mEngine;          // 9
    std::unique_ptr<CSeqPlayer> mPlayer;          // 10 (with its timer)
    std::unique_ptr<CCtlInEngineBinder> mBinder;  // 11
    std::unique_ptr<CSceneRecall> mRecall;        // 12
    std::unique_ptr<CSceneCtlIn> mSceneCtlIn;     // 13
    std::unique_ptr<CSeqCtlIn> mSeqCtlIn;         // 14
    CCtlInHub* mOscHub = nullptr;
    // A scene chosen by OSC, recalled from the run loop: the hub's lock is held while listeners run
    // and a recall takes the engine's frame lock.
    std::unique_ptr<CRunLoopSignal> mOscSignal;
    int32_t mOscScene = -1;              // the hub this document listens to
    std::unique_ptr<CSchCtl> mSchedule;  // 15
    bool mConsoleClosed = false;         // 16
    // 17: the windows.
    std::unique_ptr<IMonitorWin> mMonitor;
    std::unique_ptr<IMonitorWin> mRetiredMonitor;
    std::unique_ptr<IConsoleWin> mConsole;
    std::unique_ptr<IDocWindow> mSeqList;
    std::unique_ptr<CMovieRecorder> mRecorder;
    std::unique_ptr<CObStillSaver_CGi_File> mStill;
    bool mStillPending = false;
    // The next frame of this document's engine is taken (set here, cleared by the frame that takes it).
    std::atomic<bool> mStillArmed{false};
    std::deque<std::string> mStillPaths;  // the still being taken, then those waiting for it
    bool mLoading = false;  // the reader fills the model: no reactions until it is done
    bool mRecordingCallback = false;
    // The last parameter edited through a pane: a repeat continues its undo entry. Per document:
    // two shows may hold the same unit id.
    bool mHasLastEdit = false;
    uint32_t mLastEditUnit = 0;
    LString mLastEditKey;
};
