#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace testsupport {

// The Python MIDI sender (mido over rtmidi; a script the test names), talked to over its standard
// input and output: it says "ready", sends a named burst per line and answers "sent".
class MidoSender {
public:
    MidoSender(const char* script, const std::string& port, const char* api) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        fPid = fork();
        if (fPid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            execl("/usr/bin/python3", "python3", script, port.c_str(), api, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        fIn = fdopen(in[1], "w");
        fOut = fdopen(out[0], "r");
    }
    ~MidoSender() {
        if (fIn) {
            std::fputs("quit\n", fIn);
            std::fclose(fIn);
        }
        if (fOut) std::fclose(fOut);
        if (fPid > 0) {
            int status = 0;
            waitpid(fPid, &status, 0);
        }
    }
    MidoSender(const MidoSender&) = delete;
    MidoSender& operator=(const MidoSender&) = delete;

    std::string ReadLine() {
        char line[256];
        if (!fOut || !std::fgets(line, sizeof line, fOut)) return "";
        std::string s(line);
        while (!s.empty() && s.back() == '\n') s.pop_back();
        return s;
    }
    bool Send(const char* burst) {
        std::fprintf(fIn, "%s\n", burst);
        std::fflush(fIn);
        return ReadLine() == "sent";
    }

    // Sends "probe" (note off, channel 16, note 0) until arrived() holds, giving each one wait()
    // to come through; a link just made can lose what is sent before it is live.
    bool ProbeUntil(const std::function<bool()>& arrived, const std::function<bool()>& wait) {
        for (int i = 0; i < 40; ++i) {
            if (!Send("probe")) return false;
            if (wait() || arrived()) return true;
        }
        return false;
    }

    // Whether python3 with mido and rtmidi is there.
    static bool Available() {
        return access("/usr/bin/python3", X_OK) == 0 &&
               std::system("/usr/bin/python3 -c 'import mido, rtmidi' >/dev/null 2>&1") == 0;
    }

private:
    pid_t fPid = -1;
    FILE* fIn = nullptr;
    FILE* fOut = nullptr;
};

}  // namespace testsupport
