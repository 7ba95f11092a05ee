// What an audio server may do to a sound input: callbacks of any frame count (0, beyond the ring),
// formats of any frame size, a slow or absent consumer, play-through pulling any slice, thru turned
// on and off. Whatever the order, the consumer and the output get whole, undamaged frames, each newer
// than the last (audio may be dropped, never reordered or split).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Orbilume/CSources/Sound/SoundInput.h"
#include "Platform/Audio/fake/FakeAudioSystem.h"
#include "Platform/Foundation/RunLoop.h"

namespace {

void Require(bool ok) {
    if (!ok) std::abort();
}

// Checks frames of FakeCaptureUnit::CountingFrames (4 bytes or more: the full running number).
struct Checker {
    uint32_t frameBytes = 4;
    int64_t last = -1;
    std::vector<uint8_t> expect;
    void Check(const uint8_t* bytes, uint32_t count) {
        Require(count % frameBytes == 0);
        if (frameBytes < 4) return;
        expect.resize(frameBytes);
        for (uint32_t at = 0; at < count; at += frameBytes) {
            uint32_t n;
            std::memcpy(&n, bytes + at, 4);
            plat::FakeCaptureUnit::CountingFrames(expect.data(), n, 1, frameBytes);
            Require(std::memcmp(expect.data(), bytes + at, frameBytes) == 0);
            Require(int64_t(n) > last);
            last = n;
        }
    }
    static void Consume(void* self, const uint8_t* bytes, uint32_t count) {
        static_cast<Checker*>(self)->Check(bytes, count);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static LAsyncMainLoop* loop = new LAsyncMainLoop();
    plat::FakeAudioSystem sys;
    plat::FakeAudioDevice d;
    d.name = "Fuzz";
    plat::AudioDeviceID in = sys.Add(d);
    plat::FakeAudioDevice o;
    o.name = "Out";
    o.inputStreams = 0;
    o.outputStreams = 1;
    plat::AudioDeviceID out = sys.Add(o);
    (void)sys.SetDefaultDevice(plat::AudioScope::kInput, in);
    (void)sys.SetDefaultDevice(plat::AudioScope::kOutput, out);

    SoundFormat f;
    f.channels = uint8_t(data[0] % 20);
    f.bits = uint8_t(data[1] % 34);
    f.isSigned = data[1] >> 7;
    const bool withLoop = data[0] & 0x80;
    SoundInput input(withLoop ? loop : nullptr, &sys);
    if (input.Open(SoundInputSpec(), f) != 0) {
        Require(f.channels == 0 || f.bits == 0 || f.bits > 32 ||
                f.BytesPerFrame() > SoundInput::kMaxBytesPerFrame);
        return 0;
    }
    Checker consumer, thru;
    consumer.frameBytes = thru.frameBytes = input.BytesPerFrame();
    input.SetConsumer(&consumer, Checker::Consume);
    input.Start();
    plat::FakeCaptureUnit* unit = sys.LastCaptureUnit();
    bool thruOn = false;
    for (size_t i = 2; i + 2 < size; i += 3) {
        // Mostly below 4096 frames; now and then up to 65535 (beyond the ring for any frame size).
        uint32_t n = uint32_t(data[i + 1] | data[i + 2] << 8);
        if ((data[i] & 0xF0) != 0xF0) n &= 0x0FFF;
        switch (data[i] & 3) {
            case 0:
                (void)unit->Deliver(n);
                break;
            case 1:
                plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
                break;
            case 2:
                if (plat::FakeOutputUnit* output = sys.LastOutputUnit()) {
                    size_t before = output->played.size();
                    int r = output->Pull(n);
                    Require(r == 0 || r == SoundInput::kNoData);
                    Require(output->played.size() - before == (r == 0 ? size_t(n) * thru.frameBytes : 0));
                    if (r == 0)
                        thru.Check(output->played.data() + before, uint32_t(output->played.size() - before));
                    output->played.clear();
                }
                break;
            case 3:
                thruOn = !thruOn;
                input.SetThru(thruOn);
                Require(input.IsThruRunning() == thruOn);
                break;
        }
    }
    plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    input.Close();
    return 0;
}
