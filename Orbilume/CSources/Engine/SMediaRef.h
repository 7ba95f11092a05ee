#pragma once

#include <cstdint>

#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/Engine/CMediaImage.h"
#include "Orbilume/CSources/Engine/CMediaModel.h"
#include "Orbilume/CSources/Media/CAVMovie.h"
#include "Platform/Foundation/Object.h"

// What a loaded medium is: kind numbers of the loader's callbacks and of SMediaRef::Kind.
enum EMediaKind : int32_t { kMediaNone = 0, kMediaImage = 1, kMediaMovie = 2, kMediaModel = 3 };

// One loaded medium as a value: the file and at most one of image, movie and model (none: nothing
// loaded). Copies share the references.
struct SMediaRef {
    LFsSpec name;
    plat::Ref<CMediaImage> image;
    plat::Ref<CAVMovie> movie;
    plat::Ref<CMediaModel> model;

    int32_t Kind() const {
        if (image) return kMediaImage;
        if (movie) return kMediaMovie;
        if (model) return kMediaModel;
        return kMediaNone;
    }
    void Clear() { *this = SMediaRef(); }
};
