#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Platform/Foundation/Object.h"

class CColladaDoc;

// A 3D model shared by every media cache of the process: the file and its loaded document (owned).
// It joins the process-wide registry when made and leaves it on its last release, which may come
// on any thread; Find (main thread) hands out a new reference only to a model that is still alive.
class CMediaModel {
    template <class T>
    friend class TMediaRegistry;

public:
    // Null for an empty spec or a null document. Registers the model.
    static plat::Ref<CMediaModel> Create(const LFsSpec& file, std::unique_ptr<CColladaDoc> document);
    static plat::Ref<CMediaModel> Find(const LFsSpec& file);
    static int32_t RegisteredCount();

    void Retain() const { fCount.fetch_add(1, std::memory_order_relaxed); }
    void Release() const;

    const LFsSpec& File() const { return fFile; }
    CColladaDoc* Document() const { return fDocument.get(); }

private:
    CMediaModel(const LFsSpec& file, std::unique_ptr<CColladaDoc> document);
    ~CMediaModel();

    mutable std::atomic<int32_t> fCount{1};
    LFsSpec fFile;
    std::unique_ptr<CColladaDoc> fDocument;
    CMediaModel* fNext = nullptr;
    CMediaModel* fPrev = nullptr;
};
