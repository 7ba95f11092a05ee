#include "Orbilume/CSources/Timecode/MusicAppSource.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Scripting/MediaPlayer.h"

namespace {

constexpr uint32_t kMinIntervalMs = 50;

// Wraps a reply so that it runs only while the source lives and `valid` holds then.
template <class F, class V>
auto Guarded(const std::shared_ptr<int>& alive, V valid, F f) {
    std::weak_ptr<int> weak = alive;
    return [weak, valid, f](auto... args) {
        if (weak.expired() || !valid()) return;
        f(args...);
    };
}

}  // namespace

MusicAppSource::MusicAppSource(LAsyncLoop* lock, plat::MediaPlayer* player)
    : MediaTimecodeSource(lock), LHandler(nullptr), fPlayer(player), fTimer(this), fLaunchTimer(this) {}

MusicAppSource::~MusicAppSource() {
    fTimer.Stop();
    fLaunchTimer.Stop();
}

void MusicAppSource::AddListener(void* context, Listener function) {
    PLAT_DCHECK_MAIN_THREAD();
    TimecodeSource::AddListener(context, function);
    if (ListenerCount() == 0) return;
    Launch();
    fLastNotified = -1;
    fTimer.StartOnce(0, 0);
}

void MusicAppSource::RemoveListener(void* context, Listener function) {
    PLAT_DCHECK_MAIN_THREAD();
    TimecodeSource::RemoveListener(context, function);
    if (ListenerCount() == 0) StopPolling();
}

void MusicAppSource::StopPolling() {
    fTimer.Stop();
    // Answers of a poll still outstanding are dropped.
    ++fGeneration;
    fPolling = false;
}

LMessage MusicAppSource::Handle(const LMessage& msg) {
    if (msg.Is(LTimer_Expire)) {
        if (msg.sender == &fTimer) {
            OnPollTimer();
            return LMessage();
        }
        if (msg.sender == &fLaunchTimer) {
            OnLaunchTimer();
            return LMessage();
        }
    }
    if (msg.Is(LHandler_Destructing)) return LMessage();
    return LHandler::Handle(msg);
}

void MusicAppSource::Play() {
    PLAT_DCHECK_MAIN_THREAD();
    fPlayer->Play();
    fLastNotified = -1;
    if (ListenerCount() > 0) fTimer.StartOnce(0, 0);
}

void MusicAppSource::Pause() {
    PLAT_DCHECK_MAIN_THREAD();
    fPlayer->Pause();
    fInterval = kIdleMs;
    fMode = kIdle;
}

void MusicAppSource::Launch() {
    // Never blocks: the player is asked to start, then checked every second for up to 30 s.
    if (IsLaunching()) return;
    fLaunchChecking = true;
    fPlayer->IsRunning(Guarded(
        fAlive, [] { return true; },
        [this](bool running) {
            fLaunchChecking = false;
            if (running) return;
            fPlayer->Launch();
            fLaunchStart = LTimer::Now();
            fLaunchTimer.StartOnce(kLaunchCheckMs, 0);
        }));
}

void MusicAppSource::OnLaunchTimer() {
    fLaunchChecking = true;
    fPlayer->IsRunning(Guarded(
        fAlive, [] { return true; },
        [this](bool running) {
            fLaunchChecking = false;
            if (running || LTimer::Now() - fLaunchStart >= kLaunchGiveUpMs) return;
            fLaunchTimer.StartOnce(kLaunchCheckMs, 0);
        }));
}

void MusicAppSource::OnPollTimer() {
    if (ListenerCount() == 0) return;
    if (fPolling) {
        // The poll in flight is not repeated; without an answer in time it has failed.
        uint32_t waited = LTimer::Now() - fPollStart;
        if (waited >= plat::MediaPlayer::kTimeoutMs) {
            ++fGeneration;
            fPolling = false;
            Fail();
        } else {
            fTimer.StartOnce(plat::MediaPlayer::kTimeoutMs - waited, 0);
        }
        return;
    }
    StartPoll();
}

void MusicAppSource::StartPoll() {
    fT0 = LTimer::Now();
    fOldInterval = fInterval;
    fPolling = true;
    fPollStart = fT0;
    uint32_t generation = ++fGeneration;
    fTimer.StartOnce(plat::MediaPlayer::kTimeoutMs, 0);
    auto current = [this, generation] { return IsCurrent(generation); };
    Result done = Guarded(fAlive, current, [this](bool ok, int32_t pos) { PollDone(ok, pos); });
    if (fMode == kIdle) {
        FullPosition(done);
        return;
    }
    QuickPosition(Guarded(fAlive, current, [this, done](bool ok, int32_t pos) {
        if (ok)
            done(true, pos);
        else
            FullPosition(done);
    }));
}

void MusicAppSource::QuickPosition(Result done) {
    uint32_t generation = fGeneration;
    auto current = [this, generation] { return IsCurrent(generation); };
    fPlayer->GetPosition(Guarded(fAlive, current, [this, done](bool ok, uint32_t position) {
        if (!ok || position > plat::MediaPlayer::kMaxSeconds) return done(false, 0);
        uint32_t delta = position - fLastRaw;
        fLastRaw = position;
        int64_t pos = int64_t(position) + fOffset;
        if (delta >= 2 || pos > INT32_MAX) return done(false, 0);
        done(true, int32_t(pos));
    }));
}

void MusicAppSource::FullPosition(Result done) {
    uint32_t generation = fGeneration;
    auto current = [this, generation] { return IsCurrent(generation); };
    fPlayer->GetCurrentTrack(Guarded(fAlive, current, [this, done](bool ok, const std::string& a) {
        if (!ok) return done(false, 0);
        FullAttempt(a, 1, done);
    }));
}

void MusicAppSource::FullAttempt(std::string trackA, int attempt, Result done) {
    uint32_t generation = fGeneration;
    auto current = [this, generation] { return IsCurrent(generation); };
    fPlayer->GetPosition(
        Guarded(fAlive, current, [this, current, trackA, attempt, done](bool ok, uint32_t position) {
            if (!ok) return done(false, 0);
            fPlayer->GetCurrentTrack(Guarded(
                fAlive, current, [this, trackA, attempt, position, done](bool ok2, const std::string& b) {
                    if (!ok2) return done(false, 0);
                    if (b != trackA) {
                        // The track changed between the reads: read again with the new one.
                        if (attempt >= 3) return done(false, 0);
                        return FullAttempt(b, attempt + 1, done);
                    }
                    AfterTrack(b, position, done);
                }));
        }));
}

void MusicAppSource::AfterTrack(const std::string& track, uint32_t position, Result done) {
    uint32_t generation = fGeneration;
    auto current = [this, generation] { return IsCurrent(generation); };
    auto readState = [this, current, position, done] {
        fPlayer->GetState(Guarded(fAlive, current, [this, position, done](bool ok, plat::PlayerState state) {
            if (!ok || (state != plat::PlayerState::kPlaying && state != plat::PlayerState::kFastForwarding))
                return done(false, 0);
            if (position > plat::MediaPlayer::kMaxSeconds) return done(false, 0);
            fLastRaw = position;
            int64_t pos = int64_t(position) + fOffset;
            if (pos > INT32_MAX) return done(false, 0);
            done(true, int32_t(pos));
        }));
    };
    if (fCachedTrack && *fCachedTrack == track) return readState();
    fCachedTrack.reset();
    // Without the track's offset the position would be published against another track's.
    LoadPlaylistOffset(track, Guarded(fAlive, current, [this, track, readState, done](bool ok) {
                           if (!ok) return done(false, 0);
                           fCachedTrack = track;
                           readState();
                       }));
}

void MusicAppSource::LoadPlaylistOffset(const std::string& track, std::function<void(bool ok)> done) {
    uint32_t generation = fGeneration;
    auto current = [this, generation] { return IsCurrent(generation); };
    fPlayer->GetPlaylist(
        Guarded(fAlive, current, [this, track, done](bool ok, const std::vector<plat::PlayerTrack>& list) {
            if (!ok || list.size() > plat::MediaPlayer::kMaxTracks) return done(false);
            int64_t sum = 0;
            for (const plat::PlayerTrack& t : list) {
                if (t.id == track) {
                    fOffset = int32_t(sum);
                    return done(true);
                }
                if (t.seconds > plat::MediaPlayer::kMaxSeconds) return done(false);
                sum += t.seconds;
                if (sum > INT32_MAX) return done(false);
            }
            done(false);
        }));
}

void MusicAppSource::Fail() {
    fLastNotified = -1;
    fInterval = kIdleMs;
    fMode = kIdle;
    fTimer.StartOnce(kIdleMs, 0);
}

void MusicAppSource::PollDone(bool ok, int32_t pos) {
    fPolling = false;
    fTimer.Stop();
    if (!ok) return Fail();

    bool jumped = fLastNotified == -1 || pos < fLastRead;
    fLastRead = pos;
    if (pos != fLastNotified) {
        if (fMode == kStarting) {
            fMode = kTracking;
            fInterval = std::max(fInterval / 2, kMinIntervalMs);
        } else if (fMode == kIdle) {
            fMode = kStarting;
            fInterval = 100;
        } else {
            fInterval =
                fUnchanged > 0 ? std::max(fInterval / 2, kMinIntervalMs) : std::min(fInterval * 2, kIdleMs);
        }
        fUnchanged = 0;
        fLock->Lock();
        Timecode t = TimeLocked();
        t.FromCount(uint32_t(pos), 1);
        SetTimeLocked(t);
        fLock->Unlock();
        std::weak_ptr<int> alive = fAlive;
        Notify();
        if (alive.expired()) return;
        if (jumped) Notify();
        if (alive.expired()) return;
        // A jump is published again by the next poll.
        fLastNotified = jumped && pos >= 1 ? pos - 1 : pos;
        if (ListenerCount() == 0) return StopPolling();
    } else {
        if (fMode == kIdle) return fTimer.StartOnce(fInterval, 0);
        if (fUnchanged >= (fMode == kStarting ? 10 : 2)) {
            fInterval = kIdleMs;
            fMode = kIdle;
            return fTimer.StartOnce(kIdleMs, 0);
        }
        ++fUnchanged;
    }
    if (fMode != kTracking) return fTimer.StartOnce(fInterval, 0);
    // After a change the next poll aims just before the next whole second.
    int64_t base = fUnchanged > 0 ? int64_t(fInterval) : 1000 - int64_t(std::max(fInterval, fOldInterval));
    int64_t delay = base - int64_t(uint32_t(LTimer::Now() - fT0));
    fTimer.StartOnce(uint32_t(std::max<int64_t>(delay, 0)), 0);
}

void MusicAppSource::Locate(const Timecode& time) {
    PLAT_DCHECK_MAIN_THREAD();
    uint32_t target = time.ToCount(1);
    auto always = [] { return true; };
    fPlayer->GetCurrentTrack(
        Guarded(fAlive, always, [this, target, always](bool ok, const std::string& currentId) {
            if (!ok) return;
            fPlayer->GetPlaylist(Guarded(
                fAlive, always,
                [this, target, currentId](bool ok2, const std::vector<plat::PlayerTrack>& list) {
                    if (!ok2 || list.size() > plat::MediaPlayer::kMaxTracks) return;
                    int64_t remaining = target;
                    int64_t currentIndex = -1, targetIndex = -1;
                    for (size_t i = 0; i < list.size() && (currentIndex < 0 || targetIndex < 0); ++i) {
                        if (currentIndex < 0 && list[i].id == currentId) currentIndex = int64_t(i);
                        if (targetIndex < 0) {
                            if (int64_t(list[i].seconds) > remaining)
                                targetIndex = int64_t(i);
                            else
                                remaining -= list[i].seconds;
                        }
                    }
                    if (currentIndex < 0) return;
                    if (targetIndex < 0) targetIndex = int64_t(list.size());
                    for (int64_t i = targetIndex; i < currentIndex; ++i) fPlayer->Previous();
                    for (int64_t i = currentIndex; i < targetIndex; ++i) fPlayer->Next();
                    fPlayer->SetPosition(uint32_t(remaining));
                }));
        }));
}
