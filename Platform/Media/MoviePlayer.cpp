#include "Platform/Media/MoviePlayer.h"

#include <algorithm>
#include <cmath>

#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Media/MovieDecoder.h"
#include "Platform/Media/MovieItem.h"
#include "Platform/Video/PixelBuffer.h"

namespace plat {

namespace {

struct EndDelivery {
    MoviePlayer::EndCallback callback;
    void* info;
    std::shared_ptr<std::atomic<bool>> alive;
};

void DeliverEnd(void* info) {
    std::unique_ptr<EndDelivery> d(static_cast<EndDelivery*>(info));
    if (d->alive->load()) d->callback(d->info);
}

int Direction(double rate) {
    return rate > 0 ? 1 : rate < 0 ? -1 : 0;
}

}  // namespace

MoviePlayer* MoviePlayer::Create() {
    return new MoviePlayer();
}

MoviePlayer::MoviePlayer() : fBaseClock(ClockNow()), fAlive(std::make_shared<std::atomic<bool>>(true)) {}

MoviePlayer::~MoviePlayer() {
    fSound.reset();
    fAlive->store(false);
    CompleteSeekLocked();
    if (fItem) fItem->SetPlayDirection(0);
}

void MoviePlayer::CompleteSeekLocked() {
    if (fSeek) fSeek->Complete(false);
    fSeek = nullptr;
}

void MoviePlayer::ReplaceCurrentItem(MovieItem* item) {
    Ref<MovieItem> old;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        CompleteSeekLocked();
        old = std::move(fItem);
        fItem.reset(item);
        fLastHanded = nullptr;
        fFollowFrame = false;
        SetBaseLocked(0, ClockNow());
        if (fItem) fItem->SetPlayDirection(Direction(fRate));
        if (fItem && !fSound) fSound = std::make_unique<MovieSound>(&fVolume);
        if (fSound) fSound->SetItem(fItem.get());
        PublishLocked();
    }
    if (old) old->SetPlayDirection(0);
}

Ref<MovieItem> MoviePlayer::CurrentItem() const {
    std::lock_guard<std::mutex> lock(fMutex);
    return fItem;
}

void MoviePlayer::SetBaseLocked(double t, double now) {
    fBaseTime = t;
    fBaseClock = now;
    PublishLocked();
}

void MoviePlayer::PublishLocked() {
    if (!fSound) return;
    MovieSound::Timing timing;
    timing.baseTime = fBaseTime;
    timing.baseClock = fBaseClock;
    timing.rate = fRate;
    timing.seek = fSeek;
    fSound->SetTiming(timing);
}

double MoviePlayer::TimeLocked(double now) const {
    if (fFollowFrame && fItem) {
        Ref<MovieFrame> frame = fItem->CurrentFrame();
        if (frame) return frame->Time();
    }
    double t = fBaseTime + fRate * (now - fBaseClock);
    return std::isfinite(t) ? t : fBaseTime;
}

double MoviePlayer::ForwardEndLocked() const {
    double duration = fItem ? fItem->Info().duration : 0;
    if (fForwardEnd >= 0) return duration > 0 ? std::min(fForwardEnd, duration) : fForwardEnd;
    return duration;
}

double MoviePlayer::ReverseEndLocked() const {
    return fReverseEnd >= 0 ? fReverseEnd : 0;
}

void MoviePlayer::PostEndLocked() {
    if (!fEndCallback || !fEndLoop) return;
    auto* d = new EndDelivery{fEndCallback, fEndInfo, fAlive};
    if (!PostToRunLoop(fEndLoop.get(), DeliverEnd, d)) delete d;
}

bool MoviePlayer::CheckEndLocked(double t, double now) {
    if (!fItem || fRate == 0) return false;
    double end;
    if (fRate > 0) {
        end = ForwardEndLocked();
        bool reached = end > 0 && t >= end;
        if (!reached && fItem->AtForwardEnd()) {
            // No duration, or a cut file: the end is where the last frame stops.
            Ref<MovieFrame> last = fItem->CurrentFrame();
            double stop = last ? last->Time() + std::max(last->Duration(), 0.0) : 0;
            if (t >= stop) {
                reached = true;
                end = stop;
            }
        }
        if (!reached) return false;
    } else {
        end = ReverseEndLocked();
        if (t > end) return false;
    }
    fRate = 0;
    fItem->SetPlayDirection(0);
    SetBaseLocked(end, now);
    PostEndLocked();
    return true;
}

void MoviePlayer::SetRate(double rate) {
    std::lock_guard<std::mutex> lock(fMutex);
    if (!std::isfinite(rate)) rate = 0;
    const double now = ClockNow();
    SetBaseLocked(TimeLocked(now), now);
    fFollowFrame = false;
    fRate = rate;
    if (fItem) fItem->SetPlayDirection(Direction(rate));
    PublishLocked();
}

double MoviePlayer::Rate() const {
    std::lock_guard<std::mutex> lock(fMutex);
    return fRate;
}

double MoviePlayer::CurrentTime() {
    std::lock_guard<std::mutex> lock(fMutex);
    const double now = ClockNow();
    double t = TimeLocked(now);
    if (CheckEndLocked(t, now)) t = fBaseTime;
    return t;
}

void MoviePlayer::SetVolume(float volume) {
    if (!(volume >= 0)) volume = 0;
    fVolume.store(std::min(volume, 1.0f), std::memory_order_relaxed);
}

void MoviePlayer::SeekToTime(double t, MovieCompletion::Callback completion, void* info) {
    std::shared_ptr<MovieCompletion> request = MovieCompletion::Create(completion, info);
    std::lock_guard<std::mutex> lock(fMutex);
    CompleteSeekLocked();
    if (!fItem || !std::isfinite(t)) {
        request->Complete(false);
        return;
    }
    t = std::max(t, 0.0);
    fSeek = request;
    fFollowFrame = false;
    SetBaseLocked(t, ClockNow());  // publishes the pending seek too
    fItem->RequestSeek(t, std::move(request));
}

void MoviePlayer::StepByCount(int frames) {
    std::lock_guard<std::mutex> lock(fMutex);
    CompleteSeekLocked();
    if (!fItem) return;
    fRate = 0;
    fItem->SetPlayDirection(0);
    fItem->RequestStep(frames);
    fFollowFrame = true;
    PublishLocked();
}

void MoviePlayer::SetForwardPlaybackEndTime(double t) {
    std::lock_guard<std::mutex> lock(fMutex);
    fForwardEnd = std::isfinite(t) ? t : -1;
}

void MoviePlayer::SetReversePlaybackEndTime(double t) {
    std::lock_guard<std::mutex> lock(fMutex);
    fReverseEnd = std::isfinite(t) ? t : -1;
}

void MoviePlayer::SetEndCallback(EndCallback callback, void* info) {
    SetEndCallback(callback, info, nullptr);
}

void MoviePlayer::SetEndCallback(EndCallback callback, void* info, RunLoop* loop) {
    std::lock_guard<std::mutex> lock(fMutex);
    fEndCallback = callback;
    fEndInfo = info;
    fEndLoop = callback ? RetainRef(loop ? loop : RunLoop::Current()) : nullptr;
}

bool MoviePlayer::HasNewPixelBufferForItemTime(double t) {
    Ref<MovieItem> item = CurrentItem();
    if (!item) return false;
    Ref<MovieFrame> frame = item->FrameForTime(t);
    std::lock_guard<std::mutex> lock(fMutex);
    return frame && frame.get() != fLastHanded.get();
}

Ref<PixelBuffer> MoviePlayer::CopyPixelBufferForItemTime(double t, double* displayTime) {
    Ref<MovieItem> item = CurrentItem();
    if (!item) return nullptr;
    Ref<MovieFrame> frame = item->FrameForTime(t);
    if (!frame) return nullptr;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        fLastHanded = frame;
    }
    if (displayTime) *displayTime = frame->Time();
    if (PixelBuffer* ready = frame->Converted()) return RetainRef(ready);
    std::lock_guard<std::mutex> lock(fConvertMutex);
    return fConverter.Convert(*frame);
}

}  // namespace plat
