#include "Orbilume/CSources/Media/CObStillSaver_CGi_MemA.h"

#include <cstdlib>

#include "Common/Stream/CStream.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/ImageScaling.h"
#include "Platform/Graphics/PNGEncoder.h"

CObStillSaver_CGi_MemA::CObStillSaver_CGi_MemA(LHandler* upper)
    : LHandler(upper), mDoneSignal(this, SignalDone) {
    (void)mWorker.Start(WorkerBody, this, -1);
}

CObStillSaver_CGi_MemA::~CObStillSaver_CGi_MemA() {
    mQuit.store(true);
    mWake.Set();
    mWorker.Join();
}

bool CObStillSaver_CGi_MemA::Write(const plat::Ref<CStillFrame>& image, const SStillOptions& options) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!image || !mWorker.IsRunning()) return false;
    {
        CPsxMutex::Locker lock(mMutex);
        mImage = image;
        mOptions = options;
        mData.clear();
    }
    mState.store(kEncoding);
    mWake.Set();
    return true;
}

void CObStillSaver_CGi_MemA::Reset() {
    PLAT_DCHECK_MAIN_THREAD();
    mState.store(kRequested);
    {
        CPsxMutex::Locker lock(mMutex);
        mData.clear();
    }
    mDoneSignal.Signal();
}

void CObStillSaver_CGi_MemA::CopyTo(CStream& stream) {
    CPsxMutex::Locker lock(mMutex);
    if (!mData.empty()) stream.Put(mData.data(), mData.size());
}

size_t CObStillSaver_CGi_MemA::dataSize() {
    CPsxMutex::Locker lock(mMutex);
    return mData.size();
}

void CObStillSaver_CGi_MemA::FitSize(uint32_t width, uint32_t height, uint32_t max, uint32_t& outWidth,
                                     uint32_t& outHeight) {
    outWidth = width;
    outHeight = height;
    if (max == 0 || (width <= max && height <= max) || max > 0x7FFFFFFF) return;
    CLRect fitted{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
    fitted.MaxFit(CLRect{0, 0, static_cast<int32_t>(max), static_cast<int32_t>(max)});
    outWidth = fitted.Width() > 0 ? static_cast<uint32_t>(fitted.Width()) : 1;
    outHeight = fitted.Height() > 0 ? static_cast<uint32_t>(fitted.Height()) : 1;
}

bool CObStillSaver_CGi_MemA::EncodeFrame(const CStillFrame& frame, uint32_t max, std::vector<uint8_t>& out) {
    out.clear();
    uint32_t w, h;
    FitSize(frame.width(), frame.height(), max, w, h);
    if (w == frame.width() && h == frame.height())
        return plat::PNGEncoder::Encode(frame.pixels(), static_cast<int32_t>(w), static_cast<int32_t>(h),
                                        frame.bytesPerRow(), plat::PixelOrder::kARGB, out);
    size_t rowBytes = size_t{w} * 4;
    auto* scaled = static_cast<uint8_t*>(std::malloc(rowBytes * h));
    if (!scaled) return false;
    plat::DrawPixelsScaled(frame.pixels(), static_cast<int32_t>(frame.width()),
                           static_cast<int32_t>(frame.height()), frame.bytesPerRow(), scaled,
                           static_cast<int32_t>(w), static_cast<int32_t>(h), rowBytes);
    bool ok = plat::PNGEncoder::Encode(scaled, static_cast<int32_t>(w), static_cast<int32_t>(h), rowBytes,
                                       plat::PixelOrder::kARGB, out);
    std::free(scaled);
    if (!ok) out.clear();
    return ok;
}

void CObStillSaver_CGi_MemA::WorkerBody(void* self) {
    static_cast<CObStillSaver_CGi_MemA*>(self)->WorkerLoop();
}

void CObStillSaver_CGi_MemA::WorkerLoop() {
    for (;;) {
        mWake.Wait();
        if (mQuit.load()) return;
        plat::Ref<CStillFrame> frame;
        {
            CPsxMutex::Locker lock(mMutex);
            frame = std::move(mImage);
        }
        if (!frame) continue;
        std::vector<uint8_t> png;
        (void)EncodeFrame(*frame, mMaxSize.load(), png);  // a failure publishes the empty result
        bool superseded;
        {
            CPsxMutex::Locker lock(mMutex);
            // A newer request came in meanwhile: its own pass announces the result.
            superseded = static_cast<bool>(mImage);
            if (!superseded) mData.swap(png);
        }
        frame = nullptr;
        if (!superseded) mDoneSignal.Signal();
    }
}

void CObStillSaver_CGi_MemA::SignalDone(void* self) {
    auto* saver = static_cast<CObStillSaver_CGi_MemA*>(self);
    saver->mState.store(kDone);
    saver->Send(CObStillSaver_CGi_MemA_Done);
}
