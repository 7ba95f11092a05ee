#include "Orbilume/CSources/Media/CMovieAudioWriter.h"

#include <algorithm>

#include "Platform/Foundation/Check.h"

namespace {

constexpr uint32_t kDrainFrames = 8192;  // per append

}  // namespace

CMovieAudioWriter::CMovieAudioWriter(plat::AudioSystem* system)
    : fSignal(this, &Signalled), fInput(nullptr, system), fRing(std::make_unique<MovieByteRing>()) {}

CMovieAudioWriter::~CMovieAudioWriter() {
    fInput.Close();
}

bool CMovieAudioWriter::Open(const SoundInputSpec& spec) {
    PLAT_DCHECK_MAIN_THREAD();
    SoundFormat want;
    want.rate = 0;
    want.channels = 2;
    want.bits = 16;
    want.isSigned = 1;
    want.bigEndian = 0;
    if (fInput.Open(spec, want) != 0) return false;
    fFormat = fInput.GetFormat();
    fBytesPerFrame = fFormat.BytesPerFrame();
    fChannels = std::min<uint32_t>(fFormat.channels, 2);
    const plat::MovieAudioSettings s = Settings();
    if (fChannels == 0 || fFormat.bits == 0 || fFormat.bits > 32 || fBytesPerFrame > fRing->kSize / 4 ||
        s.sampleRate < 8000 || s.sampleRate > 192000) {
        fInput.Close();
        return false;
    }
    for (uint32_t c = 0; c < fChannels; ++c)
        fConverters[c].Select(
            fFormat.bigEndian ? CSampleConverter::kBigEndian : CSampleConverter::kLittleEndian,
            fFormat.isSigned != 0, fFormat.bits, fFormat.channels, c);
    return true;
}

plat::MovieAudioSettings CMovieAudioWriter::Settings() const {
    plat::MovieAudioSettings s;
    s.formatID = fFormatID;
    s.channels = fChannels;
    s.sampleRate = fFormat.rate;
    return s;
}

void CMovieAudioWriter::Start(plat::MovieWriter* writer) {
    PLAT_DCHECK_MAIN_THREAD();
    fWriter = plat::RetainRef(writer);
    fSamplesWritten = 0;
    fFailedOnce = false;
    fRing->Clear();
    fInput.SetConsumer(this, &Consume);
    fInput.Start();
}

bool CMovieAudioWriter::Stop() {
    PLAT_DCHECK_MAIN_THREAD();
    fInput.Stop();
    // What the input delivered before it stopped still belongs to the movie.
    const bool ok = !fWriter || Drain();
    fInput.SetConsumer(nullptr, nullptr);
    fInput.Close();
    fWriter = nullptr;
    fSamplesWritten = 0;
    return ok && !fFailedOnce;
}

void CMovieAudioWriter::Consume(void* self, const uint8_t* bytes, uint32_t count) {
    auto* w = static_cast<CMovieAudioWriter*>(self);
    // Whole frames only: what does not fit is dropped a frame at a time.
    const uint32_t room = w->fRing->Free() / w->fBytesPerFrame * w->fBytesPerFrame;
    (void)w->fRing->Write(bytes, std::min(count / w->fBytesPerFrame * w->fBytesPerFrame, room));
    w->fSignal.Signal();
}

void CMovieAudioWriter::Signalled(void* self) {
    auto* w = static_cast<CMovieAudioWriter*>(self);
    if (w->fWriter && !w->Drain() && w->fFailed) w->fFailed(w->fFailedContext);
}

bool CMovieAudioWriter::Drain() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fWriter || fFailedOnce) return !fFailedOnce;
    for (;;) {
        // Whole frames, read across the ring's end; a partial frame waits for the next drain.
        const uint32_t frames = std::min(fRing->Available() / fBytesPerFrame, kDrainFrames);
        if (frames == 0) return true;
        fBytes.resize(size_t(frames) * fBytesPerFrame);
        if (!fRing->Read(fBytes.data(), frames * fBytesPerFrame)) return true;
        fSamples.resize(size_t(frames) * fChannels);
        const uint8_t* frame = fBytes.data();
        int16_t* out = fSamples.data();
        for (uint32_t i = 0; i < frames; ++i, frame += fBytesPerFrame)
            for (uint32_t c = 0; c < fChannels; ++c)
                *out++ = int16_t(std::clamp(fConverters[c].Read(frame), -32768, 32767));
        if (!fWriter->AppendAudio(fSamples.data(), frames, fSamplesWritten)) {
            fFailedOnce = true;
            return false;
        }
        fSamplesWritten += frames;
    }
}
