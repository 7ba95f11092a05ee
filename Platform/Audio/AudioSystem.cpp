#include "Platform/Audio/AudioSystem.h"

#include <atomic>
#include <mutex>

#include "Platform/Audio/pulse/PulseAudioSystem.h"

namespace plat {

namespace {
std::atomic<AudioSystem*> gInstalled{nullptr};
std::mutex gDefaultMutex;
// Lives as long as the process: units made from it may be held by globals destroyed at exit.
PulseAudioSystem* gDefault = nullptr;
}  // namespace

AudioDeviceID FindAudioDevice(AudioSystem& system, const std::string& name) {
    for (AudioDeviceID id : system.Devices()) {
        std::string n;
        if (system.GetDeviceName(id, n) && n == name) return id;
    }
    return 0;
}

AudioSystem* CurrentAudioSystem() {
    if (AudioSystem* s = gInstalled.load(std::memory_order_acquire)) return s;
    std::lock_guard<std::mutex> lock(gDefaultMutex);
    if (!gDefault) gDefault = PulseAudioSystem::Connect("Orbilume").release();
    return gDefault;
}

void SetAudioSystem(AudioSystem* system) {
    gInstalled.store(system, std::memory_order_release);
}

}  // namespace plat
