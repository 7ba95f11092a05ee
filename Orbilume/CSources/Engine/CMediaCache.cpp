#include "Orbilume/CSources/Engine/CMediaCache.h"

#include <algorithm>

CMediaCache::CMediaCache(CDocModelHolder* document) : fDocument(document) {}

void CMediaCache::AddEntry(uint32_t id) {
    if (!id) return;
    std::lock_guard<std::mutex> lock(fLock);
    for (const SEntry& e : fEntries)
        if (e.id == id) return;
    fEntries.push_back({id, {}});
}

void CMediaCache::RemoveEntry(uint32_t id) {
    std::lock_guard<std::mutex> lock(fLock);
    fEntries.erase(
        std::remove_if(fEntries.begin(), fEntries.end(), [id](const SEntry& e) { return e.id == id; }),
        fEntries.end());
}

int32_t CMediaCache::SetMedia(uint32_t id, const std::string& path) {
    std::lock_guard<std::mutex> lock(fLock);
    for (SEntry& e : fEntries)
        if (e.id == id) e.path = path;
    return 1;
}

bool CMediaCache::FindEntry(uint32_t id, SEntry& out) const {
    std::lock_guard<std::mutex> lock(fLock);
    for (const SEntry& e : fEntries) {
        if (e.id != id) continue;
        out = e;
        return true;
    }
    return false;
}

bool CMediaCache::DriveMediaIn(uint32_t, MQcRenderer_*, bool) {
    return false;
}

size_t CMediaCache::EntryCount() const {
    std::lock_guard<std::mutex> lock(fLock);
    return fEntries.size();
}
