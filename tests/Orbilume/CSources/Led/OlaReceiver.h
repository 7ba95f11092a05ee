#pragma once

// OLA's olad as the receiver of the LED output: it runs as the olad user in the far namespace of
// the veth pair (netns-run --veth) with only its Art-Net and E1.31 plugins, on 10.99.0.2. Its HTTP
// server (inside the far namespace) tells what each universe holds. Nothing leaves these
// namespaces.

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/Orbilume/CSources/DmxIn/ChildProcess.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/OlaDmxJson.h"
#include "tests/support/TempDir.h"

namespace dimtest {

class OlaReceiver {
public:
    enum State { kUp, kSkip, kFailed };

    static std::string Peer() {
        const char* p = std::getenv("ORBILUME_NETNS_PEER_PID");
        return p ? p : "";
    }

    // Starts olad; why says what is missing (kSkip) or what went wrong (kFailed).
    State Start(std::string* why) {
        if (testsupport::NetNamespace::Veth().empty() || Peer().empty())
            return Say(why, kSkip, "needs netns-run --veth");
        if (access("/usr/bin/olad", X_OK) != 0)
            return Say(why, kSkip, "OLA is not installed (scripts/setup)");
        if (access("/usr/bin/curl", X_OK) != 0) return Say(why, kSkip, "curl is not installed");
        passwd* user = getpwnam("olad");
        if (!user) return Say(why, kSkip, "no olad user");
        const char* off[] = {
            "dummy",   "espnet", "kinet",   "opendmx", "osc",       "pathport",   "sandnet",
            "shownet", "spi",    "usbpro",  "usbdmx",  "ftdidmx",   "stageprofi", "uartdmx",
            "gpio",    "karate", "milinst", "renard",  "dmx4linux", "nanoleaf",   "openpixelcontrol"};
        for (const char* p : off)
            std::ofstream(fConfig.File(std::string("ola-") + p + ".conf")) << "enabled = false\n";
        std::ofstream(fConfig.File("ola-artnet.conf")) << "enabled = true\nip = 10.99.0.2\n";
        std::ofstream(fConfig.File("ola-e131.conf")) << "enabled = true\nip = 10.99.0.2\n";
        if (chmod(fConfig.Path().c_str(), 0755) != 0) return Say(why, kFailed, "chmod of the configuration");
        if (std::system(("chown -R olad '" + fConfig.Path() + "'").c_str()) != 0)
            return Say(why, kFailed, "chown of the configuration");
        // olad refuses root: it runs as its own user. Stopped by its pid (nsenter and setpriv exec it).
        if (!fOlad.Spawn(
                {"nsenter", "-t", Peer(), "-n", "setpriv", "--reuid=olad",
                 "--regid=" + std::to_string(user->pw_gid), "--clear-groups", "env", "HOME=" + fConfig.Path(),
                 "olad", "-c", fConfig.Path(), "--no-register-with-dns-sd", "-l", "2"},
                true))
            return Say(why, kFailed, "cannot start olad");
        const auto t0 = testsupport::Clock::now();
        while (testsupport::Since(t0) < 5) {
            if (InFar("sh -c 'ola_dev_info | grep -q \"^Device 2: E1.31\"'")) return kUp;
            usleep(100000);
        }
        return Say(why, kSkip, "olad did not come up in 5 s");
    }

    // Device 1 is Art-Net, device 2 E1.31; an input port listens for the OLA universe.
    bool Listen(int device, int port, int universe) {
        return InFar("ola_patch -d " + std::to_string(device) + " -p " + std::to_string(port) + " -i -u " +
                     std::to_string(universe));
    }

    // The 512 values olad holds for a universe (its get_dmx answer), empty when it answers nothing.
    std::vector<int> Values(int universe) {
        return testsupport::OlaDmxValues(
            InFarOutput("curl -s 'http://127.0.0.1:9090/get_dmx?u=" + std::to_string(universe) + "'"));
    }

    // A command line run in the far namespace; true on exit status 0.
    static bool InFar(const std::string& command) {
        return std::system(("nsenter -t " + Peer() + " -n " + command + " >/dev/null 2>&1").c_str()) == 0;
    }

private:
    static State Say(std::string* why, State state, const char* text) {
        if (why) *why = text;
        return state;
    }
    static std::string InFarOutput(const std::string& command) {
        std::string out;
        FILE* f = popen(("nsenter -t " + Peer() + " -n " + command + " 2>/dev/null").c_str(), "r");
        if (!f) return out;
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
        pclose(f);
        return out;
    }

    testsupport::TempDir fConfig;
    testsupport::Child fOlad;
};

}  // namespace dimtest
