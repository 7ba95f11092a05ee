#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Orbilume/CSources/Sound/ByteRing.h"
#include "Orbilume/CSources/Sound/CLoopbackOutput.h"
#include "Orbilume/CSources/Sound/SoundInputHolder.h"

// Lets the application analyse whatever the computer plays: Start makes the loopback device (found
// by name) the default output, captures it as a sound input, and plays the captured audio on to the
// output that was the default before; Stop restores that default.
//
// When the default output already is the loopback device (or an aggregate holding it) nothing
// changes. Any failure after the switch restores the previous default at once. A change of the
// loopback device's rate restarts capture and play-through on the capture's own restart thread,
// serialised with Start and Stop (a restart that comes after Stop does nothing).
//
// Threads: Start, Stop and the accessors from any thread (one control mutex). The capture thread
// writes the ring, the output thread reads it.
class CLoopbackCapture {
public:
    static constexpr const char* kLoopbackDeviceName = "tessaro Audio Loopback";

    // system: borrowed, outlives the capture; null takes plat::CurrentAudioSystem() at each Start.
    explicit CLoopbackCapture(plat::AudioSystem* system = nullptr);
    ~CLoopbackCapture();
    CLoopbackCapture(const CLoopbackCapture&) = delete;
    CLoopbackCapture& operator=(const CLoopbackCapture&) = delete;

    // The application's instance, stopped when the program ends.
    static CLoopbackCapture& Shared();

    void Start();
    void Stop();

    bool IsActive();
    // Capture and play-through run.
    bool IsCapturing();
    // The loopback device's name once it was found (empty before, or when it is missing), and the
    // data-source name (always empty): what a recorder opens to hear the same audio.
    SoundInputSpec Selection();
    std::string PreviousOutputName();
    // Restarts done after rate changes (tests wait on it).
    uint32_t Restarts();

    // Ring access for the two audio threads (public for tests of the slice rule).
    static void PutIntoRing(void* self, const uint8_t* bytes, uint32_t count);
    static bool TakeFromRing(void* self, plat::AudioBuffer& buffer, uint32_t bytes);
    ByteRing& Ring() { return fRing; }

private:
    static void OnRateChange(void* self, plat::AudioDeviceID device);
    // Control mutex held.
    bool StartCapture();
    void StopCapture();
    void RestoreDefault();
    void RestartThread();

    plat::AudioSystem* fGivenSystem;
    plat::AudioSystem* fSystem = nullptr;  // the one of the last Start
    std::mutex fControl;  // Start, Stop, restarts and the fields below
    std::string fLoopbackName;
    std::string fPreviousName;
    plat::AudioDeviceID fPrevious = 0;
    plat::AudioDeviceID fLoopback = 0;
    bool fActive = false;
    bool fCapturing = false;
    bool fListening = false;
    uint32_t fRestarts = 0;

    SoundInputHolder fInput;
    CLoopbackOutput fOutput;
    std::vector<uint8_t> fScratch;  // output thread while capturing
    ByteRing fRing;

    // The restart thread: woken by the rate listener, stopped by the destructor.
    std::mutex fRestartMutex;
    std::condition_variable fRestartWake;
    bool fRestartPending = false;
    bool fQuit = false;
    std::thread fRestartThread;
};
