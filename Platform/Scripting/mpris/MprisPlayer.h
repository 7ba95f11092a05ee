#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

#include "Platform/Foundation/Object.h"
#include "Platform/Scripting/MediaPlayer.h"

struct sd_bus;
struct sd_bus_message;

namespace plat {

class FdSource;
class RunLoopSource;
class RunLoopTimer;

// A media player on the user's D-Bus bus through its MPRIS interface. Requests are asynchronous
// method calls with a 1 s time-out; replies are read on the main run loop (the bus descriptor as a
// descriptor source). Main thread only.
class MprisPlayer : public MediaPlayer {
public:
    // suffix names the player ("org.mpris.MediaPlayer2.<suffix>"); empty = the first player on the bus.
    // Null when the bus cannot be opened.
    static std::unique_ptr<MprisPlayer> Open(const std::string& suffix);
    ~MprisPlayer() override;

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

    struct Call;

private:
    MprisPlayer(sd_bus* bus, const std::string& suffix);
    // Resolves the player's bus name, then runs next (false when there is none).
    void WithName(std::function<void(bool ok)> next);
    // Reads a property; the reply handler reads the variant's content.
    void GetProperty(const char* interface, const char* property, std::function<void(Call* reply)> done);
    void Command(const char* member);
    void Later(std::function<void()> f);
    // Sends m with call as its reply's handler; false (call not taken) when it could not be sent.
    bool Send(sd_bus_message* m, Call* call);
    void Pump();
    void Rearm();
    static void FdReady(FdSource*, int, uint32_t, void* self);
    static void TimerFired(RunLoopTimer*, void* self);
    static void PerformLater(void* self);

    sd_bus* fBus;
    std::string fSuffix;
    std::string fName;  // resolved bus name
    Ref<FdSource> fFdSource;
    Ref<RunLoopTimer> fTimer;
    Ref<RunLoopSource> fLaterSource;
    std::deque<std::function<void()>> fLater;
    std::unordered_set<Call*> fCalls;  // awaiting their replies; cancelled when the player goes
    std::shared_ptr<int> fAlive = std::make_shared<int>(0);
};

}  // namespace plat
