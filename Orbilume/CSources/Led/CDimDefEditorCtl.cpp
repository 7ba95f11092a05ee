#include "Orbilume/CSources/Led/CDimDefEditorCtl.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CUndoStrm.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Orbilume/CSources/Led/CDIMDefSel.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/CNamingDialog.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDimTypes;

CDimDefEditorCtl::UnlinkFunction sUnlink = ::unlink;

std::string NameOf(const CRecord* def) {
    if (!def) return {};
    const LString& n = def->GetString(T::kDidfName);
    return std::string(n.CStr(), n.Length());
}

}  // namespace

// ---- CDimDefWatch

CDimDefWatch::CDimDefWatch(CDimDefStore* store) : fStore(store) {
    if (fStore) (void)fStore->AddObserver(this, &Observe);
}

CDimDefWatch::~CDimDefWatch() {
    if (fStore) (void)fStore->RemoveObserver(this, &Observe);
}

void CDimDefWatch::Show(CRecord* definition) {
    fShown = definition;
    fChanged = false;
}

bool CDimDefWatch::TakeChanged() {
    return std::exchange(fChanged, false);
}

void CDimDefWatch::Observe(void* context, const SRecordEvent* event) {
    auto* self = static_cast<CDimDefWatch*>(context);
    if (!self->fShown || event->record.Get() != self->fShown) return;
    if (event->kind == SRecordEvent::kDeleting) {
        self->fShown = nullptr;
        self->fChanged = false;
    } else if (event->kind <= SRecordEvent::kMoved && event->field >= T::kDidfColumns &&
               event->field <= T::kDidfDotOrder) {
        self->fChanged = true;
    } else {
        return;
    }
    if (self->onChange) self->onChange(*event);
}

// ---- CDimDefEditorCtl

CDimDefEditorCtl::CDimDefEditorCtl(LHandler* upper, CDimDefStore* store, CDimDefLibrary* library)
    : LHandler(upper), fStore(store), fLibrary(library) {
    if (fStore) (void)fStore->AddObserver(this, &Observe);
}

CDimDefEditorCtl::~CDimDefEditorCtl() {
    if (fStore) (void)fStore->RemoveObserver(this, &Observe);
    Close();
    fView.reset();
}

void CDimDefEditorCtl::SetUnlinkForTesting(UnlinkFunction unlink) {
    sUnlink = unlink ? unlink : ::unlink;
}

void CDimDefEditorCtl::Observe(void* context, const SRecordEvent* event) {
    auto* self = static_cast<CDimDefEditorCtl*>(context);
    if (!self->fLibrary || !self->fStore || event->record.Get() != self->fStore->Root()) return;
    if (event->kind == SRecordEvent::kInserted || event->kind == SRecordEvent::kRemoved)
        self->fLibrary->DropMenu();
}

CRecord* CDimDefEditorCtl::ShownDefinition() const {
    return fView ? fView->ShownDefinition() : nullptr;
}

std::string CDimDefEditorCtl::ShownName() const {
    return NameOf(ShownDefinition());
}

void CDimDefEditorCtl::ShowEditor() {
    if (!fView && fFactory) fView = fFactory(*this);
    if (fView) fView->ShowWindow();
}

void CDimDefEditorCtl::Open(std::string_view name, bool clearHistory) {
    PLAT_DCHECK_MAIN_THREAD();
    Close();
    if (!fView && fFactory) fView = fFactory(*this);
    if (fView) {
        fView->ShowDefinition(fStore ? fStore->Find(name) : nullptr);
        fView->ShowWindow();
    }
    if (clearHistory) fUndo.Clear();
}

void CDimDefEditorCtl::Close() {
    if (!fView || !fStore) return;
    CRecord* def = fView->ShownDefinition();
    if (!def || !fView->TakeChanged()) return;
    const std::string name = NameOf(def);
    CDimDefStore::Normalize(this, fStore->RefOf(name));
    (void)Save(name);
    (void)fView->TakeChanged();  // normalizing is part of the save
}

bool CDimDefEditorCtl::Save(std::string_view name) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* def = fStore ? fStore->Find(name) : nullptr;
    if (!def || def->GetByte(T::kDidfUser) == 0 || !fLibrary) return false;
    // The file it was loaded from; a new one at the top of the user folder.
    std::string path = fStore->FileOf(name);
    if (path.empty()) path = fLibrary->DefinitionPath(name, true);
    if (path.empty()) {
        (void)UDimDefMessage::Show(this, UDimDefMessage::kBadName, false);
        return false;
    }
    def->Slot(T::kDidfEmbedded).u8 = 0;
    if (!WriteXmlDocumentFile(path.c_str(), def)) {
        (void)UDimDefMessage::Show(this, UDimDefMessage::kWriteFailed, false);
        return false;
    }
    fStore->SetFileOf(name, path);
    fLibrary->DropMenu();
    return true;
}

bool CDimDefEditorCtl::DeleteFile(std::string_view name) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fLibrary || !fStore) return true;
    const std::string folder = fLibrary->UserFolder();
    std::string path = fStore->FileOf(name);
    if (path.empty()) path = fLibrary->DefinitionPath(name, false);
    // Only a file inside the user folder, named by a safe path, is ever removed.
    if (path.empty() || folder.empty() || path.compare(0, folder.size() + 1, folder + "/") != 0 ||
        path.find("/../") != std::string::npos || path.find("/./") != std::string::npos)
        return true;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return true;   // nothing there
    if (S_ISDIR(st.st_mode)) return true;             // a folder is never the definition's file
    if (sUnlink(path.c_str()) != 0 && errno != ENOENT) return false;
    fStore->SetFileOf(name, {});
    fLibrary->DropMenu();
    return true;
}

void CDimDefEditorCtl::NewDefinition() {
    if (!fStore) return;
    const std::string name = RunNamingDialog(this, fStore, fLibrary);
    if (name.empty() || !fStore->AddNew(name, true)) return;
    Open(name);
    (void)Save(name);
}

void CDimDefEditorCtl::DuplicateDefinition() {
    CRecord* shown = ShownDefinition();
    if (!shown || !fStore) return;
    const std::string name = RunNamingDialog(this, fStore, fLibrary);
    if (name.empty()) return;
    shown = ShownDefinition();  // the dialog's loop may have changed the store
    if (!shown) return;
    CRecord* copy = CRecord::Clone(shown, nullptr);
    if (!copy) return;
    copy->StringSlot(T::kDidfName) = LString(name.data(), static_cast<uint32_t>(name.size()));
    copy->Slot(T::kDidfUser).u8 = 1;
    copy->Slot(T::kDidfEmbedded).u8 = 0;
    if (!fStore->Add(copy)) return;
    Open(name);
    (void)Save(name);
}

void CDimDefEditorCtl::DeleteDefinition() {
    CRecord* shown = ShownDefinition();
    if (!shown || shown->GetByte(T::kDidfUser) == 0 || !fStore) return;
    const std::string name = NameOf(shown);
    if (UDimDefMessage::Show(this, UDimDefMessage::kConfirmDelete, true) != 1) return;
    if (!ShownDefinition() || ShownName() != name) return;
    // Undo writes it back to the file it came from (a sub-folder's, say), not a new one at the top.
    const std::string file = fStore->FileOf(name);
    if (!DeleteFile(name)) {
        // The file would come back at the next start: the definition stays.
        (void)UDimDefMessage::Show(this, UDimDefMessage::kDeleteFailed, false);
        return;
    }
    const LString entryName = UDimDefMessage::Text(0);
    CUndoStrm group;
    (void)group.BeginGroup(this, entryName);
    {
        CUndoStrm entry;
        if (entry.BeginEntry(this, this, &ReplayDelete, entryName, CUndoStrm::kModePlain,
                             CUndoStrm::kMergeNever)) {
            entry.PutPart(name.data(), static_cast<uint32_t>(name.size()));
            entry.PutPart(file.data(), static_cast<uint32_t>(file.size()));
        }
        entry.Close();
    }
    (void)fStore->Delete(this, name);
    group.Close();
    if (fView && !fView->ShownDefinition()) fView->ShowDefinition(nullptr);
}

void CDimDefEditorCtl::ReplayDelete(void* context, CUndoStrm& stream, int direction) {
    auto* self = static_cast<CDimDefEditorCtl*>(context);
    std::string name, file;
    if (!stream.GetPart(name) || !stream.GetPart(file)) return;
    if (direction == 0) {
        // The store's own entry has put the definition back already (the group undoes backwards).
        if (!file.empty() && self->fStore && self->fStore->FileOf(name).empty())
            self->fStore->SetFileOf(name, file);
        self->Open(name, false);
        (void)self->Save(name);
    } else {
        if (self->ShownName() == name && self->fView) self->fView->ShowDefinition(nullptr);
        if (!self->DeleteFile(name))
            (void)UDimDefMessage::Show(self, UDimDefMessage::kDeleteFailed, false);
    }
}

void CDimDefEditorCtl::MenuReady(LHandler* sender) {
    if (!sender) return;
    auto* bar = static_cast<LMenuBar*>(sender);
    bar->EnableCommand("cDimDefNew");
    if (CRecord* shown = ShownDefinition()) {
        bar->EnableCommand("cDimDefDup");
        if (shown->GetByte(T::kDidfUser)) bar->EnableCommand("cDimDefDel");
    }
    if (fUndo.CanUndo()) bar->EnableCommand("LStdCmd_Undo", fUndo.UndoText().CStr());
    if (fUndo.CanRedo()) bar->EnableCommand("LStdCmd_Redo", fUndo.RedoText().CStr());
}

LMessage CDimDefEditorCtl::Handle(const LMessage& msg) {
    if (fUndo.HandleMessage(msg)) return LMessage();
    if (msg.Is(LMenuBar_Ready)) {
        MenuReady(msg.sender);
        return LHandler::Handle(msg);
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender) {
        auto* item = static_cast<LMenuItem*>(msg.sender);
        if (item->HasCommand("LStdCmd_Undo") || item->HasCommand("LStdCmd_Redo")) {
            if (fUndo.HandleCommand(item->HasCommand("LStdCmd_Undo") ? LStdCmd_Undo : LStdCmd_Redo))
                return LMessage();
            return LHandler::Handle(msg);
        }
        if (item->HasCommand("cDimDefNew")) {
            NewDefinition();
            return LMessage();
        }
        if (item->HasCommand("cDimDefDup")) {
            DuplicateDefinition();
            return LMessage();
        }
        if (item->HasCommand("cDimDefDel")) {
            DeleteDefinition();
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
    if (fView && msg.sender == fView->ViewHandler() && msg.Is(LFrame_Close)) {
        Close();
        fView->HideWindow();
        return LMessage();
    }
    if (msg.Is(CDIMDefSel_Changed) && fView && msg.sender && msg.sender == fView->Selector()) {
        const LString& text = static_cast<CDIMDefSel*>(msg.sender)->Text();
        Open(std::string_view(text.CStr(), text.Length()));
        return LMessage();
    }
    return LHandler::Handle(msg);
}
