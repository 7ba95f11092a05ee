#include "Orbilume/CSources/Media/CAVMovie.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Platform/Composer/BufferImage.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/ImageSource.h"
#include "Platform/Media/MovieCompletion.h"
#include "Platform/Media/MoviePlayer.h"
#include "Platform/Video/PixelBuffer.h"

namespace {

constexpr double kStepReach = 0.5;  // farther than this, StepTo seeks

std::atomic<uint32_t> sPrepareTimeoutMs{CAVMovie::kPrepareTimeoutMs};
std::atomic<CAVMovie::StatusReader> sStatusReader{nullptr};
std::atomic<int32_t> sLive{0};

std::string PathOf(const LFsSpec& file) {
    LString path = CMacFileU::PathFromLFsSpec(file);
    return std::string(path.CStr(), path.Length());
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

float Finite(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

void ReleaseBitmap(void* info, const uint8_t*) {
    static_cast<plat::BitmapImage*>(info)->Release();
}

}  // namespace

struct CAVMovie::SeekDone {
    std::shared_ptr<std::atomic<bool>> alive;
    CAVMovie* movie;
    uint32_t startMs;
};

CAVMovie::CAVMovie(const LFsSpec& file)
    : fPath(PathOf(file)),
      fOwner(std::this_thread::get_id()),
      fLoop(plat::RetainRef(plat::RunLoop::Current())),
      fAlive(std::make_shared<std::atomic<bool>>(true)),
      fCmdSignal(this, RunQueue) {
    PLAT_DCHECK_MAIN_THREAD();
    ++sLive;
    if (!IsRegularFile(fPath)) return;
    fItem = plat::Adopt(plat::MovieItem::Create(fPath, OnItemStatus, this));
    fPlayer = plat::Adopt(plat::MoviePlayer::Create());
    fPlayer->ReplaceCurrentItem(fItem.get());
}

CAVMovie::~CAVMovie() {
    fAlive->store(false);
    if (fPlayer) {
        fPlayer->SetEndCallback(nullptr, nullptr);
        fPlayer->ReplaceCurrentItem(nullptr);
    }
    // The player first (it holds the item too), then the item, whose release waits out a status
    // callback in progress.
    fPlayer = nullptr;
    fItem = nullptr;
    --sLive;
}

void CAVMovie::Dispose() const {
    auto* self = const_cast<CAVMovie*>(this);
    if (std::this_thread::get_id() == fOwner || !fLoop) {
        delete self;
        return;
    }
    // Callbacks run on the owner's run loop: deleting there keeps them off freed memory.
    if (!plat::PostToRunLoop(fLoop.get(), DeleteNow, self)) delete self;
}

void CAVMovie::DeleteNow(void* info) {
    delete static_cast<CAVMovie*>(info);
}

LMessage CAVMovie::Handle(const LMessage&) {
    return LMessage();
}

void CAVMovie::SetPrepareTimeoutMs(uint32_t ms) {
    sPrepareTimeoutMs.store(ms);
}

void CAVMovie::SetStatusReaderForTest(StatusReader reader) {
    sStatusReader.store(reader);
}

int32_t CAVMovie::LiveCount() {
    return sLive.load();
}

// ---- status and preparation

void CAVMovie::OnItemStatus(plat::MovieItem*, plat::MovieItem::Status, void* info) {
    // The item calls nobody after its last release, which the destructor makes.
    static_cast<CAVMovie*>(info)->fStatusEvent.Set();
}

int32_t CAVMovie::ReadStatus() const {
    if (StatusReader reader = sStatusReader.load()) return reader(this);
    {
        std::lock_guard<std::mutex> lock(const_cast<std::mutex&>(fStillMutex));
        if (fStill) return kReady;
    }
    if (!fItem) return kFailed;
    switch (fItem->GetStatus()) {
        case plat::MovieItem::Status::kUnknown:
            return kPending;
        case plat::MovieItem::Status::kReady:
            return kReady;
        default:
            return kFailed;
    }
}

int32_t CAVMovie::GetStatus() {
    return fStatus.load();
}

void CAVMovie::Prepare() {
    const double deadline = plat::ClockNow() + sPrepareTimeoutMs.load() / 1000.0;
    int32_t status = ReadStatus();
    while (status == kPending) {
        const double left = deadline - plat::ClockNow();
        if (left <= 0) {
            // A file that never resolves does not hold the loader.
            status = kFailed;
            break;
        }
        (void)fStatusEvent.WaitFor(static_cast<uint32_t>(std::min(std::ceil(left * 1000), 100.0)));
        status = ReadStatus();
    }
    fStatus.store(status);
    if (!fItem || !fPlayer) return;
    fPlayer->SetEndCallback(OnEndNote, this, fLoop.get());
    if (status == kReady && fItem->Info().hasVideo) fVideoOutput.store(true);
}

// ---- what the file holds

bool CAVMovie::HasVideo() {
    {
        std::lock_guard<std::mutex> lock(fStillMutex);
        if (fStill) return true;
    }
    return fPlayer && fItem->Info().hasVideo;
}

bool CAVMovie::HasAudio() {
    return fPlayer && fItem->Info().hasAudio;
}

float CAVMovie::GetDuration() {
    return fPlayer ? static_cast<float>(fItem->Info().duration) : 0.0f;
}

float CAVMovie::GetTime() {
    return fPlayer ? static_cast<float>(fPlayer->CurrentTime()) : 0.0f;
}

float CAVMovie::GetRate() {
    return fPlayer ? static_cast<float>(fPlayer->Rate()) : 0.0f;
}

void CAVMovie::GetSize(float& width, float& height) {
    width = height = 0;
    {
        std::lock_guard<std::mutex> lock(fStillMutex);
        if (fStill) {
            width = static_cast<float>(fStill->Width());
            height = static_cast<float>(fStill->Height());
            return;
        }
    }
    if (!fItem) return;
    const plat::MovieInfo info = fItem->Info();
    if (!info.hasVideo) return;
    width = static_cast<float>(info.naturalWidth);
    height = static_cast<float>(info.naturalHeight);
}

// ---- range, loop, volume

void CAVMovie::GetRange(float& start, float& end) {
    start = end = 0;
    if (!fPlayer) return;
    const float s = fRangeStart.load();
    const float e = fRangeEnd.load();
    if (e <= s) {
        end = GetDuration();
        return;
    }
    start = s;
    end = e;
}

void CAVMovie::SetRange(float start, float end) {
    const float duration = GetDuration();
    if (!std::isfinite(start) || !std::isfinite(end) || end <= start) {
        // The whole file.
        fRangeStart.store(0);
        fRangeEnd.store(duration);
        return;
    }
    fRangeStart.store(std::clamp(start, 0.0f, duration));
    fRangeEnd.store(std::min(end, duration));
}

void CAVMovie::SetLoop(bool loop) {
    fLoopOn.store(loop);
}

void CAVMovie::SetVolume(float volume) {
    if (fPlayer) fPlayer->SetVolume(Finite(volume));
}

// ---- the command queue

void CAVMovie::QueueRate(float rate) {
    if (!fPlayer) return;
    Queue(kCmdRate, 0, Finite(rate));
}

void CAVMovie::QueueSeek(float time, float rate) {
    if (!fPlayer) return;
    {
        CPsxMutex::Locker lock(fCmdLock);
        fSeeking.store(true);
    }
    Queue(kCmdSeek, static_cast<float>(Clamp(time)), Finite(rate));
}

void CAVMovie::QueueStep(bool allowBack, float time) {
    if (!fVideoOutput.load()) return;
    Queue(kCmdStep, static_cast<float>(Clamp(time)), allowBack ? 1.0f : 0.0f);
}

void CAVMovie::Queue(CmdKind kind, float a, float b) {
    {
        CPsxMutex::Locker lock(fCmdLock);
        uint8_t n = 0;
        for (uint8_t i = 0; i < fQueued; ++i)
            if (fQueue[i] != kind) fQueue[n++] = fQueue[i];
        fQueue[n++] = kind;
        fQueued = n;
        fCmds[kind].a = a;
        fCmds[kind].b = b;
    }
    fCmdSignal.Signal();
}

bool CAVMovie::IsQueuedLocked(CmdKind kind) const {
    for (uint8_t i = 0; i < fQueued; ++i)
        if (fQueue[i] == kind) return true;
    return false;
}

void CAVMovie::OnEndNote(void* info) {
    // Delivered on the owner's loop, where the object is also deleted: it is alive here.
    static_cast<CAVMovie*>(info)->Queue(kCmdEnd, 0, 0);
}

void CAVMovie::RunQueue(void* self) {
    PLAT_DCHECK_MAIN_THREAD();
    auto* movie = static_cast<CAVMovie*>(self);
    for (;;) {
        CmdKind kind;
        Command cmd;
        {
            CPsxMutex::Locker lock(movie->fCmdLock);
            if (movie->fQueued == 0) return;
            kind = static_cast<CmdKind>(movie->fQueue[0]);
            std::copy(movie->fQueue + 1, movie->fQueue + movie->fQueued, movie->fQueue);
            --movie->fQueued;
            cmd = movie->fCmds[kind];
        }
        ++movie->fCommandsRun[kind];
        switch (kind) {
            case kCmdSeek:
                if (plat::Ref<plat::MovieItem> item = movie->fPlayer->CurrentItem()) {
                    movie->fPlayer->ReplaceCurrentItem(nullptr);
                    movie->fPlayer->ReplaceCurrentItem(item.get());
                }
                movie->Seek(cmd.a);
                break;
            case kCmdRate:
                movie->ApplyRate(cmd.b);
                break;
            case kCmdStep:
                movie->StepTo(cmd.a, cmd.b != 0);
                break;
            default:
                movie->OnEnd();
                break;
        }
    }
}

// ---- player commands (main thread)

double CAVMovie::Clamp(double t) {
    if (!std::isfinite(t) || t < 0) return 0;
    const double duration = GetDuration();
    return duration > 0 ? std::min(t, duration) : t;
}

void CAVMovie::Seek(double t) {
    if (!fPlayer) return;
    const uint32_t start = LTimer::Now();
    fSeekStartMs.store(start);
    fSeeking.store(true);
    ++fSeeksOutstanding;
    // Millisecond times, as a time scale of 1000 would give them; the player seeks exactly.
    const double ms = std::round(Clamp(t) * 1000) / 1000;
    fPlayer->SeekToTime(ms, OnSeekDone, new SeekDone{fAlive, this, start});
}

void CAVMovie::OnSeekDone(bool finished, void* info) {
    std::unique_ptr<SeekDone> done(static_cast<SeekDone*>(info));
    // Runs on the owner's loop, where the object is deleted: the flag cannot change under us.
    if (done->alive->load()) done->movie->SeekFinished(finished, done->startMs);
}

void CAVMovie::SeekFinished(bool finished, uint32_t startMs) {
    --fSeeksOutstanding;
    if (finished) {
        // Modulo 2^32: the millisecond clock wraps.
        const uint32_t elapsedMs = LTimer::Now() - startMs;
        fSeekLatency.store((fSeekLatency.load() + elapsedMs / 1000.0f) / 2);
    }
    if (fSeeksOutstanding > 0) return;
    {
        // A seek queued but not yet run keeps the flag.
        CPsxMutex::Locker lock(fCmdLock);
        if (IsQueuedLocked(kCmdSeek)) return;
        fSeeking.store(false);
    }
    if (fRateDeferred) {
        fRateDeferred = false;
        ApplyRate(fDeferredRate);
    }
}

void CAVMovie::ApplyRate(float rate) {
    if (!fPlayer) return;
    rate = Finite(rate);
    if (fSeeking.load()) {
        fDeferredRate = rate;
        fRateDeferred = true;
        return;
    }
    const double current = fPlayer->Rate();
    if (current == rate) return;
    if (current == 0 && fPlayer->CurrentItem()) {
        const float start = fRangeStart.load();
        const float end = fRangeEnd.load();
        if (end > start) {
            fPlayer->SetForwardPlaybackEndTime(end);
            fPlayer->SetReversePlaybackEndTime(start);
        } else {
            // The whole file: no end times.
            fPlayer->SetForwardPlaybackEndTime(-1);
            fPlayer->SetReversePlaybackEndTime(-1);
        }
    }
    if (rate != 0) fLastRate.store(rate);
    fPlayer->SetRate(rate);
}

void CAVMovie::StepTo(float target, bool allowBack) {
    if (!fPlayer || !fPlayer->CurrentItem()) return;
    fPlayer->SetRate(0);
    const double t = Clamp(target);
    const double current = fPlayer->CurrentTime();
    if (std::fabs(t - current) > kStepReach) {
        Seek(t);
        return;
    }
    // Single steps until the time reaches the target, in one request (the player stops at the ends).
    double fps = fItem->Info().frameRate;
    if (!(fps > 0)) fps = 30;
    const double frames = std::ceil(std::fabs(t - current) * fps - 1e-3);
    if (frames < 1) return;
    if (t > current)
        fPlayer->StepByCount(static_cast<int>(frames));
    else if (allowBack)
        fPlayer->StepByCount(-static_cast<int>(frames));
}

void CAVMovie::OnEnd() {
    if (!fLoopOn.load()) return;
    float start = 0;
    float end = 0;
    GetRange(start, end);
    const float last = fLastRate.load();
    Seek(last > 0 ? start : end);
    ApplyRate(last);
}

// ---- frames and stills

plat::Ref<plat::PixelBuffer> CAVMovie::CopyFrame() {
    if (!fVideoOutput.load() || !fPlayer) return nullptr;
    const double t = fPlayer->CurrentTime();
    if (!fPlayer->HasNewPixelBufferForItemTime(t)) return nullptr;
    return fPlayer->CopyPixelBufferForItemTime(t, nullptr);
}

plat::Ref<plat::Image> CAVMovie::GetStill() {
    std::lock_guard<std::mutex> lock(fStillMutex);
    if (fStillFailed.load()) return nullptr;
    if (fStill) return fStill;
    if (fPath.empty()) return nullptr;
    plat::Ref<plat::Image> image;
    if (plat::Ref<plat::ImageSource> source = plat::ImageSource::CreateWithFile(fPath)) {
        plat::ImageDecodeOptions options;
        options.applyOrientation = true;
        if (plat::Ref<plat::BitmapImage> bitmap = source->CreateImage(options)) {
            plat::BitmapImage* kept = bitmap.release();  // handed to ReleaseBitmap
            image = plat::BufferImage::CreateWithBytes(
                static_cast<uint32_t>(kept->Width()), static_cast<uint32_t>(kept->Height()),
                kept->BytesPerRow(), kept->Bytes(), ReleaseBitmap, kept);
            if (!image) ReleaseBitmap(kept, nullptr);
        }
    }
    if (!image && fPlayer && fItem->GetStatus() == plat::MovieItem::Status::kReady &&
        fItem->Info().hasVideo) {
        // A one-frame movie no image reader takes: its first frame.
        if (plat::Ref<plat::PixelBuffer> frame = fPlayer->CopyPixelBufferForItemTime(0, nullptr))
            image = plat::BufferImage::CreateFromPixelBuffer(frame.get());
    }
    if (!image) {
        fStillFailed.store(true);
        return nullptr;
    }
    fStill = image;
    fStatus.store(kReady);
    return fStill;
}

// ---- holders

void CreateMovie(plat::Ref<CAVMovie>& holder, const LFsSpec& file) {
    holder = plat::Adopt(new CAVMovie(file));
}

int32_t GetMovieStatus(const plat::Ref<CAVMovie>& holder) {
    return holder ? holder->GetStatus() : CAVMovie::kFailed;
}

void PrepareMovie(const plat::Ref<CAVMovie>& holder) {
    if (holder) holder->Prepare();
}
