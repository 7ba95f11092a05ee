#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plat {

enum class PlayerState { kPlaying, kFastForwarding, kOther };

struct PlayerTrack {
    std::string id;
    uint32_t seconds = 0;  // duration, whole seconds
};

// A desktop media player, one call per request. Every request answers exactly once, on the main
// thread, never from inside the call; no answer within kTimeoutMs is answered as a failure. The
// commands (Play ... Launch) are sent without waiting for the player.
class MediaPlayer {
public:
    static constexpr uint32_t kTimeoutMs = 1000;
    // Larger playlists fail the request.
    static constexpr uint32_t kMaxTracks = 1000;
    // Positions and durations beyond this (seconds) fail the request.
    static constexpr uint32_t kMaxSeconds = 100u * 86400u;

    template <class T>
    using Reply = std::function<void(bool ok, T value)>;

    virtual ~MediaPlayer() = default;

    // Playing position in whole seconds.
    virtual void GetPosition(Reply<uint32_t> reply) = 0;
    virtual void GetState(Reply<PlayerState> reply) = 0;
    virtual void GetCurrentTrack(Reply<std::string> reply) = 0;
    // The current playlist in order; a player without one answers the current track alone.
    virtual void GetPlaylist(Reply<std::vector<PlayerTrack>> reply) = 0;
    virtual void IsRunning(std::function<void(bool running)> reply) = 0;

    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Next() = 0;
    virtual void Previous() = 0;
    // Within the current track.
    virtual void SetPosition(uint32_t seconds) = 0;
    // Asks for the player to be started; does not wait for it.
    virtual void Launch() = 0;
};

}  // namespace plat
