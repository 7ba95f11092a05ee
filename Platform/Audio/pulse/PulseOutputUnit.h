#pragma once

#include <pulse/pulseaudio.h>

#include <string>

#include "Platform/Audio/AudioSystem.h"
#include "Platform/Foundation/Object.h"

namespace plat {

class PulseConnection;

// A playback stream to a sink (or the default sink, followed as it changes) whose write requests
// pull from the render callback in slices of at most kMaxFramesPerSlice frames. The callback runs
// on the main-loop thread with the loop locked; an error or an empty buffer plays silence.
class PulseOutputUnit : public AudioOutputUnit {
public:
    static constexpr uint32_t kMaxFramesPerSlice = 1024;

    explicit PulseOutputUnit(Ref<PulseConnection> connection);
    ~PulseOutputUnit() override;

    bool SetDevice(AudioDeviceID device) override;
    bool GetDeviceFormat(AudioFormat& format) const override;
    bool SetInputFormat(const AudioFormat& format) override;
    void SetRenderCallback(void* context, RenderCallback callback) override;
    bool GetMaximumFramesPerSlice(uint32_t& frames) const override;
    bool Initialize() override;
    void Uninitialize() override;
    bool Start() override;
    void Stop() override;

private:
    static void WriteCallback(pa_stream* stream, size_t bytes, void* self);
    void Write(size_t bytes);
    bool Cork(bool cork);

    Ref<PulseConnection> fConnection;
    AudioDeviceID fDevice = 0;
    std::string fSink;  // empty: the default sink
    AudioFormat fFormat;
    pa_sample_spec fSpec{};
    bool fHasFormat = false;
    void* fContext = nullptr;
    RenderCallback fCallback = nullptr;
    pa_stream* fStream = nullptr;
    bool fRunning = false;  // loop lock
};

}  // namespace plat
