#pragma once

#include <cstdint>
#include <mutex>

#include "Orbilume/CSources/Engine/CMediaImage.h"
#include "Platform/Composer/Image.h"
#include "Platform/Foundation/Object.h"

class CMediaLoader;

// The still image of a media cache entry, fitted to the size the unit renders at. Scaled copies are
// made on the media loader's thread; until one arrives the unit keeps what it shows.
//
// Threads: GetImage on the render thread and the setters on the main thread, both under the cache
// lock; OnFitted (main thread) takes that lock itself.
class CImageSource {
public:
    // loader null: the application's.
    CImageSource(std::mutex* cacheLock, CMediaLoader* loader) : fCacheLock(cacheLock), fLoader(loader) {}
    ~CImageSource();
    CImageSource(const CImageSource&) = delete;
    CImageSource& operator=(const CImageSource&) = delete;

    void SetImage(plat::Ref<CMediaImage> image);
    void Clear();
    bool HasImage() const { return static_cast<bool>(fImage); }
    // Cancels the fit requests of this source at the loader.
    void CancelFits();
    // The picture to show now (null: nothing new); answers whether the image changed since the last
    // fetch.
    bool GetImage(plat::Ref<plat::Image>& out);
    void SetBox(uint32_t width, uint32_t height, bool stretch) {
        fWidth = width;
        fHeight = height;
        fStretch = stretch;
    }
    bool FitPending() const { return fFitPending; }

    // The loader's callback (main thread).
    static void OnFitted(void* self, plat::Image* fitted);

private:
    CMediaLoader* Loader() const;

    std::mutex* fCacheLock;
    CMediaLoader* fLoader;
    plat::Ref<CMediaImage> fImage;
    plat::Ref<plat::Image> fFitted;
    bool fChanged = true;
    bool fFitPending = false;
    uint32_t fWidth = 0;
    uint32_t fHeight = 0;
    bool fStretch = false;
};
