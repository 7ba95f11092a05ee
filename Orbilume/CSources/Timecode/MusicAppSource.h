#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Orbilume/CSources/Timecode/MediaTimecodeSource.h"

namespace plat {
class MediaPlayer;
}

// Follows the playing position of a desktop media player as a time in its current playlist, and
// starts, pauses and locates that player. Main thread: polls on an LTimer while the source has
// listeners; every player request is asynchronous, so a slow or hung player never blocks the loop.
class MusicAppSource : public MediaTimecodeSource, public LHandler {
public:
    enum Mode : uint8_t { kIdle = 0, kStarting = 1, kTracking = 2 };
    static constexpr uint32_t kIdleMs = 500;
    static constexpr uint32_t kLaunchCheckMs = 1000;
    static constexpr uint32_t kLaunchGiveUpMs = 30000;

    // The player is borrowed and outlives the source.
    MusicAppSource(LAsyncLoop* lock, plat::MediaPlayer* player);
    ~MusicAppSource() override;

    void AddListener(void* context, Listener function) override;
    void RemoveListener(void* context, Listener function) override;
    LMessage Handle(const LMessage& msg) override;

    void Play() override;
    void Pause() override;
    // Moves the player to that time of its playlist (Previous/Next, then the position).
    void Locate(const Timecode& time) override;

    Mode CurrentMode() const { return fMode; }
    uint32_t Interval() const { return fInterval; }
    int32_t PlaylistOffset() const { return fOffset; }
    bool IsPolling() const { return fPolling; }
    bool IsLaunching() const { return fLaunchChecking || fLaunchTimer.IsRunning(); }

private:
    using Result = std::function<void(bool ok, int32_t position)>;

    void Launch();
    void OnPollTimer();
    void OnLaunchTimer();
    void StartPoll();
    void QuickPosition(Result done);
    void FullPosition(Result done);
    void FullAttempt(std::string trackA, int attempt, Result done);
    void AfterTrack(const std::string& track, uint32_t position, Result done);
    void LoadPlaylistOffset(const std::string& track, std::function<void(bool ok)> done);
    void PollDone(bool ok, int32_t pos);
    void Fail();
    void StopPolling();
    // A reply callback that runs only while this source lives and the poll it belongs to is current.
    bool IsCurrent(uint32_t generation) const { return generation == fGeneration; }

    plat::MediaPlayer* fPlayer;
    LTimer fTimer;
    LTimer fLaunchTimer;
    std::shared_ptr<int> fAlive = std::make_shared<int>(0);

    int32_t fOffset = 0;
    int32_t fLastRead = 0;
    int32_t fLastNotified = -1;
    std::optional<std::string> fCachedTrack;
    uint32_t fLastRaw = 0;
    uint32_t fInterval = kIdleMs;
    uint32_t fOldInterval = kIdleMs;
    Mode fMode = kIdle;
    uint8_t fUnchanged = 0;

    bool fPolling = false;  // a poll waits for the player
    uint32_t fPollStart = 0;
    uint32_t fT0 = 0;
    uint32_t fGeneration = 0;
    uint32_t fLaunchStart = 0;
    bool fLaunchChecking = false;  // an IsRunning request of the launch is outstanding
};
