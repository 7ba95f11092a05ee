#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Common/Posix/CPsxMutex.h"
#include "Orbilume/CSources/Net/CFdWatcher.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"

namespace {

using namespace std::chrono_literals;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms) {
    auto t0 = std::chrono::steady_clock::now();
    while (!done()) {
        if (std::chrono::steady_clock::now() - t0 > limit) return false;
        std::this_thread::sleep_for(200us);
    }
    return true;
}

struct Hits {
    std::atomic<int> read{0}, write{0};
    int fd = -1;
    bool unregisterOnRead = false;
    static void Callback(void* self, int kind) {
        auto* h = static_cast<Hits*>(self);
        if (kind == CFdWatcher::kRead) {
            if (h->unregisterOnRead) CFdWatcher::Unregister(h->fd);
            ++h->read;
        } else {
            ++h->write;
        }
    }
};

TEST(CFdWatcher, ArmedReadFiresOnceForAQueuedDatagram) {
    nettest::RawUdp receiver, sender;
    Hits hits;
    CFdWatcher::Register(receiver.Fd(), &hits, &Hits::Callback);
    EXPECT_TRUE(CFdWatcher::IsRunning());
    ASSERT_TRUE(sender.SendTo(receiver.Port(), "x"));
    CFdWatcher::Arm(receiver.Fd(), CFdWatcher::kRead);
    EXPECT_TRUE(WaitFor([&] { return hits.read == 1; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(hits.read, 1);  // one-shot: not armed again
    CFdWatcher::Arm(receiver.Fd(), CFdWatcher::kWrite);
    EXPECT_TRUE(WaitFor([&] { return hits.write == 1; }));
    CFdWatcher::Unregister(receiver.Fd());
    EXPECT_FALSE(CFdWatcher::IsRunning());
}

TEST(CFdWatcher, LastUnregisterFromACallbackReturnsAndANewRegisterWorks) {
    int before = nettest::ThreadCount();
    nettest::RawUdp receiver, sender;
    Hits hits;
    hits.fd = receiver.Fd();
    hits.unregisterOnRead = true;
    CFdWatcher::Register(receiver.Fd(), &hits, &Hits::Callback);
    CFdWatcher::Arm(receiver.Fd(), CFdWatcher::kRead);
    ASSERT_TRUE(sender.SendTo(receiver.Port(), "x"));
    ASSERT_TRUE(WaitFor([&] { return hits.read == 1; }));
    EXPECT_FALSE(CFdWatcher::IsRunning());
    // The detached thread ends by itself.
    EXPECT_TRUE(WaitFor([&] { return nettest::ThreadCount() == before; }));

    Hits again;
    nettest::RawUdp second;
    CFdWatcher::Register(second.Fd(), &again, &Hits::Callback);
    CFdWatcher::Arm(second.Fd(), CFdWatcher::kRead);
    ASSERT_TRUE(sender.SendTo(second.Port(), "y"));
    EXPECT_TRUE(WaitFor([&] { return again.read == 1; }));
    CFdWatcher::Unregister(second.Fd());
    EXPECT_TRUE(WaitFor([&] { return nettest::ThreadCount() == before; }));
}

TEST(CFdWatcher, ReportsDescriptorsAbove1023) {
    rlimit old{};
    getrlimit(RLIMIT_NOFILE, &old);
    rlimit raised = old;
    if (raised.rlim_cur < 2048) raised.rlim_cur = std::min<rlim_t>(2048, raised.rlim_max);
    if (setrlimit(RLIMIT_NOFILE, &raised) != 0 || raised.rlim_cur <= 1500)
        GTEST_SKIP() << "cannot raise the limit";
    nettest::RawUdp receiver, sender;
    int high = dup2(receiver.Fd(), 1500);
    ASSERT_EQ(high, 1500);
    Hits hits;
    CFdWatcher::Register(high, &hits, &Hits::Callback);
    CFdWatcher::Arm(high, CFdWatcher::kRead);
    ASSERT_TRUE(sender.SendTo(receiver.Port(), "x"));
    EXPECT_TRUE(WaitFor([&] { return hits.read == 1; }));
    CFdWatcher::Unregister(high);
    close(high);
    setrlimit(RLIMIT_NOFILE, &old);
}

TEST(CFdWatcher, DescriptorClosedBehindItsBackIsReportedOnce) {
    nettest::RawUdp keep;  // keeps the watcher running
    Hits keepHits;
    CFdWatcher::Register(keep.Fd(), &keepHits, &Hits::Callback);
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    Hits hits;
    CFdWatcher::Register(fd, &hits, &Hits::Callback);
    close(fd);
    CFdWatcher::Arm(fd, CFdWatcher::kRead);
    EXPECT_TRUE(WaitFor([&] { return hits.read == 1; }));
    CFdWatcher::Arm(fd, CFdWatcher::kRead);  // no longer watched: no error loop
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(hits.read, 1);
    CFdWatcher::Unregister(fd);
    CFdWatcher::Unregister(keep.Fd());
    EXPECT_FALSE(CFdWatcher::IsRunning());
}

}  // namespace
