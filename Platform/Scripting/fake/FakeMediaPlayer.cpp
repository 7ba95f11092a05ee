#include "Platform/Scripting/fake/FakeMediaPlayer.h"

namespace plat {

void FakeMediaPlayer::Queue(const char* name, std::function<void(bool ok)> answer) {
    requests.emplace_back(name);
    if (hung) {
        fHeld.push_back([answer] { answer(false); });
        return;
    }
    bool ok = !failing && running;
    fQueue.push_back([answer, ok] { answer(ok); });
}

size_t FakeMediaPlayer::Deliver() {
    size_t n = 0;
    // Answers queued by these answers wait for the next call.
    for (size_t count = fQueue.size(); count > 0 && !fQueue.empty(); --count, ++n) {
        auto f = std::move(fQueue.front());
        fQueue.pop_front();
        f();
    }
    return n;
}

size_t FakeMediaPlayer::ExpireHung() {
    size_t n = fHeld.size();
    while (!fHeld.empty()) {
        fQueue.push_back(std::move(fHeld.front()));
        fHeld.pop_front();
    }
    return n;
}

// The answers read the player when they are delivered, as a real reply reflects the player then.
void FakeMediaPlayer::GetPosition(Reply<uint32_t> reply) {
    Queue("GetPosition", [this, reply](bool ok) { reply(ok, ok ? position : 0); });
}

void FakeMediaPlayer::GetState(Reply<PlayerState> reply) {
    Queue("GetState", [this, reply](bool ok) { reply(ok, ok ? state : PlayerState::kOther); });
}

void FakeMediaPlayer::GetCurrentTrack(Reply<std::string> reply) {
    Queue("GetCurrentTrack", [this, reply](bool ok) {
        bool have = ok && current < playlist.size();
        if (ok && !trackOverride.empty()) return reply(true, trackOverride);
        reply(have, have ? playlist[current].id : std::string());
    });
}

void FakeMediaPlayer::GetPlaylist(Reply<std::vector<PlayerTrack>> reply) {
    Queue("GetPlaylist", [this, reply](bool ok) {
        ok = ok && playlist.size() <= kMaxTracks;
        reply(ok, ok ? playlist : std::vector<PlayerTrack>());
    });
}

void FakeMediaPlayer::IsRunning(std::function<void(bool running)> reply) {
    requests.emplace_back("IsRunning");
    if (hung) {
        fHeld.push_back([reply] { reply(false); });
        return;
    }
    fQueue.push_back([this, reply] { reply(running); });
}

void FakeMediaPlayer::Play() {
    commands.emplace_back("Play");
    if (running) state = PlayerState::kPlaying;
}

void FakeMediaPlayer::Pause() {
    commands.emplace_back("Pause");
    if (running) state = PlayerState::kOther;
}

void FakeMediaPlayer::Next() {
    commands.emplace_back("Next");
    if (running && current + 1 < playlist.size()) {
        ++current;
        position = 0;
    }
}

void FakeMediaPlayer::Previous() {
    commands.emplace_back("Previous");
    if (running && current > 0) {
        --current;
        position = 0;
    }
}

void FakeMediaPlayer::SetPosition(uint32_t seconds) {
    commands.emplace_back("SetPosition " + std::to_string(seconds));
    if (running) position = seconds;
}

void FakeMediaPlayer::Launch() {
    commands.emplace_back("Launch");
}

}  // namespace plat
