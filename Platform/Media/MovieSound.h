#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "Platform/Audio/AudioSystem.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Media/MovieDecoder.h"

namespace plat {

class MovieCompletion;
class MovieItem;

// The sound of a player's current item: decoded and resampled on a thread of its own, pulled by an
// output unit on the default output. Audible only at rate 1 with no seek pending, with the volume as
// gain; kept within 40 ms of the player's time (plat::ClockNow) by dropping or inserting frames.
// Without an output device it is decoded and dropped.
class MovieSound {
public:
    // The player's timeline: time = baseTime + rate x (ClockNow - baseClock).
    struct Timing {
        double baseTime = 0;
        double baseClock = 0;
        double rate = 0;
        std::shared_ptr<MovieCompletion> seek;  // pending while not done
    };
    static constexpr double kSyncTolerance = 0.04;
    static constexpr double kReadAhead = 0.5;
    static constexpr int kChannels = 2;

    explicit MovieSound(const std::atomic<float>* volume);
    ~MovieSound();
    MovieSound(const MovieSound&) = delete;
    MovieSound& operator=(const MovieSound&) = delete;

    void SetItem(MovieItem* item);
    void SetTiming(const Timing& timing);

    // Diagnostics (any thread): an output unit is running; the time of the next frame to play (-1
    // when none is buffered); the end of what is decoded (-1 before anything is).
    bool HasOutput() const { return fHasOutput.load(std::memory_order_acquire); }
    double NextFrameTime() const;
    double DecodedEnd() const;

private:
    struct Chunk {
        double time;
        std::vector<int16_t> samples;
        size_t offset = 0;  // frames already played
    };
    static int Render(void* context, AudioBuffer& buffer, uint32_t frames);
    void Run();
    void OpenOutput();
    double TimeAtLocked(double now) const;
    double NextTimeLocked() const;
    void DropLocked(size_t frames);
    void ClearLocked();

    const std::atomic<float>* fVolume;
    std::unique_ptr<AudioOutputUnit> fUnit;  // made and started on the thread; stopped after the join
    std::atomic<bool> fHasOutput{false};
    double fRate = 48000;
    std::atomic<bool> fCancel{false};  // interrupts an open or a read of a replaced item

    mutable std::mutex fMutex;
    std::condition_variable fWake;
    bool fStop = false;
    Ref<MovieItem> fItem;
    bool fItemChanged = false;
    Timing fTiming;
    std::deque<Chunk> fRing;
    size_t fRingFrames = 0;
    double fDecodedEnd = -1;
    std::thread fThread;
};

}  // namespace plat
