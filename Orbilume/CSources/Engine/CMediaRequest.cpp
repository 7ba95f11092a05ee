#include "Orbilume/CSources/Engine/CMediaRequest.h"

#include "Orbilume/CSources/Engine/CMediaLoader.h"
#include "Orbilume/CSources/Media/UCIImage.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Platform/Composer/Image.h"

CMediaLoadRequest::CMediaLoadRequest(void* context, LoadedCallback callback, const LFsSpec& name)
    : CMediaRequest(context, reinterpret_cast<AnyCallback>(callback)), fName(name) {}

CMediaLoadRequest::~CMediaLoadRequest() = default;

void CMediaLoadRequest::SetModel(std::unique_ptr<CColladaDoc> model) {
    fModel = std::move(model);
}

void CMediaLoadRequest::RunOnLoader() {
    if (fModel) {
        fModelLoaded = fModel->LoadFile();
        return;
    }
    if (!fMovie) return;
    fMovie->Prepare();
    // A short video-only file shows as a still: decode it here, not on the main thread.
    if (fMovie->GetStatus() == CAVMovie::kReady && fMovie->HasVideo() && !fMovie->HasAudio() &&
        fMovie->GetDuration() < kStillDuration)
        (void)fMovie->GetStill();
}

void CMediaLoadRequest::Complete(CMediaLoader& loader, AnyCallback any) {
    auto callback = reinterpret_cast<LoadedCallback>(any);
    if (callback) {
        SMediaRef loaded;
        loaded.name = fName;
        int32_t kind = kMediaNone;
        if (fModel) {
            if (fModelLoaded) loaded.model = CMediaModel::Create(fName, std::move(fModel));
            if (loaded.model) kind = kMediaModel;
        } else if (fMovie && fMovie->GetStatus() == CAVMovie::kReady) {
            if (!fMovie->HasVideo() || fMovie->HasAudio() || fMovie->GetDuration() >= kStillDuration) {
                loaded.movie = fMovie;
                kind = kMediaMovie;
            } else if (plat::Ref<plat::Image> still = fMovie->GetStill()) {
                loaded.image = CMediaImage::Create(fName, still.get());
                if (loaded.image) kind = kMediaImage;
            }
        }
        callback(Context(), loaded, kind);
    }
    loader.LoadDone();
}

CImageFitRequest::CImageFitRequest(void* context, FittedCallback callback, plat::Image* image, uint32_t width,
                                   uint32_t height)
    : CMediaRequest(context, reinterpret_cast<AnyCallback>(callback)),
      fSource(plat::RetainRef(image)),
      fWidth(width),
      fHeight(height) {}

CImageFitRequest::~CImageFitRequest() = default;

void CImageFitRequest::RunOnLoader() {
    if (!fSource || !fSource->Width() || !fSource->Height()) return;
    const float sx = static_cast<float>(fWidth) / static_cast<float>(fSource->Width());
    const float sy = static_cast<float>(fHeight) / static_cast<float>(fSource->Height());
    fResult = UCIImage::Scale(fSource.get(), sx, sy);
}

void CImageFitRequest::Complete(CMediaLoader&, AnyCallback any) {
    if (auto callback = reinterpret_cast<FittedCallback>(any)) callback(Context(), fResult.get());
}
