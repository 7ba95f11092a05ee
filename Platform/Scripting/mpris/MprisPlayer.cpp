#include "Platform/Scripting/mpris/MprisPlayer.h"

#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>

#include <cstring>

#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"

namespace plat {

namespace {

constexpr const char* kPrefix = "org.mpris.MediaPlayer2.";
constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr uint64_t kTimeoutUsec = uint64_t(MediaPlayer::kTimeoutMs) * 1000;

bool IsPlayerName(const char* name) {
    return std::strncmp(name, kPrefix, std::strlen(kPrefix)) == 0;
}

// Reads one a{sv} metadata dictionary: the track id and the length in seconds (0 when absent).
// The message is left after the dictionary. False on wrong types or out-of-range lengths.
bool ReadMetadata(sd_bus_message* m, std::string& id, uint32_t& seconds) {
    id.clear();
    seconds = 0;
    if (sd_bus_message_enter_container(m, 'a', "{sv}") <= 0) return false;
    for (;;) {
        int r = sd_bus_message_enter_container(m, 'e', "sv");
        if (r < 0) return false;
        if (r == 0) break;
        const char* key = nullptr;
        char type = 0;
        const char* contents = nullptr;
        if (sd_bus_message_read(m, "s", &key) < 0) return false;
        if (sd_bus_message_peek_type(m, &type, &contents) < 0 || !contents) return false;
        if (sd_bus_message_enter_container(m, 'v', contents) < 0) return false;
        if (std::strcmp(key, "mpris:trackid") == 0 && (contents[0] == 'o' || contents[0] == 's') &&
            !contents[1]) {
            const char* text = nullptr;
            if (sd_bus_message_read_basic(m, contents[0], &text) < 0 || !text) return false;
            id = text;
        } else if (std::strcmp(key, "mpris:length") == 0 && (contents[0] == 'x' || contents[0] == 't') &&
                   !contents[1]) {
            int64_t us = 0;
            if (sd_bus_message_read_basic(m, contents[0], &us) < 0) return false;
            if (us < 0 || uint64_t(us) / 1000000 > MediaPlayer::kMaxSeconds) return false;
            seconds = uint32_t(uint64_t(us) / 1000000);
        } else if (sd_bus_message_skip(m, contents) < 0) {
            return false;
        }
        if (sd_bus_message_exit_container(m) < 0 || sd_bus_message_exit_container(m) < 0) return false;
    }
    return sd_bus_message_exit_container(m) >= 0;
}

}  // namespace

// One outstanding method call: its reply handler, and the slot that cancels it.
struct MprisPlayer::Call {
    MprisPlayer* owner;
    std::weak_ptr<int> alive;
    std::function<void(Call*)> done;
    sd_bus_message* reply = nullptr;  // null when the call failed
    sd_bus_slot* slot = nullptr;
    // A nested class may reach the owner's list of outstanding calls.
    void Forget() { owner->fCalls.erase(this); }
};

namespace {

int OnReply(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* call = static_cast<MprisPlayer::Call*>(userdata);
    if (!call->alive.expired()) {
        call->Forget();
        call->reply = sd_bus_message_is_method_error(m, nullptr) ? nullptr : m;
        call->done(call);
    }
    sd_bus_slot* slot = call->slot;
    delete call;
    sd_bus_slot_unref(slot);
    return 0;
}

}  // namespace

std::unique_ptr<MprisPlayer> MprisPlayer::Open(const std::string& suffix) {
    PLAT_DCHECK_MAIN_THREAD();
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0 || !bus) return nullptr;
    std::unique_ptr<MprisPlayer> player(new MprisPlayer(bus, suffix));
    if (!player->fFdSource || !player->fTimer || !player->fLaterSource) return nullptr;
    return player;
}

MprisPlayer::MprisPlayer(sd_bus* bus, const std::string& suffix) : fBus(bus), fSuffix(suffix) {
    if (!suffix.empty()) fName = kPrefix + suffix;
    int fd = sd_bus_get_fd(fBus);
    if (fd >= 0) fFdSource = FdSource::Create(fd, FdSource::kReadable, FdReady, this);
    fTimer = RunLoopTimer::Create(ClockNow() + 1e9, 1e9, TimerFired, this);
    fLaterSource = RunLoopSource::Create(PerformLater, this);
    // Open refuses a player whose run-loop sources could not be made.
    if (!fFdSource || !fTimer || !fLaterSource) return;
    // New and valid: adding cannot fail.
    (void)RunLoop::Main()->AddFdSource(fFdSource.get(), kRunLoopCommonModes);
    (void)RunLoop::Main()->AddTimer(fTimer.get(), kRunLoopCommonModes);
    (void)RunLoop::Main()->AddSource(fLaterSource.get(), kRunLoopCommonModes);
    Rearm();
}

MprisPlayer::~MprisPlayer() {
    fAlive.reset();
    if (fFdSource) fFdSource->Invalidate();
    if (fTimer) fTimer->Invalidate();
    if (fLaterSource) fLaterSource->Invalidate();
    // Closing the bus calls no handler of an outstanding call: each is cancelled and freed here.
    for (Call* call : fCalls) {
        sd_bus_slot_unref(call->slot);
        delete call;
    }
    fCalls.clear();
    sd_bus_flush_close_unref(fBus);
}

void MprisPlayer::FdReady(FdSource*, int, uint32_t, void* self) {
    static_cast<MprisPlayer*>(self)->Pump();
}

void MprisPlayer::TimerFired(RunLoopTimer*, void* self) {
    static_cast<MprisPlayer*>(self)->Pump();
}

void MprisPlayer::PerformLater(void* self) {
    auto* p = static_cast<MprisPlayer*>(self);
    std::weak_ptr<int> alive = p->fAlive;
    for (size_t n = p->fLater.size(); n > 0 && !alive.expired() && !p->fLater.empty(); --n) {
        auto f = std::move(p->fLater.front());
        p->fLater.pop_front();
        f();
    }
}

void MprisPlayer::Later(std::function<void()> f) {
    fLater.push_back(std::move(f));
    fLaterSource->Signal();
}

bool MprisPlayer::Send(sd_bus_message* m, Call* call) {
    if (sd_bus_call_async(fBus, &call->slot, m, OnReply, call, kTimeoutUsec) < 0) return false;
    fCalls.insert(call);
    return true;
}

void MprisPlayer::Pump() {
    std::weak_ptr<int> alive = fAlive;
    for (int i = 0; i < 64 && !alive.expired(); ++i)
        if (sd_bus_process(fBus, nullptr) <= 0) break;
    if (!alive.expired()) Rearm();
}

void MprisPlayer::Rearm() {
    int events = sd_bus_get_events(fBus);
    uint32_t want = 0;
    if (events > 0 && (events & POLLIN)) want |= FdSource::kReadable;
    if (events > 0 && (events & POLLOUT)) want |= FdSource::kWritable;
    fFdSource->SetEvents(want ? want : FdSource::kReadable);
    uint64_t usec = 0;
    double date = ClockNow() + 1e9;
    if (sd_bus_get_timeout(fBus, &usec) >= 0 && usec != UINT64_MAX) {
        timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        uint64_t now = uint64_t(ts.tv_sec) * 1000000 + uint64_t(ts.tv_nsec) / 1000;
        date = ClockNow() + (usec > now ? double(usec - now) / 1e6 : 0.0);
    }
    fTimer->SetNextFireDate(date);
}

void MprisPlayer::WithName(std::function<void(bool ok)> next) {
    if (!fName.empty()) return Later([next] { next(true); });
    sd_bus_message* m = nullptr;
    if (sd_bus_message_new_method_call(fBus, &m, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "ListNames") < 0)
        return Later([next] { next(false); });
    auto* call = new Call{this, fAlive, [this, next](Call* c) {
                              if (c->reply && sd_bus_message_enter_container(c->reply, 'a', "s") > 0) {
                                  const char* name = nullptr;
                                  while (sd_bus_message_read(c->reply, "s", &name) > 0)
                                      if (fName.empty() && name && IsPlayerName(name)) fName = name;
                              }
                              next(!fName.empty());
                          }};
    if (!Send(m, call)) {
        delete call;
        Later([next] { next(false); });
    }
    sd_bus_message_unref(m);
    Rearm();
}

void MprisPlayer::GetProperty(const char* interface, const char* property, std::function<void(Call*)> done) {
    std::string iface = interface, prop = property;
    WithName([this, iface, prop, done](bool ok) {
        Call failed{this, fAlive, nullptr};
        if (!ok) return done(&failed);
        sd_bus_message* m = nullptr;
        if (sd_bus_message_new_method_call(fBus, &m, fName.c_str(), kPath, "org.freedesktop.DBus.Properties",
                                           "Get") < 0 ||
            sd_bus_message_append(m, "ss", iface.c_str(), prop.c_str()) < 0) {
            sd_bus_message_unref(m);
            return done(&failed);
        }
        auto* call = new Call{this, fAlive, [this, done](Call* c) {
                                  if (!c->reply && fSuffix.empty()) fName.clear();  // look again next time
                                  done(c);
                              }};
        if (!Send(m, call)) {
            delete call;
            done(&failed);
        }
        sd_bus_message_unref(m);
        Rearm();
    });
}

void MprisPlayer::GetPosition(Reply<uint32_t> reply) {
    GetProperty(kPlayer, "Position", [reply](Call* c) {
        int64_t us = -1;
        bool ok = c->reply && sd_bus_message_enter_container(c->reply, 'v', "x") > 0 &&
                  sd_bus_message_read(c->reply, "x", &us) > 0 && us >= 0 &&
                  uint64_t(us) / 1000000 <= MediaPlayer::kMaxSeconds;
        reply(ok, ok ? uint32_t(uint64_t(us) / 1000000) : 0);
    });
}

void MprisPlayer::GetState(Reply<PlayerState> reply) {
    GetProperty(kPlayer, "PlaybackStatus", [reply](Call* c) {
        const char* status = nullptr;
        bool ok = c->reply && sd_bus_message_enter_container(c->reply, 'v', "s") > 0 &&
                  sd_bus_message_read(c->reply, "s", &status) > 0 && status;
        reply(ok, ok && std::strcmp(status, "Playing") == 0 ? PlayerState::kPlaying : PlayerState::kOther);
    });
}

void MprisPlayer::GetCurrentTrack(Reply<std::string> reply) {
    GetProperty(kPlayer, "Metadata", [reply](Call* c) {
        std::string id;
        uint32_t seconds = 0;
        bool ok = c->reply && sd_bus_message_enter_container(c->reply, 'v', "a{sv}") > 0 &&
                  ReadMetadata(c->reply, id, seconds) && !id.empty();
        reply(ok, id);
    });
}

void MprisPlayer::GetPlaylist(Reply<std::vector<PlayerTrack>> reply) {
    // Players without a track list give the current track alone (offset 0).
    GetProperty(kPlayer, "Metadata", [reply](Call* c) {
        PlayerTrack track;
        bool ok = c->reply && sd_bus_message_enter_container(c->reply, 'v', "a{sv}") > 0 &&
                  ReadMetadata(c->reply, track.id, track.seconds) && !track.id.empty();
        std::vector<PlayerTrack> list;
        if (ok) list.push_back(track);
        reply(ok, list);
    });
}

void MprisPlayer::IsRunning(std::function<void(bool running)> reply) {
    if (fSuffix.empty()) {
        fName.clear();
        return WithName([reply](bool ok) { reply(ok); });
    }
    sd_bus_message* m = nullptr;
    if (sd_bus_message_new_method_call(fBus, &m, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "NameHasOwner") < 0 ||
        sd_bus_message_append(m, "s", fName.c_str()) < 0) {
        sd_bus_message_unref(m);
        return Later([reply] { reply(false); });
    }
    auto* call = new Call{this, fAlive, [reply](Call* c) {
                              int has = 0;
                              reply(c->reply && sd_bus_message_read(c->reply, "b", &has) > 0 && has);
                          }};
    if (!Send(m, call)) {
        delete call;
        Later([reply] { reply(false); });
    }
    sd_bus_message_unref(m);
    Rearm();
}

void MprisPlayer::Command(const char* member) {
    std::string name = member;
    WithName([this, name](bool ok) {
        if (!ok) return;
        sd_bus_message* m = nullptr;
        if (sd_bus_message_new_method_call(fBus, &m, fName.c_str(), kPath, kPlayer, name.c_str()) >= 0 &&
            sd_bus_message_set_expect_reply(m, 0) >= 0)
            (void)sd_bus_send(fBus, m, nullptr);
        sd_bus_message_unref(m);
        Rearm();
    });
}

void MprisPlayer::Play() {
    Command("Play");
}

void MprisPlayer::Pause() {
    Command("Pause");
}

void MprisPlayer::Next() {
    Command("Next");
}

void MprisPlayer::Previous() {
    Command("Previous");
}

void MprisPlayer::SetPosition(uint32_t seconds) {
    // SetPosition names the track it applies to.
    GetCurrentTrack([this, seconds](bool ok, std::string id) {
        if (!ok) return;
        sd_bus_message* m = nullptr;
        if (sd_bus_message_new_method_call(fBus, &m, fName.c_str(), kPath, kPlayer, "SetPosition") >= 0 &&
            sd_bus_message_append(m, "ox", id.c_str(), int64_t(seconds) * 1000000) >= 0 &&
            sd_bus_message_set_expect_reply(m, 0) >= 0)
            (void)sd_bus_send(fBus, m, nullptr);
        sd_bus_message_unref(m);
        Rearm();
    });
}

void MprisPlayer::Launch() {
    if (fSuffix.empty()) return;  // nothing to name
    sd_bus_message* m = nullptr;
    if (sd_bus_message_new_method_call(fBus, &m, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "StartServiceByName") >= 0 &&
        sd_bus_message_append(m, "su", fName.c_str(), 0u) >= 0 && sd_bus_message_set_expect_reply(m, 0) >= 0)
        (void)sd_bus_send(fBus, m, nullptr);
    sd_bus_message_unref(m);
    Rearm();
}

}  // namespace plat
