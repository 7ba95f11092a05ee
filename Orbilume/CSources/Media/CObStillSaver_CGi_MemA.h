#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "Common/Mac/CRunLoopSignal.h"
#include "Common/Posix/CEventFlag.h"
#include "Common/Posix/CPsxThread.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/Media/CObStillSaver_CGi.h"

class CStream;

// Sent to the upper handler on the main thread when a result (possibly empty) is ready.
L_MESSAGE_ID(CObStillSaver_CGi_MemA_Done);

// The HTTP panel's still saver: encodes each capture into memory as a PNG, scaled to fit a square of
// the maximum size (0: full size), on a worker thread of its own (one priority step below the
// creating thread), and announces every finished request with "CObStillSaver_CGi_MemA_Done". A failed
// encode announces an empty result. Create, Write, Reset and the accessors: main thread.
// The held frame, its options and the PNG bytes are guarded by the saver's mutex; the worker encodes
// into a buffer of its own and swaps the result in.
class CObStillSaver_CGi_MemA : public CObStillSaver_CGi, public LHandler {
public:
    enum EState : uint8_t { kIdle = 0, kRequested = 1, kEncoding = 2, kDone = 3 };

    explicit CObStillSaver_CGi_MemA(LHandler* upper);
    ~CObStillSaver_CGi_MemA() override;

    [[nodiscard]] bool Write(const plat::Ref<CStillFrame>& image, const SStillOptions& options) override;
    // Announces an empty result (when there is nothing to capture from).
    void Reset();
    // Writes the PNG bytes (none until a result is done) to the stream.
    void CopyTo(CStream& stream);
    size_t dataSize();

    uint32_t maxSize() const { return mMaxSize.load(); }
    void SetMaxSize(uint32_t pixels) { mMaxSize.store(pixels); }
    uint8_t state() const { return mState.load(); }
    void SetState(uint8_t state) { mState.store(state); }
    bool workerRunning() const { return mWorker.IsRunning(); }

    // The size a frame is encoded at: fitted into a square of max keeping its aspect when its larger side
    // is above max; unchanged when max is 0 or not exceeded.
    static void FitSize(uint32_t width, uint32_t height, uint32_t max, uint32_t& outWidth,
                        uint32_t& outHeight);
    // The PNG of the frame at the fitted size; false (out empty) on failure. Any thread.
    [[nodiscard]] static bool EncodeFrame(const CStillFrame& frame, uint32_t max, std::vector<uint8_t>& out);

private:
    static void WorkerBody(void* self);
    static void SignalDone(void* self);
    void WorkerLoop();

    CRunLoopSignal mDoneSignal;
    CEventFlag mWake{false};  // auto-reset
    std::atomic<uint32_t> mMaxSize{0};
    std::atomic<bool> mQuit{false};
    std::atomic<uint8_t> mState{kIdle};
    plat::Ref<CStillFrame> mImage;  // guarded by mMutex
    SStillOptions mOptions;         // guarded by mMutex
    std::vector<uint8_t> mData;     // guarded by mMutex
    CPsxThread mWorker;             // last: joined before the members it uses go
};
