#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class CDocModelHolder;
class MQcRenderer_;

// The media of file clips, one entry per media unit id. For now only the bookkeeping media units
// need: entries, the file each names, and the driver call; nothing is loaded yet, so SetMedia
// answers "ready" (1) and DriveMediaIn reports no change. The lock nests inside the engine's frame
// lock.
class CMediaCache {
public:
    struct SEntry {
        uint32_t id = 0;
        std::string path;  // empty: no medium
    };

    explicit CMediaCache(CDocModelHolder* document);

    void AddEntry(uint32_t id);
    void RemoveEntry(uint32_t id);
    // The entry's medium becomes the file (empty: none). 0 when an asynchronous load started, 1
    // when the medium is ready or there is no entry.
    int32_t SetMedia(uint32_t id, const std::string& path);
    // The entry of that id, copied under the cache lock; false when there is none.
    bool FindEntry(uint32_t id, SEntry& out) const;
    // Moves the entry's medium into the renderer's media inputs; false when nothing changed.
    bool DriveMediaIn(uint32_t id, MQcRenderer_* renderer, bool force);

    size_t EntryCount() const;

private:
    CDocModelHolder* fDocument;
    mutable std::mutex fLock;
    std::vector<SEntry> fEntries;
};
