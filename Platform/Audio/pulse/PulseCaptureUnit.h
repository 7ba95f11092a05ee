#pragma once

#include <pulse/pulseaudio.h>

#include <string>

#include "Platform/Audio/AudioSystem.h"
#include "Platform/Foundation/Object.h"

namespace plat {

class PulseConnection;

// A record stream from a device's input side (a sink's monitor, or a source) in the client format,
// in fragments of about 10 ms. The stream is not moved when its source vanishes: it fails, and
// capture stops. The input callback runs on the main-loop thread with the loop locked.
class PulseCaptureUnit : public AudioCaptureUnit {
public:
    explicit PulseCaptureUnit(Ref<PulseConnection> connection);
    ~PulseCaptureUnit() override;

    bool SetDevice(AudioDeviceID device) override;
    bool SetClientFormat(const AudioFormat& format) override;
    bool GetClientFormat(AudioFormat& format) const override;
    void SetInputCallback(void* context, InputCallback callback) override;
    bool Initialize() override;
    void Uninitialize() override;
    bool Start() override;
    void Stop() override;
    int Render(void* out, uint32_t frames) override;

private:
    static void ReadCallback(pa_stream* stream, size_t bytes, void* self);
    void Deliver(const uint8_t* data, size_t bytes);
    void Callback(const uint8_t* data, uint32_t frames);
    bool Cork(bool cork);

    Ref<PulseConnection> fConnection;
    std::string fSource;  // the server's name of the input side
    AudioFormat fFormat;
    pa_sample_spec fSpec{};
    bool fHasFormat = false;
    void* fContext = nullptr;
    InputCallback fCallback = nullptr;
    pa_stream* fStream = nullptr;
    bool fRunning = false;  // loop lock
    // Bytes of a frame split across two reads (at most one frame less a byte).
    uint8_t fCarry[PA_CHANNELS_MAX * 4] = {};
    uint32_t fCarryBytes = 0;
    // The callback in progress.
    const uint8_t* fData = nullptr;
    uint32_t fFrames = 0;
};

}  // namespace plat
