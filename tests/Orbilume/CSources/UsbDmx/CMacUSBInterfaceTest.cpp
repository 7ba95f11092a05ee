#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "Orbilume/CSources/UsbDmx/CMacUSBInterface.h"
#include "Platform/USB/sim/SimDmxInterface.h"
#include "tests/Orbilume/CSources/UsbDmx/UsbDmxTestLoop.h"

namespace {

using plat::sim::SimDmxInterface;
using usbdmxtest::WaitFor;

// Completions as they arrive: which request, its status and length, and on which thread.
struct Log {
    struct Entry {
        int tag;
        uint32_t status;
        uint32_t length;
        std::thread::id thread;
    };
    std::mutex lock;
    std::vector<Entry> entries;
    static void Done(void* context, CMacUSBRequest* r) {
        auto* log = static_cast<Log*>(context);
        std::lock_guard<std::mutex> guard(log->lock);
        log->entries.push_back({log->tags.at(r), r->Status(), r->Length(), std::this_thread::get_id()});
    }
    size_t Count() {
        std::lock_guard<std::mutex> guard(lock);
        return entries.size();
    }
    std::vector<Entry> Entries() {
        std::lock_guard<std::mutex> guard(lock);
        return entries;
    }
    std::map<CMacUSBRequest*, int> tags;
};

struct TransportTest : ::testing::Test {
    usbdmxtest::TestLoop loop;
    plat::sim::SimUsbHost host;
    plat::Ref<SimDmxInterface> device = SimDmxInterface::Make(1, 4, "SIM0001");
    LHandler root{nullptr};
    std::unique_ptr<CMacUSBInterface> usb = std::make_unique<CMacUSBInterface>(&root, loop.Loop(), &host);
    Log log;
    std::vector<std::unique_ptr<CMacUSBRequest>> requests;
    uint8_t buffers[8][64] = {};

    void SetUp() override { host.Plug(device.get()); }
    void TearDown() override { usb.reset(); }
    CMacUSBRequest* Request(int tag) {
        requests.push_back(usb->NewRequest());
        log.tags[requests.back().get()] = tag;
        return requests.back().get();
    }
    uint8_t InPipe() {
        uint8_t pipe = 0, endpoint = 0;
        EXPECT_TRUE(usb->FindPipe(3, 1, 0, pipe, endpoint));
        return pipe;
    }
};

TEST_F(TransportTest, OpenResults) {
    EXPECT_EQ(usb->Open("usb:1-9"), CMacUSBInterface::kOpenNoDevice);
    EXPECT_EQ(usb->Open("not a path"), CMacUSBInterface::kOpenNoDevice);
    device->SetBusy(true);
    EXPECT_EQ(usb->Open("usb:1-4"), CMacUSBInterface::kOpenExclusive);
    device->SetBusy(false);
    device->SetAccessDenied(true);
    EXPECT_EQ(usb->Open("usb:1-4"), CMacUSBInterface::kOpenFailed);
    device->SetAccessDenied(false);
    device->SetInterfaceDelay(11);  // more looks than the ten tries
    EXPECT_EQ(usb->Open("usb:1-4"), CMacUSBInterface::kOpenFailed);
    device->SetInterfaceDelay(4);
    ASSERT_EQ(usb->Open("usb:1-4"), CMacUSBInterface::kOpenOk);
    EXPECT_TRUE(usb->IsOpen());
    EXPECT_EQ(usb->Open("usb:1-4"), CMacUSBInterface::kOpenOk);  // already open

    uint8_t pipe = 0, endpoint = 0;
    ASSERT_TRUE(usb->FindPipe(3, 0, 0, pipe, endpoint));
    EXPECT_EQ(pipe, 2);
    EXPECT_EQ(endpoint, SimDmxInterface::kOutEndpoint);
    ASSERT_TRUE(usb->FindPipe(3, 1, 0, pipe, endpoint));
    EXPECT_EQ(pipe, 1);
    EXPECT_EQ(endpoint, SimDmxInterface::kInEndpoint);
    EXPECT_FALSE(usb->FindPipe(3, 1, 1, pipe, endpoint));  // only one IN pipe
    EXPECT_FALSE(usb->FindPipe(2, 1, 0, pipe, endpoint));  // no bulk pipe
    uint32_t release = 0;
    EXPECT_EQ(usb->GetDeviceReleaseNumber(release), 0);
    EXPECT_EQ(release, 0x0104u);

    // A second client of the same interface is refused as exclusive use.
    CMacUSBInterface other(&root, loop.Loop(), &host);
    EXPECT_EQ(other.Open("usb:1-4"), CMacUSBInterface::kOpenExclusive);
    // The interface can be named directly.
    usb->Close();
    EXPECT_NE(usb->GetDeviceReleaseNumber(release), 0);
    EXPECT_EQ(other.Open("usb:1-4:1.0"), CMacUSBInterface::kOpenOk);
}

TEST_F(TransportTest, ReadsAreDispatchedInIssueOrderOnTheLoopThread) {
    ASSERT_EQ(usb->Open("usb:1-4"), 0);
    const uint8_t pipe = InPipe();
    for (int i = 0; i < 3; ++i) usb->ReadPipeAsync(Request(i + 1), pipe, buffers[i], 64, &log, &Log::Done);
    ASSERT_EQ(device->PendingReads(), 3u);

    ASSERT_TRUE(device->CompleteRead(2, {0x00, 0x01, 3}));  // the third read first
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(log.Count(), 0u);  // held back by the first
    ASSERT_TRUE(device->CompleteRead(0, {0x00, 0x01, 1, 2}));
    ASSERT_TRUE(device->CompleteRead(0, {0x00}));
    ASSERT_TRUE(WaitFor([&] { return log.Count() == 3; }));

    const std::thread::id loopThread = loop.ThreadId();
    const auto e = log.Entries();
    const int tags[] = {1, 2, 3};
    const uint32_t lengths[] = {4, 1, 3};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(e[i].tag, tags[i]);
        EXPECT_EQ(e[i].status, 0u);
        EXPECT_EQ(e[i].length, lengths[i]);
        EXPECT_EQ(e[i].thread, loopThread);
    }
    EXPECT_EQ(buffers[2][2], 3);
}

TEST_F(TransportTest, FailuresAndShortAndLongRepliesKeepTheirLength) {
    ASSERT_EQ(usb->Open("usb:1-4"), 0);
    const uint8_t pipe = InPipe();
    for (int i = 0; i < 4; ++i) usb->ReadPipeAsync(Request(i + 1), pipe, buffers[i], 8, &log, &Log::Done);
    ASSERT_TRUE(device->CompleteRead(0, std::vector<uint8_t>(20, 9)));  // more than the buffer
    ASSERT_TRUE(device->CompleteRead(0, {}, plat::UsbStatus::kStalled));
    ASSERT_TRUE(device->CompleteRead(0, {}, plat::UsbStatus::kAborted));
    ASSERT_TRUE(device->CompleteRead(0, {}, plat::UsbStatus::kFailed));
    ASSERT_TRUE(WaitFor([&] { return log.Count() == 4; }));
    const auto e = log.Entries();
    EXPECT_EQ(e[0].length, 8u);
    EXPECT_EQ(e[0].status, 0u);
    EXPECT_EQ(e[1].status, 1u);
    EXPECT_EQ(e[2].status, 2u);
    EXPECT_EQ(e[3].status, 1u);
}

TEST_F(TransportTest, AWriteWhileClosedCompletesBeforeTheCallReturns) {
    usb->WritePipeAsync(Request(7), 2, buffers[0], 3, &log, &Log::Done);
    ASSERT_EQ(log.Count(), 1u);
    const auto e = log.Entries();
    EXPECT_EQ(e[0].status, 1u);
    EXPECT_EQ(e[0].length, 0u);
    EXPECT_EQ(e[0].thread, std::this_thread::get_id());
}

// Refused calls complete on the calling thread while the loop dispatches other completions: both walk
// the lists under the loop lock (run once under ThreadSanitizer).
TEST_F(TransportTest, RefusedCallsDoNotRaceTheLoopsDispatch) {
    ASSERT_EQ(usb->Open("usb:1-4"), 0);
    const uint8_t pipe = InPipe();
    constexpr int kRounds = 200;
    std::atomic<bool> stop{false};
    std::thread completer([&] {
        while (!stop.load()) device->CompleteRead(0, {0x00, 0x01, 5});
    });
    CMacUSBRequest* read = Request(1);
    CMacUSBRequest* write = Request(2);
    for (int i = 0; i < kRounds; ++i) {
        size_t before = log.Count();
        usb->ReadPipeAsync(read, pipe, buffers[0], 64, &log, &Log::Done);
        usb->WritePipeAsync(write, 9, buffers[1], 3, &log, &Log::Done);  // no such pipe: refused
        ASSERT_GE(log.Count(), before + 1);
        ASSERT_TRUE(WaitFor([&] { return log.Count() == before + 2; }));
    }
    stop = true;
    completer.join();
    int writes = 0;
    for (const auto& e : log.Entries())
        if (e.tag == 2) {
            ++writes;
            EXPECT_EQ(e.status, 1u);
        }
    EXPECT_EQ(writes, kRounds);
}

TEST_F(TransportTest, CloseOnTheLoopThreadCompletesPendingTransfersAsAborted) {
    ASSERT_EQ(usb->Open("usb:1-4"), 0);
    device->SetHoldWrites(true);
    device->SetHoldControls(true);
    const uint8_t pipe = InPipe();
    for (int i = 0; i < 3; ++i) usb->ReadPipeAsync(Request(i + 1), pipe, buffers[i], 64, &log, &Log::Done);
    usb->WritePipeAsync(Request(4), 2, buffers[3], 3, &log, &Log::Done);
    usb->ControlRequestAsync(Request(5), {0xC2, 0, 0, 1}, buffers[4], 6, &log, &Log::Done);
    double seconds = 0;
    loop.Run([&] {
        const auto t0 = std::chrono::steady_clock::now();
        usb->Close();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    });
    EXPECT_LT(seconds, 0.5);
    ASSERT_EQ(log.Count(), 5u);
    for (const auto& e : log.Entries()) EXPECT_EQ(e.status, 2u) << e.tag;
    EXPECT_FALSE(usb->IsOpen());
    EXPECT_FALSE(device->IsClaimed());
}

TEST_F(TransportTest, CloseFromAnotherThreadWaitsForTheLoop) {
    ASSERT_EQ(usb->Open("usb:1-4"), 0);
    const uint8_t pipe = InPipe();
    for (int i = 0; i < 3; ++i) usb->ReadPipeAsync(Request(i + 1), pipe, buffers[i], 64, &log, &Log::Done);
    usb->Close();
    ASSERT_EQ(log.Count(), 3u);
    const std::thread::id loopThread = loop.ThreadId();
    for (const auto& e : log.Entries()) {
        EXPECT_EQ(e.status, 2u);
        EXPECT_EQ(e.thread, loopThread);
    }
}

TEST_F(TransportTest, CloseIsBoundedWhenTheBackendKeepsAbortedTransfers) {
    ASSERT_EQ(usb->Open("usb:1-4"), 0);
    device->SetIgnoreAbort(true);
    usb->ReadPipeAsync(Request(1), InPipe(), buffers[0], 64, &log, &Log::Done);
    const auto t0 = std::chrono::steady_clock::now();
    usb->Close();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(seconds, CMacUSBInterface::kCloseLimit + 0.5);
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.Entries()[0].status, 2u);
}

TEST_F(TransportTest, UnplugFailsPendingTransfers) {
    ASSERT_EQ(usb->Open("usb:1-4"), 0);
    usb->ReadPipeAsync(Request(1), InPipe(), buffers[0], 64, &log, &Log::Done);
    host.Unplug(device.get());
    ASSERT_TRUE(WaitFor([&] { return log.Count() == 1; }));
    EXPECT_EQ(log.Entries()[0].status, 1u);
    usb->ReadPipeAsync(Request(2), InPipe(), buffers[0], 64, &log, &Log::Done);
    EXPECT_EQ(log.Count(), 2u);  // refused at once
}

}  // namespace
