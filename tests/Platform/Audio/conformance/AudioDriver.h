#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Platform/Audio/AudioSystem.h"

namespace audiotest {

// Drives one backend from outside: makes and removes devices the way its world does, runs the
// units' callbacks (the fake on the calling thread, a real server in real time) and reads back what
// the outside sees.
class AudioDriver {
public:
    virtual ~AudioDriver() = default;
    // False (with the reason) when the backend cannot run here.
    virtual bool Ready(std::string& why) = 0;
    virtual plat::AudioSystem& System() = 0;
    // A device with an output and an input side (names without blanks).
    virtual bool AddPlaybackDevice(const std::string& name) = 0;
    // A device with an input side only.
    virtual bool AddCaptureDevice(const std::string& name) = 0;
    virtual bool RemoveDevice(const std::string& name) = 0;
    // The default output as the outside reports it, by device name.
    virtual std::string OutsideDefaultOutput() = 0;
    // Runs the capture until done() or a time-out; false on time-out.
    virtual bool RunCapture(plat::AudioCaptureUnit& unit, const std::function<bool()>& done) = 0;
    virtual bool RunOutput(plat::AudioOutputUnit& unit, const std::function<bool()>& done) = 0;
    // Changes a device's rate from outside; false when the backend's world cannot.
    virtual bool ChangeRate(const std::string& name, double rate) = 0;
    // Gives a stopped unit its chance to call back (it must not).
    virtual void Idle(plat::AudioCaptureUnit& unit) = 0;
};

std::unique_ptr<AudioDriver> MakeFakeDriver();
std::unique_ptr<AudioDriver> MakePulseDriver();

}  // namespace audiotest
