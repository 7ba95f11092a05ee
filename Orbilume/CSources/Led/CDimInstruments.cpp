#include "Orbilume/CSources/Led/CDimInstruments.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "Common/Stream/CMemStream.h"
#include "Common/Stream/CXmlCheck.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/DimWindows.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Platform/Foundation/FileIO.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDimTypes;

SDimWindowFactories gFactories;

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameIntArray(const CRecord* a, const CRecord* b, uint32_t field) {
    const uint32_t n = a->ArrayCount(field);
    if (n != b->ArrayCount(field)) return false;
    return n == 0 || std::memcmp(a->ArrayData(field), b->ArrayData(field), n * sizeof(int32_t)) == 0;
}

// The saved fields of two definitions hold the same values.
bool SameDefinition(const CRecord* a, const CRecord* b) {
    for (uint32_t f : {T::kDidfColumns, T::kDidfRows})
        if (a->GetUInt(f) != b->GetUInt(f)) return false;
    for (uint32_t f : {T::kDidfComposition, T::kDidfPrefixCount, T::kDidfSuffixCount})
        if (a->GetByte(f) != b->GetByte(f)) return false;
    return SameIntArray(a, b, T::kDidfChannels) && SameIntArray(a, b, T::kDidfDotOrder);
}

// Empties a record array without undo, last element first.
void Empty(CRecordRef ref, uint32_t field) {
    for (uint32_t n = ref->ArrayCount(field); n > 0; --n) ref.DeleteElement(nullptr, field, n - 1);
}

// Moves every element of the detached record's array to the end of the live one (no undo).
void MoveAll(CRecord* from, CRecordRef to, uint32_t field) {
    std::vector<CRecord*> taken;
    for (uint32_t n = from->ArrayCount(field); n > 0; --n) taken.push_back(from->TakeElementRaw(field, n - 1));
    for (auto it = taken.rbegin(); it != taken.rend(); ++it) {
        (*it)->SetLinks(nullptr, 0);
        (void)to.InsertRecord(nullptr, field, CRecordRef::kAppend, *it);
    }
}

}  // namespace

void SetDimWindowFactories(const SDimWindowFactories* factories) {
    gFactories = factories ? *factories : SDimWindowFactories();
}

const SDimWindowFactories& DimWindowFactories() {
    return gFactories;
}

UDimArrange::AddValues& CDimInstruments::AddValues() {
    static UDimArrange::AddValues values;
    return values;
}

// ---- life

CDimInstruments::CDimInstruments(LHandler* upper, LAsyncLoop* mainLoop, CDmxIoManager* usb, CAppPrefs* prefs,
                                 CDimDefLibrary* library)
    : LHandler(upper),
      mPrefs(prefs),
      mDims(CRecord::New(T::Dims())),
      mDefs(std::make_unique<CDimDefStore>()),
      mLibrary(library) {
    mOutput = std::make_unique<CDimOutput>(mainLoop, usb, prefs, &mDims, mDefs.get());
    if (mLibrary) {
        mLibrary->SetStore(mDefs.get());
        // The library's definitions first: the last layout's own ones do not replace them.
        mDefs->LoadAll(mLibrary->BuiltInFolder(), mLibrary->UserFolder());
    }
    if (gFactories.definitionEditor) mDefEditor = gFactories.definitionEditor(this, mDefs.get(), Settings());
    mLastFile = UDimPrefs::GetLastFile(Settings()).CStr();
    if (!mLastFile.empty()) {
        const std::string last = mLastFile;
        if (!Load(last)) mLastFile = last;
    }
    ComputeCanvas();
    mDims.AddObserver(this, &DimsChanged);
    mDefs->AddObserver(this, &DefsChanged);
}

CDimInstruments::~CDimInstruments() {
    mCanvasTimer.Stop();
    mDims.RemoveObserver(this, &DimsChanged);
    mDefs->RemoveObserver(this, &DefsChanged);
    if (mLibrary && mLibrary->Store() == mDefs.get()) mLibrary->SetStore(nullptr);
    if (Settings()) {
        UDimPrefs::SetLastFile(Settings(), LString(mLastFile.c_str()));
        UDimPrefs::SetLastOpen(Settings(), mWindow && mWindow->IsVisible());
    }
    mWindowShared.store(nullptr);
    mUvAdWindow.reset();
    mWindow.reset();
    mOutput.reset();
    mDefEditor.reset();
    mDefs.reset();
}

CRecordRef CDimInstruments::Settings() const {
    if (!mPrefs || !mPrefs->Root()) return CRecordRef();
    return CRecordRef(&mPrefs->Root()->Slot(CAppPrefs::kPrefDimmer).record);
}

LString CDimInstruments::Title() const {
    return LString(mLastFile.empty() ? "Untitled" : BaseName(mLastFile).c_str());
}

void CDimInstruments::UpdateTitle() {
    if (mWindow) mWindow->SetTitle(Title());
}

bool CDimInstruments::OpenWindow() {
    if (!mWindow) {
        if (!gFactories.window) return false;
        SDimWindowArgs args;
        args.upper = this;
        args.settings = Settings();
        args.dims = &mDims;
        args.defs = mDefs.get();
        args.output = mOutput.get();
        args.library = mLibrary;
        mWindow = gFactories.window(args);
        if (!mWindow) return false;
        mWindowShared.store(mWindow.get());
    }
    UpdateTitle();
    mWindow->Show();
    mWindow->Select();
    return true;
}

void CDimInstruments::SetAspect(uint32_t width, uint32_t height) {
    width = std::max<uint32_t>(width, 1);
    height = std::max<uint32_t>(height, 1);
    if (width == mAspectWidth && height == mAspectHeight) return;
    mAspectWidth = width;
    mAspectHeight = height;
    ComputeCanvas();
}

bool CDimInstruments::AfterFrame(void* drawContext, CDimOutput::DrawFunction* draw) {
    const bool taken = mOutput->Capture(drawContext, draw);
    if (taken) {
        if (IDimWindow* window = mWindowShared.load()) window->SignalRedraw();
    }
    return taken;
}

// ---- files

bool CDimInstruments::AskToSave(uint32_t dialogCase) {
    (void)dialogCase;
    if (!IsDirty()) return true;
    if (mWindow) mWindow->Show();
    if (!DimDialogs().askSaveChanges) return false;
    switch (DimDialogs().askSaveChanges(Title())) {
        case SDimDialogs::kSave:
            return SaveAs();
        case SDimDialogs::kDiscard:
            return true;
        default:
            return false;
    }
}

void CDimInstruments::ReportLoad(const std::string& path, uint32_t line, const char* reason) {
    std::string text = "The dimmer layout \"" + path + "\" cannot be opened";
    if (line) text += " (line " + std::to_string(line) + ")";
    text += ": ";
    text += reason;
    text += ". The open layout was not changed.";
    if (DimDialogs().showMessage) DimDialogs().showMessage(LString(text.c_str()));
}

void CDimInstruments::ReportDiffering(const std::string& names) {
    const std::string text = "The dimmer layout \"" + BaseName(mLastFile) +
                             "\" carries definitions that differ from the ones of the same name in the "
                             "library: " +
                             names + ". The library's definitions are used.";
    if (DimDialogs().showMessage) DimDialogs().showMessage(LString(text.c_str()));
}

const char* CDimInstruments::ReadLayout(const std::string& bytes, CRecord*& tree, uint32_t& line) {
    tree = nullptr;
    line = 0;
    const SXmlCheck check = CheckXmlWellFormed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    if (!check.ok) {
        line = check.line;
        return check.reason ? check.reason : "it is not well-formed";
    }
    if (check.rootName != "YOBM_DIMS") return "it holds no dimmer layout";
    if (check.deepest > kMaxElementDepth) return "its elements nest too deeply";
    if (bytes.size() > kMaxFileBytes) return "the file is too large";
    CRecord* fresh = CRecord::New(T::Dims());
    if (!fresh) return "out of memory";
    CMemStream in(const_cast<char*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    if (ReadXmlDocument(in, CRecordRef(&fresh)) != 1) {
        CRecord::Delete(fresh);
        return "its records cannot be read";
    }
    tree = fresh;
    return nullptr;
}

bool CDimInstruments::Load(const std::string& path) {
    PLAT_DCHECK_MAIN_THREAD();
    std::string bytes;
    const plat::ReadFileResult read =
        path.empty() ? plat::ReadFileResult::kNotFound : plat::ReadWholeFile(path, kMaxFileBytes, bytes);
    uint32_t line = 0;
    const char* reason = nullptr;
    CRecord* fresh = nullptr;
    if (read == plat::ReadFileResult::kNotFound) {
        reason = "the file does not exist";
    } else if (read == plat::ReadFileResult::kTooLarge) {
        reason = "the file is too large";
    } else if (read != plat::ReadFileResult::kOk) {
        reason = "the file cannot be read";
    } else {
        reason = ReadLayout(bytes, fresh, line);
    }
    if (reason) {
        ReportLoad(path, line, reason);
        return false;
    }

    // The new tree replaces the open one's contents, so that everything following the holder and
    // its universe table stays attached.
    CRecordRef live = mDims.RootRef();
    Empty(live, T::kDimsDevices);
    Empty(live, T::kDimsDefinitions);
    CRecord* liveUvas = live->GetSubRecord(T::kDimsUniverses);
    CRecord* freshUvas = fresh->GetSubRecord(T::kDimsUniverses);
    if (liveUvas && freshUvas) {
        CRecordRef uvas(&live->Slot(T::kDimsUniverses).record);
        Empty(uvas, CUvAdTypes::kUvasList);
        MoveAll(freshUvas, uvas, CUvAdTypes::kUvasList);
    }
    (void)live.SetUInt(nullptr, T::kDimsDivision, fresh->GetUInt(T::kDimsDivision));
    for (uint32_t f : {T::kDimsAutoDivision, T::kDimsStretch, T::kDimsSoft, T::kDimsDotGap, T::kDimsSacn})
        (void)live.SetByte(nullptr, f, fresh->GetByte(f));
    MoveAll(fresh, live, T::kDimsDevices);
    MoveAll(fresh, live, T::kDimsDefinitions);
    CRecord::Delete(fresh);

    // The embedded definitions into the store, last first; the library's own ones win.
    std::string differing;
    while (uint32_t n = live->ArrayCount(T::kDimsDefinitions)) {
        CRecord* def = live.RemoveRecord(nullptr, T::kDimsDefinitions, n - 1);
        if (!def) break;
        const uint32_t columns = def->GetUInt(T::kDidfColumns), rows = def->GetUInt(T::kDidfRows);
        if (columns == 0 || rows == 0 || columns > CDimDefStore::kMaxDots || rows > CDimDefStore::kMaxDots) {
            CRecord::Delete(def);
            continue;
        }
        const CRecord* have = mDefs->Find(def->GetString(T::kDidfName).CStr());
        if (have && !SameDefinition(have, def)) {
            if (!differing.empty()) differing += ", ";
            differing += std::string("\"") + def->GetString(T::kDidfName).CStr() + "\"";
        }
        (void)mDefs->AddEmbedded(def);
    }
    mUndo.Clear();
    mLastFile = path;
    mDims.SetModified(false);
    UpdateTitle();
    if (!differing.empty()) ReportDiffering(differing);
    return true;
}

bool CDimInstruments::Save(const std::string& path) {
    PLAT_DCHECK_MAIN_THREAD();
    const bool wasDirty = IsDirty();
    CRecordRef live = mDims.RootRef();
    Empty(live, T::kDimsDefinitions);
    std::unordered_set<std::string> copied;
    const LString* previous = nullptr;
    for (uint32_t i = 0; i < live->ArrayCount(T::kDimsDevices); ++i) {
        const LString& name = live->GetElement(T::kDimsDevices, i)->GetString(T::kDidvDefinition);
        if (previous && std::strcmp(previous->CStr(), name.CStr()) == 0) continue;
        previous = &name;
        if (!copied.insert(name.CStr()).second) continue;
        const CRecord* def = mDefs->Find(name.CStr());
        if (!def) continue;
        if (CRecord* copy = CRecord::Clone(def, nullptr))
            (void)live.InsertRecord(nullptr, T::kDimsDefinitions, CRecordRef::kAppend, copy);
    }
    if (path.empty() || !WriteXmlDocumentFile(path.c_str(), live.Get())) {
        mDims.SetModified(wasDirty);
        const std::string text = "The dimmer layout \"" + path +
                                 "\" cannot be saved. The file on disk was not changed.";
        if (DimDialogs().showMessage) DimDialogs().showMessage(LString(text.c_str()));
        return false;
    }
    mLastFile = path;
    mDims.SetModified(false);
    UpdateTitle();
    return true;
}

bool CDimInstruments::SaveAs() {
    std::string chosen;
    if (!DimDialogs().askSavePath || !DimDialogs().askSavePath(mLastFile, chosen) || chosen.empty())
        return false;
    return Save(chosen);
}

void CDimInstruments::Open() {
    if (!AskToSave(0)) return;
    std::string chosen;
    if (!DimDialogs().askOpenPath || !DimDialogs().askOpenPath(mLastFile, chosen) || chosen.empty()) return;
    (void)Load(chosen);
}

// ---- canvas

uint32_t CDimInstruments::AutoDivision(const CRecord* dims, const CDimDefStore& defs) {
    double p = 1;
    bool found = false;
    const uint32_t n = dims ? dims->ArrayCount(T::kDimsDevices) : 0;
    for (uint32_t i = 0; i < n; ++i) {
        const CRecord* dev = dims->GetElement(T::kDimsDevices, i);
        const CRecord* def = defs.Find(dev->GetString(T::kDidvDefinition).CStr());
        if (!def) continue;
        found = true;
        if (const uint32_t c = def->GetUInt(T::kDidfColumns)) p = std::min(p, double(dev->GetFloat(T::kDidvWidth)) / c);
        if (const uint32_t r = def->GetUInt(T::kDidfRows)) p = std::min(p, double(dev->GetFloat(T::kDidvHeight)) / r);
    }
    if (!found || !(p > 0)) return 500;
    const double d = std::round(2.0 / p);
    return d >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(d);
}

void CDimInstruments::CanvasSize(uint32_t aw, uint32_t ah, uint32_t division, uint32_t gap, bool stretch,
                                 uint32_t limit, uint32_t& width, uint32_t& height) {
    aw = std::max<uint32_t>(aw, 1);
    ah = std::max<uint32_t>(ah, 1);
    limit = std::max<uint32_t>(limit, 1);
    const uint64_t k = (uint64_t(gap) + 1) * division;
    const uint64_t m = std::max(aw, ah);
    auto side = [&](uint32_t a) -> uint64_t {
        if (k <= 0xFFFFFFFFu) return uint64_t(a) * k / m;
        return static_cast<uint64_t>(std::min(std::floor(double(a) * double(k) / double(m)), 1.8e19));
    };
    uint64_t w = std::max<uint64_t>(side(aw), 1), h = std::max<uint64_t>(side(ah), 1);
    if (stretch) w = h = std::max(w, h);
    width = static_cast<uint32_t>(std::min<uint64_t>(w, limit));
    height = static_cast<uint32_t>(std::min<uint64_t>(h, limit));
}

void CDimInstruments::CanvasStale() {
    mCanvasStale = true;
    if (!mCanvasTimer.IsRunning()) mCanvasTimer.StartOnce(0, 0);
}

void CDimInstruments::UpdateCanvas() {
    if (mCanvasStale) ComputeCanvas();
}

void CDimInstruments::ComputeCanvas() {
    mCanvasStale = false;
    mCanvasTimer.Stop();
    CRecordRef live = mDims.RootRef();
    if (!live) return;
    mComputing = true;
    uint32_t division = live->GetUInt(T::kDimsDivision);
    if (live->GetByte(T::kDimsAutoDivision)) {
        const uint32_t automatic = AutoDivision(live.Get(), *mDefs);
        if (automatic != division) {
            const bool wasDirty = IsDirty();
            (void)live.SetUInt(nullptr, T::kDimsDivision, automatic);
            mDims.SetModified(wasDirty);
            division = automatic;
        }
    }
    uint32_t w = 1, h = 1;
    CanvasSize(mAspectWidth, mAspectHeight, division, live->GetByte(T::kDimsDotGap),
               live->GetByte(T::kDimsStretch) != 0, kMaxCanvasSide, w, h);
    mOutput->Resize(w, h);
    if (mOutput->CanvasWidth() && mOutput->CanvasHeight()) {
        w = mOutput->CanvasWidth();
        h = mOutput->CanvasHeight();
    }
    mCanvasWidth = w;
    mCanvasHeight = h;
    mCanvasShared.store((uint64_t(w) << 32) | h);
    (void)live.SetUInt(nullptr, T::kDimsCanvasWidth, w);
    (void)live.SetUInt(nullptr, T::kDimsCanvasHeight, h);
    mComputing = false;
}

void CDimInstruments::DimsChanged(void* self, const SRecordEvent* event) {
    static_cast<CDimInstruments*>(self)->OnDimsChange(*event);
}

void CDimInstruments::OnDimsChange(const SRecordEvent& event) {
    if (mComputing) return;
    CRecord* root = mDims.Root();
    CRecord* r = event.record.Get();
    if (!root || !r) return;
    if (r == root) {
        switch (event.field) {
            case T::kDimsDivision:
            case T::kDimsAutoDivision:
            case T::kDimsStretch:
            case T::kDimsDotGap:
            case T::kDimsDevices:
                CanvasStale();
                break;
            case T::kDimsSacn:
                if (mUvAdWindow) mUvAdWindow->SetSacn(root->GetByte(T::kDimsSacn) != 0);
                break;
            default:
                break;
        }
        return;
    }
    if (event.kind == SRecordEvent::kValueChanged && r->Parent() == root && r->Type() == T::Didv() &&
        (event.field == T::kDidvDefinition || event.field == T::kDidvWidth || event.field == T::kDidvHeight))
        CanvasStale();
}

void CDimInstruments::DefsChanged(void* self, const SRecordEvent* event) {
    auto* t = static_cast<CDimInstruments*>(self);
    CRecord* r = event->record.Get();
    if (!r || event->kind > SRecordEvent::kMoved) return;
    if (r == t->mDefs->Root() ||
        (r->Type() == T::Didf() && (event->field == T::kDidfColumns || event->field == T::kDidfRows)))
        t->CanvasStale();
}

// ---- commands

void CDimInstruments::SetRootByte(uint32_t field, uint8_t value) {
    (void)mDims.RootRef().SetByte(nullptr, field, value);
}

void CDimInstruments::ShowUniverseWindow() {
    CRecord* root = mDims.Root();
    if (!mUvAdWindow) {
        if (!gFactories.universeAddresses) return;
        SDimUvAdArgs args;
        args.upper = this;
        mUvAdSet = Settings() ? UDimPrefs::UniverseAddressSet(Settings()) : nullptr;
        args.settings = CRecordRef(&mUvAdSet);
        args.dims = &mDims;
        args.uvas = root->GetSubRecord(T::kDimsUniverses);
        args.sacn = root->GetByte(T::kDimsSacn) != 0;
        mUvAdWindow = gFactories.universeAddresses(args);
        if (!mUvAdWindow) return;
    }
    mUvAdWindow->SetSacn(root->GetByte(T::kDimsSacn) != 0);
    mUvAdWindow->Show();
    mUvAdWindow->Select();
}

void CDimInstruments::RunSignalDialog() {
    if (!DimDialogs().signalDialog || !Settings()) return;
    const UDimPrefs::DmxTiming before = UDimPrefs::GetDmxTiming(Settings());
    CRecord* set = UDimPrefs::DmxTimingSet(Settings());
    if (!set) return;
    const bool ok = DimDialogs().signalDialog(this, CRecordRef(&set));
    if (!ok && !(UDimPrefs::GetDmxTiming(Settings()) == before)) UDimPrefs::SetDmxTiming(Settings(), before);
}

void CDimInstruments::RunAddDevices() {
    if (!DimDialogs().addDevices) return;
    UDimArrange::AddValues values = AddValues();
    if (!mDefs->Find(values.name.CStr())) values.name = LString();
    if (!DimDialogs().addDevices(this, mDefs.get(), mLibrary, values)) return;
    AddValues() = values;
    (void)UDimArrange::AddDevices(this, mDims.RootRef(), mDefs.get(), values);
}

void CDimInstruments::MenuReady(LMenuBar* bar) {
    if (!bar) return;
    CRecord* root = mDims.Root();
    const uint32_t devices = root->ArrayCount(T::kDimsDevices);
    const uint32_t selected = UDimArrange::SelectedCount(root);
    const uint8_t view = root->GetByte(T::kDimsViewMode);
    auto check = [bar](const char* command, bool on) {
        bar->EnableCommand(command);
        if (on) bar->CheckCommand(command);
    };
    if (mUndo.CanUndo()) bar->EnableCommand("LStdCmd_Undo", mUndo.UndoText().CStr());
    if (mUndo.CanRedo()) bar->EnableCommand("LStdCmd_Redo", mUndo.RedoText().CStr());
    bar->EnableCommand("LStdCmd_Open");
    if (IsDirty()) bar->EnableCommand("LStdCmd_Save");
    bar->EnableCommand("LStdCmd_SaveAs");
    if (selected >= 2) {
        for (const char* c : {"cDimArr", "cDimArrMeanW", "cDimArrEvenW", "cDimArrAlgnL", "cDimArrAlgnR",
                              "cDimArrMeanH", "cDimArrEvenH", "cDimArrAlgnT", "cDimArrAlgnB"})
            bar->EnableCommand(c);
    }
    if (selected >= 1)
        for (const char* c : {"cDimAlign", "cDimAlDot", "cDimAlGrp", "cDimAlSqr"}) bar->EnableCommand(c);
    check("cDimAsn", view == 0);
    check("cDimLyo", view == 1);
    if (devices >= 2) bar->EnableCommand("cDimSortCh");
    const CRecordRef settings = Settings();
    check("cDimShowDotBnd", settings && UDimPrefs::GetDotBounds(settings));
    check("cDimAutoDiv", root->GetByte(T::kDimsAutoDivision) != 0);
    if (view == 1) check("cDimLyoDiv", settings && UDimPrefs::GetLayoutInPixels(settings));
    if (DimDialogs().addDevices) bar->EnableCommand("cDimDevAdd");
    if (mDefEditor) bar->EnableCommand("cDimDefEdit");
    check("cDimSoft", root->GetByte(T::kDimsSoft) != 0);
    check("cDimStretch", root->GetByte(T::kDimsStretch) != 0);
    const uint8_t gap = root->GetByte(T::kDimsDotGap);
    check("cDimGap0", gap == 0);
    check("cDimGap1", gap == 1);
    check("cDimGap2", gap == 2);
    if (mUvAdWindow || gFactories.universeAddresses) bar->EnableCommand("cDimUvAd");
    check("cDimArtNet", root->GetByte(T::kDimsSacn) == 0);
    check("cDimSACN", root->GetByte(T::kDimsSacn) != 0);
    if (DimDialogs().signalDialog && settings) bar->EnableCommand("cDimDmxSig");
}

bool CDimInstruments::DoCommand(const LString& command) {
    const std::string c = command.CStr();
    CRecordRef live = mDims.RootRef();
    CRecord* root = live.Get();
    if (c == "LStdCmd_Undo" || c == "LStdCmd_Redo") return mUndo.HandleCommand(LMsgId(command.CStr())) || true;
    if (c == "LStdCmd_Open") {
        Open();
        return true;
    }
    if (c == "LStdCmd_Save") {
        if (mLastFile.empty() || !Save(mLastFile)) (void)SaveAs();
        return true;
    }
    if (c == "LStdCmd_SaveAs") {
        (void)SaveAs();
        return true;
    }
    static const struct {
        const char* command;
        UDimArrange::Arrange what;
    } kArrange[] = {
        {"cDimArrMeanW", UDimArrange::kMeanWidth}, {"cDimArrEvenW", UDimArrange::kEvenWidth},
        {"cDimArrAlgnL", UDimArrange::kAlignLeft}, {"cDimArrAlgnR", UDimArrange::kAlignRight},
        {"cDimArrMeanH", UDimArrange::kMeanHeight}, {"cDimArrEvenH", UDimArrange::kEvenHeight},
        {"cDimArrAlgnT", UDimArrange::kAlignTop},  {"cDimArrAlgnB", UDimArrange::kAlignBottom},
    };
    for (const auto& a : kArrange) {
        if (c == a.command) {
            (void)UDimArrange::DoArrange(this, live, a.what);
            return true;
        }
    }
    if (c == "cDimArr") return true;
    if (c == "cDimAlign" || c == "cDimAlDot" || c == "cDimAlGrp") {
        UpdateCanvas();
        if (c == "cDimAlGrp")
            (void)UDimArrange::Group(this, live, mDefs.get(), mCanvasWidth, mCanvasHeight);
        else
            (void)UDimArrange::Snap(this, live, mDefs.get(), mCanvasWidth, mCanvasHeight, c == "cDimAlDot");
        return true;
    }
    if (c == "cDimAlSqr") {
        (void)UDimArrange::Square(this, live);
        return true;
    }
    if (c == "cDimAsn" || c == "cDimLyo") {
        SetRootByte(T::kDimsViewMode, c == "cDimLyo" ? 1 : 0);
        return true;
    }
    if (c == "cDimSortCh") {
        (void)UDimArrange::SortByChannel(this, live);
        return true;
    }
    const CRecordRef settings = Settings();
    if (c == "cDimShowDotBnd") {
        if (settings) UDimPrefs::SetDotBounds(settings, !UDimPrefs::GetDotBounds(settings));
        return true;
    }
    if (c == "cDimLyoDiv") {
        if (settings) UDimPrefs::SetLayoutInPixels(settings, !UDimPrefs::GetLayoutInPixels(settings));
        return true;
    }
    if (c == "cDimAutoDiv") {
        SetRootByte(T::kDimsAutoDivision, root->GetByte(T::kDimsAutoDivision) ? 0 : 1);
        return true;
    }
    if (c == "cDimSoft") {
        SetRootByte(T::kDimsSoft, root->GetByte(T::kDimsSoft) ? 0 : 1);
        return true;
    }
    if (c == "cDimStretch") {
        SetRootByte(T::kDimsStretch, root->GetByte(T::kDimsStretch) ? 0 : 1);
        return true;
    }
    if (c == "cDimGap0" || c == "cDimGap1" || c == "cDimGap2") {
        SetRootByte(T::kDimsDotGap, static_cast<uint8_t>(c.back() - '0'));
        return true;
    }
    if (c == "cDimArtNet" || c == "cDimSACN") {
        SetRootByte(T::kDimsSacn, c == "cDimSACN" ? 1 : 0);
        return true;
    }
    if (c == "cDimDevAdd") {
        RunAddDevices();
        return true;
    }
    if (c == "cDimDefEdit") {
        if (mDefEditor) mDefEditor->Open();
        return true;
    }
    if (c == "cDimUvAd") {
        ShowUniverseWindow();
        return true;
    }
    if (c == "cDimDmxSig") {
        RunSignalDialog();
        return true;
    }
    return false;
}

LMessage CDimInstruments::Handle(const LMessage& msg) {
    if (mUndo.HandleMessage(msg)) return LMessage();
    if (msg.Is(LTimer_Expire) && msg.sender == &mCanvasTimer) {
        UpdateCanvas();
        return LMessage();
    }
    if (msg.Is(LMenuBar_Ready) && msg.sender) {
        MenuReady(static_cast<LMenuBar*>(msg.sender));
        return LHandler::Handle(msg);
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender) {
        const LString command = static_cast<LMenuItem*>(msg.sender)->GetFirstCommand();
        if (DoCommand(command)) return LMessage();
    }
    return LHandler::Handle(msg);
}
