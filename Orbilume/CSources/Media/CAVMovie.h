#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Common/Mac/CRunLoopSignal.h"
#include "Common/Memory/CRefObj.h"
#include "Common/Posix/CEventFlag.h"
#include "Common/Posix/CPsxMutex.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Media/MovieItem.h"

namespace plat {
class Image;
class MoviePlayer;
class PixelBuffer;
class RunLoop;
}  // namespace plat

// One movie or image file on a player: what it holds, a play range with loop, rate, exact seeks
// and steps, the volume, the newest frame as a BGRA pixel buffer, and the file as a still image.
// Made on the main thread, prepared on the media loader's thread, driven from a render thread whose
// rate, seek and step commands are queued (one record per kind, a newer one replacing the older) and
// run on the main thread. The last release may come on any thread; the object is then deleted on the
// main thread, so that no seek completion, end notification or queued command reaches freed memory.
class CAVMovie : public CRefObj, public LHandler {
public:
    enum Status : int32_t { kPending = 1, kFailed = 2, kReady = 3 };
    enum CmdKind : uint8_t { kCmdSeek, kCmdRate, kCmdStep, kCmdEnd, kCmdKinds };
    static constexpr uint32_t kPrepareTimeoutMs = 10000;

    // Main thread. A path that is not a regular file gives no player.
    explicit CAVMovie(const LFsSpec& file);

    virtual int32_t GetStatus();
    // Loader thread: waits (bounded) for the status, then sets up the end notification and the
    // video output.
    virtual void Prepare();
    virtual bool HasVideo();
    virtual bool HasAudio();
    virtual float GetDuration();
    virtual float GetTime();
    virtual float GetRate();
    virtual void GetRange(float& start, float& end);
    virtual void SetRange(float start, float end);
    virtual void SetLoop(bool loop);
    virtual void SetVolume(float volume);
    virtual void QueueRate(float rate);
    virtual void QueueSeek(float time, float rate);
    virtual void QueueStep(bool allowBack, float time);
    // A new frame for the current time, or null.
    virtual plat::Ref<plat::PixelBuffer> CopyFrame();
    // The file as an upright still (a one-frame movie's frame when no image reader takes it).
    virtual plat::Ref<plat::Image> GetStill();

    // The video's natural size, a still's size, 0 x 0 without video. Any thread.
    void GetSize(float& width, float& height);
    // Consumes every message.
    LMessage Handle(const LMessage& msg) override;

    // Tests: the bound of Prepare's wait; a replacement for reading the player's status.
    static void SetPrepareTimeoutMs(uint32_t ms);
    using StatusReader = int32_t (*)(const CAVMovie* movie);
    static void SetStatusReaderForTest(StatusReader reader);
    static int32_t LiveCount();
    uint32_t CommandsRun(CmdKind kind) const { return fCommandsRun[kind].load(); }
    bool IsSeeking() const { return fSeeking.load(); }
    float SeekLatency() const { return fSeekLatency.load(); }
    float LastRate() const { return fLastRate.load(); }
    plat::MoviePlayer* Player() const { return fPlayer.get(); }

protected:
    ~CAVMovie() override;
    void Dispose() const override;

private:
    struct Command {
        float a = 0;
        float b = 0;
    };
    struct SeekDone;

    static void RunQueue(void* self);
    static void OnItemStatus(plat::MovieItem* item, plat::MovieItem::Status status, void* info);
    static void OnEndNote(void* info);
    static void OnSeekDone(bool finished, void* info);
    static void DeleteNow(void* info);

    void Queue(CmdKind kind, float a, float b);
    bool IsQueuedLocked(CmdKind kind) const;
    int32_t ReadStatus() const;
    void Seek(double t);
    void SeekFinished(bool finished, uint32_t startMs);
    void ApplyRate(float rate);
    void StepTo(float target, bool allowBack);
    void OnEnd();
    double Clamp(double t);

    const std::string fPath;
    std::thread::id fOwner;
    plat::Ref<plat::RunLoop> fLoop;
    std::shared_ptr<std::atomic<bool>> fAlive;
    std::atomic<uint32_t> fSeekStartMs{0};
    std::atomic<float> fSeekLatency{0.5f};
    CPsxMutex fCmdLock;
    CRunLoopSignal fCmdSignal;
    Command fCmds[kCmdKinds];
    uint8_t fQueue[kCmdKinds] = {};
    uint8_t fQueued = 0;
    CEventFlag fStatusEvent;
    plat::Ref<plat::MovieItem> fItem;
    plat::Ref<plat::MoviePlayer> fPlayer;
    std::mutex fStillMutex;
    plat::Ref<plat::Image> fStill;
    std::atomic<bool> fVideoOutput{false};
    std::atomic<float> fRangeStart{0};
    std::atomic<float> fRangeEnd{0};
    std::atomic<float> fLastRate{1.0f};
    float fDeferredRate = 0;  // main thread
    bool fRateDeferred = false;
    std::atomic<bool> fLoopOn{false};
    std::atomic<bool> fStillFailed{false};
    std::atomic<bool> fSeeking{false};
    int fSeeksOutstanding = 0;  // main thread
    std::atomic<int32_t> fStatus{kPending};
    std::atomic<uint32_t> fCommandsRun[kCmdKinds] = {};
};

// Holder operations of the media loader: the holder's old movie is released.
void CreateMovie(plat::Ref<CAVMovie>& holder, const LFsSpec& file);
// 2 for an empty holder.
int32_t GetMovieStatus(const plat::Ref<CAVMovie>& holder);
// Nothing for an empty holder.
void PrepareMovie(const plat::Ref<CAVMovie>& holder);
