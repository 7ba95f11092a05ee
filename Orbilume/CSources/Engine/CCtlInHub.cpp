#include "Orbilume/CSources/Engine/CCtlInHub.h"

#include <algorithm>
#include <cmath>

#include "Orbilume/CSources/Engine/CCtlInSoundSource.h"
#include "Orbilume/CSources/Midi/MidiInMessage.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

std::atomic<CCtlInHub*> gHub{nullptr};

// Levels: ln of the band's amplitude over -60 dB (ln 0.001).
constexpr double kLnFloor = -6.908;

}  // namespace

CCtlInHub::CCtlInHub(CCtlInSoundSource* sound) : fSound(sound) {
    for (auto& v : fDmx) v.store(0, kRelaxed);
    for (MidiChannelState& c : fMidi) {
        for (auto& v : c.cc) v.store(0, kRelaxed);
        for (auto& v : c.notes) v.store(0, kRelaxed);
        c.lastNote.store(0, kRelaxed);
        c.lastVelocity.store(0, kRelaxed);
        c.heldCount.store(0, kRelaxed);
    }
}

CCtlInHub::~CCtlInHub() {
    CCtlInHub* self = this;
    gHub.compare_exchange_strong(self, nullptr);
}

CCtlInHub* CCtlInHub::Global() {
    return gHub.load();
}

void CCtlInHub::SetGlobal(CCtlInHub* hub) {
    gHub.store(hub);
}

uint8_t CCtlInHub::Rescale(uint8_t v, uint8_t stored, uint8_t t) {
    if (v > t) {
        const uint32_t d = 255u - t;
        return static_cast<uint8_t>(((v - t) * 255u + d / 2) / d);
    }
    if (stored == 0) return 0;
    return 2u * v > t ? 1 : 0;
}

void CCtlInHub::DmxIn(const uint8_t* frame, uint32_t length) {
    const uint32_t n = frame && length > 0 ? std::min<uint32_t>(length, kDmxSlots + 1) - 1 : 0;
    const uint8_t t = fThreshold.load(kRelaxed);
    for (uint32_t i = 0; i < n; ++i)
        fDmx[i].store(Rescale(frame[i + 1], fDmx[i].load(kRelaxed), t), kRelaxed);
    std::lock_guard<std::recursive_mutex> lock(fMutex);
    LCallbackList::Iterator it(fDmxListeners);
    LCallbackList::Entry e;
    while (it.Next(e)) e.As<void(void*)>()(e.context);
}

void CCtlInHub::MidiIn(const MidiInMessage& message) {
    const uint8_t bytes[3] = {message.status, message.data1, message.data2};
    MidiIn(bytes);
}

void CCtlInHub::MidiIn(const uint8_t message[3]) {
    std::lock_guard<std::recursive_mutex> lock(fMutex);
    {
        LCallbackList::Iterator it(fMidiListeners);
        LCallbackList::Entry e;
        while (it.Next(e)) e.As<void(void*, const uint8_t*)>()(e.context, message);
    }
    UpdateMidiState(message);
}

void CCtlInHub::UpdateMidiState(const uint8_t message[3]) {
    const uint8_t status = message[0], d1 = message[1], d2 = message[2];
    if (d1 >= 0x80 || d2 >= 0x80) return;
    MidiChannelState& c = fMidi[status & 15];
    const uint8_t s = status & 0xF0;
    if (s == 0xB0) {
        c.cc[d1].store(d2, kRelaxed);
    } else if (s == 0x90 && d2 > 0) {
        const uint8_t held = c.heldCount.load(kRelaxed);
        if (!(held > 0 && c.lastVelocity.load(kRelaxed) > d2)) c.lastVelocity.store(d2, kRelaxed);
        if (!(c.notes[d1].load(kRelaxed) & 0x80) && held < 255) c.heldCount.store(held + 1, kRelaxed);
        c.notes[d1].store(d2 | 0x80, kRelaxed);
        c.lastNote.store(d1, kRelaxed);
    } else if (s == 0x90 || s == 0x80) {
        const uint8_t note = c.notes[d1].load(kRelaxed);
        if (note & 0x80) {
            c.notes[d1].store(note & 0x7F, kRelaxed);
            const uint8_t held = c.heldCount.load(kRelaxed);
            if (held > 0) c.heldCount.store(held - 1, kRelaxed);
        }
    }
}

void CCtlInHub::NotifyOsc(OscPattern& pattern, const OscArg* args, uint32_t count) {
    PLAT_DCHECK_MAIN_THREAD();
    std::lock_guard<std::recursive_mutex> lock(fMutex);
    LCallbackList::Iterator it(fOscListeners);
    LCallbackList::Entry e;
    while (it.Next(e))
        e.As<void(void*, OscPattern&, const OscArg*, uint32_t)>()(e.context, pattern, args, count);
}

void CCtlInHub::SetDmxThreshold(uint32_t percent) {
    percent = std::min<uint32_t>(percent, 100);
    fThreshold.store(static_cast<uint8_t>((percent * 255 + 50) / 100), kRelaxed);
}

void CCtlInHub::ResetMidi() {
    std::lock_guard<std::recursive_mutex> lock(fMutex);
    for (MidiChannelState& c : fMidi) {
        for (auto& n : c.notes) n.store(n.load(kRelaxed) & 0x7F, kRelaxed);
        c.heldCount.store(0, kRelaxed);
    }
}

void CCtlInHub::Spectrum(float out[kBands]) {
    if (!fSound) {
        std::fill(out, out + kBands, 0.0f);
        return;
    }
    fSound->Lock();
    if (fSound->Ring().newSamples) {
        Analyse();
        fSound->Ring().newSamples = 0;
    }
    std::copy(fBandLevels, fBandLevels + kBands, out);
    fSound->Unlock();
}

void CCtlInHub::Analyse() {
    const CtlInSoundRing& ring = fSound->Ring();
    uint32_t n = static_cast<uint16_t>(ring.writeIndex - ring.readIndex);
    uint32_t start = ring.readIndex;
    if (n > CtlInSoundRing::kFrames) {  // more than the ring holds: the newest 256
        n = CtlInSoundRing::kFrames;
        start = static_cast<uint16_t>(ring.writeIndex - CtlInSoundRing::kFrames);
    }
    constexpr float kScale = 1.0f / 32768.0f;
    for (uint32_t i = 0; i < n; ++i) {
        const int16_t* f = ring.frames[((start & CtlInSoundRing::kMask) + i) & CtlInSoundRing::kMask];
        fBuffer[fFft.BitReversed(i)] = {f[0] * kScale, f[1] * kScale};
    }
    for (uint32_t i = n; i < CCtlInFft::kSize; ++i) fBuffer[fFft.BitReversed(i)] = {0, 0};
    fFft.Forward(fBuffer);

    uint32_t s = 1;
    for (uint32_t b = 0; b < kBands; ++b) {
        const uint32_t last = std::min<uint32_t>(s + b, CCtlInFft::kHalf - 1);
        double p = 0;
        for (uint32_t k = s; k <= last; ++k) {
            const std::complex<float> x = fBuffer[k], m = fBuffer[CCtlInFft::kSize - k];
            const double a = x.real() + m.real(), bb = x.imag() - m.imag();
            const double c = x.real() - m.real(), d = x.imag() + m.imag();
            p += a * a + bb * bb + c * c + d * d;
        }
        s = last + 1;
        const double level = p > 0 ? 1.0 - std::log(std::sqrt(p * 0.25 * 0.5 / 65536.0)) / kLnFloor : 0.0;
        fBandLevels[b] = static_cast<float>(std::clamp(level, 0.0, 1.0));
    }
}

bool CCtlInHub::AddDmxListener(DmxListener function, void* context) {
    std::lock_guard<std::recursive_mutex> lock(fMutex);
    return fDmxListeners.Add(context, function);
}
bool CCtlInHub::RemoveDmxListener(DmxListener function, void* context) {
    std::lock_guard<std::recursive_mutex> lock(fMutex);
    return fDmxListeners.Remove(context, function);
}
bool CCtlInHub::AddMidiListener(MidiListener function, void* context) {
    std::lock_guard<std::recursive_mutex> lock(fMutex);
    return fMidiListeners.Add(context, function);
}
bool CCtlInHub::RemoveMidiListener(MidiListener function, void* context) {
    std::lock_guard<std::recursive_mutex> lock(fMutex);
    return fMidiListeners.Remove(context, function);
}
bool CCtlInHub::AddOscListener(OscListenerProc function, void* context) {
    std::lock_guard<std::recursive_mutex> lock(fMutex);
    return fOscListeners.Add(context, function);
}
bool CCtlInHub::RemoveOscListener(OscListenerProc function, void* context) {
    std::lock_guard<std::recursive_mutex> lock(fMutex);
    return fOscListeners.Remove(context, function);
}

uint8_t CCtlInHub::DmxValue(uint32_t slot) const {
    return slot < kDmxSlots ? fDmx[slot].load(kRelaxed) : 0;
}
uint8_t CCtlInHub::MidiCc(uint32_t channel, uint32_t controller) const {
    return channel < kMidiChannels && controller < 128 ? fMidi[channel].cc[controller].load(kRelaxed) : 0;
}
uint8_t CCtlInHub::MidiNote(uint32_t channel, uint32_t note) const {
    return channel < kMidiChannels && note < 128 ? fMidi[channel].notes[note].load(kRelaxed) : 0;
}
uint8_t CCtlInHub::MidiLastNote(uint32_t channel) const {
    return channel < kMidiChannels ? fMidi[channel].lastNote.load(kRelaxed) : 0;
}
uint8_t CCtlInHub::MidiLastVelocity(uint32_t channel) const {
    return channel < kMidiChannels ? fMidi[channel].lastVelocity.load(kRelaxed) : 0;
}
uint8_t CCtlInHub::MidiHeldCount(uint32_t channel) const {
    return channel < kMidiChannels ? fMidi[channel].heldCount.load(kRelaxed) : 0;
}

void CCtlInHub::DmxSink(void* hub, const DmxInSource&, const uint8_t* data, uint32_t count) {
    static_cast<CCtlInHub*>(hub)->DmxIn(data, count);
}

void CCtlInHub::MidiProc(void* hub, const MidiInMessage* message) {
    if (message) static_cast<CCtlInHub*>(hub)->MidiIn(*message);
}
