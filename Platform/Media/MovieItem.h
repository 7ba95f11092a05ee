#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "Platform/Foundation/Object.h"
#include "Platform/Media/MovieDecoder.h"

namespace plat {

class MovieCompletion;

// One movie or image file, opened on a thread of its own that then demuxes and decodes it for the
// player: a bounded read-ahead when playing forwards, a span cache bounded in bytes backwards.
// Releasing it cancels an open in progress and returns at once.
class MovieItem final : public Object {
public:
    enum class Status : uint8_t { kUnknown, kReady, kFailed };
    // Called once on the item's thread when the status leaves kUnknown; never after the last release.
    using StatusCallback = void (*)(MovieItem* item, Status status, void* info);
    static constexpr size_t kDefaultCacheBytes = size_t{256} * 1024 * 1024;
    static constexpr size_t kReadAhead = 8;

    static MovieItem* Create(const std::string& path, StatusCallback callback, void* info,
                             size_t cacheBytes = kDefaultCacheBytes);

    const std::string& Path() const;
    Status GetStatus() const;
    // What the file holds; all zero until ready.
    MovieInfo Info() const;

    // The player's side; any thread.
    void RequestSeek(double t, std::shared_ptr<MovieCompletion> completion);
    // ±frames from the current frame, exact; nothing past either end.
    void RequestStep(int frames);
    // +1 reads ahead, -1 decodes spans backwards, 0 decodes nothing more.
    void SetPlayDirection(int direction);
    // The last decoded frame whose time is not after t, as far as decoding has come; wakes the decoder.
    Ref<MovieFrame> FrameForTime(double t);
    Ref<MovieFrame> CurrentFrame() const;
    // True once forward decoding reached the last frame and it is current.
    bool AtForwardEnd() const;
    // Idle: no seek, step or span pending (tests wait on it).
    bool IsIdle() const;

private:
    struct Worker;
    MovieItem(std::shared_ptr<Worker> worker);
    ~MovieItem() override;

    std::shared_ptr<Worker> fWorker;
};

}  // namespace plat
