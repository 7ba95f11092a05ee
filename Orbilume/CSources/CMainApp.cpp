#include "Orbilume/CSources/CMainApp.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "Common/Mac/CPrefsRecord.h"
#include "Common/ObjC/CExtCmd.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/CMenuKeyDialog.h"
#include "Common/OpenGL/COpenGLCheckDialog.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLRequirement.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Lib3/LSources/CoreData/LAsyncWorkerLoop.h"
#include "Lib3/LSources/CoreUI/CMenuKeyRegistry.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Mac/UDisplay.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/App/DocDialogs.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CAppWindows.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Orbilume/CSources/Editors/CTextEditWin.h"
#include "Orbilume/CSources/DmxIn/CArtNetIn.h"
#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"
#include "Orbilume/CSources/DmxIn/CSAcnIn.h"
#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CMediaLoader.h"
#include "Orbilume/CSources/Led/CDimAppLink.h"
#include "Orbilume/CSources/Led/DimWindows.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Orbilume/CSources/Http/FormServer.h"
#include "Orbilume/CSources/HttpUI/CFormServerDlg.h"
#include "Orbilume/CSources/MidiUI/CMultiMidiInWin.h"
#include "Orbilume/CSources/SoundUI/CTcReaderWin.h"
#include "Platform/AppKit/Bell.h"
#include "Lib3/LSources/CoreUI/LDialog.h"
#include "Orbilume/CSources/Media/CVCapSlots.h"
#include "Orbilume/CSources/Osc/COSCSender.h"
#include "Orbilume/CSources/Osc/OscServer.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Orbilume/CSources/Midi/CMidiClient.h"
#include "Orbilume/CSources/Midi/CMidiInManager.h"
#include "Orbilume/CSources/Midi/MtcSource.h"
#include "Orbilume/CSources/Sound/CLoopbackCapture.h"
#include "Orbilume/CSources/Sound/LtcSource.h"
#include "Orbilume/CSources/Sound/SoundInputHolder.h"
#include "Orbilume/CSources/Timecode/ClockSource.h"
#include "Orbilume/CSources/Timecode/MusicAppSource.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoManager.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Event.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/FileIO.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Scripting/mpris/MprisPlayer.h"

namespace {

using P = CAppPrefs;

CMainLoopBase* MakeLoop(CAppBase* root) {
    return new CMacMainLoop(root);
}

int RealGLCheck(LHandler* upper, COpenGLContext_Cca& context, const COpenGLRequirement& requirement) {
    return COpenGLCheckDialog::Check(upper, context, requirement);
}

CMainApp::GLCheckFunction gGLCheck = &RealGLCheck;
uint32_t gStartupHoldMs = CMainApp::kStartupHoldMs;

// The USB interfaces' open states, into PREF's run-time state set.
void WriteUsbState(void* prefs, const std::string& key, int32_t value) {
    CRecordRef root = static_cast<CAppPrefs*>(prefs)->RootRef();
    CParamSet::PutIntAt(CRecordRef(&root->Slot(CAppPrefs::kPrefUsbDmxState).record), LString(key.c_str()), value);
}

std::string PathText(const LFsSpec& spec) {
    return spec.IsEmpty() ? std::string() : std::string(CMacFileU::PathFromLFsSpec(spec).CStr());
}

// The path with symbolic links and ".." resolved; a missing file resolves through its folder.
std::string Canonical(const std::string& path) {
    if (path.empty()) return path;
    if (char* real = realpath(path.c_str(), nullptr)) {
        std::string out = real;
        free(real);
        return out;
    }
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return path;
    if (char* real = realpath(path.substr(0, slash).c_str(), nullptr)) {
        std::string out = std::string(real) + path.substr(slash);
        free(real);
        return out;
    }
    return path;
}

const char* const kToggles[][2] = {
    {"cFaderDigital", nullptr},    {"cShowLyrName", nullptr}, {"cSilentAdd", nullptr},
    {"cMvTimeMon", nullptr},       {"cMvTimeRem", nullptr},   {"cScnClrImg", nullptr},
    {"cScnClrPrm", nullptr},       {"cScnClrByp", nullptr},   {"cAdjUpdRate", nullptr},
    {"CAppCmd_Better3D", nullptr},
};
const uint32_t kToggleFields[] = {P::kPrefFaderDigital,    P::kPrefShowLayerNames,   P::kPrefSilentAdd,
                                  P::kPrefMovieTimeMon,    P::kPrefMovieTimeRem,     P::kPrefSceneClearImage,
                                  P::kPrefSceneClearParam, P::kPrefSceneClearBypass, P::kPrefAdjUpdRate,
                                  P::kPrefBetter3D};
const char* const kControlModes[] = {"cCtlBoth", "cCtlSwitch", "cCtlExternal"};
// The screen-mode commands and the 'mnmd' each sets.
const char* const kScreenModes[] = {"CAppCmd_NoScreen", "CAppCmd_FullScreen", "CAppCmd_SubScreens",
                                    "CAppCmd_AllScreens", "CAppCmd_PartScreen"};
const char* const kResolutions[] = {"CAppCmd_ResoFull", "CAppCmd_ResoHalf", "CAppCmd_ResoQuater",
                                    "CAppCmd_ResoEighth"};

void SetFolderFromPref(LFsSpec& folder, CRecord* prefs, uint32_t field) {
    const LString& text = prefs->GetString(field);
    folder = text.IsEmpty() ? LFsSpec() : CMacFileU::LFsSpecFromPath(text);
}

}  // namespace

void CMainApp::SetStartupHoldMs(uint32_t ms) {
    gStartupHoldMs = ms;
}

void CMainApp::SetGLCheck(GLCheckFunction check) {
    gGLCheck = check ? check : &RealGLCheck;
}

CMainApp::CMainApp() : CAppBase(&MakeLoop) {
    PLAT_DCHECK_MAIN_THREAD();
    const char* log = std::getenv("ORBILUME_TEST_LOG");
    if (log && log[0]) mLog = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    // Tests of the program shorten the start-up window's hold.
    if (const char* hold = std::getenv("ORBILUME_STARTUP_HOLD_MS"); hold && hold[0])
        gStartupHoldMs = static_cast<uint32_t>(std::strtoul(hold, nullptr, 10));
    // Every context made from now on shares objects with the common one.
    COpenGLContext_Cca::SetShared(COpenGLCommonCtx::Use());
    mWorker = std::make_unique<LAsyncWorkerLoop>(MainLoop());
    mPrefs = std::make_unique<CAppPrefs>();
    mPrefsBinding = std::make_unique<CPrefsRecord>(mPrefs.get(), LString("prefs"));
    mMediaLoader = std::make_unique<CMediaLoader>();
    mMenuKeyUI = std::make_unique<CMenuKeyDialogs>(this);
    mMenuKeys = std::make_unique<CMenuKeyRegistry>(this, mMenuKeyUI.get());
    mHub = std::make_unique<CCtlInHub>(&mSoundSamples);
    mSoundIn = std::make_unique<SoundInputHolder>(mWorker.get());
    mLtc = std::make_unique<LtcSource>(mWorker.get());
    mMtcSource = std::make_unique<MtcSource>(mWorker.get());
    mClock = std::make_unique<ClockSource>(mWorker.get());
    mTimecode.ltc = mLtc.get();
    mTimecode.mtc = mMtcSource.get();
    mTimecode.clock = mClock.get();
    {
        const char* name = std::getenv("ORBILUME_MEDIA_PLAYER");
        mMediaPlayer = plat::MprisPlayer::Open(name ? name : "");
    }
    if (mMediaPlayer) {
        mMusic = std::make_unique<MusicAppSource>(mWorker.get(), mMediaPlayer.get());
        mTimecode.music = mMusic.get();
    }
    SetMtcSource(mMtcSource.get());
    mAsyncMain = std::make_unique<LAsyncMainLoop>();
    mDmxMerge = std::make_unique<CDmxInMerge>(mHub.get(), &CCtlInHub::DmxSink);
    mUsbDmx = std::make_unique<CDmxIoManager>(mAsyncMain.get(), plat::RunLoop::Main(), &WriteUsbState, mPrefs.get());
    mOscIn.app = this;
    mMidiIn = std::make_unique<CMidiInManager>(CMidiClient::Get(),
                                               CRecordRef(&mPrefs->Root()->Slot(P::kPrefMidiTable).record),
                                               CRecordRef(&mPrefs->Root()->Slot(P::kPrefMidiIn).record), this,
                                               &MidiProc);
    mCapSlots = std::make_unique<CVCapSlots>(CVCapSlots::kSlotCount, mPrefs.get());
    mRepository = std::make_unique<CCompoRepository>();
    mDimmer = std::make_unique<CDimAppLink>(this, mPrefs.get(), mAsyncMain.get());
    mDimmer->SetUsbManager(mUsbDmx.get());
    MakeTextEditWindow();
}

CMainApp::~CMainApp() {
    PLAT_DCHECK_MAIN_THREAD();
    Log("CMainApp_Destructing", nullptr);
    mScreenTimer.Stop();
    CLoopbackCapture::Shared().Stop();
    if (mWatchingSettings) (void)mPrefs->RemoveObserver(this, &SettingProc);
    CloseDmxDeviceInput();
    // They store their places and whether they show into the preferences.
    mVideoWin.reset();
    mOutAdjWin.reset();
    StoreSettings();
    CloseSoundInput();
    mDimmer.reset();  // stores its settings and leaves the front engine, releases its USB claims
    // Last to first.
    while (!mDocs.empty()) mDocs.pop_back();
    // No pane can be lent the text window any more.
    StoreTextEditPlace();
    mFormDlg.reset();
    mMidiWin.reset();
    mTcWin.reset();
    mTextEditWin.reset();
    if (CCompoRepository::Global() == mRepository.get()) CCompoRepository::SetGlobal(nullptr);
    CObDoc::SetSceneSender(nullptr);
    mFormServer.reset();
    mOscSender.reset();
    mOscServer.reset();
    mSAcn.reset();
    mArtNet.reset();
    mDmxMerge.reset();
    mUsbDmx.reset();
    mAsyncMain.reset();
    if (CCtlInHub::Global() == mHub.get()) CCtlInHub::SetGlobal(nullptr);
    mRepository.reset();
    mCapSlots.reset();
    mMidiIn.reset();  // no MIDI callback after this
    SetMtcSource(nullptr);
    mTimecode = TimecodeSourceGroup();
    mMusic.reset();
    mMediaPlayer.reset();
    mClock.reset();
    mMtcSource.reset();
    mLtc.reset();
    mSoundIn.reset();
    mHub.reset();
    mMenuKeys.reset();
    mMenuKeyUI.reset();
    mMediaLoader.reset();
    mPrefsBinding.reset();  // writes "prefs"
    CAppWindows::Stop();    // the view preferences and text styles read the preferences until here
    mPrefs.reset();
    mWorker.reset();
    COpenGLContext_Cca::SetShared(nullptr);
    if (mLog >= 0) close(mLog);
}

void CMainApp::Log(const char* what, const char* detail) {
    if (mLog < 0) return;
    std::string line = what;
    if (detail) {
        line += ' ';
        line += detail;
    }
    line += '\n';
    // The log is best effort: a failed write loses the line.
    (void)plat::WriteAllToFd(mLog, line.data(), line.size());
}

// ---- messages

LMessage CMainApp::Handle(const LMessage& msg) {
    if (mMenuKeys && mMenuKeys->HandleMenuMessage(msg)) return LMessage();
    if (msg.Is(LMenuBar_Ready) && msg.sender) {
        MenuReady(msg.sender);
        return CAppBase::Handle(msg);
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender) {
        if (HandleCommand(msg.sender)) return LMessage();
        return CAppBase::Handle(msg);
    }
    if (msg.Is(CExtCmd_Open) && msg.sender) {
        // The sender is the external-command record the delegate built.
        auto* cmd = static_cast<const CExtCmd*>(msg.sender);
        std::vector<LFsSpec> files;
        LFsSpec spec;
        for (uint32_t i = 0; cmd->GetFile(i, &spec); ++i) files.push_back(spec);
        if (files.empty()) Log("CExtCmd_Open", nullptr);
        for (const LFsSpec& f : files) Log("CExtCmd_Open", CMacFileU::PathFromLFsSpec(f).CStr());
        OpenRequest(files);
        return LMessage();
    }
    if ((msg.Is(LDialog_Default) || msg.Is(LDialog_Escape)) && mFormDlg && msg.sender == mFormDlg.get()) {
        CloseFormServerDialog(msg.Is(LDialog_Default));
        return LMessage();
    }
    if (msg.Is(LTimer_Expire) && msg.sender == &mScreenTimer) {
        ApplyScreenMode();
        return LMessage();
    }
    if (msg.Is(LKeyboard_Char) && msg.sender && static_cast<const LKeyboard*>(msg.sender)->Char() == 27) {
        (void)mPrefs->RootRef().SetByte(nullptr, P::kPrefScreenMode, 0);
        ScreenOff();
        return LMessage();
    }
    if (msg.Is(CObDoc_Front) && msg.sender) {
        FrontDocument(static_cast<CObDoc*>(msg.sender));
        return LMessage();
    }
    if (msg.Is(CObDoc_Close) && msg.sender) {
        CloseDocument(static_cast<CObDoc*>(msg.sender));
        return LMessage();
    }
    if (msg.Is(CMainLoopBase_Quit)) {
        if (msg.sender == MainLoop() && !CanQuit()) return LMessage();
        Log("CMainLoopBase_Quit", nullptr);
    }
    return CAppBase::Handle(msg);
}

void CMainApp::MenuReady(LHandler* sender) {
    auto* bar = static_cast<LMenuBar*>(sender);
    static const char* const kAlways[] = {"CAppCmd_MenuKey", "LStdCmd_New", "LStdCmd_Open", "LStdCmd_Quit",
                                          "cCtlBoth",        "cCtlSwitch",  "cCtlExternal", "cArtIn",
                                          "cSAcnIn",         "cOscIn",      "cDeadZone",    "cSceneSelSend",
                                          "cSoundIn",        "cDmxIn",      "cMidiIn",      "cSMPTEIn",
                                          "cFormSvr",        "cOutAdj",     "cVideoIn"};
    for (const char* c : kAlways) bar->EnableCommand(c);
    if (mArtNet && mArtNet->IsConnected()) bar->CheckCommand("cArtIn");
    if (mSAcn && mSAcn->IsOpen()) bar->CheckCommand("cSAcnIn");
    if (mOscServer && mOscServer->IsOpen()) bar->CheckCommand("cOscIn");
    if (IsSoundInputOpen()) bar->CheckCommand("cSoundIn");
    if (mUsbIn && mUsbIn->IsOpen()) bar->CheckCommand("cDmxIn");
    if (mFormServer && mFormServer->Port() >= 0) bar->CheckCommand("cFormSvr");
    {
        CRecord* snsl = mPrefs->Root()->GetSubRecord(P::kPrefSceneSelSend);
        if (snsl && CParamSet::Find(CRecordRef(&snsl), LString("send")) >= 0)
            bar->CheckCommand("cSceneSelSend");
    }
    CRecord* prefs = mPrefs->Root();
    for (size_t i = 0; i < std::size(kToggleFields); ++i) {
        bar->EnableCommand(kToggles[i][0]);
        if (prefs->GetByte(kToggleFields[i])) bar->CheckCommand(kToggles[i][0]);
    }
    const uint8_t mode = prefs->GetByte(P::kPrefExtControl);
    if (mode < 3) bar->CheckCommand(kControlModes[mode]);
    if (!mDocs.empty()) {
        for (const char* c : {"CAppCmd_NoScreen", "CAppCmd_FullScreen", "CAppCmd_PartScreen"})
            bar->EnableCommand(c);
        if (gWindowMgr && gWindowMgr->HasSecondDisplay())
            for (const char* c : {"CAppCmd_SubScreens", "CAppCmd_AllScreens"}) bar->EnableCommand(c);
    }
    for (const char* c : kResolutions) bar->EnableCommand(c);
    const uint32_t reso = prefs->GetUInt(P::kPrefResolution);
    bar->CheckCommand(kResolutions[reso >= 1 && reso <= 3 ? reso : 0]);
    if (mDimmer && DimWindowFactories().window) {
        bar->EnableCommand("CAppCmd_DMatx");
        if (UDimPrefs::GetUse(CRecordRef(&mPrefs->Root()->Slot(P::kPrefDimmer).record)))
            bar->CheckCommand("CAppCmd_DMatx");
    }
}

bool CMainApp::HandleCommand(LHandler* sender) {
    auto* item = static_cast<LMenuItem*>(sender);
    if (item->HasCommand("CAppCmd_MenuKey")) {
        mMenuKeys->Arm();
        return true;
    }
    if (item->HasCommand("LStdCmd_New")) {
        NewDocument();
        return true;
    }
    if (item->HasCommand("LStdCmd_Open")) {
        OpenDocumentDialog();
        return true;
    }
    if (item->HasCommand("cMidiIn")) {
        ShowMidiInputWindow();
        return true;
    }
    if (item->HasCommand("cSMPTEIn")) {
        ShowTimecodeWindow();
        return true;
    }
    if (item->HasCommand("cFormSvr")) {
        OpenFormServerDialog();
        return true;
    }
    if (item->HasCommand("cOutAdj")) {
        if (mOutAdjWin) mOutAdjWin->Select();
        return true;
    }
    if (item->HasCommand("cVideoIn")) {
        if (mVideoWin) mVideoWin->Select();
        return true;
    }
    if (item->HasCommand("CAppCmd_DMatx")) {
        if (mDimmer) mDimmer->OpenWindow();
        return true;
    }
    if (item->HasCommand("LStdCmd_Quit")) {
        plat::Application::Shared()->Terminate();
        return true;
    }
    if (RunSettingDialog(item->GetFirstCommand().CStr())) return true;
    CRecordRef prefs = mPrefs->RootRef();
    for (size_t i = 0; i < std::size(kToggleFields); ++i)
        if (item->HasCommand(kToggles[i][0])) {
            (void)prefs.SetByte(nullptr, kToggleFields[i], prefs->GetByte(kToggleFields[i]) ? 0 : 1);
            return true;
        }
    for (uint8_t m = 0; m < 3; ++m)
        if (item->HasCommand(kControlModes[m])) {
            (void)prefs.SetByte(nullptr, P::kPrefExtControl, m);
            return true;
        }
    for (uint8_t m = 0; m < std::size(kScreenModes); ++m)
        if (item->HasCommand(kScreenModes[m])) {
            (void)prefs.SetByte(nullptr, P::kPrefScreenMode, m);
            ApplyScreenMode();
            return true;
        }
    for (uint32_t r = 0; r < 4; ++r)
        if (item->HasCommand(kResolutions[r])) {
            (void)prefs.SetUInt(nullptr, P::kPrefResolution, r);
            return true;
        }
    return false;
}

// ---- start-up

bool CMainApp::StartUp() {
    std::unique_ptr<IDocWindow> startup = MakeAppWindow(EAppWindow::kStartup, this);
    const auto shown = std::chrono::steady_clock::now();
    if (startup) startup->Show();
    CCtlInHub::SetGlobal(mHub.get());
    LoadPlugIns();
    mRepository->Scan();
    CCompoRepository::SetGlobal(mRepository.get());
    mWatchingSettings = mPrefs->AddObserver(this, &SettingProc);
    // The view preferences first: the timecode window that the input settings make uses them.
    CAppWindows::Start(mPrefs.get());
    ApplyInputSettings();
    // Made hidden (the output adjustment shows itself when it was shown at the last quit).
    mOutAdjWin = MakeAppWindow(EAppWindow::kOutputAdjust, this);
    mVideoWin = MakeAppWindow(EAppWindow::kVideoDevices, this);
    if (mDimmer) mDimmer->StartUp();
    // The start-up window stays up for its hold from when it was shown, then closes.
    if (startup) {
        const auto until = shown + std::chrono::milliseconds(gStartupHoldMs);
        std::this_thread::sleep_until(until);
        startup->Hide();
    }
    return true;
}

void CMainApp::LoadPlugIns() {
    const std::string folder = plat::BundlePlugInsPath(plat::MainBundlePath()) + "/privatepatch";
    // Modules of the folder, then of each folder inside it; failures are ignored.
    (void)MQcRenderer_::LoadPlugIn(folder);
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> subfolders;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        const std::string path = folder + "/" + e->d_name;
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) subfolders.push_back(path);
    }
    closedir(dir);
    std::sort(subfolders.begin(), subfolders.end());
    for (const std::string& path : subfolders) (void)MQcRenderer_::LoadPlugIn(path);
}

void CMainApp::ApplyInputSettings() {
    CRecord* prefs = mPrefs->Root();
    SetFolderFromPref(gLastDocFolder, prefs, P::kPrefDocFolder);
    SetFolderFromPref(gLastCompoFolder, prefs, P::kPrefCompoFolder);
    SetFolderFromPref(gLastMovieFolder, prefs, P::kPrefMovieFolder);
    mMenuKeys->Load(mPrefs->RootRef(), P::kPrefMenuKeys);
    // The timecode window is made now only when it was shown or reading at the end.
    if (CRecord* stcr = prefs->GetSubRecord(P::kPrefTimecodeWin)) {
        const CRecordRef set(&stcr);
        if (CParamSet::GetIntOr(set, LString("vis"), 0) != 0 || CParamSet::GetIntOr(set, LString("use"), 0) != 0)
            MakeTimecodeWindow();
    }
    ApplyLiveInputs();
}

void CMainApp::StoreSettings() {
    CRecord* prefs = mPrefs->Root();
    prefs->StringSlot(P::kPrefDocFolder) = LString(PathText(gLastDocFolder).c_str());
    prefs->StringSlot(P::kPrefCompoFolder) = LString(PathText(gLastCompoFolder).c_str());
    prefs->StringSlot(P::kPrefMovieFolder) = LString(PathText(gLastMovieFolder).c_str());
    if (mStarted) mMenuKeys->Save(mPrefs->RootRef(), P::kPrefMenuKeys);
    if (mTcWin) mTcWin->Reader().WriteSettings(CRecordRef(&prefs->Slot(P::kPrefTimecodeWin).record), nullptr);
    for (auto& doc : mDocs) doc->StoreWindowState();
    const uint32_t n = prefs->ArrayCount(P::kPrefDocs);
    for (uint32_t i = n; i > 0; --i) {
        CRecord* d = prefs->GetElement(P::kPrefDocs, i - 1);
        if (d) d->Slot(P::kDocReopen).u8 = d->GetByte(P::kDocOpenNow);
    }
}

void CMainApp::OpenRequest(const std::vector<LFsSpec>& files) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!mStarted) {
        mStarted = true;
        COpenGLRequirement requirement;
        COpenGLRequirement::MakeStartup(requirement);
        if (gGLCheck(this, *COpenGLCommonCtx::Use(), requirement) == COpenGLCheckDialog::kQuit) {
            Log("CMainApp_GLRefused", nullptr);
            plat::Application::Shared()->Terminate();
            return;
        }
        (void)StartUp();
    }
    if (!files.empty()) {
        for (const LFsSpec& f : files) (void)OpenDocument(f, nullptr);
    } else if (!(plat::Application::Shared()->ModifierFlags() & plat::kShiftKeyMask)) {
        // Collected first: opening reorders the list.
        std::vector<CRecord*> reopen;
        CRecord* prefs = mPrefs->Root();
        for (uint32_t i = 0; i < prefs->ArrayCount(P::kPrefDocs); ++i) {
            CRecord* d = prefs->GetElement(P::kPrefDocs, i);
            if (d && d->GetByte(P::kDocReopen) && !d->GetString(P::kDocPath).IsEmpty()) reopen.push_back(d);
        }
        for (CRecord* d : reopen)
            (void)OpenDocument(CMacFileU::LFsSpecFromPath(d->GetString(P::kDocPath)), d);
    }
    mScreenTimer.StartOnce(1000, 0);
    Log("CMainApp_Documents", std::to_string(mDocs.size()).c_str());
}

// ---- documents

CObDoc* CMainApp::FindOpen(const LFsSpec& spec) const {
    const std::string want = Canonical(PathText(spec));
    if (want.empty()) return nullptr;
    for (const auto& doc : mDocs)
        if (!doc->Path().IsEmpty() && Canonical(PathText(doc->Path())) == want) return doc.get();
    return nullptr;
}

int CMainApp::OpenDocument(const LFsSpec& spec, CRecord* docPrefs) {
    PLAT_DCHECK_MAIN_THREAD();
    if (CObDoc* open = FindOpen(spec)) {
        if (open->Monitor()) open->Monitor()->Select();
        FrontDocument(open);
        return 1;
    }
    if (!docPrefs) {
        docPrefs = mPrefs->FindDocument(spec);
        if (!docPrefs) docPrefs = mPrefs->AppendDocument();
    }
    auto doc = std::make_unique<CObDoc>(this, mWorker.get(), mTimecode, docPrefs, spec);
    Cascade(doc->Monitor());
    doc->RestoreWindowState();
    int result = 0;
    if (!spec.IsEmpty()) result = doc->LoadFromFile(spec) ? 1 : 0;
    CObDoc* raw = doc.get();
    mDocs.push_back(std::move(doc));
    raw->ShowWindows();
    DimmerFollowFront();
    return result;
}

void CMainApp::Cascade(IMonitorWin* monitor) const {
    if (!monitor) return;
    CLRect r = monitor->Frame();
    bool moved = false;
    // Diagonal steps while a shown monitor's corner lies within one step of this one's.
    for (size_t guard = 0; guard <= mDocs.size(); ++guard) {
        const bool clash = std::any_of(mDocs.begin(), mDocs.end(), [&](const auto& d) {
            const IMonitorWin* other = d->Monitor();
            if (!other || other == monitor || !other->IsVisible()) return false;
            const CLRect f = other->Frame();
            return std::abs(f.left - r.left) < kCascadeStep && std::abs(f.top - r.top) < kCascadeStep;
        });
        if (!clash) break;
        r = CLRect{r.left + kCascadeStep, r.top + kCascadeStep, r.right + kCascadeStep, r.bottom + kCascadeStep};
        moved = true;
    }
    if (moved) monitor->SetFrame(r);
}

void CMainApp::NewDocument() {
    LFsSpec chosen;
    if (CObDoc::AskNewPath(chosen)) (void)OpenDocument(chosen, nullptr);
}

void CMainApp::OpenDocumentDialog() {
    LFsSpec chosen;
    if (DocDialogs().askOpenPath(gLastDocFolder, chosen)) (void)OpenDocument(chosen, nullptr);
}

void CMainApp::FrontDocument(CObDoc* doc) {
    auto it = std::find_if(mDocs.begin(), mDocs.end(), [doc](const auto& d) { return d.get() == doc; });
    if (it == mDocs.end()) return;
    std::unique_ptr<CObDoc> moved = std::move(*it);
    mDocs.erase(it);
    mDocs.insert(mDocs.begin(), std::move(moved));
    for (size_t i = 1; i < mDocs.size(); ++i)
        if (mDocs[i]->Console()) mDocs[i]->Console()->Hide();
    if (doc->Console() && !doc->ConsoleClosed()) doc->Console()->Show();
    DimmerFollowFront();
}

void CMainApp::CloseDocument(CObDoc* doc) {
    auto it = std::find_if(mDocs.begin(), mDocs.end(), [doc](const auto& d) { return d.get() == doc; });
    if (it == mDocs.end()) return;
    // The message that asked for it may still be on its way through the document.
    LHandler::DeleteAfterDispatch(it->release());
    mDocs.erase(it);
    DimmerFollowFront();
}

CDimInstruments* CMainApp::Dimmer() const {
    return mDimmer ? &mDimmer->Document() : nullptr;
}

void CMainApp::DimmerFollowFront() {
    if (mDimmer) mDimmer->SetSource(mDocs.empty() ? nullptr : &mDocs.front()->Engine());
}

// ---- windows

namespace {

// The application's own windows: a document-kind frame of window kind 3.
LFrameSpec AppWindowSpec() {
    return LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(3)));
}

// 'tewp': four unsigned numbers holding the coordinates' bits.
CLRect ReadPlace(const CRecord* root, uint32_t field) {
    if (!root || root->ArrayCount(field) < 4) return CLRect();
    const auto* v = static_cast<const uint32_t*>(root->ArrayData(field));
    return CLRect{int32_t(v[0]), int32_t(v[1]), int32_t(v[2]), int32_t(v[3])};
}

}  // namespace

void CMainApp::MakeTextEditWindow() {
    mTextEditWin = MakeAppWindow(EAppWindow::kTextEdit, this);
    if (!mTextEditWin) return;
    const CLRect place = ReadPlace(mPrefs->Root(), P::kPrefTextEditRect);
    // It comes from the preferences file: only a place that shows on a screen is used.
    if (CMonitorWin::IsProperPlace(place)) mTextEditWin->SetFrame(place);
    // The kind's handler is a CTextEditWin (DocWindows.h).
    CTextEditWin::SetInstance(static_cast<CTextEditWin*>(mTextEditWin->Handler()));
}

void CMainApp::StoreTextEditPlace() {
    if (!mTextEditWin) return;
    if (CTextEditWin::Instance() == mTextEditWin->Handler()) CTextEditWin::SetInstance(nullptr);
    const CLRect r = mTextEditWin->Frame();
    if (r.IsEmpty()) return;
    const uint32_t v[4] = {uint32_t(r.left), uint32_t(r.top), uint32_t(r.right), uint32_t(r.bottom)};
    (void)mPrefs->RootRef().SetArray(nullptr, P::kPrefTextEditRect, v, 4);
}

void CMainApp::ShowMidiInputWindow() {
    if (!mMidiWin) {
        CRecordRef table = mMidiIn ? mMidiIn->Table().Ref()
                                   : CRecordRef(&mPrefs->Root()->Slot(P::kPrefMidiTable).record);
        mMidiWin = std::make_unique<CMultiMidiInWin>(this, nullptr, table, AppWindowSpec());
    }
    mMidiWin->ShowWindow();
}

void CMainApp::MakeTimecodeWindow() {
    if (mTcWin) return;
    mTcWin = std::make_unique<CTcReaderWin>(this, nullptr, mLtc.get(), mAsyncMain.get(), AppWindowSpec());
    if (CRecord* stcr = mPrefs->Root()->GetSubRecord(P::kPrefTimecodeWin)) mTcWin->Reader().ReadSettings(CRecordRef(&stcr));
}

void CMainApp::ShowTimecodeWindow() {
    MakeTimecodeWindow();
    mTcWin->ShowWindow(true);
}

void CMainApp::OpenFormServerDialog() {
    if (mFormDlg) {
        mFormDlg->ShowWindow();
        return;
    }
    CRecord* fmsv = mPrefs->Root()->GetSubRecord(P::kPrefFormServer);
    mFormDlg = std::make_unique<CFormServerDlg>(this, nullptr, AppWindowSpec());
    mFormDlg->Load(fmsv ? FormServerSettings::Read(CRecordRef(&fmsv)) : FormServerSettings());
    mFormDlg->ShowWindow();
}

void CMainApp::CloseFormServerDialog(bool ok) {
    std::unique_ptr<CFormServerDlg> dialog = std::move(mFormDlg);
    CRecordRef set(&mPrefs->Root()->Slot(P::kPrefFormServer).record);
    if (!ok || !set.Get()) {
        if (set.Get()) CParamSet::SetInt(set, nullptr, LString("use"), 0);
        if (mFormServer) mFormServer->Stop();
    } else {
        const FormServerSettings before = FormServerSettings::Read(set);
        const FormServerSettings settings = dialog->Result();
        CParamSet::SetInt(set, nullptr, LString("use"), 1);
        // The folders are made when it is written; a failure shows when the panel serves.
        (void)settings.Write(set, nullptr);
        // The root is fixed for a panel's life: a new root or port makes a new one.
        if (mFormServer && (settings.port != before.port || settings.Root() != mFormServer->Settings().Root()))
            mFormServer.reset();
        if (!mFormServer)
            mFormServer = std::make_unique<CFormServer>(mAsyncMain.get(), mHub.get(), &mFormDocs, settings);
        else
            mFormServer->SetSettings(settings);
        if (mFormServer->Port() < 0 && mFormServer->Listen(settings.port) != 0) {
            mFormServer->Stop();
            plat::Bell::Ring();
        }
    }
    dialog->HideWindow();
    // The message that closed it is still on its way through the dialog.
    LHandler::DeleteAfterDispatch(dialog.release());
}

void CMainApp::SettingProc(void* app, const SRecordEvent* event) {
    static_cast<CMainApp*>(app)->OnSettingChanged(*event);
}

void CMainApp::OnSettingChanged(const SRecordEvent& event) {
    CRecord* record = event.record.Get();
    if (!record) return;
    if (record == mPrefs->Root() && event.kind == SRecordEvent::kValueChanged) {
        if (event.field == P::kPrefDimmerSource) DimmerFollowFront();
        if (event.field == P::kPrefMovieAudio) {
            if (record->GetByte(P::kPrefMovieAudio))
                CLoopbackCapture::Shared().Start();
            else
                CLoopbackCapture::Shared().Stop();
        }
        return;
    }
    if (!mMidiIn) return;
    // Inside the MIDI input table: a row switched off releases every held note.
    CRecord* table = mMidiIn->Table().Ref().Get();
    bool inTable = false;
    for (CRecord* r = record; r && !inTable; r = r->Parent()) inTable = r == table;
    if (!inTable) return;
    const MidiInTable& t = mMidiIn->Table();
    std::vector<int32_t> stats(t.RowCount());
    bool off = false;
    for (uint32_t i = 0; i < stats.size(); ++i) {
        stats[i] = t.GetStat(i);
        if (stats[i] == 0 && i < mMidiStats.size() && mMidiStats[i] != 0) off = true;
    }
    mMidiStats = std::move(stats);
    if (off) mHub->ResetMidi();
}

bool CMainApp::CanQuit() {
    for (auto& doc : mDocs)
        if (!doc->CanClose()) return false;
    return !mDimmer || mDimmer->CanQuit();
}

int CMainApp::OnPanelDocument(uint32_t operation, void* argument) {
    if (operation == 0) {
        if (argument) *static_cast<CObDoc**>(argument) = mDocs.empty() ? nullptr : mDocs.front().get();
        return mDocs.empty() ? 0 : 1;
    }
    if (operation == 2) {
        LHandler* window = mOutAdjWin ? mOutAdjWin->Handler() : nullptr;
        if (window && argument) (void)window->Handle(static_cast<const LMessage*>(argument)->Retarget(window));
        return 0;
    }
    if (operation != 1 || !argument) return 0;
    const LFsSpec& spec = *static_cast<const LFsSpec*>(argument);
    CObDoc* same = FindOpen(spec);
    // A remote request never discards unsaved changes.
    for (const auto& doc : mDocs)
        if (doc.get() != same && doc->IsDirty()) return 0;
    for (size_t i = mDocs.size(); i > 0; --i)
        if (mDocs[i - 1].get() != same) mDocs.erase(mDocs.begin() + static_cast<ptrdiff_t>(i - 1));
    if (same) return 2;
    if (OpenDocument(spec, nullptr) == 0) {
        if (!mDocs.empty()) mDocs.erase(mDocs.begin() + static_cast<ptrdiff_t>(mDocs.size() - 1));
        return 0;
    }
    return 1;
}

// ---- screen modes

void CMainApp::ApplyScreenMode() {
    switch (mPrefs->Root()->GetByte(P::kPrefScreenMode)) {
        case 1:
            ScreenFull(false);
            break;
        case 2:
            ScreenSpan(true);
            break;
        case 3:
            ScreenSpan(false);
            break;
        case 4:
            ScreenFull(true);
            break;
        default:
            ScreenOff();
            break;
    }
}

std::vector<CObDoc*> CMainApp::DocumentsInOrder() const {
    std::vector<CObDoc*> docs;
    for (const auto& doc : mDocs) docs.push_back(doc.get());
    return docs;
}

// The screen modes walk a copy of the list: a monitor window that is shown or replaced can be
// activated at once, and its document then moves to the front of the list.

void CMainApp::ScreenOff() {
    for (CObDoc* doc : DocumentsInOrder()) doc->MonitorWindowed();
    UDisplay::SetFullScreenMode(0);
}

void CMainApp::ScreenFull(bool part) {
    if (!gWindowMgr) return;
    const CLRect main = gWindowMgr->MainDisplayBounds();
    std::vector<CLRect> taken;
    bool onMain = false;
    for (CObDoc* doc : DocumentsInOrder()) {
        IMonitorWin* monitor = doc->Monitor();
        if (!monitor) continue;
        const CLRect display = gWindowMgr->DisplayOverlapping(monitor->Frame());
        if (std::find(taken.begin(), taken.end(), display) != taken.end()) {
            monitor->Hide();
            continue;
        }
        taken.push_back(display);
        onMain = onMain || display == main;
        CLRect target = display;
        if (part) {
            CLRect windowed = monitor->Frame();
            CRecord* docPrefs = doc->DocPrefs();
            if (monitor->IsFullScreen() && docPrefs)
                windowed = CRecordRef(&docPrefs).GetRectField(P::kDocMonitorRect);
            if (windowed.right > windowed.left && windowed.bottom > windowed.top)
                target = CLRect{display.left, display.top, display.left + (windowed.right - windowed.left),
                                display.top + (windowed.bottom - windowed.top)};
        }
        doc->MonitorFullScreen(target);
    }
    UDisplay::SetFullScreenMode(onMain ? 1 : 0);
}

void CMainApp::ScreenSpan(bool skipMain) {
    if (!gWindowMgr || mDocs.empty()) return;
    const CLRect target = gWindowMgr->DisplaysUnion(!skipMain);
    if (target.right <= target.left || target.bottom <= target.top) return;
    const CLRect main = gWindowMgr->MainDisplayBounds();
    const bool overlapsMain = target.left < main.right && main.left < target.right &&
                              target.top < main.bottom && main.top < target.bottom;
    UDisplay::SetFullScreenMode(overlapsMain ? 1 : 0);
    const std::vector<CObDoc*> docs = DocumentsInOrder();
    docs.front()->MonitorFullScreen(target);
    for (size_t i = 1; i < docs.size(); ++i)
        if (IMonitorWin* monitor = docs[i]->Monitor()) monitor->Hide();
}
