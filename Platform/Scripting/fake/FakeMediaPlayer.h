#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "Platform/Scripting/MediaPlayer.h"

namespace plat {

// In-process player for tests: a scripted playlist, position and state. Answers wait in a queue
// until Deliver(); a hung player keeps them until Unhang() or the time-out (ExpireHung()).
class FakeMediaPlayer : public MediaPlayer {
public:
    // Playlist, the index of the current track, the position in it.
    std::vector<PlayerTrack> playlist;
    size_t current = 0;
    uint32_t position = 0;
    PlayerState state = PlayerState::kPlaying;
    bool running = true;
    bool failing = false;       // every request fails
    bool hung = false;          // requests get no answer
    std::string trackOverride;  // when set, the current track id answered (one not in the playlist)

    // Command log: "Play", "Pause", "Next", "Previous", "SetPosition 40", "Launch".
    std::vector<std::string> commands;
    // Requests received, by name ("GetPosition", "IsRunning", ...).
    std::vector<std::string> requests;

    // Runs the answers due now; returns how many ran.
    size_t Deliver();
    // Answers every held request of a hung player as a failure.
    size_t ExpireHung();
    size_t Pending() const { return fQueue.size() + fHeld.size(); }

    void GetPosition(Reply<uint32_t> reply) override;
    void GetState(Reply<PlayerState> reply) override;
    void GetCurrentTrack(Reply<std::string> reply) override;
    void GetPlaylist(Reply<std::vector<PlayerTrack>> reply) override;
    void IsRunning(std::function<void(bool running)> reply) override;
    void Play() override;
    void Pause() override;
    void Next() override;
    void Previous() override;
    void SetPosition(uint32_t seconds) override;
    void Launch() override;

private:
    // answer(true) answers with the player's state; answer(false) fails.
    void Queue(const char* name, std::function<void(bool ok)> answer);

    std::deque<std::function<void()>> fQueue;
    std::deque<std::function<void()>> fHeld;
};

}  // namespace plat
