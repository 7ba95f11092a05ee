#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The machine's audio devices and the units that move audio in and out of them.
//
// A device has an input side (capture) and an output side (playback); either may be absent. Ids are
// never 0 (0 means none) and are not reused while the system lives. Queries may be made from any
// thread except the backend's own audio and notification threads (they answer as failures there);
// they block briefly while the backend asks its server. Units are owned by their caller
// (std::unique_ptr); their callbacks run on the backend's audio thread.
namespace plat {

using AudioDeviceID = uint32_t;

enum class AudioScope : uint8_t { kInput, kOutput };

// Linear integer PCM, interleaved, one frame per packet.
struct AudioFormat {
    double rate = 0;
    uint32_t channels = 0;
    uint32_t bits = 0;  // per sample; a sample takes ceil(bits / 8) bytes
    bool isSigned = true;
    bool bigEndian = false;

    uint32_t BytesPerFrame() const { return (bits + 7) / 8 * channels; }
};

struct AudioDataSource {
    uint32_t id = 0;
    std::string name;
};

// Called on the backend's notification thread (never the audio thread) with the device whose
// nominal rate changed.
using AudioRateListener = void (*)(void* context, AudioDeviceID device);

// Capture from a device's input side. Order: SetDevice, SetClientFormat, SetInputCallback,
// Initialize, then Start/Stop; Uninitialize undoes Initialize (and stops). After Stop or
// Uninitialize returns, no callback runs.
class AudioCaptureUnit {
public:
    // Audio thread: `frames` whole frames in the client format are ready; the callback takes them
    // with Render (or leaves them, and they are dropped). A non-zero result is an error.
    using InputCallback = int (*)(void* context, uint32_t frames);

    virtual ~AudioCaptureUnit() = default;
    [[nodiscard]] virtual bool SetDevice(AudioDeviceID device) = 0;
    // The format delivered to the callback; false when the device or backend cannot deliver it.
    [[nodiscard]] virtual bool SetClientFormat(const AudioFormat& format) = 0;
    [[nodiscard]] virtual bool GetClientFormat(AudioFormat& format) const = 0;
    virtual void SetInputCallback(void* context, InputCallback callback) = 0;
    [[nodiscard]] virtual bool Initialize() = 0;
    virtual void Uninitialize() = 0;
    [[nodiscard]] virtual bool Start() = 0;
    virtual void Stop() = 0;
    // Only from inside the input callback: copies `frames` frames of this callback to `out`; 0 or
    // an error code.
    [[nodiscard]] virtual int Render(void* out, uint32_t frames) = 0;
};

// One buffer of a render callback: `data` points at the unit's buffer of `bytes` bytes; the callback
// fills it, or points `data` at its own bytes and sets `bytes`.
struct AudioBuffer {
    void* data = nullptr;
    uint32_t bytes = 0;
};

// Playback to a device's output side (or to the default output, following it). The render
// callback pulls; an error result or a buffer of 0 bytes plays silence for that slice.
class AudioOutputUnit {
public:
    using RenderCallback = int (*)(void* context, AudioBuffer& buffer, uint32_t frames);

    virtual ~AudioOutputUnit() = default;
    // 0 follows the default output.
    [[nodiscard]] virtual bool SetDevice(AudioDeviceID device) = 0;
    // The device's own format (its rate, at least).
    [[nodiscard]] virtual bool GetDeviceFormat(AudioFormat& format) const = 0;
    // The format the render callback supplies.
    [[nodiscard]] virtual bool SetInputFormat(const AudioFormat& format) = 0;
    virtual void SetRenderCallback(void* context, RenderCallback callback) = 0;
    // The most frames one render callback asks for.
    [[nodiscard]] virtual bool GetMaximumFramesPerSlice(uint32_t& frames) const = 0;
    [[nodiscard]] virtual bool Initialize() = 0;
    virtual void Uninitialize() = 0;
    [[nodiscard]] virtual bool Start() = 0;
    virtual void Stop() = 0;
};

class AudioSystem {
public:
    virtual ~AudioSystem() = default;

    virtual std::vector<AudioDeviceID> Devices() = 0;
    [[nodiscard]] virtual bool GetDeviceName(AudioDeviceID device, std::string& name) = 0;
    // Streams on one side (0 when the side is absent).
    virtual uint32_t StreamCount(AudioDeviceID device, AudioScope scope) = 0;
    virtual std::vector<AudioDataSource> DataSources(AudioDeviceID device, AudioScope scope) = 0;
    [[nodiscard]] virtual bool SetDataSource(AudioDeviceID device, AudioScope scope, uint32_t source) = 0;
    [[nodiscard]] virtual bool GetNominalRate(AudioDeviceID device, double& rate) = 0;
    [[nodiscard]] virtual bool SetNominalRate(AudioDeviceID device, double rate) = 0;
    // Channel 0 is the master; channels count from 1. Scalar 1.0 is full volume.
    [[nodiscard]] virtual bool GetVolume(AudioDeviceID device, AudioScope scope, uint32_t channel,
                                         float& scalar) = 0;
    [[nodiscard]] virtual bool SetVolume(AudioDeviceID device, AudioScope scope, uint32_t channel,
                                         float scalar) = 0;
    // 0 when there is none.
    virtual AudioDeviceID DefaultDevice(AudioScope scope) = 0;
    [[nodiscard]] virtual bool SetDefaultDevice(AudioScope scope, AudioDeviceID device) = 0;
    // The active sub-devices of an aggregate device; empty for any other.
    virtual std::vector<AudioDeviceID> SubDevices(AudioDeviceID device) = 0;

    // A listener is added once per (device, context, listener); false when the device is unknown.
    [[nodiscard]] virtual bool AddRateListener(AudioDeviceID device, AudioRateListener listener,
                                               void* context) = 0;
    // Waits for a call of that listener in progress on another thread.
    virtual void RemoveRateListener(AudioDeviceID device, AudioRateListener listener, void* context) = 0;

    // Null when the backend cannot make one.
    virtual std::unique_ptr<AudioCaptureUnit> NewCaptureUnit() = 0;
    virtual std::unique_ptr<AudioOutputUnit> NewOutputUnit() = 0;
};

// The first device whose name equals `name` (0 when none).
AudioDeviceID FindAudioDevice(AudioSystem& system, const std::string& name);

// The process's audio system: the one a test installed, else the PulseAudio one made on first use
// (null when no server answers; asked again on the next call).
AudioSystem* CurrentAudioSystem();
// Installs a system (borrowed; stays installed until replaced); null restores the default.
void SetAudioSystem(AudioSystem* system);

}  // namespace plat
