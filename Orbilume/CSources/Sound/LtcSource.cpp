#include "Orbilume/CSources/Sound/LtcSource.h"

#include <cmath>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"

LtcSource::LtcSource(LAsyncLoop* loop, plat::AudioSystem* system)
    : TimecodeSource(loop), fInput(loop, system) {}

LtcSource::~LtcSource() {
    Close();
}

bool LtcSource::Open(const SoundInputSpec& spec) {
    if (fInput.IsOpen()) return true;
    SoundFormat wanted;
    wanted.rate = 0;
    wanted.channels = 1;
    wanted.bits = 16;
    wanted.isSigned = 1;
    wanted.bigEndian = 0;
    if (fInput.Open(spec, wanted) != 0) return false;
    const SoundFormat actual = fInput.GetFormat();
    fConverter.Select(CSampleConverter::kLittleEndian, actual.isSigned != 0, actual.bits, actual.channels,
                      CSampleConverter::kMix);
    fInput.SetConsumer(this, Consume);
    fInput.Start();
    return true;
}

void LtcSource::Close() {
    fInput.Close();
    fLock->Lock();
    fDecoder.Reset();
    fLevel.store(0, std::memory_order_relaxed);
    fLock->Unlock();
}

uint32_t LtcSource::GainPercent(int dB) {
    // A hair above the exact value, so 10^-1 × 100 truncates to 10, not 9.
    const double percent = 100.0 * std::pow(10.0, double(dB) / 20.0) + 1e-9;
    if (!(percent > 0)) return 0;
    return percent >= 4294967295.0 ? 4294967295u : uint32_t(percent);
}

void LtcSource::SetGainDb(int dB) {
    fInput.SetVolume(GainPercent(dB));
}

void LtcSource::SetThru(bool on) {
    fInput.SetThru(on);
}

void LtcSource::Consume(void* self, const uint8_t* bytes, uint32_t count) {
    static_cast<LtcSource*>(self)->OnAudio(bytes, count);
}

void LtcSource::OnAudio(const uint8_t* bytes, uint32_t count) {
    const uint32_t stride = fConverter.Stride();
    if (stride == 0) return;
    bool published = false;
    for (uint32_t at = 0; count - at >= stride && at < count; at += stride) {
        if (!fDecoder.Feed(fConverter.Read(bytes + at))) continue;
        fLock->Lock();
        Timecode time = TimeLocked();
        if (LtcDecoder::DecodeFrame(fDecoder.Bytes(), time)) {
            SetTimeLocked(time);
            published = true;
        }
        fLock->Unlock();
    }
    fLevel.store(fDecoder.Level(), std::memory_order_relaxed);
    if (published) Notify();
}
