#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "Platform/Foundation/Object.h"
#include "Platform/Media/MovieCompletion.h"
#include "Platform/Media/MovieFrameConverter.h"
#include "Platform/Media/MovieSound.h"

namespace plat {

class MovieFrame;
class MovieItem;
class PixelBuffer;
class RunLoop;

// Plays one current item at a rate (negative backwards, 0 paused) on the clock of plat::ClockNow,
// seeks exactly, steps single frames, pauses at the forward or reverse end with one end callback per
// arrival, and hands out the frame for an item time as a BGRA pixel buffer.
class MoviePlayer final : public Object {
public:
    using EndCallback = void (*)(void* info);

    static MoviePlayer* Create();

    // Null allowed. Pending seeks complete unfinished.
    void ReplaceCurrentItem(MovieItem* item);
    Ref<MovieItem> CurrentItem() const;

    void SetRate(double rate);
    double Rate() const;
    // Item time in seconds; reaching an end here pauses and posts the end callback.
    double CurrentTime();
    void SetVolume(float volume);  // 0...1, any thread
    float Volume() const { return fVolume.load(std::memory_order_relaxed); }

    // Exact seek; the completion runs on the run loop of the calling thread, finished or not, once.
    void SeekToTime(double t, MovieCompletion::Callback completion, void* info);
    // ±frames, exact; pauses.
    void StepByCount(int frames);
    // Negative clears (the item's duration and 0 are the ends then).
    void SetForwardPlaybackEndTime(double t);
    void SetReversePlaybackEndTime(double t);
    // Posted to the run loop of the thread that sets it; never after the player's last release.
    void SetEndCallback(EndCallback callback, void* info);
    // As above, posted to `loop` (null: the calling thread's).
    void SetEndCallback(EndCallback callback, void* info, RunLoop* loop);

    // Whether a frame other than the last one handed out is due at item time t.
    bool HasNewPixelBufferForItemTime(double t);
    // The last frame whose time is not after t; null when there is none. displayTime gets its time.
    Ref<PixelBuffer> CopyPixelBufferForItemTime(double t, double* displayTime);

    // The sound's state (tests): null before the first item.
    const MovieSound* Sound() const { return fSound.get(); }

private:
    MoviePlayer();
    ~MoviePlayer() override;

    double TimeLocked(double now) const;
    // Pauses at an end reached by time t; true when it did.
    bool CheckEndLocked(double t, double now);
    void SetBaseLocked(double t, double now);
    double ForwardEndLocked() const;
    double ReverseEndLocked() const;
    void PostEndLocked();
    void CompleteSeekLocked();
    void PublishLocked();

    mutable std::mutex fMutex;
    Ref<MovieItem> fItem;
    double fRate = 0;
    double fBaseTime = 0;
    double fBaseClock = 0;
    bool fFollowFrame = false;  // paused after a step: the time is the current frame's
    double fForwardEnd = -1;
    double fReverseEnd = -1;
    std::shared_ptr<MovieCompletion> fSeek;
    std::atomic<float> fVolume{1.0f};
    EndCallback fEndCallback = nullptr;
    void* fEndInfo = nullptr;
    Ref<RunLoop> fEndLoop;
    std::shared_ptr<std::atomic<bool>> fAlive;
    Ref<MovieFrame> fLastHanded;
    std::unique_ptr<MovieSound> fSound;
    std::mutex fConvertMutex;
    MovieFrameConverter fConverter;
};

}  // namespace plat
