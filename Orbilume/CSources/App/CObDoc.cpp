#include "Orbilume/CSources/App/CObDoc.h"

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

#include "Common/Mac/CRunLoopSignal.h"
#include "Common/ObjC/CNumVol.h"
#include "Common/Stream/CMemStream.h"
#include "Common/Stream/CXmlCheck.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LStdCtl.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Mac/CProcessInfo.h"
#include "Lib3/LSources/String/UnicodeDecomp.h"
#include "Orbilume/CSources/App/CaptureName.h"
#include "Orbilume/CSources/App/DocDialogs.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/CSeqPlayer.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Orbilume/CSources/Editors/CInParamNote.h"
#include "Orbilume/CSources/Editors/CSeqCtlIn.h"
#include "Orbilume/CSources/Editors/UCtlDlgCmds.h"
#include "Orbilume/CSources/Engine/CCtlInEngineBinder.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/CSceneCtlIn.h"
#include "Orbilume/CSources/Engine/CSceneRecall.h"
#include "Orbilume/CSources/Engine/CUnit.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Media/CMovieRecorder.h"
#include "Orbilume/CSources/Media/CObStillSaver_CGi_File.h"
#include "Orbilume/CSources/Net/CNetAddress.h"
#include "Orbilume/CSources/Osc/COSCSender.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscPattern.h"
#include "Orbilume/CSources/Schedule/CSchCtl.h"
#include "Platform/AppKit/Screen.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/FileIO.h"

namespace {

using T = CDocModelTypes;
using P = CAppPrefs;

// A show file larger than this is refused before it is read.
constexpr size_t kMaxShowBytes = size_t{512} << 20;

COSCSender* gSceneSender = nullptr;

constexpr uint32_t kOscController = 2;  // "osc" among the scene controllers
constexpr uint16_t kDefaultAnnouncePort = 51001;

CRecordRef Ref(CRecord*& var) {
    return CRecordRef(&var);
}

// Canonically decomposed text; false for broken UTF-8.
bool Decomposed(const char* text, std::string& out) {
    LVariStr<64> buf;
    if (!UnicodeDecomp::DecomposeUtf8(reinterpret_cast<const unsigned char*>(text),
                                      static_cast<uint32_t>(strlen(text)), buf))
        return false;
    out.assign(buf.CStr(), buf.Length());
    return true;
}

// True when the whole text is a base-10 integer whose value equals the argument's float reading.
bool ReadsAsIndex(const OscArg& arg, int64_t& value) {
    const char* text = arg.value.s;
    if (!text || !text[0]) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || !end || *end != 0) return false;
    if (static_cast<float>(v) != arg.AsFloat()) return false;
    value = v;
    return true;
}

// Stores the values of a unit's inputs (not those that go straight to the engine) into the scene,
// then of its image-input and filter units.
void StoreUnitValues(CRecord* scene, LHandler* editor, const CRecord* unit, uint32_t depth) {
    if (!unit || depth > 64) return;
    const uint32_t id = unit->GetUInt(T::kUnitId);
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitInputs); ++i) {
        const CRecord* input = unit->GetElement(T::kUnitInputs, i);
        if (input && !input->GetByte(T::kInptDirect))
            UDocScenes::SetSceneValue(scene, editor, id, input->GetString(T::kInptKey),
                                      input->GetString(T::kInptValue), false);
    }
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitInputs); ++i) {
        const CRecord* input = unit->GetElement(T::kUnitInputs, i);
        if (input) StoreUnitValues(scene, editor, input->GetSubRecord(T::kInptImage), depth + 1);
    }
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitFilters); ++i)
        StoreUnitValues(scene, editor, unit->GetElement(T::kUnitFilters, i), depth + 1);
}

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
    // Widened: stored corners may lie anywhere in the number range.
    constexpr int64_t kLimit = 1 << 20;
    const int64_t l = r.left, t = r.top, rr = r.right, b = r.bottom;
    return l < rr && t < b && rr - l <= kLimit && b - t <= kLimit && l >= -kLimit && l <= kLimit &&
           t >= -kLimit && t <= kLimit;
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
    mSeqCtlIn = std::make_unique<CSeqCtlIn>(mModel->Scenes(), CCtlInHub::Global());
    CRecordRef misc =
        CAppPrefs::Get() ? CRecordRef(&CAppPrefs::Get()->Root()->Slot(P::kPrefMisc).record) : CRecordRef();
    mSchedule = std::make_unique<CSchCtl>(this, mModel.get(), misc);

    mRecorder = std::make_unique<CMovieRecorder>();
    mStill = std::make_unique<CObStillSaver_CGi_File>();
    mStill->SetCompletion(
        [](void* self, bool) { static_cast<CObDoc*>(self)->StillWritten(); }, this);
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
    mOscSignal = std::make_unique<CRunLoopSignal>(this, [](void* self) {
        auto* doc = static_cast<CObDoc*>(self);
        const int32_t n = doc->mOscScene;
        doc->mOscScene = -1;
        if (n >= 0) doc->SelectScene(static_cast<uint32_t>(n));
    });
    mOscHub = CCtlInHub::Global();
    if (mOscHub) mOscHub->AddOscListener(&CObDoc::OscProc, this);
    ApplyTimerSettings();
}

CObDoc::~CObDoc() {
    PLAT_DCHECK_MAIN_THREAD();
    StopRecording();
    if (mStillPending) mEngine->RemovePostRenderCallback(this, &CObDoc::StillCapture);
    mStillPending = false;
    if (mOscHub) mOscHub->RemoveOscListener(&CObDoc::OscProc, this);
    mOscSignal.reset();
    if (CAppPrefs::Get()) CAppPrefs::Get()->RemoveObserver(this, &CObDoc::PrefsObserver);
    mModel->RemoveObserver(this, &CObDoc::ModelObserver);
    StoreWindowState();
    if (mDocPrefs) mDocPrefs->Slot(P::kDocOpenNow).u8 = 0;
    mSeqList.reset();
    mMonitor.reset();
    mRetiredMonitor.reset();
    mConsole.reset();
    mStill.reset();
    mRecorder.reset();
    mSchedule.reset();
    mSeqCtlIn.reset();
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
    if (msg.Is(LStdCtl_Selected) && mConsole && msg.sender) {
        LMessage out = HandleConsoleButton(msg);
        if (out.IsEmpty()) return out;
    }
    if (msg.Is(CNumVol_Fix) && mConsole && msg.sender) {
        int64_t ms = 0;
        if (mConsole->TimeFieldMs(msg.sender, ms)) {
            mPlayer->LocateTime(static_cast<float>(static_cast<double>(ms) / 1000.0));
            return LMessage();
        }
    }
    if ((msg.Is(CInParamNote_Change) || msg.Is(CInParamNote_Anim)) && msg.sender &&
        HandleParamChange(msg, msg.Is(CInParamNote_Anim)))
        return LMessage();
    if (msg.Is(LKeyboard_Char) && msg.sender && HandleSceneKey(msg)) return LMessage();
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
    bar->EnableCommand("CAppCmd_LoadCompo");
    FillCompositionMenu(bar->FindMenu(LString("ADDCOMPO")));
    bar->EnableCommand("CAppCmd_AddCompo");
    bar->EnableCommand("cFaderZero");
    bar->EnableCommand("cCtlBlend");
    bar->EnableCommand("cCtlScene");
    bar->EnableCommand("cCtlSeq");
    if (mConsole && mConsole->IsUsable()) {
        bar->EnableCommand("cNewScene");
        if (mConsole->HasSceneList()) bar->EnableCommand("cSaveScene");
        if (CanSaveParam()) bar->EnableCommand("cSaveParam");
    }
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
    if (item->HasCommand("CAppCmd_LoadCompo")) {
        LFsSpec chosen;
        if (AskCompoPath(gLastCompoFolder, chosen)) {
            gLastCompoFolder = chosen;
            AddLayer(UDocUnits::AddMediaLayer(*mModel, this, InsertIndex(), chosen));
        }
        return LMessage();
    }
    if (item->HasCommand("CAppCmd_AddCompo")) {
        const CCompoRepository* repository = CCompoRepository::Global();
        const LString id = repository ? repository->LookupEntry(item->Text()) : LString();
        if (!id.IsEmpty()) AddLayer(UDocUnits::AddCompositionLayer(mModel->Mix(), this, InsertIndex(), id));
        return LMessage();
    }
    if (item->HasCommand("cFaderZero")) {
        CRecord* mix = mModel->Mix().Get();
        for (uint32_t i = 0; mix && i < mix->ArrayCount(T::kMixsLayers); ++i)
            UDocUnits::SetLayerBlend(mix->GetElement(T::kMixsLayers, i), 0.0);
        return LMessage();
    }
    if (item->HasCommand("cCtlBlend")) {
        if (UCtlDlgCmds::BlendControl(this, mModel->BlendControl(), this)) SpreadBlendControls();
        return LMessage();
    }
    if (item->HasCommand("cCtlScene")) {
        (void)UCtlDlgCmds::SceneControl(this, mModel->SceneControl(), mSceneCtlIn.get());
        return LMessage();
    }
    if (item->HasCommand("cCtlSeq")) {
        (void)UCtlDlgCmds::SequenceControl(this, mModel->SequenceControl(), mSeqCtlIn.get());
        return LMessage();
    }
    if (item->HasCommand("cSaveScene")) {
        SaveScene();
        return LMessage();
    }
    if (item->HasCommand("cNewScene")) {
        NewScene();
        return LMessage();
    }
    if (item->HasCommand("cSaveParam")) {
        StoreSceneValues();
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
    mSeqCtlIn->Setup(mModel->Root()->GetSubRecord(T::kObmxSeqCtl));
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
    } else if (record->IsOfType(T::kDomain, T::kUNIT) && event.field == T::kUnitRun1) {
        mRecall->ApplyPendingToUnit(record);
    }
}

void CObDoc::OnScenesChange(uint32_t field) {
    CRecordRef scns = mModel->Scenes();
    switch (field) {
        case T::kScnsFrom:
        case T::kScnsTo:
        case T::kScnsOffset:
        case T::kScnsLoop:
            ApplyTimerSettings();
            break;
        case T::kScnsRecall:
            RecallSelected();
            break;
        case T::kScnsLocate: {
            const int32_t n = scns->GetInt(T::kScnsLocate);
            if (n >= 0) mPlayer->LocateScene(static_cast<uint32_t>(n));
            break;
        }
        case T::kScnsGoTo: {
            const int32_t n = scns->GetInt(T::kScnsGoTo);
            if (n < 0) break;
            if (scns->GetByte(T::kScnsTimeLine)) {
                mPlayer->LocateScene(static_cast<uint32_t>(n));
                mPlayer->Play();
            } else {
                SelectScene(static_cast<uint32_t>(n));
            }
            break;
        }
        case T::kScnsPosition:
            mRecall->SetPositionOverride(scns->GetFloat(T::kScnsPosition));
            break;
        case T::kScnsFadeTime:
            mRecall->SetTimeOverride(scns->GetFloat(T::kScnsFadeTime));
            break;
        case T::kScnsFaderLevels:
            ApplyFaderLevels();
            break;
        default:
            break;
    }
}

void CObDoc::SetSceneSender(COSCSender* sender) {
    gSceneSender = sender;
}

void CObDoc::RecallSelected() {
    CRecordRef scns = mModel->Scenes();
    CRecord* mix = mModel->Mix().Get();
    const int32_t n = scns->GetInt(T::kScnsRecall);
    if (n < 0 || static_cast<uint32_t>(n) >= UDocModel::GetSceneCount(scns.Get()) || !mix) return;
    CRecord* scene = UDocModel::GetSceneAt(scns.Get(), static_cast<uint32_t>(n));
    if (!scene) return;
    // The filled-in values are the mix's own: recalling a scene does not make the show changed.
    const bool modified = mModel->IsModified();
    CSceneRecall::AddSceneUnits(nullptr, mix, scene, true);
    mModel->SetModified(modified);
    mRecall->Start(scene, PrefByte(P::kPrefExtControl), scns->GetFloat(T::kScnsPosition),
                   scns->GetFloat(T::kScnsFadeTime));
    CRecord* prefs = Prefs();
    CRecord* snsl = prefs ? prefs->GetSubRecord(P::kPrefSceneSelSend) : nullptr;
    LString send;
    if (gSceneSender && snsl && CParamSet::Find(Ref(snsl), LString("send"), &send) >= 0 && !send.IsEmpty()) {
        const int32_t port = CParamSet::GetIntOr(Ref(snsl), LString("oscport"), kDefaultAnnouncePort);
        LString address;
        if (CParamSet::Find(Ref(snsl), LString("oscaddr"), &address) < 0 || address.IsEmpty())
            address = LString("/scene");
        if (port >= 1 && port <= 65535) {
            const OscArg arg = OscArg::Int(n);
            gSceneSender->SendMessage(CNetAddress::IPv4(0x7F000001, static_cast<uint16_t>(port)),
                                      address.CStr(), &arg, 1);
        }
    }
    if (mConsole) mConsole->SelectSceneRow(static_cast<uint32_t>(n));
    if (!scns->GetByte(T::kScnsTimeLine))
        (void)scns.SetUInt(nullptr, T::kScnsCurIndex, static_cast<uint32_t>(n) + 1);
}

void CObDoc::ApplyFaderLevels() {
    CRecordRef scns = mModel->Scenes();
    CRecord* mix = mModel->Mix().Get();
    if (!mix) return;
    const uint32_t faders = scns->ArrayCount(T::kScnsFaderLevels);
    const auto* levels = static_cast<const float*>(scns->ArrayData(T::kScnsFaderLevels));
    const uint32_t n = std::min(faders, UDocModel::GetSceneCount(scns.Get()));
    std::vector<uint32_t> ids;
    std::vector<float> blends;
    const LString blendKey("_oblayer_Blend");
    for (uint32_t l = 0; l < mix->ArrayCount(T::kMixsLayers); ++l) {
        const CRecord* layer = mix->GetElement(T::kMixsLayers, l);
        const CRecord* unit = layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
        if (!unit) continue;
        const uint32_t id = unit->GetUInt(T::kUnitId);
        bool any = false;
        float best = 0;
        for (uint32_t s = 0; levels && s < n; ++s) {
            const CRecord* scene = UDocModel::GetSceneAt(scns.Get(), s);
            const int32_t at = UDocModel::FindSceneValue(scene, id, blendKey);
            if (at < 0) continue;
            const CRecord* value = scene->GetElement(T::kScneValues, static_cast<uint32_t>(at));
            const float v = CUnitParam::ReadFloat(value->GetString(T::kPrmtValue)) * levels[s];
            if (!any || v > best) best = v;
            any = true;
        }
        if (!any) continue;
        ids.push_back(id);
        blends.push_back(best);
    }
    mRecall->SetOverrides(ids.data(), blends.data(), static_cast<uint32_t>(ids.size()));
}

void CObDoc::SelectScene(uint32_t n) {
    CRecordRef scns = mModel->Scenes();
    if (n >= UDocModel::GetSceneCount(scns.Get())) return;
    UDocScenes::SelectScene(scns, n, -1.0f, -1.0f);
}

// ---- OSC, keys, console controls and parameter panes

void CObDoc::OscProc(void* context, OscPattern& pattern, const OscArg* args, uint32_t count) {
    static_cast<CObDoc*>(context)->OnOscMessage(pattern, args, count);
}

void CObDoc::ChooseOscScene(int32_t n) {
    mOscScene = n;
    mOscSignal->Signal();
}

void CObDoc::OnOscMessage(OscPattern& pattern, const OscArg* args, uint32_t count) {
    CRecord* snct = mModel->Root() ? mModel->Root()->GetSubRecord(T::kObmxSceneCtl) : nullptr;
    if (!snct || UCtlAttr::GetCtlr(Ref(snct)) != static_cast<int>(kOscController)) return;
    if (!args || count == 0 || !pattern.IsMatch("/scene")) return;
    const CRecord* scns = mModel->Scenes().Get();
    const uint32_t scenes = UDocModel::GetSceneCount(scns);
    const OscArg& a = args[0];
    if (a.tag != 's') {
        const int32_t v = a.AsInt();
        if (v >= 0 && static_cast<uint32_t>(v) < scenes) ChooseOscScene(v);
        return;
    }
    int64_t index = 0;
    if (ReadsAsIndex(a, index)) {
        if (index >= 0 && index < static_cast<int64_t>(scenes)) ChooseOscScene(static_cast<int32_t>(index));
        return;
    }
    std::string want;
    if (!a.value.s || !Decomposed(a.value.s, want)) return;
    int32_t found = -1;
    for (uint32_t i = 0; i < scenes; ++i) {
        const CRecord* scene = UDocModel::GetSceneAt(scns, i);
        std::string name;
        if (scene && Decomposed(scene->GetString(T::kScneName).CStr(), name) && name == want)
            found = static_cast<int32_t>(i);
    }
    if (found >= 0) ChooseOscScene(found);
}

LMessage CObDoc::HandleConsoleButton(const LMessage& msg) {
    switch (mConsole->ButtonOf(msg.sender)) {
        case IConsoleWin::EButton::kPlay:
            mPlayer->Play();
            return LMessage();
        case IConsoleWin::EButton::kStop:
            mPlayer->Stop();
            if (PrefByte(P::kPrefExtControl) == 1) mBinder->ResetAll();
            return LMessage();
        case IConsoleWin::EButton::kToStart:
            LocateToStart();
            return LMessage();
        case IConsoleWin::EButton::kNewScene:
            NewScene();
            return LMessage();
        case IConsoleWin::EButton::kNone:
            break;
    }
    return msg;
}

void CObDoc::FillCompositionMenu(LMenu* menu) {
    const CCompoRepository* repository = CCompoRepository::Global();
    if (!menu || menu->ItemCount() > 0 || !repository) return;
    static const char* const kRows[] = {"GraphicAnimation", "GraphicTransition", "FilterDistortion",
                                        "FilterStylize",    "FilterUtility",     "FilterOther",
                                        "ScreenSaver",      "RSSVisualizer",     "MusicVisualizer",
                                        "Other"};
    const LStrListRsrcH titles{SRsrcRequest("CHANNELCELL")};
    for (uint32_t i = 0; i < std::size(kRows); ++i) {
        auto* item = new LMenuItem(menu);
        item->SetTexts(titles.GetString(4 + i));
        menu->AppendItem(item);
        if (LMenu* sub = menu->MakeSubmenu(menu->ItemCount() - 1)) sub->SetName(LString(kRows[i]));
    }
    repository->AddCategoryRows(menu);
}

uint32_t CObDoc::InsertIndex() const {
    return mConsole ? mConsole->InsertIndex() : 0;
}

void CObDoc::AddLayer(int32_t index) {
    if (index >= 0 && mConsole) mConsole->SelectChannel(uint32_t(index));
}

void CObDoc::LocateToStart() {
    const CRecord* scns = mModel->Scenes().Get();
    if (!scns) return;
    float t = 0;
    if (scns->GetByte(T::kScnsLoop) != 0) {
        t = scns->GetFloat(T::kScnsFrom);
    } else if (const CRecord* first = UDocModel::GetSceneAt(scns, 0)) {
        t = first->GetFloat(T::kScneTime);
    }
    mPlayer->LocateTime(t);
}

bool CObDoc::HandleParamChange(const LMessage& msg, bool animator) {
    const auto* note = static_cast<const CInParamNote*>(msg.sender);
    CRecord* mix = mModel->Mix().Get();
    CRecord* unit = mix ? UDocModel::FindUnitById(mix, note->unitId) : nullptr;
    CRecord* input = unit ? UDocModel::FindUnitInput(unit, note->key) : nullptr;
    if (!input) return false;
    if (!animator && input->GetByte(T::kInptDirect)) {
        mEngine->SetUnitParamByKey(note->unitId, note->key, note->value);
        return true;
    }
    if (animator) {
        const CRecord* current = input->GetSubRecord(T::kInptAnim);
        if (current && !note->value.IsEmpty() && current->GetString(T::kUnitSpec) == note->value) return true;
    }
    const bool repeat = mHasLastEdit && mLastEditUnit == note->unitId && mLastEditKey == note->key;
    mHasLastEdit = true;
    mLastEditUnit = note->unitId;
    mLastEditKey = note->key;

    // The scene-clear rule: which flag decides is read from the engine's parameter.
    bool clear = false;
    const uint8_t image = PrefByte(P::kPrefSceneClearImage);
    const uint8_t other = PrefByte(P::kPrefSceneClearParam);
    const uint8_t bypass = PrefByte(P::kPrefSceneClearBypass);
    if (image || other || bypass) {
        std::lock_guard<std::recursive_mutex> lock(mEngine->FrameLock());
        CUnit* engineUnit = mEngine->FindUnit(note->unitId);
        const CUnitParam* param = engineUnit ? engineUnit->Param(note->key) : nullptr;
        if (param) {
            if (note->key == LString("_obunit_Bypass"))
                clear = bypass != 0;
            else if (param->kind == CUnitParam::kImage)
                clear = image != 0;
            else
                clear = other != 0;
        }
    }
    CRecordRef scns = mModel->Scenes();
    bool held = false;
    for (uint32_t s = 0; clear && !held && s < UDocModel::GetSceneCount(scns.Get()); ++s)
        held = UDocModel::FindSceneValue(UDocModel::GetSceneAt(scns.Get(), s), note->unitId, note->key) >= 0;

    void* group = (held || animator) ? CRecordUndo::BeginGroup(this) : nullptr;
    if (animator) {
        if (note->value.IsEmpty())
            (void)UDocUnits::SetAnimator(mModel->Mix(), this, input, nullptr, false);
        else
            (void)UDocUnits::SetAnimator(mModel->Mix(), this, input, note->value);
    } else {
        const uint32_t merge = !group && repeat ? CRecordRef::kMergeContinuous : 0;
        (void)Ref(input).SetString(this, T::kInptValue, note->value, merge);
    }
    if (held) UDocScenes::RemoveSceneValueFromAll(scns, this, note->unitId, note->key);
    CRecordUndo::EndGroup(group);
    return true;
}

bool CObDoc::HandleSceneKey(const LMessage& msg) {
    const uint8_t c = static_cast<const LKeyboard*>(msg.sender)->Char();
    if (c < 33 || c > 126) return false;
    CRecordRef scns = mModel->Scenes();
    const uint32_t count = UDocModel::GetSceneCount(scns.Get());
    for (uint32_t i = 0; i < count; ++i) {
        const CRecord* scene = UDocModel::GetSceneAt(scns.Get(), i);
        const LString& key = scene ? scene->GetString(T::kScneKey) : LString();
        if (key.Length() != 1 || std::toupper(static_cast<unsigned char>(key.CStr()[0])) != std::toupper(c))
            continue;
        (void)scns.SetInt(nullptr, T::kScnsGoTo, static_cast<int32_t>(i));
        scns->Slot(T::kScnsGoTo).i32 = -1;
        return true;
    }
    return false;
}

// ---- scenes

void CObDoc::NewScene() {
    CRecordRef scns = mModel->Scenes();
    CRecord* mix = mModel->Mix().Get();
    CRecord* scene = UDocScenes::NewScene();
    if (!scene || !mix || !scns) {
        CRecord::Delete(scene);
        return;
    }
    CSceneRecall::AddSceneUnits(nullptr, mix, scene, false);
    const int32_t at = UDocScenes::InsertSceneByTime(scns, this, scns->GetFloat(T::kScnsCurTime), scene);
    if (at >= 0 && mConsole) mConsole->SelectAndEditScene(at);
}

void CObDoc::SaveScene() {
    if (!mConsole) return;
    CRecordRef scns = mModel->Scenes();
    CRecord* mix = mModel->Mix().Get();
    if (!mix) return;
    void* group = CRecordUndo::BeginGroup(this);
    for (uint32_t n : mConsole->SelectedScenes())
        if (CRecord* scene = UDocModel::GetSceneAt(scns.Get(), n))
            CSceneRecall::AddSceneUnits(this, mix, scene, false);
    CRecordUndo::EndGroup(group);
}

bool CObDoc::SaveParamChoice(std::vector<CRecord*>* units, CRecord** input) const {
    if (!mConsole) return false;
    CRecord* mix = mModel->Mix().Get();
    if (!mix) return false;
    const std::vector<uint32_t> channels = mConsole->SelectedChannels();
    if (!channels.empty()) {
        for (uint32_t c : channels) {
            const CRecord* layer =
                c < mix->ArrayCount(T::kMixsLayers) ? mix->GetElement(T::kMixsLayers, c) : nullptr;
            CRecord* unit = layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
            if (unit && units) units->push_back(unit);
        }
        return true;
    }
    if (const uint32_t id = mConsole->CurrentUnitId()) {
        if (CRecord* unit = UDocModel::FindUnitById(mix, id)) {
            if (units) units->push_back(unit);
            return true;
        }
    }
    uint32_t id = 0;
    LString key;
    if (!mConsole->CurrentParam(id, key) || key.IsEmpty()) return false;
    CRecord* unit = UDocModel::FindUnitById(mix, id);
    CRecord* found = unit ? UDocModel::FindUnitInput(unit, key) : nullptr;
    if (!found || found->GetByte(T::kInptDirect)) return false;
    if (input) *input = found;
    return true;
}

bool CObDoc::CanSaveParam() const {
    return SaveParamChoice(nullptr, nullptr);
}

void CObDoc::StoreSceneValues() {
    std::vector<CRecord*> units;
    CRecord* input = nullptr;
    if (!SaveParamChoice(&units, &input)) return;
    CRecordRef scns = mModel->Scenes();
    void* group = CRecordUndo::BeginGroup(this);
    for (uint32_t n : mConsole->SelectedScenes()) {
        CRecord* scene = UDocModel::GetSceneAt(scns.Get(), n);
        if (!scene) continue;
        if (input) {
            const CRecord* unit = input->Parent();
            UDocScenes::SetSceneValue(scene, this, unit ? unit->GetUInt(T::kUnitId) : 0,
                                      input->GetString(T::kInptKey), input->GetString(T::kInptValue), false);
        }
        for (const CRecord* unit : units) StoreUnitValues(scene, this, unit, 0);
    }
    CRecordUndo::EndGroup(group);
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

void CObDoc::ReplaceMonitor(bool fullScreen) {
    const SDocWindowFactories& f = DocWindowFactories();
    if (!f.monitor) return;
    if (mMonitor) mMonitor->Hide();
    mRetiredMonitor = std::move(mMonitor);
    SDocWindowArgs args{this, mEngine.get(), mModel.get(), mDocPrefs, mConsole.get(), fullScreen};
    mMonitor = f.monitor(args);
    if (!mMonitor) return;
    if (!fullScreen) mMonitor->SetFixedSize(PrefByte(P::kPrefMonitorFixed) != 0);
    UpdateTitles();
}

void CObDoc::MonitorFullScreen(const CLRect& rect) {
    if (mMonitor && !mMonitor->IsFullScreen()) {
        if (mDocPrefs)
            (void)CRecordRef(&mDocPrefs).SetRectField(nullptr, P::kDocMonitorRect, mMonitor->Frame());
        ReplaceMonitor(true);
    }
    if (!mMonitor) return;
    mMonitor->SetFrame(rect);
    mMonitor->Show();
}

void CObDoc::MonitorWindowed() {
    if (mMonitor && mMonitor->IsFullScreen()) {
        ReplaceMonitor(false);
        ApplyMonitorRect();
    }
    if (mMonitor) mMonitor->Show();
}

// ---- stills and movies

void CObDoc::StillCapture(void* context, CMixEngine*, COpenGLContext_Cca* draw) {
    auto* doc = static_cast<CObDoc*>(context);
    if (!draw || !doc->mStillArmed.exchange(false)) return;
    doc->mStill->Capture(*draw);
}

std::string CObDoc::CaptureStill() {
    const std::string path = CaptureName::Next("png");
    if (path.empty()) return path;
    mStillPaths.push_back(path);
    // The saver writes one file at a time: a later still waits until this one is written.
    if (mStillPaths.size() == 1) ArmStill();
    return path;
}

void CObDoc::ArmStill() {
    mStill->SetFile(CMacFileU::LFsSpecFromPath(mStillPaths.front().c_str()));
    mStillArmed.store(true);
    if (!mStillPending) mEngine->AddPostRenderCallback(this, &CObDoc::StillCapture);
    mStillPending = true;
}

void CObDoc::StillWritten() {
    if (!mStillPaths.empty()) mStillPaths.pop_front();
    if (!mStillPaths.empty()) {
        ArmStill();
        return;
    }
    if (mStillPending) {
        mEngine->RemovePostRenderCallback(this, &CObDoc::StillCapture);
        mStillPending = false;
    }
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
