#include "Orbilume/CSources/Media/CObStillSaver_CGi_File.h"

#include <string>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/PNGEncoder.h"

bool CObStillSaver_CGi_File::Write(const plat::Ref<CStillFrame>& image, const SStillOptions&) {
    PLAT_DCHECK_MAIN_THREAD();
    bool saved = false;
    LString path = CMacFileU::PathFromLFsSpec(mFile);
    if (image && path.Length() > 0) {
        saved = plat::PNGEncoder::WriteFile(
            std::string(path.CStr(), path.Length()), image->pixels(), static_cast<int32_t>(image->width()),
            static_cast<int32_t>(image->height()), image->bytesPerRow(), plat::PixelOrder::kARGB);
    }
    mLastResult = saved ? EResult::kSaved : EResult::kFailed;
    if (mCompletion) mCompletion(mCompletionObject, saved);
    return saved;
}
