#include "Orbilume/CSources/Engine/CMediaImage.h"

#include "Orbilume/CSources/Engine/TMediaRegistry.h"
#include "Platform/Composer/Image.h"

using Registry = TMediaRegistry<CMediaImage>;

plat::Ref<CMediaImage> CMediaImage::Create(const LFsSpec& file, plat::Image* image) {
    if (file.IsEmpty() || !image) return nullptr;
    auto* made = new CMediaImage(file, image);
    Registry::Get().Link(made);
    return plat::Adopt(made);
}

plat::Ref<CMediaImage> CMediaImage::Find(const LFsSpec& file) {
    return Registry::Get().Find(file);
}

int32_t CMediaImage::RegisteredCount() {
    return Registry::Get().Count();
}

CMediaImage::CMediaImage(const LFsSpec& file, plat::Image* image)
    : fFile(file), fImage(plat::RetainRef(image)) {}

CMediaImage::~CMediaImage() = default;

void CMediaImage::Release() const {
    Registry::Get().Release(this);
}
