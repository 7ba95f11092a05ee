#include "Orbilume/CSources/Engine/CImageSource.h"

#include "Orbilume/CSources/Engine/CMediaLoader.h"
#include "Orbilume/CSources/Engine/USize.h"
#include "Platform/Composer/Image.h"

namespace {

USize SizeOf(const plat::Image* image) {
    return image ? USize{static_cast<int32_t>(image->Width()), static_cast<int32_t>(image->Height())}
                 : USize{};
}

}  // namespace

CImageSource::~CImageSource() {
    Clear();
}

CMediaLoader* CImageSource::Loader() const {
    return fLoader ? fLoader : CMediaLoader::Get();
}

void CImageSource::CancelFits() {
    if (CMediaLoader* loader = Loader())
        loader->Cancel(this, reinterpret_cast<CMediaRequest::AnyCallback>(&CImageSource::OnFitted));
}

void CImageSource::SetImage(plat::Ref<CMediaImage> image) {
    CancelFits();
    fImage = std::move(image);
    fFitted = nullptr;
    fChanged = true;
    fFitPending = false;
}

void CImageSource::Clear() {
    CancelFits();
    fFitted = nullptr;
    fImage = nullptr;
}

bool CImageSource::GetImage(plat::Ref<plat::Image>& out) {
    const bool changed = fChanged;
    fChanged = false;
    out = nullptr;
    plat::Image* image = fImage ? fImage->Image() : nullptr;
    if (!image) return changed;
    const USize extent = SizeOf(image);
    const USize target = USize::AspectFit(
        extent, USize{static_cast<int32_t>(fWidth), static_cast<int32_t>(fHeight)}, fStretch);
    if (target == extent) {
        if (fFitted) {
            fFitted = nullptr;
        } else if (!changed) {
            return false;
        }
        out = plat::RetainRef(image);
        return changed;
    }
    if (fFitted) {
        if (SizeOf(fFitted.get()) == target) {
            if (!fFitPending) return changed;
            fFitPending = false;
            out = fFitted;
            return changed;
        }
        // A fit for an earlier box: nothing is in flight any more.
        fFitted = nullptr;
        fFitPending = false;
    }
    if (fFitPending) return changed;
    CancelFits();
    fFitted = nullptr;
    fFitPending = true;
    if (CMediaLoader* loader = Loader())
        loader->PostFit(this, &CImageSource::OnFitted, image, static_cast<uint32_t>(target.width),
                        static_cast<uint32_t>(target.height));
    return changed;
}

void CImageSource::OnFitted(void* info, plat::Image* fitted) {
    auto* self = static_cast<CImageSource*>(info);
    std::lock_guard<std::mutex> lock(*self->fCacheLock);
    self->fFitted = plat::RetainRef(fitted);
    if (!fitted) self->fFitPending = false;
}
