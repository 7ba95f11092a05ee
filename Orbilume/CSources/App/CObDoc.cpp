#include "Orbilume/CSources/App/CObDoc.h"

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <string>

#include "Common/Stream/CMemStream.h"
#include "Common/Stream/CXmlCheck.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Mac/CProcessInfo.h"
#include "Orbilume/CSources/App/CaptureName.h"
#include "Orbilume/CSources/App/DocDialogs.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/CSeqPlayer.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Engine/CCtlInEngineBinder.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/CSceneCtlIn.h"
#include "Orbilume/CSources/Engine/CSceneRecall.h"
#include "Orbilume/CSources/Media/CMovieRecorder.h"
#include "Orbilume/CSources/Media/CObStillSaver_CGi_File.h"
#include "Orbilume/CSources/Schedule/CSchCtl.h"
#include "Platform/AppKit/Screen.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/FileIO.h"

namespace {

using T = CDocModelTypes;
using P = CAppPrefs;

// A show file larger than this is refused before it is read.
constexpr size_t kMaxShowBytes = size_t{512} << 20;

std::atomic<bool> gStillArmed{false};

CRecord* Prefs() {
    return CAppPrefs::Get() ? CAppPrefs::Get()->Root() : nullptr;
}

uint8_t PrefByte(uint32_t field) {
    CRecord* prefs = Prefs();
    return prefs ? prefs->GetByte(field) : 0;
}

void TogglePrefByte(uint32_t field) {
    if (!CAppPrefs::Get()) return;
    (void)CAppPrefs::Get()->RootRef().SetByte(nullptr, field, PrefByte(field) ? 0 : 1);
}

std::string PathText(const LFsSpec& spec) {
    return spec.IsEmpty() ? std::string() : std::string(CMacFileU::PathFromLFsSpec(spec).CStr());
}

int32_t RoundMs(float seconds) {
    return static_cast<int32_t>(std::lround(static_cast<double>(seconds) * 1000.0));
}

void RecorderFrame(void* context, CMixEngine*, COpenGLContext_Cca* draw) {
    if (draw) static_cast<CMovieRecorder*>(context)->Offer(draw);
}

// True when at least 16 x 16 pixels of the rectangle lie on one screen.
bool OnSomeScreen(const CLRect& r) {
    for (const plat::Screen& s : plat::Screens()) {
        const double l = std::max<double>(r.left, s.frame.x);
        const double t = std::max<double>(r.top, s.frame.y);
        const double rr = std::min<double>(r.right, s.frame.x + s.frame.width);
        const double b = std::min<double>(r.bottom, s.frame.y + s.frame.height);
        if (rr - l >= 16 && b - t >= 16) return true;
    }
    return false;
}

// A stored rectangle fit to apply: four numbers, not inverted, not absurdly large.
bool UsableRect(const CLRect& r) {
    constexpr int32_t kLimit = 1 << 20;
    return r.left < r.right && r.top < r.bottom && r.right - r.left <= kLimit && r.bottom - r.top <= kLimit &&
           std::abs(r.left) <= kLimit && std::abs(r.top) <= kLimit;
}

bool UsableFraction(float f) {
    return std::isfinite(f) && f >= 0.0f && f <= 1.0f;
}

}  // namespace

CObDoc::CObDoc(LHandler* upper, LAsyncLoop* worker, const TimecodeSourceGroup& sources, CRecord* docPrefs,
               const LFsSpec& spec)
    : LHandler(upper),
      mWorker(worker),
      mStrings(SRsrcRequest("CONSOLEWIN")),
      mDocPrefs(docPrefs),
      mPathHolder(LString("untitled.obm"), &gLastDocFolder),
      mMoviePathHolder(LString("untitled.mov"), &gLastMovieFolder),
      mUndo(kUndoBytes),
      mModel(std::make_unique<CDocModelHolder>()) {
    PLAT_DCHECK_MAIN_THREAD();
    mEngine = std::make_unique<CMixEngine>(mModel.get(), CAppPrefs::Get());
    mPlayer = std::make_unique<CSeqPlayer>(mWorker, sources, mModel.get());
    mBinder = std::make_unique<CCtlInEngineBinder>(mEngine.get(), mModel.get(), mWorker, &mPlayer->Timer(),
                                                   CCtlInHub::Global());
    mRecall = std::make_unique<CSceneRecall>(mEngine.get(), mBinder.get());
    mSceneCtlIn = std::make_unique<CSceneCtlIn>(mModel->Scenes(), CCtlInHub::Global());
    CRecordRef misc =
        CAppPrefs::Get() ? CRecordRef(&CAppPrefs::Get()->Root()->Slot(P::kPrefMisc).record) : CRecordRef();
    mSchedule = std::make_unique<CSchCtl>(this, mModel.get(), misc);

    mRecorder = std::make_unique<CMovieRecorder>();
    mStill = std::make_unique<CObStillSaver_CGi_File>();
    mStill->SetCompletion(
        [](void* self, bool) {
            auto* doc = static_cast<CObDoc*>(self);
            if (doc->mStillPending) {
                doc->mEngine->RemovePostRenderCallback(doc, &CObDoc::StillCapture);
                doc->mStillPending = false;
            }
        },
        this);
    const SDocWindowFactories& f = DocWindowFactories();
    SDocWindowArgs args{this, mEngine.get(), mModel.get(), mDocPrefs, nullptr, false};
    if (f.console) mConsole = f.console(args);
    if (f.monitor) mMonitor = f.monitor(args);
    args.console = mConsole.get();
    if (f.sequenceList) mSeqList = f.sequenceList(args);

    BindPath(spec);
    mModel->SetDocumentPath(spec);
    if (mMonitor) mMonitor->SetFixedSize(PrefByte(P::kPrefMonitorFixed) != 0);
    UpdateTitles();
    if (mDocPrefs) mDocPrefs->Slot(P::kDocOpenNow).u8 = 1;
    mModel->AddObserver(this, &CObDoc::ModelObserver);
    if (CAppPrefs::Get()) CAppPrefs::Get()->AddObserver(this, &CObDoc::PrefsObserver);
    ApplyTimerSettings();
}

CObDoc::~CObDoc() {
    PLAT_DCHECK_MAIN_THREAD();
    StopRecording();
    if (mStillPending) mEngine->RemovePostRenderCallback(this, &CObDoc::StillCapture);
    mStillPending = false;
    if (CAppPrefs::Get()) CAppPrefs::Get()->RemoveObserver(this, &CObDoc::PrefsObserver);
    mModel->RemoveObserver(this, &CObDoc::ModelObserver);
    StoreWindowState();
    if (mDocPrefs) mDocPrefs->Slot(P::kDocOpenNow).u8 = 0;
    mSeqList.reset();
    mMonitor.reset();
    mConsole.reset();
    mStill.reset();
    mRecorder.reset();
    mSchedule.reset();
    mSceneCtlIn.reset();
    mRecall.reset();
    mBinder.reset();
    mPlayer.reset();
    mEngine.reset();
    mModel.reset();
}

bool CObDoc::IsDirty() const {
    return mModel->IsModified();
}

LString CObDoc::Title() const {
    return LString((std::string(mPathHolder.DisplayName().CStr()) + " -Orbilume").c_str());
}

void CObDoc::UpdateTitles() {
    const LString title = Title();
    if (mConsole) mConsole->SetTitle(title);
    if (mMonitor) mMonitor->SetTitle(title);
}

void CObDoc::BindPath(const LFsSpec& spec) {
    mPathHolder.SetPath(spec);
    mPath = spec;
    mModel->SetDocumentPath(spec);
    if (mDocPrefs) mDocPrefs->StringSlot(P::kDocPath) = LString(PathText(spec).c_str());
}

LPane* CObDoc::ConsolePane() const {
    return nullptr;
}

// ---- messages

LMessage CObDoc::Handle(const LMessage& msg) {
    if (mUndo.HandleMessage(msg)) return LMessage();
    if (msg.Is(LMenuBar_Ready)) {
        MenuReady(msg.sender);
        return LHandler::Handle(msg);
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender) {
        LMessage out = HandleCommand(msg);
        if (out.IsEmpty() || !out.Is(LMenuItem_Selected)) return out;
        return LHandler::Handle(msg);
    }
    if (mConsole && msg.sender == mConsole->Handler() && msg.Is(LFrame_Close)) {
        mConsole->Hide();
        mConsoleClosed = true;
        return LMessage();
    }
    if (mMonitor && msg.sender == mMonitor->Handler()) {
        if (msg.Is(LFrame_Activate)) {
            if (CAppPrefs::Get() && mDocPrefs) CAppPrefs::Get()->MoveDocumentToEnd(mDocPrefs);
            return LMessage(CObDoc_Front, this, Upper());
        }
        if (msg.Is(LFrame_Close)) {
            if (CanClose()) return LMessage(CObDoc_Close, this, Upper());
            return LMessage();
        }
    }
    return LHandler::Handle(msg);
}

void CObDoc::MenuReady(LHandler* sender) {
    if (!sender) return;
    auto* bar = static_cast<LMenuBar*>(sender);
    bar->EnableCommand("LStdCmd_Close");
    if (IsDirty()) bar->EnableCommand("LStdCmd_Save");
    bar->EnableCommand("LStdCmd_SaveAs");
    bar->EnableCommand("CAppCmd_CapStill");
    if (!IsRecording()) {
        bar->EnableCommand("CAppCmd_MvRec");
        bar->EnableCommand("CAppCmd_MvSetn");
        bar->EnableCommand("CAppCmd_MvAuSetn");
        bar->EnableCommand("CAppCmd_MvWAu");
        bar->CheckCommand("CAppCmd_MvWAu");
        if (!PrefByte(P::kPrefMovieAudio)) bar->CheckCommand("CAppCmd_MvWAu", nullptr);
    } else {
        bar->EnableCommand("CAppCmd_MvRec", mStrings.GetString(1).CStr());
    }
    bar->EnableCommand("cFaderZero");
    CRecord* scns = mModel->Scenes().Get();
    bar->EnableCommand("cScnTimeMode");
    if (scns && scns->GetByte(T::kScnsTimeLine)) bar->CheckCommand("cScnTimeMode");
    bar->EnableCommand("cScnSnapPrm");
    if (scns && scns->GetByte(T::kScnsSnap)) bar->CheckCommand("cScnSnapPrm");
    if (mSeqList && scns && scns->GetInt(T::kScnsEdited) >= 0) bar->EnableCommand("cAddSeq");
    if (mConsole) bar->EnableCommand("CAppCmd_Console");
    if (mMonitor && !mMonitor->IsFullScreen()) bar->EnableCommand("CAppCmd_MonitorSize");
    if (mSeqList) bar->EnableCommand("cSeqsWin");
    bar->EnableCommand("cSchEdWin");
    if (mSchedule->IsRunning()) bar->CheckCommand("cSchEdWin");
}

LMessage CObDoc::HandleCommand(const LMessage& msg) {
    auto* item = static_cast<LMenuItem*>(msg.sender);
    if (item->HasCommand("LStdCmd_Close")) {
        if (CanClose()) return LMessage(CObDoc_Close, this, Upper());
        return LMessage();
    }
    if (item->HasCommand("LStdCmd_Save")) {
        if (mPathHolder.Path().IsEmpty() || !SaveToFile(mPathHolder.Path())) (void)SaveAs();
        return LMessage();
    }
    if (item->HasCommand("LStdCmd_SaveAs")) {
        (void)SaveAs();
        return LMessage();
    }
    if (item->HasCommand("CAppCmd_CapStill")) {
        (void)CaptureStill();
        return LMessage();
    }
    if (item->HasCommand("CAppCmd_MvRec")) {
        if (IsRecording())
            StopRecording();
        else
            (void)StartRecording();
        return LMessage();
    }
    if (item->HasCommand("CAppCmd_MvSetn") || item->HasCommand("CAppCmd_MvAuSetn")) {
        if (CAppPrefs::Get()) {
            CRecordRef settings(&CAppPrefs::Get()->Root()->Slot(P::kPrefMovieRecorder).record);
            mRecorder->ReadSettings(settings);
            const bool ok = item->HasCommand("CAppCmd_MvSetn") ? mRecorder->RunVideoDialog(this)
                                                               : mRecorder->RunAudioDialog(this);
            if (ok) mRecorder->WriteSettings(settings, nullptr);
        }
        return LMessage();
    }
    if (item->HasCommand("CAppCmd_MvWAu")) {
        TogglePrefByte(P::kPrefMovieAudio);
        return LMessage();
    }
    if (item->HasCommand("cFaderZero")) {
        CRecord* mix = mModel->Mix().Get();
        for (uint32_t i = 0; mix && i < mix->ArrayCount(T::kMixsLayers); ++i)
            UDocUnits::SetLayerBlend(mix->GetElement(T::kMixsLayers, i), 0.0);
        return LMessage();
    }
    if (item->HasCommand("cScnTimeMode") || item->HasCommand("cScnSnapPrm")) {
        const uint32_t field = item->HasCommand("cScnTimeMode") ? T::kScnsTimeLine : T::kScnsSnap;
        CRecordRef scns = mModel->Scenes();
        if (scns) (void)scns.SetByte(nullptr, field, scns->GetByte(field) ? 0 : 1);
        return LMessage();
    }
    if (item->HasCommand("CAppCmd_Console")) {
        mConsoleClosed = false;
        if (mConsole) mConsole->Show();
        return LMessage();
    }
    if (item->HasCommand("CAppCmd_MonitorSize")) {
        if (mMonitor && !mMonitor->IsFullScreen()) (void)mMonitor->RunSizeDialog();
        return LMessage();
    }
    if (item->HasCommand("cSeqsWin")) {
        if (mSeqList) mSeqList->Show();
        return LMessage();
    }
    if (item->HasCommand("cAddSeq")) {
        if (mSeqList) LHandler::Dispatch(msg.Retarget(mSeqList->Handler()));
        return LMessage();
    }
    if (item->HasCommand("cSchEdWin")) {
        mSchedule->OpenEditor();
        return LMessage();
    }
    return msg;
}

// ---- files

bool CObDoc::SaveToFile(const LFsSpec& spec) {
    PLAT_DCHECK_MAIN_THREAD();
    const std::string path = PathText(spec);
    if (path.empty()) return false;
    if (!mModel->WriteXmlFile(path.c_str())) return false;
    mModel->SetModified(false);
    gLastDocFolder = spec;
    BindPath(spec);
    UpdateTitles();
    return true;
}

bool CObDoc::SaveAs() {
    LFsSpec chosen;
    if (!DocDialogs().askSavePath(ConsolePane(), mPathHolder.SavePath(), chosen)) return false;
    if (!SaveToFile(chosen)) return false;
    // Type and creator are a courtesy to other tools; a file system without them keeps the save.
    (void)CMacFileU::SetInfo(chosen, kFileType, gProcessInfo ? gProcessInfo->Signature() : 0x3F3F3F3F);
    return true;
}

bool CObDoc::AskNewPath(LFsSpec& chosen) {
    CDocPathHolder holder(LString("untitled.obm"), &gLastDocFolder);
    if (!DocDialogs().askSavePath(nullptr, holder.DefaultLocation(), chosen)) return false;
    return true;
}

void CObDoc::ResetToEmpty() {
    // The engine, binder and recall follow the root's reset through the change broadcasts.
    mLoading = true;
    mModel->RootRef().Reset();
    mLoading = false;
    mModel->SetModified(false);
    mUndo.Clear();
    BindPath(LFsSpec());
    UpdateTitles();
}

void CObDoc::ReportDamaged(const LFsSpec& spec, uint32_t line, const char* reason) {
    std::string text = "The show \"" + PathText(spec) + "\" cannot be opened";
    if (line) text += " (line " + std::to_string(line) + ")";
    text += ": ";
    text += reason;
    text += ". Nothing was changed on disk.";
    if (DocDialogs().showMessage) DocDialogs().showMessage(ConsolePane(), LString(text.c_str()));
}

bool CObDoc::LoadFromFile(const LFsSpec& spec) {
    PLAT_DCHECK_MAIN_THREAD();
    const std::string path = PathText(spec);
    std::string bytes;
    const plat::ReadFileResult read =
        path.empty() ? plat::ReadFileResult::kError : plat::ReadWholeFile(path, kMaxShowBytes, bytes);
    if (read == plat::ReadFileResult::kNotFound) {
        // A new show bound to that path.
        mModel->RootRef().Reset();
        mModel->SetModified(false);
        mUndo.Clear();
        BindPath(spec);
        UpdateTitles();
        return true;
    }
    uint32_t line = 0;
    const char* reason = nullptr;
    if (read == plat::ReadFileResult::kTooLarge) {
        reason = "the file is too large";
    } else if (read != plat::ReadFileResult::kOk) {
        reason = "the file cannot be read";
    } else {
        const SXmlCheck check =
            CheckXmlWellFormed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        if (!check.ok) {
            line = check.line;
            reason = check.reason;
        } else if (check.rootName != "YOBM_OBMX") {
            reason = "it holds no show";
        } else {
            CMemStream in(bytes.data(), static_cast<uint32_t>(bytes.size()));
            mLoading = true;
            const bool read = mModel->ReadXml(in);
            mLoading = false;
            if (!read) reason = "its records cannot be read";
        }
    }
    if (reason) {
        ResetToEmpty();
        ReportDamaged(spec, line, reason);
        return false;
    }
    mEngine->LoadLayers();
    SpreadBlendControls();
    mSceneCtlIn->Setup(mModel->Root()->GetSubRecord(T::kObmxSceneCtl));
    mModel->SetModified(false);
    mUndo.Clear();
    gLastDocFolder = spec;
    BindPath(spec);
    UpdateTitles();
    ApplyTimerSettings();
    return true;
}

bool CObDoc::CanClose() {
    if (!IsDirty()) return true;
    if (mConsole) mConsole->Show();
    switch (DocDialogs().askSaveChanges(ConsolePane(), DisplayName())) {
        case SDocDialogs::kSave:
            return SaveAs();
        case SDocDialogs::kDiscard:
            return true;
        default:
            break;
    }
    return false;
}

// ---- blend controls

void CObDoc::SpreadBlendControls() {
    CRecord* ctrl = mModel->BlendControl().Get();
    CRecord* mix = mModel->Mix().Get();
    if (!ctrl || !mix) return;
    const int32_t type = ctrl->GetByte(T::kCtrlType);
    const int32_t dmx = static_cast<int32_t>(ctrl->GetUInt(T::kCtrlDmxCh));
    const int32_t midiCh = static_cast<int32_t>(ctrl->GetUInt(T::kCtrlMidiCh));
    const int32_t midiCc = static_cast<int32_t>(ctrl->GetUInt(T::kCtrlMidiCc));
    for (uint32_t i = 0; i < mix->ArrayCount(T::kMixsLayers); ++i) {
        CRecord* layer = mix->GetElement(T::kMixsLayers, i);
        CRecord* unit = layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
        CRecord* input = unit ? UDocModel::FindUnitInput(unit, LString("_oblayer_Blend")) : nullptr;
        if (!input || !input->GetSubRecord(T::kInptCtl)) continue;
        CRecordRef set(&input->Slot(T::kInptCtl).record);
        const int32_t n = static_cast<int32_t>(i);
        if (type == 3 && midiCc + n < 128) {
            UCtlAttr::SetInCtlType(set, nullptr, 3);
            UCtlAttr::SetInCtlMidiCh(set, nullptr, midiCh);
            UCtlAttr::SetInCtlMidiCc(set, nullptr, midiCc + n);
        } else if (type == 2 && midiCh + n < 16) {
            UCtlAttr::SetInCtlType(set, nullptr, 3);
            UCtlAttr::SetInCtlMidiCh(set, nullptr, midiCh + n);
            UCtlAttr::SetInCtlMidiCc(set, nullptr, midiCc);
        } else if (type == 1 && dmx + n < 512) {
            UCtlAttr::SetInCtlType(set, nullptr, 1);
            UCtlAttr::SetInCtlDmxCh(set, nullptr, dmx + n);
        } else {
            UCtlAttr::SetInCtlType(set, nullptr, 0);
        }
    }
}

// ---- model changes

void CObDoc::ModelObserver(void* context, const SRecordEvent* event) {
    static_cast<CObDoc*>(context)->OnModelChange(*event);
}

void CObDoc::PrefsObserver(void* context, const SRecordEvent* event) {
    static_cast<CObDoc*>(context)->OnModelChange(*event);
}

void CObDoc::ApplyTimerSettings() {
    CRecord* scns = mModel->Scenes().Get();
    CSeqcTimer& timer = mPlayer->Timer();
    if (mDocPrefs) timer.SetSyncSource(mDocPrefs->GetByte(P::kDocSyncSource));
    if (!scns) return;
    timer.SetRange(RoundMs(scns->GetFloat(T::kScnsFrom)), RoundMs(scns->GetFloat(T::kScnsTo)));
    timer.SetOffset(static_cast<uint32_t>(std::max(0, RoundMs(scns->GetFloat(T::kScnsOffset)))));
    timer.SetEndMode(scns->GetByte(T::kScnsLoop));
}

void CObDoc::OnModelChange(const SRecordEvent& event) {
    CRecord* record = event.record.Get();
    const bool change = event.kind == SRecordEvent::kValueChanged || event.kind == SRecordEvent::kInserted ||
                        event.kind == SRecordEvent::kRemoved || event.kind == SRecordEvent::kMoved;
    if (!record || !change || mLoading) return;
    if (record == mDocPrefs && event.field == P::kDocSyncSource) {
        mPlayer->Timer().SetSyncSource(record->GetByte(P::kDocSyncSource));
    } else if (record->IsOfType(T::kDomain, T::kMIXS) && event.field == T::kMixsLayers) {
        SpreadBlendControls();
    } else if (record == Prefs() && event.field == P::kPrefMonitorFixed) {
        if (mMonitor) mMonitor->SetFixedSize(record->GetByte(P::kPrefMonitorFixed) != 0);
    } else if (record == mModel->Scenes().Get()) {
        OnScenesChange(event.field);
    }
}

void CObDoc::OnScenesChange(uint32_t field) {
    // Scene recall requests and overrides are the scene editors' part.
    if (field == T::kScnsFrom || field == T::kScnsTo || field == T::kScnsOffset || field == T::kScnsLoop)
        ApplyTimerSettings();
}

// ---- windows

void CObDoc::StoreWindowState() {
    if (!mDocPrefs) return;
    mDocPrefs->StringSlot(P::kDocPath) = LString(PathText(mPath).c_str());
    CRecordRef prefs(&mDocPrefs);
    if (mConsole) {
        mDocPrefs->Slot(P::kDocDivider1).f32 = mConsole->Divider(0);
        mDocPrefs->Slot(P::kDocDivider2).f32 = mConsole->Divider(1);
        (void)prefs.SetRectField(nullptr, P::kDocConsoleRect, mConsole->Frame());
    }
    if (mSeqList) mDocPrefs->Slot(P::kDocSeqWinOpen).u8 = mSeqList->IsVisible() ? 1 : 0;
    if (mMonitor && !mMonitor->IsFullScreen())
        (void)prefs.SetRectField(nullptr, P::kDocMonitorRect, mMonitor->Frame());
}

void CObDoc::ApplyMonitorRect() {
    if (!mMonitor || !mDocPrefs) return;
    CRecordRef prefs(&mDocPrefs);
    const CLRect r = prefs.GetRectField(P::kDocMonitorRect);
    if (!UsableRect(r)) return;
    if (OnSomeScreen(r)) {
        mMonitor->SetFrame(r);
        return;
    }
    // Off every screen: its size at the default place.
    const CLRect now = mMonitor->Frame();
    mMonitor->SetFrame(
        CLRect{now.left, now.top, now.left + (r.right - r.left), now.top + (r.bottom - r.top)});
}

void CObDoc::RestoreWindowState() {
    if (!mDocPrefs) return;
    ApplyMonitorRect();
    CRecordRef prefs(&mDocPrefs);
    if (mConsole) {
        const CLRect r = prefs.GetRectField(P::kDocConsoleRect);
        if (UsableRect(r) && OnSomeScreen(r)) mConsole->SetFrame(r);
        const float d1 = mDocPrefs->GetFloat(P::kDocDivider1), d2 = mDocPrefs->GetFloat(P::kDocDivider2);
        if (UsableFraction(d1)) mConsole->SetDivider(0, d1);
        if (UsableFraction(d2)) mConsole->SetDivider(1, d2);
    }
    mPlayer->Timer().SetSyncSource(mDocPrefs->GetByte(P::kDocSyncSource));
}

void CObDoc::ShowWindows() {
    if (mMonitor) mMonitor->Show();
    if (mSeqList && mDocPrefs && mDocPrefs->GetByte(P::kDocSeqWinOpen)) mSeqList->Show();
    CRecord* scns = mModel->Scenes().Get();
    if (scns && scns->GetByte(T::kScnsTimeLine) &&
        ((mDocPrefs && mDocPrefs->GetByte(P::kDocSyncSource)) || scns->GetByte(T::kScnsLoop))) {
        mPlayer->LocateTime(scns->GetFloat(T::kScnsFrom));
        mPlayer->Play();
    }
}

// ---- stills and movies

void CObDoc::StillCapture(void* context, CMixEngine*, COpenGLContext_Cca* draw) {
    auto* doc = static_cast<CObDoc*>(context);
    if (!draw || !gStillArmed.exchange(false)) return;
    doc->mStill->Capture(*draw);
}

std::string CObDoc::CaptureStill() {
    const std::string path = CaptureName::Next("png");
    if (path.empty()) return path;
    mStill->SetFile(CMacFileU::LFsSpecFromPath(path.c_str()));
    gStillArmed.store(true);
    if (!mStillPending) mEngine->AddPostRenderCallback(this, &CObDoc::StillCapture);
    mStillPending = true;
    return path;
}

bool CObDoc::IsRecording() const {
    return mRecorder && mRecorder->IsRecording();
}

bool CObDoc::StartRecording() {
    if (!mRecorder || IsRecording()) return false;
    const std::string path = CaptureName::Next("mov");
    const LFsSpec spec = CMacFileU::LFsSpecFromPath(path.c_str());
    gLastMovieFolder = spec;
    mMoviePathHolder.SetPath(spec);
    if (CAppPrefs::Get())
        mRecorder->ReadSettings(CRecordRef(&CAppPrefs::Get()->Root()->Slot(P::kPrefMovieRecorder).record));
    uint32_t w = 0, h = 0;
    mEngine->RenderSize(w, h);
    const bool started = !path.empty() && mRecorder->Start(spec, w, h, PrefByte(P::kPrefMovieAudio) != 0);
    if (!started || !IsRecording()) {
        if (!path.empty()) (void)unlink(path.c_str());
        if (DocDialogs().showMessage) DocDialogs().showMessage(ConsolePane(), mStrings.GetString(2));
        return false;
    }
    mEngine->AddPostRenderCallback(mRecorder.get(), &RecorderFrame);
    mRecordingCallback = true;
    return true;
}

void CObDoc::StopRecording() {
    if (mRecordingCallback) mEngine->RemovePostRenderCallback(mRecorder.get(), &RecorderFrame);
    mRecordingCallback = false;
    if (IsRecording()) mRecorder->Finish();
}
