#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "Platform/Foundation/RunLoop.h"
#include "Platform/Scripting/mpris/MprisPlayer.h"
#include "tests/support/DbusSession.h"

extern char** environ;

namespace {

// What the served player answers to Properties.Get.
enum class Answer {
    kGood,
    kPositionText,
    kPositionNegative,
    kPositionHuge,
    kNoTrackId,
    kNegativeLength,
    kMetadataText,
    kError,
    kSilent
};

// A player on a private bus, served from its own thread, whose answers a test picks.
class ServedPlayer {
public:
    explicit ServedPlayer(const std::string& address) {
        (void)address;  // DBUS_SESSION_BUS_ADDRESS names it
        int a = sd_bus_open_user(&fBus);
        int b = sd_bus_add_object(fBus, nullptr, "/org/mpris/MediaPlayer2", Handle, this);
        int c = sd_bus_request_name(fBus, "org.mpris.MediaPlayer2.fake", 0);
        ok = a >= 0 && b >= 0 && c >= 0;
        fThread = std::thread([this] {
            while (!fStop) {
                while (sd_bus_process(fBus, nullptr) > 0) {
                }
                sd_bus_wait(fBus, 20000);
            }
        });
    }
    ~ServedPlayer() {
        fStop = true;
        fThread.join();
        sd_bus_flush_close_unref(fBus);
    }
    std::atomic<Answer> answer{Answer::kGood};
    bool ok = false;

private:
    static int Handle(sd_bus_message* m, void* self, sd_bus_error*) {
        auto* p = static_cast<ServedPlayer*>(self);
        if (!sd_bus_message_is_method_call(m, "org.freedesktop.DBus.Properties", "Get")) return 0;
        const char *iface = nullptr, *prop = nullptr;
        if (sd_bus_message_read(m, "ss", &iface, &prop) < 0) return 0;
        Answer a = p->answer;
        if (a == Answer::kSilent) return 1;  // never answered
        if (a == Answer::kError) return sd_bus_reply_method_errorf(m, "org.example.Failed", "no");
        sd_bus_message* r = nullptr;
        sd_bus_message_new_method_return(m, &r);
        if (std::strcmp(prop, "Position") == 0) {
            if (a == Answer::kPositionText)
                sd_bus_message_append(r, "v", "s", "12");
            else
                sd_bus_message_append(r, "v", "x",
                                      a == Answer::kPositionNegative ? int64_t(-5000000)
                                      : a == Answer::kPositionHuge   ? int64_t(1) << 62
                                                                     : int64_t(12500000));
        } else if (std::strcmp(prop, "PlaybackStatus") == 0) {
            sd_bus_message_append(r, "v", "s", "Playing");
        } else if (a == Answer::kMetadataText) {
            sd_bus_message_append(r, "v", "s", "metadata");
        } else {
            sd_bus_message_open_container(r, 'v', "a{sv}");
            sd_bus_message_open_container(r, 'a', "{sv}");
            if (a != Answer::kNoTrackId) sd_bus_message_append(r, "{sv}", "mpris:trackid", "o", "/t/1");
            sd_bus_message_append(r, "{sv}", "mpris:length", "x",
                                  a == Answer::kNegativeLength ? int64_t(-1) : int64_t(200000000));
            sd_bus_message_append(r, "{sv}", "xesam:title", "s", "tone");
            sd_bus_message_close_container(r);
            sd_bus_message_close_container(r);
        }
        sd_bus_send(nullptr, r, nullptr);
        sd_bus_message_unref(r);
        return 1;
    }
    sd_bus* fBus = nullptr;
    std::atomic<bool> fStop{false};
    std::thread fThread;
};

class MprisPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.Ok()) GTEST_SKIP() << bus.Why();
        address = bus.Address();
    }
    // Runs the main loop until done() or 3 s; returns the time it took in ms.
    int64_t RunUntil(const std::function<bool()>& done) {
        auto t0 = std::chrono::steady_clock::now();
        while (!done() && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(3))
            plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, false);
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    }

    testsupport::DbusSession bus;
    std::string address;
};

TEST_F(MprisPlayerTest, GoodAndBadAnswers) {
    ServedPlayer served(address);
    ASSERT_TRUE(served.ok);
    std::unique_ptr<plat::MprisPlayer> player = plat::MprisPlayer::Open("fake");
    ASSERT_TRUE(player);

    struct Result {
        int answers = 0;
        bool position = false, track = false, playlist = false;
        uint32_t seconds = 0;
        std::vector<plat::PlayerTrack> list;
    };
    auto ask = [&](Answer a) {
        served.answer = a;
        Result r;
        bool inside = true;
        player->GetPosition([&](bool ok, uint32_t s) {
            EXPECT_FALSE(inside);
            r.position = ok;
            r.seconds = s;
            ++r.answers;
        });
        player->GetCurrentTrack([&](bool ok, const std::string&) {
            r.track = ok;
            ++r.answers;
        });
        player->GetPlaylist([&](bool ok, const std::vector<plat::PlayerTrack>& list) {
            r.playlist = ok;
            r.list = list;
            ++r.answers;
        });
        inside = false;
        RunUntil([&] { return r.answers == 3; });
        EXPECT_EQ(r.answers, 3);
        return r;
    };

    Result good = ask(Answer::kGood);
    EXPECT_TRUE(good.position && good.track && good.playlist);
    EXPECT_EQ(good.seconds, 12u);
    ASSERT_EQ(good.list.size(), 1u);
    EXPECT_EQ(good.list[0].id, "/t/1");
    EXPECT_EQ(good.list[0].seconds, 200u);

    struct Case {
        Answer answer;
        bool position, track, playlist;
    } cases[] = {
        {Answer::kPositionText, false, true, true},    {Answer::kPositionNegative, false, true, true},
        {Answer::kPositionHuge, false, true, true},    {Answer::kNoTrackId, true, false, false},
        {Answer::kNegativeLength, true, false, false}, {Answer::kMetadataText, true, false, false},
        {Answer::kError, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.answer));
        Result r = ask(c.answer);
        EXPECT_EQ(r.position, c.position);
        EXPECT_EQ(r.track, c.track);
        EXPECT_EQ(r.playlist, c.playlist);
    }

    // A player that never answers fails the request after the time-out, without blocking.
    served.answer = Answer::kSilent;
    int answers = 0;
    bool ok = true;
    auto t0 = std::chrono::steady_clock::now();
    player->GetPosition([&](bool o, uint32_t) {
        ok = o;
        ++answers;
    });
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(100));
    int64_t took = RunUntil([&] { return answers == 1; });
    EXPECT_EQ(answers, 1);
    EXPECT_FALSE(ok);
    EXPECT_GE(took, 900);
    EXPECT_LT(took, 2000);
}

// A player dropped while its requests await answers cancels them: no handler runs afterwards, and
// nothing is left behind (the leak checker of the sanitized build sees the calls and their handlers).
TEST_F(MprisPlayerTest, DroppedWhileRequestsAwaitAnswers) {
    ServedPlayer served(address);
    ASSERT_TRUE(served.ok);
    served.answer = Answer::kSilent;
    std::unique_ptr<plat::MprisPlayer> player = plat::MprisPlayer::Open("fake");
    ASSERT_TRUE(player);
    int answers = 0;
    player->GetPosition([&](bool, uint32_t) { ++answers; });
    player->GetCurrentTrack([&](bool, const std::string&) { ++answers; });
    // The requests go out and wait (the time-out is a second away); then the player goes.
    auto t0 = std::chrono::steady_clock::now();
    RunUntil([&] { return std::chrono::steady_clock::now() - t0 > std::chrono::milliseconds(200); });
    player.reset();
    RunUntil([&] { return std::chrono::steady_clock::now() - t0 > std::chrono::milliseconds(1500); });
    EXPECT_EQ(answers, 0);
}

}  // namespace
