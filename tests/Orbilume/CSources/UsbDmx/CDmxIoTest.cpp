#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "Orbilume/CSources/UsbDmx/CDmxIo.h"
#include "Platform/USB/sim/SimDmxInterface.h"
#include "tests/Orbilume/CSources/UsbDmx/UsbDmxTestLoop.h"

namespace {

using Bytes = std::vector<uint8_t>;
using plat::sim::SimDmxInterface;
using usbdmxtest::WaitFor;

Bytes Frame(uint8_t startCode, uint32_t slots, uint8_t first) {
    Bytes f(1 + slots);
    f[0] = startCode;
    for (uint32_t i = 0; i < slots; ++i) f[1 + i] = uint8_t(first + i);
    return f;
}

// The owner of the port: records "CDmxIo_Close" and may act on it (on the loop's thread).
struct Owner : LHandler {
    Owner() : LHandler(nullptr) {}
    std::atomic<int> closes{0};
    std::function<void()> onClose;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CDmxIo_Close)) {
            ++closes;
            if (onClose) onClose();
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
};

// Input requests that collect the frames they are given.
struct Inputs {
    std::mutex lock;
    std::vector<Bytes> frames;
    static void Done(void* self, CDmxRequest* r) {
        auto* in = static_cast<Inputs*>(self);
        std::lock_guard<std::mutex> guard(in->lock);
        in->frames.emplace_back(r->Data(), r->Data() + r->Size());
    }
    size_t Count() {
        std::lock_guard<std::mutex> guard(lock);
        return frames.size();
    }
};

struct Timing {
    std::atomic<int> calls{0};
    std::atomic<uint32_t> status{99};
    static void Done(void* self, CDmxTimingRequest*, uint32_t status) {
        auto* t = static_cast<Timing*>(self);
        t->status = status;
        ++t->calls;
    }
};

struct DmxIoTest : ::testing::Test {
    usbdmxtest::TestLoop loop;
    plat::sim::SimUsbHost host;
    plat::Ref<SimDmxInterface> device = SimDmxInterface::Make(2, 3, "SIM0002");
    Owner owner;
    Inputs in;  // outlive the port, which completes what is still queued when it goes
    CDmxRequest inputs[3];
    std::unique_ptr<CDmxIo> io = std::make_unique<CDmxIo>(&owner, loop.Loop(), &host);

    void SetUp() override { host.Plug(device.get()); }
    void TearDown() override { io.reset(); }
    void Open() {
        ASSERT_EQ(io->Open("usb:2-3"), CDmxPort::kOpenOk);
        ASSERT_TRUE(WaitFor([&] { return device->PendingReads() == CDmxIo::kReads; }));
    }
};

TEST(CDmxRequestTest, SizeIsClampedAndGrowthIsZeroed) {
    CDmxRequest r;
    EXPECT_EQ(r.Size(), 1u);
    r.SetSize(4);
    r.Data()[3] = 9;
    r.SetSize(2);
    r.SetSize(5);
    EXPECT_EQ(r.Data()[3], 0);
    r.SetSize(0);
    EXPECT_EQ(r.Size(), 1u);
    r.SetSize(1000);
    EXPECT_EQ(r.Size(), 513u);
}

TEST_F(DmxIoTest, OpenKeepsSixteenReadsAndReadsTheReleaseNumber) {
    Open();
    EXPECT_TRUE(io->IsOpen());
    EXPECT_EQ(io->DeviceRelease(), 0x0104u);
    EXPECT_EQ(io->Open("usb:2-3"), CDmxPort::kOpenOk);
    EXPECT_EQ(device->PendingReads(), 16u);
}

TEST_F(DmxIoTest, ExclusiveUseAndMissingDevices) {
    device->SetBusy(true);
    EXPECT_EQ(io->Open("usb:2-3"), CDmxPort::kOpenExclusive);
    EXPECT_EQ(io->Open("usb:2-7"), CDmxPort::kOpenFailed);
    EXPECT_FALSE(io->IsOpen());
    // A device without interrupt pipes is not the interface.
    plat::UsbDeviceInfo info = device->Info();
    info.path = "usb:2-5";
    auto bare = plat::Adopt(new plat::sim::SimUsbDevice(info, {{plat::kUsbBulk, plat::kUsbIn, 1, 64}}));
    host.Plug(bare.get());
    EXPECT_EQ(io->Open("usb:2-5"), CDmxPort::kOpenFailed);
    EXPECT_FALSE(bare->IsClaimed());
}

TEST_F(DmxIoTest, FramesGoOutOneWriteEach) {
    Open();
    device->SetHoldWrites(true);
    const Bytes frames[] = {Frame(0, 512, 1), Frame(0, 0, 0), Frame(0xCC, 8, 40), Frame(0, 3, 7)};
    CDmxRequest out[4];
    std::atomic<int> done{0};
    for (int i = 0; i < 4; ++i) {
        out[i].SetCompletion(&done, [](void* d, CDmxRequest*) { ++*static_cast<std::atomic<int>*>(d); });
        out[i].SetSize(uint32_t(frames[i].size()));
        std::copy(frames[i].begin(), frames[i].end(), out[i].Data());
        io->QueueOutput(&out[i]);
    }
    EXPECT_EQ(done.load(), 1);  // the first is copied and on its way; the rest wait for its write
    EXPECT_EQ(device->PendingWrites(), 1u);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(WaitFor([&] { return device->PendingWrites() == 1; }));
        ASSERT_TRUE(device->CompleteWrite(0));
    }
    ASSERT_TRUE(WaitFor([&] { return done.load() == 4 && device->Writes().size() == 4; }));
    const auto writes = device->Writes();
    EXPECT_EQ(writes[0].size(), 588u);
    EXPECT_EQ(writes[1], (Bytes{0x00, 0x01, 0x00}));
    EXPECT_EQ(writes[2].size(), 12u);
    EXPECT_EQ(device->Frames(), (std::vector<Bytes>{frames[0], frames[1], frames[2], frames[3]}));
    EXPECT_EQ(device->BadReports(), 0u);
}

TEST_F(DmxIoTest, OutputWhileClosedCompletesAtOnce) {
    CDmxRequest r;
    int done = 0;
    r.SetCompletion(&done, [](void* d, CDmxRequest*) { ++*static_cast<int*>(d); });
    io->QueueOutput(&r);
    EXPECT_EQ(done, 1);
    EXPECT_TRUE(device->Writes().empty());
}

TEST_F(DmxIoTest, FramesInAreDeliveredToQueuedRequests) {
    Open();
    for (auto& r : inputs) {
        r.SetCompletion(&in, &Inputs::Done);
        io->QueueInput(&r);
    }
    const Bytes a = Frame(0, 512, 3), b = Frame(0x17, 20, 9), c = Frame(0, 2, 1);
    auto reports = SimDmxInterface::EncodeFrames({a, b, c, {0x00}});
    // More reports than reads outstanding: the port keeps re-issuing them.
    device->SendReports(reports);
    ASSERT_TRUE(WaitFor([&] { return in.Count() == 3; }));
    EXPECT_EQ(in.frames, (std::vector<Bytes>{a, b, c}));
    EXPECT_EQ(device->QueuedReports(), 0u);
    EXPECT_TRUE(WaitFor([&] { return device->PendingReads() == CDmxIo::kReads; }));
}

TEST_F(DmxIoTest, WithoutInputRequestsTheOldestOfThreeFramesIsDropped) {
    Open();
    const Bytes a = Frame(0, 512, 1), b = Frame(0, 512, 2), c = Frame(0, 512, 3);
    device->SendReports(SimDmxInterface::EncodeFrames({a, b, c}));
    ASSERT_TRUE(WaitFor([&] { return device->QueuedReports() == 0; }));
    ASSERT_TRUE(WaitFor([&] { return device->PendingReads() == CDmxIo::kReads; }));
    for (auto& r : inputs) {
        r.SetCompletion(&in, &Inputs::Done);
        io->QueueInput(&r);
    }
    EXPECT_EQ(in.frames, (std::vector<Bytes>{b, c}));
    EXPECT_TRUE(io->CancelInput(&inputs[2]));
    EXPECT_FALSE(io->CancelInput(&inputs[2]));
}

TEST_F(DmxIoTest, FrameListenersHearEveryDeliveredFrame) {
    Open();
    struct Heard {
        std::atomic<int> count{0};
        std::atomic<uint32_t> slots{0};
    } heard;
    ASSERT_TRUE(io->AddFrameListener(&heard, [](void* h, uint8_t sc, uint32_t slots) {
        auto* x = static_cast<Heard*>(h);
        if (sc == 0) x->slots = slots;
        ++x->count;
    }));
    inputs[0].SetCompletion(&in, &Inputs::Done);
    io->QueueInput(&inputs[0]);
    device->SendReports(SimDmxInterface::EncodeFrames({Frame(0, 512, 0)}));
    ASSERT_TRUE(WaitFor([&] { return heard.count.load() == 1; }));
    EXPECT_EQ(heard.slots.load(), 512u);
}

TEST_F(DmxIoTest, TimingSetAndGetUseTheVendorRequests) {
    Open();
    Timing set, get;
    CDmxTimingRequest setRequest, getRequest;
    io->QueueSetTiming(&setRequest, &set, &Timing::Done, 0x105, 20, 3);  // bytes: the low byte of each
    ASSERT_TRUE(WaitFor([&] { return set.calls.load() == 1; }));
    EXPECT_EQ(set.status.load(), 0u);
    device->SetTiming(300, 20, 1);
    io->QueueGetTiming(&getRequest, &get, &Timing::Done);
    ASSERT_TRUE(WaitFor([&] { return get.calls.load() == 1; }));
    EXPECT_EQ(get.status.load(), 0u);
    EXPECT_EQ(getRequest.brk, 300u);
    EXPECT_EQ(getRequest.mab, 20u);
    EXPECT_EQ(getRequest.mbs, 1u);

    const auto setups = device->Setups();
    ASSERT_EQ(setups.size(), 2u);
    EXPECT_EQ(setups[0].requestType, 0x42);
    EXPECT_EQ(setups[0].request, 0x03);
    EXPECT_EQ(setups[0].value, 0);
    EXPECT_EQ(setups[0].index, SimDmxInterface::kOutEndpoint);
    EXPECT_EQ(setups[0].length, 4);
    EXPECT_EQ(setups[1].requestType, 0xC2);
    EXPECT_EQ(setups[1].request, 0x00);
    EXPECT_EQ(setups[1].value, 0);
    EXPECT_EQ(setups[1].index, SimDmxInterface::kInEndpoint);
    EXPECT_EQ(setups[1].length, 6);
    const auto data = device->ControlData();
    EXPECT_EQ(data[0], (Bytes{0x05, 20, 3, 0}));
    EXPECT_EQ(data[1], (Bytes{0x2C, 0x01, 20, 0, 1, 0}));
}

TEST_F(DmxIoTest, AShortGetReplyFailsAndLeavesTheValues) {
    Open();
    device->SetGetReplyLength(4);
    Timing get;
    CDmxTimingRequest r;
    r.brk = 111;
    r.mab = 222;
    r.mbs = 333;
    io->QueueGetTiming(&r, &get, &Timing::Done);
    ASSERT_TRUE(WaitFor([&] { return get.calls.load() == 1; }));
    EXPECT_EQ(get.status.load(), 1u);
    EXPECT_EQ(r.brk, 111u);
    EXPECT_EQ(r.mab, 222u);
    EXPECT_EQ(r.mbs, 333u);
}

TEST_F(DmxIoTest, TimingRequestsRunOneAtATimeSetsFirstAndCanBeCancelled) {
    Open();
    device->SetHoldControls(true);
    Timing t1, t2, t3;
    CDmxTimingRequest get, set1, set2;
    io->QueueGetTiming(&get, &t1, &Timing::Done);
    io->QueueSetTiming(&set1, &t2, &Timing::Done, 1, 2, 3);
    io->QueueSetTiming(&set2, &t3, &Timing::Done, 4, 5, 6);
    EXPECT_EQ(device->PendingControls(), 1u);
    EXPECT_TRUE(io->CancelSetTiming(&set2));
    EXPECT_FALSE(io->CancelSetTiming(&set2));
    ASSERT_TRUE(device->CompleteControl(0));  // the get, already in flight
    ASSERT_TRUE(WaitFor([&] { return t1.calls.load() == 1 && device->PendingControls() == 1; }));
    ASSERT_TRUE(device->CompleteControl(0));
    ASSERT_TRUE(WaitFor([&] { return t2.calls.load() == 1; }));
    loop.Run([] {});
    EXPECT_EQ(t3.calls.load(), 0);
    EXPECT_EQ(device->Setups().size(), 2u);
    // Cancelling the one in flight: its completion is never called.
    io->QueueSetTiming(&set1, &t2, &Timing::Done, 1, 2, 3);
    EXPECT_TRUE(io->CancelSetTiming(&set1));
    ASSERT_TRUE(device->CompleteControl(0));
    loop.Run([] {});
    loop.Run([] {});
    EXPECT_EQ(t2.calls.load(), 1);
}

TEST_F(DmxIoTest, APipeFailureSendsCloseAndCloseOnTheLoopAbortsEverything) {
    Open();
    device->SetHoldWrites(true);
    device->SetHoldControls(true);
    CDmxRequest out;
    std::atomic<int> outDone{0};
    out.SetCompletion(&outDone, [](void* d, CDmxRequest*) { ++*static_cast<std::atomic<int>*>(d); });
    io->QueueOutput(&out);
    Timing t;
    CDmxTimingRequest get;
    io->QueueGetTiming(&get, &t, &Timing::Done);
    ASSERT_EQ(device->PendingWrites(), 1u);

    std::atomic<double> closeSeconds{-1};
    owner.onClose = [&] {
        const auto t0 = std::chrono::steady_clock::now();
        io->Close();
        closeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    ASSERT_TRUE(device->CompleteRead(0, {}, plat::UsbStatus::kStalled));
    ASSERT_TRUE(WaitFor([&] { return owner.closes.load() == 1 && closeSeconds.load() >= 0; }));
    EXPECT_LT(closeSeconds.load(), 0.5);
    EXPECT_FALSE(io->IsOpen());
    EXPECT_FALSE(device->IsClaimed());
    ASSERT_TRUE(WaitFor([&] { return t.calls.load() == 1; }));
    EXPECT_EQ(t.status.load(), 2u);  // aborted
    EXPECT_EQ(owner.closes.load(), 1);

    // It opens again cleanly.
    device->SetHoldWrites(false);
    Open();
    io->QueueOutput(&out);
    ASSERT_TRUE(WaitFor([&] { return device->Writes().size() == 2; }));
}

TEST_F(DmxIoTest, FailuresAfterCloseSendNothing) {
    Open();
    io->Close();
    loop.Run([] {});
    EXPECT_EQ(owner.closes.load(), 0);
    EXPECT_EQ(device->PendingReads(), 0u);
}

TEST_F(DmxIoTest, RefusedTransfersStopTheTrafficAndReportOnce) {
    Open();
    device->SetRefuseTransfers(true);
    // Requests live until they complete: the interface goes before them.
    CDmxRequest out[2];
    io->QueueOutput(&out[0]);  // refused: the port is broken until closed
    io->QueueOutput(&out[1]);
    ASSERT_TRUE(WaitFor([&] { return owner.closes.load() == 1; }));
    loop.Run([] {});
    EXPECT_EQ(owner.closes.load(), 1);
    const uint32_t submitted = device->Submitted();
    loop.Run([] {});
    EXPECT_EQ(device->Submitted(), submitted);
    io.reset();
}

TEST_F(DmxIoTest, DestructionCompletesWhatIsQueued) {
    Open();
    device->SetHoldControls(true);
    inputs[0].SetCompletion(&in, &Inputs::Done);
    io->QueueInput(&inputs[0]);
    Timing t1, t2;
    CDmxTimingRequest get, set;
    io->QueueGetTiming(&get, &t1, &Timing::Done);
    io->QueueSetTiming(&set, &t2, &Timing::Done, 1, 1, 1);
    io.reset();
    EXPECT_EQ(in.Count(), 1u);
    EXPECT_EQ(t1.calls.load() + t2.calls.load(), 2);
    EXPECT_FALSE(device->IsClaimed());
}

}  // namespace
