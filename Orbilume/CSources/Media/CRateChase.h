#pragma once

#include <cstdint>

// Keeps a playing movie locked to an external time by its rate. The caller passes the time to
// follow, the movie's time and seek latency each frame and acts on the answer. Millisecond clock
// values are the low 32 bits of the event clock; their differences are taken modulo 2^32.
class CRateChase {
public:
    enum Action : int32_t {
        kNothing = 0,
        kStop = 1,    // set the rate to 0
        kSeek = 2,    // go to SeekTarget (stop, then step or seek there)
        kSetRate = 3  // set the rate to Rate
    };
    enum State : uint32_t { kIdle = 0, kSeeking = 1, kMeasuring = 2, kChasing = 3 };

    CRateChase() { Init(); }
    void Init();
    void Reset(double duration);
    // Times in seconds except nowMs; window is the measuring span in seconds (1.0).
    int32_t Step(uint32_t nowMs, double target, double actual, double latency, double window);

    double SeekTarget() const { return seekTarget; }
    float Rate() const { return rate; }
    uint32_t State() const { return state; }

private:
    uint32_t startMs;  // when the present speed measurement began
    uint32_t moveMs;   // when the target last advanced
    double startTarget;
    double lastTarget;
    double seekTarget;  // -1 when none
    double duration;
    float rate;
    uint32_t state;
};
