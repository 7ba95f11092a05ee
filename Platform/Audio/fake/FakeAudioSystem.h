#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Audio/AudioSystem.h"

// Deterministic in-process audio devices for tests. Nothing runs on its own: the test drives each
// capture unit's input callback and each output unit's render callback with the frame counts it
// chooses, on the thread it calls from (that thread is then the "audio thread"). The system must
// outlive its units.
namespace plat {

struct FakeAudioDevice {
    std::string name;
    uint32_t inputStreams = 1;
    uint32_t outputStreams = 0;
    std::vector<std::string> inputSources;  // data sources of the input side, ids 0..n-1
    int32_t currentSource = -1;             // set by SetDataSource
    bool rateReadable = true;
    bool rateSettable = true;
    double rate = 48000;
    bool hasMaster = true;
    float master = 1.0f;
    std::vector<float> channelVolumes;  // channels 1..n of the input side
    std::vector<AudioDeviceID> subDevices;
    // Formats the device delivers; empty accepts every integer format of 1..32 bits.
    std::function<bool(const AudioFormat&)> acceptsFormat;
    // What it makes of an accepted client format (read back as the actual one); empty keeps it.
    std::function<void(AudioFormat&)> adjustsFormat;
};

class FakeCaptureUnit;
class FakeOutputUnit;

class FakeAudioSystem : public AudioSystem {
public:
    FakeAudioSystem();
    ~FakeAudioSystem() override;

    AudioDeviceID Add(const FakeAudioDevice& device);
    // The device vanishes: its units stop delivering.
    void Remove(AudioDeviceID device);
    // Null when unknown. Not for use while callbacks run on other threads.
    FakeAudioDevice* Device(AudioDeviceID device);
    // Changes the rate and calls the rate listeners on the calling thread.
    void ChangeRate(AudioDeviceID device, double rate);

    // Units alive now, oldest first (borrowed).
    std::vector<FakeCaptureUnit*> CaptureUnits();
    std::vector<FakeOutputUnit*> OutputUnits();
    FakeCaptureUnit* LastCaptureUnit();
    FakeOutputUnit* LastOutputUnit();

    // Failure knobs.
    bool refuseCaptureUnit = false;
    bool refuseOutputUnit = false;
    bool refuseCurrentDevice = false;
    bool refuseInitialize = false;
    bool refuseOutputInitialize = false;
    bool failClientFormatReadBack = false;
    int renderError = 0;  // returned by Render when not 0
    uint32_t maxFramesPerSlice = 512;

    // AudioSystem
    std::vector<AudioDeviceID> Devices() override;
    bool GetDeviceName(AudioDeviceID device, std::string& name) override;
    uint32_t StreamCount(AudioDeviceID device, AudioScope scope) override;
    std::vector<AudioDataSource> DataSources(AudioDeviceID device, AudioScope scope) override;
    bool SetDataSource(AudioDeviceID device, AudioScope scope, uint32_t source) override;
    bool GetNominalRate(AudioDeviceID device, double& rate) override;
    bool SetNominalRate(AudioDeviceID device, double rate) override;
    bool GetVolume(AudioDeviceID device, AudioScope scope, uint32_t channel, float& scalar) override;
    bool SetVolume(AudioDeviceID device, AudioScope scope, uint32_t channel, float scalar) override;
    AudioDeviceID DefaultDevice(AudioScope scope) override;
    bool SetDefaultDevice(AudioScope scope, AudioDeviceID device) override;
    std::vector<AudioDeviceID> SubDevices(AudioDeviceID device) override;
    bool AddRateListener(AudioDeviceID device, AudioRateListener listener, void* context) override;
    void RemoveRateListener(AudioDeviceID device, AudioRateListener listener, void* context) override;
    std::unique_ptr<AudioCaptureUnit> NewCaptureUnit() override;
    std::unique_ptr<AudioOutputUnit> NewOutputUnit() override;

private:
    friend class FakeCaptureUnit;
    friend class FakeOutputUnit;
    struct Entry {
        AudioDeviceID id;
        FakeAudioDevice device;
    };
    struct Listener {
        AudioDeviceID device;
        AudioRateListener listener;
        void* context;
    };
    Entry* Find(AudioDeviceID device);
    void Forget(FakeCaptureUnit* unit);
    void Forget(FakeOutputUnit* unit);

    std::mutex fMutex;  // the unit lists
    std::vector<Entry> fDevices;
    std::vector<Listener> fListeners;
    std::vector<FakeCaptureUnit*> fCaptures;
    std::vector<FakeOutputUnit*> fOutputs;
    AudioDeviceID fNextId = 1;
    AudioDeviceID fDefaultInput = 0;
    AudioDeviceID fDefaultOutput = 0;
};

// Frames come from a generator; the default writes each frame's running number into it (little-endian,
// as many low bytes as fit, the rest of the frame the number's low byte plus the byte's index).
class FakeCaptureUnit : public AudioCaptureUnit {
public:
    using Generator =
        std::function<void(uint8_t* out, uint64_t firstFrame, uint32_t frames, uint32_t bytesPerFrame)>;

    explicit FakeCaptureUnit(FakeAudioSystem* system);
    ~FakeCaptureUnit() override;

    // Runs one input callback of `frames` frames; the callback's result, or -1 when the unit is
    // not running (stopped, uninitialised or its device gone).
    int Deliver(uint32_t frames);
    void SetGenerator(Generator generator) { fGenerator = std::move(generator); }
    // Frames handed out by Render so far.
    uint64_t FramesRendered() const { return fNextFrame; }
    static void CountingFrames(uint8_t* out, uint64_t firstFrame, uint32_t frames, uint32_t bytesPerFrame);

    AudioDeviceID device = 0;
    bool initialized = false;
    bool started = false;

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
    FakeAudioSystem* fSystem;
    AudioFormat fFormat;
    bool fHasFormat = false;
    void* fContext = nullptr;
    InputCallback fCallback = nullptr;
    uint32_t fPending = 0;  // frames of the callback in progress
    uint64_t fNextFrame = 0;
    Generator fGenerator = CountingFrames;
};

class FakeOutputUnit : public AudioOutputUnit {
public:
    explicit FakeOutputUnit(FakeAudioSystem* system);
    ~FakeOutputUnit() override;

    // Runs one render callback for `frames` frames; the callback's result, or -1 when not running.
    // What it supplied is appended to `played`; a slice of silence counts in `silentSlices`.
    int Pull(uint32_t frames);

    AudioDeviceID device = 0;  // 0: the default output
    AudioFormat format;
    bool initialized = false;
    bool started = false;
    std::vector<uint8_t> played;
    uint32_t silentSlices = 0;

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
    FakeAudioSystem* fSystem;
    void* fContext = nullptr;
    RenderCallback fCallback = nullptr;
    std::vector<uint8_t> fBuffer;
};

}  // namespace plat
