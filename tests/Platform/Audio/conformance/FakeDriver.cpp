#include "Platform/Audio/fake/FakeAudioSystem.h"
#include "tests/Platform/Audio/conformance/AudioDriver.h"

namespace audiotest {

namespace {

class FakeDriver : public AudioDriver {
public:
    bool Ready(std::string&) override { return true; }
    plat::AudioSystem& System() override { return fSystem; }
    bool AddPlaybackDevice(const std::string& name) override {
        plat::FakeAudioDevice d;
        d.name = name;
        d.outputStreams = 1;
        d.channelVolumes = {1.0f, 1.0f};
        fSystem.Add(d);
        return true;
    }
    bool AddCaptureDevice(const std::string& name) override {
        plat::FakeAudioDevice d;
        d.name = name;
        d.channelVolumes = {1.0f, 1.0f};
        fSystem.Add(d);
        return true;
    }
    bool RemoveDevice(const std::string& name) override {
        plat::AudioDeviceID id = plat::FindAudioDevice(fSystem, name);
        if (!id) return false;
        fSystem.Remove(id);
        return true;
    }
    std::string OutsideDefaultOutput() override {
        std::string name;
        (void)fSystem.GetDeviceName(fSystem.DefaultDevice(plat::AudioScope::kOutput), name);
        return name;
    }
    bool RunCapture(plat::AudioCaptureUnit& unit, const std::function<bool()>& done) override {
        auto& fake = static_cast<plat::FakeCaptureUnit&>(unit);
        for (int i = 0; i < 1000 && !done(); ++i) fake.Deliver(441);
        return done();
    }
    bool RunOutput(plat::AudioOutputUnit& unit, const std::function<bool()>& done) override {
        auto& fake = static_cast<plat::FakeOutputUnit&>(unit);
        for (int i = 0; i < 1000 && !done(); ++i) fake.Pull(fSystem.maxFramesPerSlice);
        return done();
    }
    bool ChangeRate(const std::string& name, double rate) override {
        plat::AudioDeviceID id = plat::FindAudioDevice(fSystem, name);
        if (!id) return false;
        fSystem.ChangeRate(id, rate);
        return true;
    }
    void Idle(plat::AudioCaptureUnit& unit) override {
        static_cast<plat::FakeCaptureUnit&>(unit).Deliver(441);
    }

private:
    plat::FakeAudioSystem fSystem;
};

}  // namespace

std::unique_ptr<AudioDriver> MakeFakeDriver() {
    return std::make_unique<FakeDriver>();
}

}  // namespace audiotest
