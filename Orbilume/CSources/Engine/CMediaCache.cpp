#include "Orbilume/CSources/Engine/CMediaCache.h"

#include <string>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Engine/CMediaLoader.h"
#include "Orbilume/CSources/Engine/UClipName.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

bool IsOfType(const CRecord* record, uint32_t type) {
    return record && record->Type() && record->Type()->Domain() == T::kDomain &&
           record->Type()->Type() == type;
}

bool Has(const std::vector<SMediaRef>& list, const LFsSpec& name) {
    for (const SMediaRef& r : list)
        if (r.name == name) return true;
    return false;
}

}  // namespace

CMediaCache::CMediaCache(CDocModelHolder* document, CAppPrefs* prefs, CMediaLoader* loader)
    : fDocument(document), fPrefs(prefs), fLoader(loader), fTimer(this) {
    if (fDocument) (void)fDocument->AddObserver(this, &CMediaCache::RecordObserver);
    if (fPrefs) (void)fPrefs->AddObserver(this, &CMediaCache::RecordObserver);
}

CMediaCache::~CMediaCache() {
    if (fDocument) (void)fDocument->RemoveObserver(this, &CMediaCache::RecordObserver);
    if (fPrefs) (void)fPrefs->RemoveObserver(this, &CMediaCache::RecordObserver);
    fTimer.Stop();
    // Loads queued, on the loader thread or done but not yet delivered call nobody back.
    if (CMediaLoader* loader = Loader()) loader->Cancel(this, nullptr);
    std::vector<std::unique_ptr<CMediaEntry>> entries;
    {
        std::lock_guard<std::mutex> lock(fLock);
        entries.swap(fEntries);
    }
    while (!entries.empty()) entries.pop_back();
}

CMediaLoader* CMediaCache::Loader() const {
    return fLoader ? fLoader : CMediaLoader::Get();
}

size_t CMediaCache::LowerBound(uint32_t id) const {
    size_t lo = 0, hi = fEntries.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (fEntries[mid]->id < id)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

CMediaEntry* CMediaCache::FindEntry(uint32_t id) {
    const size_t at = LowerBound(id);
    return at < fEntries.size() && fEntries[at]->id == id ? fEntries[at].get() : nullptr;
}

void CMediaCache::AddEntry(uint32_t id) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!id || FindEntry(id)) return;
    auto entry = std::make_unique<CMediaEntry>(&fLock, fLoader);
    entry->id = id;
    {
        std::lock_guard<std::mutex> lock(fLock);
        fEntries.insert(fEntries.begin() + static_cast<std::ptrdiff_t>(LowerBound(id)), std::move(entry));
    }
    fTimer.StartOnce(kRefreshMs, 0);
}

void CMediaCache::RemoveEntry(uint32_t id) {
    PLAT_DCHECK_MAIN_THREAD();
    std::unique_ptr<CMediaEntry> entry;
    {
        std::lock_guard<std::mutex> lock(fLock);
        const size_t at = LowerBound(id);
        if (at >= fEntries.size() || fEntries[at]->id != id) return;
        entry = std::move(fEntries[at]);
        fEntries.erase(fEntries.begin() + static_cast<std::ptrdiff_t>(at));
    }
    // Its sources cancel their fit requests as they go; the media are released outside the lock.
    entry.reset();
}

int32_t CMediaCache::SetMedia(uint32_t id, const LFsSpec& spec) {
    PLAT_DCHECK_MAIN_THREAD();
    CMediaEntry* entry = FindEntry(id);
    if (!entry) return 1;
    entry->name = LFsSpec();
    SMediaRef record;
    if (!spec.IsEmpty()) {
        bool found = false;
        for (const SMediaRef& r : entry->loaded) {
            if (!(r.name == spec)) continue;
            record = r;
            found = true;
            break;
        }
        CMediaLoader* loader = Loader();
        if (!found && loader) {
            entry->name = spec;
            loader->PostLoad(this, &CMediaCache::OnLoaded, spec);
            return 0;
        }
    }
    SMediaRef old;
    {
        std::lock_guard<std::mutex> lock(fLock);
        ApplyCurrent(*entry, record, old);
    }
    return 1;
}

void CMediaCache::ApplyCurrent(CMediaEntry& entry, const SMediaRef& record, SMediaRef& old) {
    old = entry.current;
    const int32_t kind = record.Kind();
    if (kind != kMediaImage) entry.imageSource.Clear();
    if (kind != kMediaMovie) entry.movieSource.ReleaseMovie();
    if (kind != kMediaModel && entry.modelView.model()) entry.modelView.SetModel(nullptr);
    entry.current.Clear();
    entry.current.name = record.name;
    switch (kind) {
        case kMediaImage:
            entry.current.image = record.image;
            entry.imageSource.SetImage(record.image);
            break;
        case kMediaMovie:
            entry.current.movie = record.movie;
            entry.movieSource.SetMovie(record.movie);
            break;
        case kMediaModel:
            entry.current.model = record.model;
            entry.modelView.SetModel(record.model.get());
            entry.modelView.SetMultisample(Multisample());
            break;
        default:
            break;
    }
    entry.shown = false;
}

void CMediaCache::MarkDirty(uint32_t id) {
    if (CMediaEntry* entry = FindEntry(id)) entry->dirty = true;
    fTimer.StartOnce(kRefreshMs, 0);
}

void CMediaCache::MarkAllDirty() {
    for (auto& e : fEntries) e->dirty = true;
    fTimer.StartOnce(kRefreshMs, 0);
}

void CMediaCache::OnLoaded(void* self, const SMediaRef& loaded, int32_t kind) {
    static_cast<CMediaCache*>(self)->Loaded(loaded, kind);
}

bool CMediaCache::Multisample() const {
    return fPrefs && fPrefs->Root() && fPrefs->Root()->GetBool(CAppPrefs::kPrefBetter3D);
}

CRecord* CMediaCache::FindUnit(uint32_t id) const {
    CRecord* mix = fDocument ? fDocument->Mix().Get() : nullptr;
    return mix ? UDocModel::FindUnitById(mix, id) : nullptr;
}

void CMediaCache::Loaded(const SMediaRef& loaded, int32_t kind) {
    PLAT_DCHECK_MAIN_THREAD();
    const LFsSpec name = loaded.name;
    // In id order; a unit's reload may change the array, so the walk goes by id, not by index.
    size_t i = 0;
    while (i < fEntries.size()) {
        CMediaEntry* entry = fEntries[i].get();
        const uint32_t id = entry->id;
        const bool asked = !entry->name.IsEmpty() && entry->name == name;
        const bool wanted = !entry->pending.empty() && entry->pending.back().name == name;
        if (!asked && !wanted) {
            ++i;
            continue;
        }
        SMediaRef record;
        record.name = name;
        if (kind == kMediaImage) record.image = loaded.image;
        if (kind == kMediaMovie) record.movie = loaded.movie;
        if (kind == kMediaModel) record.model = loaded.model;
        if (!Has(entry->loaded, name)) entry->loaded.push_back(record);
        if (asked) {
            entry->name = LFsSpec();
            if (CRecord* unit = FindUnit(id)) {
                // The engine reloads the unit's clip on the broadcast; that SetMedia finds it loaded.
                CRecord* held = unit;
                (void)CRecordRef(&held).SetByte(nullptr, T::kUnitRun2, 1);
                unit->Slot(T::kUnitRun2).u8 = 0;
            }
        }
        entry = FindEntry(id);
        if (entry && wanted && !entry->pending.empty() && entry->pending.back().name == name) {
            entry->pending.pop_back();
            RequestNextPending(*entry);
        }
        if (kind == kMediaMovie) break;
        i = LowerBound(id + 1);
    }
}

void CMediaCache::RequestNextPending(CMediaEntry& entry) {
    while (!entry.pending.empty()) {
        const LFsSpec next = entry.pending.back().name;
        if (!Has(entry.loaded, next)) {
            if (CMediaLoader* loader = Loader()) loader->PostLoad(this, &CMediaCache::OnLoaded, next);
            return;
        }
        entry.pending.pop_back();
    }
}

namespace {

struct SCollect {
    uint32_t owner;
    LString key;
    std::vector<LString> names;
};

bool CollectSceneValue(void* context, CRecord* scene, uint32_t) {
    auto* c = static_cast<SCollect*>(context);
    const int32_t at = UDocModel::FindSceneValue(scene, c->owner, c->key);
    if (at < 0) return true;
    const CRecord* value = scene->GetElement(T::kScneValues, static_cast<uint32_t>(at));
    const LString& text = value ? value->GetString(T::kPrmtValue) : LString();
    if (!text.Length() || ClassifyClip(text).kind != SClipKind::kFile) return true;
    for (const LString& n : c->names)
        if (n == text) return true;
    c->names.push_back(text);
    return true;
}

}  // namespace

void CMediaCache::Rebuild(CMediaEntry& entry) {
    entry.pending.clear();
    CRecord* unit = FindUnit(entry.id);
    CRecord* input = unit ? unit->Parent() : nullptr;
    if (!IsOfType(input, T::kINPT)) return;
    CRecord* owner = input->Parent();
    if (!IsOfType(owner, T::kUNIT)) return;
    SCollect collect{owner->GetUInt(T::kUnitId), input->GetString(T::kInptKey), {}};
    (void)UDocModel::ForEachScene(fDocument->Scenes().Get(), &CollectSceneValue, &collect);
    // Requests go from the end: the first scene's clip loads first.
    for (auto it = collect.names.rbegin(); it != collect.names.rend(); ++it) {
        const LFsSpec file = fDocument->ResolveStoredPath(*it);
        if (file.IsEmpty()) continue;
        SMediaRef ref;
        ref.name = file;
        entry.pending.push_back(ref);
    }
    for (size_t i = entry.loaded.size(); i-- > 0;)
        if (!Has(entry.pending, entry.loaded[i].name))
            entry.loaded.erase(entry.loaded.begin() + static_cast<std::ptrdiff_t>(i));
}

LMessage CMediaCache::Handle(const LMessage& msg) {
    if (msg.Is(LTimer_Expire) && msg.sender == &fTimer) {
        for (size_t i = 0; i < fEntries.size(); ++i) {
            CMediaEntry& entry = *fEntries[i];
            if (!entry.dirty) continue;
            entry.dirty = false;
            Rebuild(entry);
            RequestNextPending(entry);
        }
        return LMessage();
    }
    return LHandler::Handle(msg);
}

void CMediaCache::RecordObserver(void* context, const SRecordEvent* event) {
    if (context && event) static_cast<CMediaCache*>(context)->OnRecordChange(*event);
}

void CMediaCache::OnRecordChange(const SRecordEvent& event) {
    CRecord* record = event.record.Get();
    if (!record) return;
    if (event.kind == SRecordEvent::kValueChanged) {
        if (IsOfType(record, T::kINPT) && event.field == T::kInptValue) {
            if (const CRecord* image = record->GetSubRecord(T::kInptImage))
                MarkDirty(image->GetUInt(T::kUnitId));
            return;
        }
        if (record->IsOfType(CAppPrefs::kDomain, CAppPrefs::kPREF) &&
            event.field == CAppPrefs::kPrefBetter3D) {
            const bool on = Multisample();
            std::lock_guard<std::mutex> lock(fLock);
            for (auto& e : fEntries) e->modelView.SetMultisample(on);
            return;
        }
        if ((IsOfType(record, T::kPRMT) && event.field == T::kPrmtValue) ||
            (IsOfType(record, T::kSCNE) && event.field == T::kScneValues)) {
            MarkAllDirty();
            return;
        }
    }
    if (IsOfType(record, T::kUNIT) && event.kind == SRecordEvent::kDeleting) {
        RemoveEntry(record->GetUInt(T::kUnitId));
        return;
    }
    if (UDocModel::IsSceneListEvent(event)) MarkAllDirty();
}
