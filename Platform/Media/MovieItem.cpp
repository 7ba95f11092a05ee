#include "Platform/Media/MovieItem.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "Platform/Media/MovieCompletion.h"
#include "Platform/Media/MovieFrameConverter.h"
#include "Platform/Video/PixelBuffer.h"

namespace plat {

namespace {

constexpr double kSlack = 1e-4;

}  // namespace

struct MovieItem::Worker {
    std::string path;
    size_t cacheBytes = kDefaultCacheBytes;
    std::atomic<bool> cancel{false};
    std::thread thread;

    // The status callback runs under callbackMutex so that a release waits for it or stops it.
    std::mutex callbackMutex;
    StatusCallback callback = nullptr;
    void* callbackInfo = nullptr;
    MovieItem* item = nullptr;
    std::thread::id threadId;

    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    Status status = Status::kUnknown;
    MovieInfo info;
    std::unique_ptr<MovieDecoder> decoder;
    MovieFrameConverter converter;  // read-ahead frames are converted on this thread

    bool seekWanted = false;
    double seekTime = 0;
    std::shared_ptr<MovieCompletion> seekCompletion;
    int stepWanted = 0;
    int direction = 0;
    double reverseWant = -1;
    bool busy = false;
    uint64_t generation = 0;  // moves on with each seek or step; older decodes are dropped

    Ref<MovieFrame> current;
    std::deque<Ref<MovieFrame>> ahead;  // frames after current, in order
    std::vector<Ref<MovieFrame>> span;  // frames before current when playing backwards
    bool decoderEnd = false;
    bool resync = false;  // the decoder is not right after current

    void Run();
    void Open();
    void Serve(std::unique_lock<std::mutex>& lock);
    void Seek(std::unique_lock<std::mutex>& lock);
    void Step(std::unique_lock<std::mutex>& lock);
    void StepBack(std::unique_lock<std::mutex>& lock);
    void DecodeSpan(std::unique_lock<std::mutex>& lock);
    void ReadAhead(std::unique_lock<std::mutex>& lock);
    void Resync(std::unique_lock<std::mutex>& lock);
    double FrameDuration(const MovieFrame& frame) const {
        if (frame.Duration() > 0) return frame.Duration();
        return info.frameRate > 0 ? 1 / info.frameRate : 1.0 / 30;
    }
};

void MovieItem::Worker::Run() {
    Open();
    std::unique_lock<std::mutex> lock(mutex);
    if (decoder) Serve(lock);
    // The decoder goes with the thread, so its frame threads end here.
    std::unique_ptr<MovieDecoder> done = std::move(decoder);
    current = nullptr;
    ahead.clear();
    span.clear();
    if (seekCompletion) seekCompletion->Complete(false);
    lock.unlock();
}

void MovieItem::Worker::Open() {
    MovieDecoder::Options options;
    options.cancel = &cancel;
    std::unique_ptr<MovieDecoder> opened = MovieDecoder::OpenFile(path, options);
    Status result = opened ? Status::kReady : Status::kFailed;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (opened) info = opened->Info();
        decoder = std::move(opened);
        status = result;
        if (decoder && info.hasVideo) {
            // Show the first frame before anything is asked.
            current = decoder->Next();
        }
    }
    std::lock_guard<std::mutex> lock(callbackMutex);
    if (callback && item && !cancel.load()) callback(item, result, callbackInfo);
}

void MovieItem::Worker::Serve(std::unique_lock<std::mutex>& lock) {
    while (!stop) {
        if (seekWanted) {
            Seek(lock);
        } else if (stepWanted != 0) {
            Step(lock);
        } else if (direction < 0 && reverseWant >= 0) {
            DecodeSpan(lock);
        } else if (direction > 0 && resync) {
            Resync(lock);
        } else if (direction > 0 && info.hasVideo && !decoderEnd && ahead.size() < kReadAhead) {
            ReadAhead(lock);
        } else {
            busy = false;
            wake.wait(lock);
        }
    }
}

void MovieItem::Worker::Seek(std::unique_lock<std::mutex>& lock) {
    const double t = seekTime;
    std::shared_ptr<MovieCompletion> completion = std::move(seekCompletion);
    seekWanted = false;
    const uint64_t mine = ++generation;
    busy = true;
    lock.unlock();
    Ref<MovieFrame> frame = info.hasVideo ? decoder->SeekExact(t) : nullptr;
    const bool end = decoder->AtEnd();
    lock.lock();
    const bool latest = mine == generation;
    if (latest) {
        if (frame) current = std::move(frame);
        ahead.clear();
        span.clear();
        decoderEnd = end;
        resync = false;
    }
    // A newer request completed it already when it is not the latest.
    if (completion) completion->Complete(latest);
}

void MovieItem::Worker::Resync(std::unique_lock<std::mutex>& lock) {
    resync = false;
    if (!current) return;
    const double t = current->Time();
    const uint64_t mine = ++generation;
    busy = true;
    lock.unlock();
    Ref<MovieFrame> frame = decoder->SeekExact(t);
    const bool end = decoder->AtEnd();
    lock.lock();
    if (mine != generation) return;
    if (frame) current = std::move(frame);
    ahead.clear();
    decoderEnd = end;
}

void MovieItem::Worker::Step(std::unique_lock<std::mutex>& lock) {
    int n = std::exchange(stepWanted, 0);
    ++generation;
    span.clear();
    busy = true;
    if (n < 0) {
        for (; n < 0 && !stop && stepWanted == 0 && !seekWanted; ++n) StepBack(lock);
        return;
    }
    if (resync) Resync(lock);
    for (; n > 0 && !stop; --n) {
        if (ahead.empty()) {
            if (decoderEnd) return;
            lock.unlock();
            Ref<MovieFrame> frame = decoder->Next();
            const bool end = decoder->AtEnd();
            lock.lock();
            decoderEnd = end;
            if (!frame) return;
            ahead.push_back(std::move(frame));
        }
        current = std::move(ahead.front());
        ahead.pop_front();
    }
}

void MovieItem::Worker::StepBack(std::unique_lock<std::mutex>& lock) {
    if (!current || !info.hasVideo) return;
    const double t = current->Time();
    const double target = t - FrameDuration(*current) / 2;
    if (target < 0 && t <= kSlack) return;  // the first frame
    lock.unlock();
    Ref<MovieFrame> frame = decoder->SeekExact(std::max(target, 0.0));
    if (!frame || frame->Time() >= t - kSlack) frame = decoder->SeekExact(t);  // nothing earlier
    const bool end = decoder->AtEnd();
    lock.lock();
    if (frame) current = std::move(frame);
    ahead.clear();
    decoderEnd = end;
    resync = false;
}

void MovieItem::Worker::DecodeSpan(std::unique_lock<std::mutex>& lock) {
    const double t = std::exchange(reverseWant, -1);
    const uint64_t mine = generation;
    busy = true;
    lock.unlock();
    std::vector<Ref<MovieFrame>> frames;
    decoder->DecodeSpan(t, cacheBytes, frames);
    lock.lock();
    if (mine != generation || direction >= 0) return;
    span = std::move(frames);
    ahead.clear();
    resync = true;
}

void MovieItem::Worker::ReadAhead(std::unique_lock<std::mutex>& lock) {
    const uint64_t mine = generation;
    busy = true;
    lock.unlock();
    Ref<MovieFrame> frame = decoder->Next();
    const bool end = decoder->AtEnd();
    // Converted here, so that handing it out costs the render thread no conversion.
    if (frame) frame->SetConverted(converter.Convert(*frame));
    lock.lock();
    if (mine != generation || resync) return;
    if (frame)
        ahead.push_back(std::move(frame));
    else
        decoderEnd = true;
    (void)end;
}

MovieItem* MovieItem::Create(const std::string& path, StatusCallback callback, void* info,
                             size_t cacheBytes) {
    auto worker = std::make_shared<Worker>();
    worker->path = path;
    worker->cacheBytes = cacheBytes;
    worker->callback = callback;
    worker->callbackInfo = info;
    auto* item = new MovieItem(worker);
    {
        std::lock_guard<std::mutex> lock(worker->callbackMutex);
        worker->item = item;
        worker->thread = std::thread([worker] { worker->Run(); });
        worker->threadId = worker->thread.get_id();
    }
    return item;
}

MovieItem::MovieItem(std::shared_ptr<Worker> worker) : fWorker(std::move(worker)) {}

MovieItem::~MovieItem() {
    Worker& w = *fWorker;
    w.cancel.store(true);
    {
        std::lock_guard<std::mutex> lock(w.mutex);
        w.stop = true;
        w.wake.notify_all();
    }
    if (std::this_thread::get_id() == w.threadId) {
        // Released from inside its own status callback: the thread ends on its own.
        w.item = nullptr;
        w.thread.detach();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(w.callbackMutex);
        w.item = nullptr;
    }
    // The cancel flag interrupts a blocking open, so this returns promptly.
    w.thread.join();
}

const std::string& MovieItem::Path() const {
    return fWorker->path;
}

MovieItem::Status MovieItem::GetStatus() const {
    std::lock_guard<std::mutex> lock(fWorker->mutex);
    return fWorker->status;
}

MovieInfo MovieItem::Info() const {
    std::lock_guard<std::mutex> lock(fWorker->mutex);
    return fWorker->info;
}

void MovieItem::RequestSeek(double t, std::shared_ptr<MovieCompletion> completion) {
    std::shared_ptr<MovieCompletion> older;
    {
        std::lock_guard<std::mutex> lock(fWorker->mutex);
        if (fWorker->status == Status::kFailed || fWorker->stop) {
            older = std::move(completion);
        } else {
            older = std::exchange(fWorker->seekCompletion, std::move(completion));
            fWorker->seekWanted = true;
            fWorker->seekTime = t;
            fWorker->busy = true;
            ++fWorker->generation;
            fWorker->wake.notify_all();
        }
    }
    if (older) older->Complete(false);
}

void MovieItem::RequestStep(int frames) {
    std::lock_guard<std::mutex> lock(fWorker->mutex);
    if (frames == 0) return;
    fWorker->stepWanted += frames;
    fWorker->busy = true;
    ++fWorker->generation;
    fWorker->wake.notify_all();
}

void MovieItem::SetPlayDirection(int direction) {
    std::lock_guard<std::mutex> lock(fWorker->mutex);
    direction = direction > 0 ? 1 : direction < 0 ? -1 : 0;
    if (direction == fWorker->direction) return;
    fWorker->direction = direction;
    if (direction >= 0) fWorker->span.clear();
    fWorker->reverseWant = -1;
    fWorker->wake.notify_all();
}

Ref<MovieFrame> MovieItem::FrameForTime(double t) {
    Worker& w = *fWorker;
    std::lock_guard<std::mutex> lock(w.mutex);
    if (w.seekWanted || w.stepWanted != 0) return w.current;
    if (w.direction < 0) {
        if (w.current && w.current->Time() <= t + kSlack) return w.current;
        // The span holds the frames before current: take the last one not after t.
        while (!w.span.empty() && w.span.back()->Time() > t + kSlack) w.span.pop_back();
        if (!w.span.empty()) {
            w.current = w.span.back();
            w.resync = true;
            w.ahead.clear();
        } else if (w.reverseWant < 0 || t < w.reverseWant) {
            w.reverseWant = std::max(t, 0.0);
            w.busy = true;
            w.wake.notify_all();
        }
        return w.current;
    }
    bool moved = false;
    while (!w.ahead.empty() && w.ahead.front()->Time() <= t + kSlack) {
        w.current = std::move(w.ahead.front());
        w.ahead.pop_front();
        moved = true;
    }
    if (moved) w.wake.notify_all();
    return w.current;
}

Ref<MovieFrame> MovieItem::CurrentFrame() const {
    std::lock_guard<std::mutex> lock(fWorker->mutex);
    return fWorker->current;
}

bool MovieItem::AtForwardEnd() const {
    std::lock_guard<std::mutex> lock(fWorker->mutex);
    return fWorker->decoderEnd && fWorker->ahead.empty() && !fWorker->resync && !fWorker->seekWanted;
}

bool MovieItem::IsIdle() const {
    std::lock_guard<std::mutex> lock(fWorker->mutex);
    return !fWorker->busy && fWorker->status != Status::kUnknown;
}

}  // namespace plat
