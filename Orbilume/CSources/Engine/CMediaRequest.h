#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/Engine/SMediaRef.h"
#include "Platform/Composer/Image.h"
#include "Platform/Foundation/Object.h"

class CColladaDoc;
class CMediaLoader;

// A work item of the media loader: who asked (context) and whom to call (callback; null once
// cancelled). The loader thread runs RunOnLoader and touches nothing else; Complete runs on the
// main thread with the callback the loader read under its lock.
class CMediaRequest {
public:
    using AnyCallback = void (*)();

    CMediaRequest(void* context, AnyCallback callback) : fContext(context), fCallback(callback) {}
    virtual ~CMediaRequest() = default;
    CMediaRequest(const CMediaRequest&) = delete;
    CMediaRequest& operator=(const CMediaRequest&) = delete;

    virtual bool IsLoad() const { return false; }
    // Loader thread.
    virtual void RunOnLoader() = 0;
    // Main thread; callback is null for a cancelled request.
    virtual void Complete(CMediaLoader& loader, AnyCallback callback) = 0;

    void* Context() const { return fContext; }
    // Under the loader's lock.
    AnyCallback Callback() const { return fCallback; }
    void ClearCallback() { fCallback = nullptr; }

private:
    void* fContext;
    AnyCallback fCallback;
};

// A file to load: a movie or still through CAVMovie, or a COLLADA model.
class CMediaLoadRequest final : public CMediaRequest {
public:
    // The loaded medium by kind (the record's slot), name set.
    using LoadedCallback = void (*)(void* context, const SMediaRef& loaded, int32_t kind);

    CMediaLoadRequest(void* context, LoadedCallback callback, const LFsSpec& name);
    ~CMediaLoadRequest() override;

    bool IsLoad() const override { return true; }
    void RunOnLoader() override;
    void Complete(CMediaLoader& loader, AnyCallback callback) override;

    const LFsSpec& Name() const { return fName; }
    // Main thread, before the hand-off.
    void SetMovie(plat::Ref<CAVMovie> movie) { fMovie = std::move(movie); }
    void SetModel(std::unique_ptr<CColladaDoc> model);

    // Video only and shorter than this: a still image.
    static constexpr float kStillDuration = 0.1f;

private:
    LFsSpec fName;
    plat::Ref<CAVMovie> fMovie;
    std::unique_ptr<CColladaDoc> fModel;
    bool fModelLoaded = false;
};

// An image to scale to a size on the loader thread.
class CImageFitRequest final : public CMediaRequest {
public:
    // The scaled image, or null.
    using FittedCallback = void (*)(void* context, plat::Image* fitted);

    CImageFitRequest(void* context, FittedCallback callback, plat::Image* image, uint32_t width,
                     uint32_t height);
    ~CImageFitRequest() override;

    void RunOnLoader() override;
    void Complete(CMediaLoader& loader, AnyCallback callback) override;

private:
    plat::Ref<plat::Image> fSource;
    plat::Ref<plat::Image> fResult;
    uint32_t fWidth;
    uint32_t fHeight;
};
