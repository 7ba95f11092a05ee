#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Platform/Audio/AudioSystem.h"
#include "Platform/Foundation/Object.h"

// The audio system over a PulseAudio server (also PipeWire's PulseAudio server), on libpulse's
// threaded main loop. A device is a sink, whose monitor is its input side, or a source that is not a
// monitor; its name is its description. Data sources are a source's ports; the nominal rate is the
// device's sample rate (setting it is refused); volumes are the device's channel volumes (the master
// is their average, 1.0 = 100 %); the defaults are the server's default sink and source. Capture is a
// record stream of about 10 ms fragments, playback a stream whose write requests pull from the
// render callback. Audio callbacks run on the main-loop thread; rate listeners on a notification
// thread of the system's own.
namespace plat {

class PulseConnection;

class PulseAudioSystem : public AudioSystem {
public:
    // Connects to the server the environment names (PULSE_SERVER, PULSE_RUNTIME_PATH,
    // XDG_RUNTIME_DIR); null when none answers.
    static std::unique_ptr<PulseAudioSystem> Connect(const char* clientName);
    ~PulseAudioSystem() override;

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
    explicit PulseAudioSystem(Ref<PulseConnection> connection);
    static void Changed(void* self);
    void NotifyMain();

    struct Listener {
        AudioDeviceID device;
        AudioRateListener listener;
        void* context;
    };

    Ref<PulseConnection> fConnection;
    std::mutex fMutex;  // the fields below
    std::condition_variable fWake;
    bool fChanged = false;
    bool fStop = false;
    std::vector<Listener> fListeners;
    std::map<AudioDeviceID, double> fRates;  // last rate seen of each listened device
    std::recursive_mutex fCalling;           // held while listeners run
    std::thread fNotifier;
};

}  // namespace plat
