#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "Lib3/LSources/CoreData/CAppBase.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/App/DocFormProvider.h"
#include "Orbilume/CSources/CJsCostPatch.h"
#include "Orbilume/CSources/Engine/CCtlInSoundSource.h"
#include "Orbilume/CSources/Osc/OscListener.h"
#include "Orbilume/CSources/Sound/CSampleConverter.h"
#include "Orbilume/CSources/Sound/SoundFormat.h"
#include "Orbilume/CSources/Timecode/TimecodeSourceGroup.h"

class CAppPrefs;
class CArtNetIn;
class CDmxInMerge;
class CDmxIO;
class CDmxIoManager;
class CFormServer;
class CFormServerDlg;
class CMultiMidiInWin;
class CTcReaderWin;
class LModalDialog;
class COSCSender;
class CSAcnIn;
class OscServer;
class SoundInputHolder;
struct CNetAddress;
struct MidiInMessage;
struct SRecordEvent;
class MtcSource;
class LtcSource;
class ClockSource;
class CMidiInManager;
class CCompoRepository;
class CCtlInHub;
class CDimAppLink;
class CDimInstruments;
class CMediaLoader;
class CMenuKeyDialogs;
class CMenuKeyRegistry;
class CObDoc;
class CPrefsRecord;
class CRecord;
class CVCapSlots;
class COpenGLContext_Cca;
class COpenGLRequirement;
class LAsyncMainLoop;
class LAsyncWorkerLoop;
class IMonitorWin;
class IDocWindow;
class MusicAppSource;
namespace plat {
class MediaPlayer;
}

// The application object: root of the main-thread handler chain, owner of the main loop, of the
// application-wide services (preferences, worker loop, media loader, control-input hub, video
// capture slots, composition repository, menu keys) and of the open documents (front first). The
// first open request checks OpenGL and starts up; quitting asks every document before changes are
// lost and remembers which shows were open, so that the next start reopens them.
// With ORBILUME_TEST_LOG naming a file, it appends one line per request it receives (for tests).
// Main thread only.
class CMainApp : public CAppBase {
public:
    CMainApp();
    ~CMainApp() override;

    LMessage Handle(const LMessage& msg) override;

    // The open request of the launch or the system: start-up on the first, then the files, or the
    // shows marked to reopen (unless Shift is held).
    void OpenRequest(const std::vector<LFsSpec>& files);
    // 1 when the file is open (loaded now, or already open and brought to the front), 0 when it
    // could not be loaded (the document stays open, empty).
    int OpenDocument(const LFsSpec& spec, CRecord* docPrefs);
    void NewDocument();
    void OpenDocumentDialog();
    // The close checks of every document, in list order; false at the first refusal.
    bool CanQuit();
    // The HTTP panel's document operations: 0 the front document into *(CObDoc**)argument (1, or 0
    // without documents); 1 open the file *(const LFsSpec*)argument as the only document: 2 when it
    // was open, 1 opened, 0 failed or refused because a document it would close has unsaved changes.
    int OnPanelDocument(uint32_t operation, void* argument);

    uint32_t DocumentCount() const { return static_cast<uint32_t>(mDocs.size()); }
    CObDoc* DocumentAt(uint32_t i) const { return i < mDocs.size() ? mDocs[i].get() : nullptr; }
    CAppPrefs& Prefs() { return *mPrefs; }
    bool IsStarted() const { return mStarted; }
    const LTimer& ScreenModeTimer() const { return mScreenTimer; }
    CDimInstruments* Dimmer() const;  // the LED dimmer document

    // How the start-up GL check answers (COpenGLCheckDialog::Check unless a test sets its own):
    // 0 quit, 1 continue, 2 met.
    using GLCheckFunction = int (*)(LHandler* upper, COpenGLContext_Cca& context,
                                    const COpenGLRequirement& requirement);
    static void SetGLCheck(GLCheckFunction check);
    // How long the start-up window stays up from when it is shown (ORBILUME_STARTUP_HOLD_MS in the
    // environment sets it too).
    static constexpr uint32_t kStartupHoldMs = 5000;
    static void SetStartupHoldMs(uint32_t ms);

    // The live inputs, as ApplyInputSettings leaves them (null or closed when off).
    CDmxInMerge& DmxMerge() { return *mDmxMerge; }
    CDmxIoManager& UsbDmx() { return *mUsbDmx; }
    CDmxIO* UsbDmxInput() const { return mUsbIn; }
    // With 'dxus' set and no claim yet, claims the input of the USB interface 'dxsp' into
    // OnDmxDeviceFrame; true when an interface is claimed (or 'dxus' is clear).
    bool OpenDmxDeviceInput();
    void CloseDmxDeviceInput();
    // A frame of the USB input: status 0, start code 0, the slots after it (at most 512).
    void OnDmxDeviceFrame(const uint8_t* data, uint32_t count, uint32_t status);
    CArtNetIn* ArtNetInput() const { return mArtNet.get(); }
    CSAcnIn* SAcnInput() const { return mSAcn.get(); }
    OscServer* OscInput() const { return mOscServer.get(); }
    COSCSender* OscSender() const { return mOscSender.get(); }
    CFormServer* FormServer() const { return mFormServer.get(); }
    // Opens, closes or re-aims the inputs and the scene sender from the preferences.
    void ApplyInputSettings();

    // The input callbacks (the receivers' threads hand them over on the main loop). Art-Net offers
    // the packet's Length slots when its port address is 'annt' << 8 | 'anun'; sACN the values
    // after the start code at the packet's priority; OSC "/dmx" (with 'osdx') the blob after its
    // first byte, at most 512 slots. Other OSC messages go to the control-input hub.
    void OnArtNet(const CNetAddress& from, uint32_t length, const uint8_t* datagram);
    void OnSAcn(const CNetAddress& from, uint8_t priority, uint32_t count, const uint8_t* values);
    void OnOscMessage(OscPattern& pattern, const OscArg* args, uint32_t count);
    // The MIDI input's callback (MIDI thread): the message to the MIDI timecode source first, then
    // to the hub. MidiProc takes the application as context.
    void OnMidiMessage(const MidiInMessage& message);
    static void MidiProc(void* app, const MidiInMessage* message);
    // The MIDI timecode source fed by OnMidiMessage (borrowed; null: none). The application's own
    // is set at construction.
    void SetMtcSource(MtcSource* source) { mMtc = source; }
    CMidiInManager* MidiInput() const { return mMidiIn.get(); }
    const TimecodeSourceGroup& TimecodeSources() const { return mTimecode; }
    // Sets the left and right sample converters (channels 0 and 1) from the sound input's format.
    void SetSoundFormat(const SoundFormat& format);
    // A block of whole frames of the sound input: the last min(n, 256) frames go as left/right
    // pairs into the hub's sample ring (the oldest pair dropped when it is full) and the ring is
    // flagged new. Ignored while the frame size is 0 (no format set). SoundConsumer takes the
    // application as context.
    void OnSoundFrames(const uint8_t* bytes, uint32_t count);
    static void SoundConsumer(void* app, const uint8_t* bytes, uint32_t count);
    // The samples the hub analyses (Lock before reading the ring).
    CCtlInSoundSource& SoundSamples() { return mSoundSamples; }
    // Opens the sound input of PREF 'sisp' (any rate, 2 channels, signed 16-bit little-endian),
    // sets the converters from the format it delivers and starts it into OnSoundFrames; false when
    // it did not open.
    bool OpenSoundInput();
    void CloseSoundInput();
    bool IsSoundInputOpen() const;

    // A change of the preferences: a MIDI input row whose "stat" became 0 releases the hub's MIDI
    // notes; the dimmer-source request follows the front document; 'mvra' starts or stops the
    // loopback capture. (The dimmer link follows 'dimp' itself.)
    void OnSettingChanged(const SRecordEvent& event);

    // The MIDI input window ("cMidiIn") and the timecode window ("cSMPTEIn"); null until made.
    CMultiMidiInWin* MidiInputWindow() const { return mMidiWin.get(); }
    CTcReaderWin* TimecodeWindow() const { return mTcWin.get(); }
    // The output adjustment window ("cOutAdj") and the video devices window ("cVideoIn"), made at
    // start-up when their factories are installed; null before, or without a factory.
    IDocWindow* OutputAdjustWin() const { return mOutAdjWin.get(); }
    // The shared text-edit window, made with the application when its factory is installed (the
    // global CTextEditWin instance while it lives) at PREF 'tewp' when that lies on a screen; its
    // frame goes back into 'tewp' when the application is deleted. Null without a factory.
    IDocWindow* TextEditWin() const { return mTextEditWin.get(); }
    IDocWindow* VideoDevicesWin() const { return mVideoWin.get(); }
    // The media player the media-player timecode source follows: the MPRIS player named by
    // ORBILUME_MEDIA_PLAYER ("org.mpris.MediaPlayer2.<name>"), else the first on the session bus;
    // null when there is no session bus.
    plat::MediaPlayer* MediaPlayer() const { return mMediaPlayer.get(); }
    // The HTTP panel's dialog while it is up ("cFormSvr"); it answers "LDialog_Default" (OK) or
    // "LDialog_Escape" to the application.
    CFormServerDlg* FormServerDialog() const { return mFormDlg.get(); }

    // How the setting dialogs run (tests answer them): null runs them modally.
    using DialogRunner = uint32_t (*)(LModalDialog* dialog);
    static void SetDialogRunner(DialogRunner runner);
    // The setting dialog of the command ("cArtIn", "cSAcnIn", "cOscIn", "cSceneSelSend",
    // "cDeadZone") and what its answer changes; false for other commands.
    bool RunSettingDialog(const char* command);

    // Screen modes (PREF 'mnmd': 0 none, 1 full, 2 sub screens, 3 all screens, 4 part screen).
    void ApplyScreenMode();
    // Every monitor back to its window.
    void ScreenOff();
    // Each monitor full screen on the display it overlaps most (part: at its windowed size from the
    // display's corner); a later monitor on a taken display is hidden.
    void ScreenFull(bool part);
    // The front monitor over the union of the displays (without the main one: skipMain); the
    // others hidden.
    void ScreenSpan(bool skipMain);

private:
    void Log(const char* what, const char* detail);
    bool StartUp();
    void LoadPlugIns();
    void ApplyLiveInputs();
    void StoreSettings();
    void MenuReady(LHandler* bar);
    bool HandleCommand(LHandler* item);
    void FrontDocument(CObDoc* doc);
    void CloseDocument(CObDoc* doc);
    CObDoc* FindOpen(const LFsSpec& spec) const;
    std::vector<CObDoc*> DocumentsInOrder() const;
    void DimmerFollowFront();
    void MakeTextEditWindow();
    void StoreTextEditPlace();
    // Moves a new monitor window diagonally off the shown ones whose corner is within a step.
    static constexpr int32_t kCascadeStep = 18;
    void Cascade(IMonitorWin* monitor) const;
    void ShowMidiInputWindow();
    void ShowTimecodeWindow();
    void MakeTimecodeWindow();
    void OpenFormServerDialog();
    void CloseFormServerDialog(bool ok);
    static void SettingProc(void* app, const SRecordEvent* event);

    int mLog = -1;
    CJsCostPatch mJsCostPatch;                    // 1
    std::unique_ptr<LAsyncWorkerLoop> mWorker;    // 2
    std::unique_ptr<CAppPrefs> mPrefs;            // 3
    std::unique_ptr<CPrefsRecord> mPrefsBinding;  // 4
    std::unique_ptr<CMediaLoader> mMediaLoader;   // 5
    std::unique_ptr<CMenuKeyDialogs> mMenuKeyUI;  // 6
    std::unique_ptr<CMenuKeyRegistry> mMenuKeys;
    // The hub's sound samples, written by OnSoundFrames (declared before the hub: it outlives it).
    struct SoundSamples : CCtlInSoundSource {
        std::mutex mutex;
        CtlInSoundRing ring;
        void Lock() override { mutex.lock(); }
        void Unlock() override { mutex.unlock(); }
        CtlInSoundRing& Ring() override { return ring; }
    } mSoundSamples;
    CSampleConverter mSoundLeft;   // sample converters
    CSampleConverter mSoundRight;
    uint32_t mSoundFrameSize = 0;  // 0 until a format is set
    MtcSource* mMtc = nullptr;
    std::unique_ptr<CCtlInHub> mHub;  // 7
    std::unique_ptr<SoundInputHolder> mSoundIn;  // sound input, delivering on the worker loop
    // The main thread's loop for the network endpoints (their completions come on the main thread).
    std::unique_ptr<LAsyncMainLoop> mAsyncMain;
    std::unique_ptr<CDmxInMerge> mDmxMerge;  // DMX merge into the hub
    std::unique_ptr<CDmxIoManager> mUsbDmx;  // USB DMX interfaces (the dimmer's output shares it)
    CDmxIO* mUsbIn = nullptr;                // the claimed USB input, or none
    std::unique_ptr<CArtNetIn> mArtNet;      // Art-Net receiver
    std::unique_ptr<CSAcnIn> mSAcn;          // sACN receiver
    // The OSC server's listener: "/dmx" here, the rest to the hub.
    struct OscIn : OscListener {
        CMainApp* app = nullptr;
        void NotifyOsc(OscPattern& pattern, const OscArg* args, uint32_t count) override {
            app->OnOscMessage(pattern, args, count);
        }
    } mOscIn;
    std::unique_ptr<OscServer> mOscServer;   // OSC server
    std::unique_ptr<COSCSender> mOscSender;  // scene announcements
    DocFormProvider mFormDocs{this};
    std::unique_ptr<CFormServer> mFormServer;       // HTTP panel
    std::unique_ptr<CFormServerDlg> mFormDlg;       // its settings dialog while shown
    std::unique_ptr<CMultiMidiInWin> mMidiWin;      // 23
    std::unique_ptr<CTcReaderWin> mTcWin;           // 24
    std::unique_ptr<IDocWindow> mOutAdjWin;         // 25: output adjustment
    std::unique_ptr<IDocWindow> mVideoWin;          // 25: video devices
    // Timecode sources: LTC, MTC and clock on the worker loop; the media player's on the main loop
    // (absent without a session bus).
    std::unique_ptr<LtcSource> mLtc;
    std::unique_ptr<MtcSource> mMtcSource;
    std::unique_ptr<ClockSource> mClock;
    std::unique_ptr<plat::MediaPlayer> mMediaPlayer;
    std::unique_ptr<MusicAppSource> mMusic;
    TimecodeSourceGroup mTimecode;  // 8
    // MIDI input manager over the run-time table (PREF field 52) and 'mirg', into OnMidiMessage.
    std::unique_ptr<CMidiInManager> mMidiIn;
    std::vector<int32_t> mMidiStats;  // each MIDI row's "stat" as last seen
    bool mWatchingSettings = false;
    std::unique_ptr<CVCapSlots> mCapSlots;          // 14
    std::unique_ptr<CCompoRepository> mRepository;  // 19
    std::unique_ptr<IDocWindow> mTextEditWin;       // 20
    std::vector<std::unique_ptr<CObDoc>> mDocs;     // 26
    bool mStarted = false;                          // 28
    LTimer mScreenTimer{this};                      // 33
    std::unique_ptr<CDimAppLink> mDimmer;           // LED dimmer document and its source
};
