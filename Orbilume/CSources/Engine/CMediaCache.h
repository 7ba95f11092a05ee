#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/Engine/CImageSource.h"
#include "Orbilume/CSources/Engine/CMovieSource.h"
#include "Orbilume/CSources/Engine/SMediaRef.h"
#include "Orbilume/CSources/Models/CModelView.h"

class CAppPrefs;
class CDocModelHolder;
class CMediaLoader;
class CRecord;
struct SRecordEvent;

// The media of one media unit: what it shows now, what scenes may switch it to (loaded ahead, one
// file at a time) and the sources that feed its composition.
struct CMediaEntry {
    CMediaEntry(std::mutex* cacheLock, CMediaLoader* loader) : imageSource(cacheLock, loader) {}

    uint32_t id = 0;
    LFsSpec name;  // the file SetMedia asked for while its load is out
    bool dirty = true;
    std::vector<SMediaRef> loaded;
    std::vector<SMediaRef> pending;  // names only; requested from the end
    SMediaRef current;
    CImageSource imageSource;
    CMovieSource movieSource;
    CModelView modelView;
    bool shown = false;  // an empty picture was pushed
};

// The media of file clips of one engine, one entry per media unit id (sorted). Every clip that a
// scene of the document can switch a unit to is loaded ahead on the media loader; still images
// and models are shared through their registries, a movie serves one unit. Record changes mark
// entries dirty and a refresh 1000 ms after the last change rebuilds their wanted lists.
//
// Threads: everything on the main thread but FindEntry, which the render thread calls under
// Lock(); the main thread takes that lock to insert and remove entries and to change what an
// entry shows. The lock nests inside the engine's frame lock.
class CMediaCache : public LHandler {
public:
    static constexpr uint32_t kRefreshMs = 1000;

    // Follows the document and the preferences (either may be null); loads on the given loader, or
    // on the application's when null.
    CMediaCache(CDocModelHolder* document, CAppPrefs* prefs = nullptr, CMediaLoader* loader = nullptr);
    ~CMediaCache() override;

    void AddEntry(uint32_t id);
    void RemoveEntry(uint32_t id);
    // 1 when the entry is missing or the medium was served at once (an empty spec clears it); 0
    // when a load started (the unit's record hears when it is done).
    int32_t SetMedia(uint32_t id, const LFsSpec& spec);
    void MarkDirty(uint32_t id);
    void MarkAllDirty();
    // Under Lock(); null when none.
    CMediaEntry* FindEntry(uint32_t id);
    std::mutex& Lock() { return fLock; }

    LMessage Handle(const LMessage& msg) override;
    // The loader's callback (main thread).
    static void OnLoaded(void* self, const SMediaRef& loaded, int32_t kind);
    void OnRecordChange(const SRecordEvent& event);

    size_t EntryCount() const { return fEntries.size(); }
    bool RefreshPending() const { return fTimer.IsRunning(); }
    CMediaLoader* Loader() const;

private:
    static void RecordObserver(void* context, const SRecordEvent* event);
    size_t LowerBound(uint32_t id) const;
    void Loaded(const SMediaRef& loaded, int32_t kind);
    void Rebuild(CMediaEntry& entry);
    void RequestNextPending(CMediaEntry& entry);
    // Lock held: makes the record current and hands back the one it replaces.
    void ApplyCurrent(CMediaEntry& entry, const SMediaRef& record, SMediaRef& old);
    CRecord* FindUnit(uint32_t id) const;
    // The preferences' better-3D choice: the model views multisample.
    bool Multisample() const;

    CDocModelHolder* fDocument;
    CAppPrefs* fPrefs;
    CMediaLoader* fLoader;
    std::mutex fLock;
    LTimer fTimer;
    std::vector<std::unique_ptr<CMediaEntry>> fEntries;
};
