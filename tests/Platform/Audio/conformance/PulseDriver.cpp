#include <chrono>
#include <sstream>
#include <thread>

#include "Platform/Audio/pulse/PulseAudioSystem.h"
#include "tests/Platform/Audio/conformance/AudioDriver.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/PulseServer.h"

namespace audiotest {

namespace {

using testsupport::CommandOutput;

class PulseDriver : public AudioDriver {
public:
    bool Ready(std::string& why) override {
        if (!fServer.Ok()) {
            why = fServer.Why();
            return false;
        }
        fSystem = plat::PulseAudioSystem::Connect("orbilume-conformance");
        if (!fSystem) why = "cannot connect to the test's server";
        return fSystem != nullptr;
    }
    plat::AudioSystem& System() override { return *fSystem; }
    bool AddPlaybackDevice(const std::string& name) override {
        return Load("module-null-sink sink_name=" + name + " sink_properties=device.description=" + name);
    }
    bool AddCaptureDevice(const std::string& name) override {
        return Load("module-null-source source_name=" + name + " description=" + name);
    }
    bool RemoveDevice(const std::string& name) override {
        std::istringstream in(CommandOutput("pactl list short modules"));
        std::string line;
        while (std::getline(in, line)) {
            if (line.find("_name=" + name + " ") == std::string::npos) continue;
            return std::system(("pactl unload-module " + line.substr(0, line.find('\t'))).c_str()) == 0;
        }
        return false;
    }
    std::string OutsideDefaultOutput() override {
        std::istringstream in(CommandOutput("pactl info"));
        std::string line;
        const std::string label = "Default Sink: ";
        while (std::getline(in, line))
            if (line.rfind(label, 0) == 0) return line.substr(label.size());
        return "";
    }
    bool RunCapture(plat::AudioCaptureUnit&, const std::function<bool()>& done) override {
        return WaitFor(done);
    }
    bool RunOutput(plat::AudioOutputUnit&, const std::function<bool()>& done) override {
        return WaitFor(done);
    }
    // A server device's rate is fixed while it exists.
    bool ChangeRate(const std::string&, double) override { return false; }
    void Idle(plat::AudioCaptureUnit&) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }

private:
    bool Load(const std::string& args) {
        return std::system(("pactl load-module " + args + " >/dev/null").c_str()) == 0;
    }
    static bool WaitFor(const std::function<bool()>& done) {
        auto t0 = std::chrono::steady_clock::now();
        while (!done()) {
            if (std::chrono::steady_clock::now() - t0 > std::chrono::seconds(5)) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    testsupport::PulseServer fServer;
    std::unique_ptr<plat::PulseAudioSystem> fSystem;
};

}  // namespace

std::unique_ptr<AudioDriver> MakePulseDriver() {
    return std::make_unique<PulseDriver>();
}

}  // namespace audiotest
