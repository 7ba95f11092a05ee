#include "Platform/Media/MovieSound.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "Platform/Foundation/Clock.h"
#include "Platform/Media/MovieCompletion.h"
#include "Platform/Media/MovieItem.h"

namespace plat {

namespace {

constexpr double kResyncDistance = 0.2;  // farther than this from the decoded span: seek the sound
constexpr auto kPoll = std::chrono::milliseconds(10);

}  // namespace

MovieSound::MovieSound(const std::atomic<float>* volume) : fVolume(volume) {
    fThread = std::thread([this] { Run(); });
}

MovieSound::~MovieSound() {
    {
        std::lock_guard<std::mutex> lock(fMutex);
        fStop = true;
        fCancel.store(true);
        fWake.notify_all();
    }
    fThread.join();
    if (fUnit) {
        fUnit->Stop();
        fUnit->Uninitialize();
        fUnit.reset();
    }
}

void MovieSound::SetItem(MovieItem* item) {
    std::lock_guard<std::mutex> lock(fMutex);
    if (item == fItem.get()) return;
    fItem = RetainRef(item);
    fItemChanged = true;
    fCancel.store(true);
    ClearLocked();
    fWake.notify_all();
}

void MovieSound::SetTiming(const Timing& timing) {
    std::lock_guard<std::mutex> lock(fMutex);
    fTiming = timing;
    fWake.notify_all();
}

double MovieSound::NextFrameTime() const {
    std::lock_guard<std::mutex> lock(fMutex);
    return NextTimeLocked();
}

double MovieSound::DecodedEnd() const {
    std::lock_guard<std::mutex> lock(fMutex);
    return fDecodedEnd;
}

double MovieSound::TimeAtLocked(double now) const {
    double t = fTiming.baseTime + fTiming.rate * (now - fTiming.baseClock);
    return std::isfinite(t) ? t : fTiming.baseTime;
}

double MovieSound::NextTimeLocked() const {
    if (fRing.empty()) return -1;
    return fRing.front().time + fRing.front().offset / fRate;
}

void MovieSound::DropLocked(size_t frames) {
    while (frames > 0 && !fRing.empty()) {
        Chunk& c = fRing.front();
        size_t left = c.samples.size() / kChannels - c.offset;
        size_t n = std::min(frames, left);
        c.offset += n;
        fRingFrames -= n;
        frames -= n;
        if (n == left) fRing.pop_front();
    }
}

void MovieSound::ClearLocked() {
    fRing.clear();
    fRingFrames = 0;
    fDecodedEnd = -1;
}

void MovieSound::OpenOutput() {
    if (fUnit) return;
    AudioSystem* system = CurrentAudioSystem();
    std::unique_ptr<AudioOutputUnit> unit = system ? system->NewOutputUnit() : nullptr;
    if (!unit || !unit->SetDevice(0)) return;
    AudioFormat device;
    double rate =
        unit->GetDeviceFormat(device) && device.rate >= 8000 && device.rate <= 384000 ? device.rate : 48000;
    AudioFormat format{rate, kChannels, 16, true, false};
    if (!unit->SetInputFormat(format)) return;
    unit->SetRenderCallback(this, Render);
    {
        std::lock_guard<std::mutex> lock(fMutex);
        fRate = rate;
    }
    if (!unit->Initialize()) return;
    if (!unit->Start()) {
        unit->Uninitialize();
        return;
    }
    fUnit = std::move(unit);
    fHasOutput.store(true, std::memory_order_release);
}

void MovieSound::Run() {
    std::unique_ptr<MovieDecoder> decoder;
    bool tried = false;  // the current item was looked at
    bool output = false;
    std::unique_lock<std::mutex> lock(fMutex);
    while (!fStop) {
        if (fItemChanged) {
            fItemChanged = false;
            tried = false;
            lock.unlock();
            decoder.reset();
            lock.lock();
            if (!fItemChanged) fCancel.store(false);
            continue;
        }
        Ref<MovieItem> item = fItem;
        if (item && !tried) {
            MovieItem::Status status = item->GetStatus();
            if (status == MovieItem::Status::kUnknown) {
                fWake.wait_for(lock, kPoll);
                continue;
            }
            tried = true;
            if (status != MovieItem::Status::kReady || !item->Info().hasAudio) continue;
            lock.unlock();
            if (!output) {
                OpenOutput();
                output = true;
            }
            MovieDecoder::Options options;
            options.threads = 1;
            options.cancel = &fCancel;
            options.soundRate = fRate;
            options.soundChannels = kChannels;
            std::unique_ptr<MovieDecoder> opened = MovieDecoder::OpenFile(item->Path(), options);
            lock.lock();
            if (fItem == item && !fItemChanged) decoder = std::move(opened);
            continue;
        }
        if (!decoder || fTiming.rate != 1) {
            fWake.wait_for(lock, kPoll);
            continue;
        }
        const double t = TimeAtLocked(ClockNow());
        const double next = NextTimeLocked();
        const bool far = next >= 0 ? (t < next - kResyncDistance || t > fDecodedEnd + kResyncDistance)
                                   : (fDecodedEnd < 0 || std::fabs(t - fDecodedEnd) > kResyncDistance);
        if (far && !(next < 0 && decoder->AtEnd() && t >= fDecodedEnd && fDecodedEnd >= 0)) {
            ClearLocked();
            lock.unlock();
            const bool sought = decoder->SeekSound(t);
            lock.lock();
            if (fItemChanged) continue;
            fDecodedEnd = sought ? t : -1;
            if (!sought) {
                fWake.wait_for(lock, kPoll);
                continue;
            }
        }
        if (!fUnit) {
            // Nobody pulls: what is due is dropped.
            while (!fRing.empty()) {
                const Chunk& c = fRing.front();
                if (c.time + (c.samples.size() / kChannels) / fRate > t) break;
                fRingFrames -= c.samples.size() / kChannels - c.offset;
                fRing.pop_front();
            }
        }
        if (fDecodedEnd < t + kReadAhead && !decoder->AtEnd()) {
            lock.unlock();
            MovieSoundChunk chunk;
            const bool got = decoder->NextSound(chunk);
            lock.lock();
            if (fItemChanged || !got) continue;
            const size_t frames = chunk.samples.size() / kChannels;
            fRingFrames += frames;
            fDecodedEnd = chunk.time + frames / fRate;
            fRing.push_back(Chunk{chunk.time, std::move(chunk.samples)});
            continue;
        }
        fWake.wait_for(lock, kPoll);
    }
}

int MovieSound::Render(void* context, AudioBuffer& buffer, uint32_t frames) {
    auto* self = static_cast<MovieSound*>(context);
    const size_t want = std::min<size_t>(frames, buffer.bytes / (kChannels * sizeof(int16_t)));
    auto* out = static_cast<int16_t*>(buffer.data);
    if (!out) return -1;
    std::memset(out, 0, want * kChannels * sizeof(int16_t));
    buffer.bytes = static_cast<uint32_t>(want * kChannels * sizeof(int16_t));

    std::lock_guard<std::mutex> lock(self->fMutex);
    const bool seeking = self->fTiming.seek && !self->fTiming.seek->IsDone();
    if (self->fTiming.rate != 1 || seeking || self->fRing.empty()) return 0;
    const double rate = self->fRate;
    const double t = self->TimeAtLocked(ClockNow());
    double next = self->NextTimeLocked();
    if (next < t - kSyncTolerance) {
        // Behind the clock: drop what is late.
        self->DropLocked(static_cast<size_t>(std::llround((t - next) * rate)));
        next = self->NextTimeLocked();
        if (next < 0) return 0;
    }
    size_t pos = 0;
    if (next > t + kSyncTolerance) {
        // Ahead of the clock: silence until it is due.
        pos = std::min(want, static_cast<size_t>(std::llround((next - t) * rate)));
    }
    const float gain = std::clamp(self->fVolume->load(std::memory_order_relaxed), 0.0f, 1.0f);
    while (pos < want && !self->fRing.empty()) {
        Chunk& c = self->fRing.front();
        const size_t left = c.samples.size() / kChannels - c.offset;
        const size_t n = std::min(want - pos, left);
        const int16_t* from = c.samples.data() + c.offset * kChannels;
        int16_t* to = out + pos * kChannels;
        for (size_t i = 0; i < n * kChannels; ++i) to[i] = static_cast<int16_t>(std::lrint(from[i] * gain));
        pos += n;
        self->DropLocked(n);
    }
    return 0;
}

}  // namespace plat
