#pragma once

#include <atomic>
#include <cstdint>

#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Platform/Composer/Image.h"
#include "Platform/Foundation/Object.h"

// A still image shared by every media cache of the process: the file and its decoded image. It
// joins the process-wide registry when made and leaves it on its last release, which may come on
// any thread; Find (main thread) hands out a new reference only to an image that is still alive.
class CMediaImage {
    template <class T>
    friend class TMediaRegistry;

public:
    // Null for an empty spec or a null image. Registers the image.
    static plat::Ref<CMediaImage> Create(const LFsSpec& file, plat::Image* image);
    // The registered image of that file, retained; null when none.
    static plat::Ref<CMediaImage> Find(const LFsSpec& file);
    static int32_t RegisteredCount();

    void Retain() const { fCount.fetch_add(1, std::memory_order_relaxed); }
    void Release() const;

    const LFsSpec& File() const { return fFile; }
    plat::Image* Image() const { return fImage.get(); }

private:
    CMediaImage(const LFsSpec& file, plat::Image* image);
    ~CMediaImage();

    mutable std::atomic<int32_t> fCount{1};
    LFsSpec fFile;
    plat::Ref<plat::Image> fImage;
    CMediaImage* fNext = nullptr;
    CMediaImage* fPrev = nullptr;
};
