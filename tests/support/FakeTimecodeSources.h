#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "Orbilume/CSources/Timecode/MediaTimecodeSource.h"
#include "Orbilume/CSources/Timecode/TimecodeSource.h"

namespace testsupport {

// A timecode source the test feeds: each Feed stores the time and notifies the listeners on the
// calling thread, as a source does from its input thread.
class FakeTimecodeSource : public TimecodeSource {
public:
    using TimecodeSource::TimecodeSource;

    void Feed(const Timecode& time) {
        fLock->Lock();
        SetTimeLocked(time);
        Notify();
        fLock->Unlock();
    }
    void Feed(uint32_t code, uint8_t h, uint8_t m, uint8_t s, uint8_t f) {
        Timecode t;
        t.Init(code);
        t.Set(h, m, s, f);
        Feed(t);
    }
    // The time of day ms after midnight at the given code.
    void FeedMs(uint32_t code, uint32_t ms) {
        Timecode t;
        t.Init(code);
        t.FromCount(ms, 1000);
        Feed(t);
    }
};

// A media-player source that records the transport requests it gets ("Play", "Pause",
// "Locate hh:mm:ss:ff").
class FakeMediaTimecodeSource : public MediaTimecodeSource {
public:
    using MediaTimecodeSource::MediaTimecodeSource;

    void Play() override { Record("Play"); }
    void Pause() override { Record("Pause"); }
    void Locate(const Timecode& time) override { Record("Locate " + time.Format()); }

    void FeedMs(uint32_t ms) {
        Timecode t;
        t.Init(30);
        t.FromCount(ms, 1000);
        fLock->Lock();
        SetTimeLocked(t);
        Notify();
        fLock->Unlock();
    }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> g(fMutex);
        return fRequests;
    }

private:
    void Record(std::string text) {
        std::lock_guard<std::mutex> g(fMutex);
        fRequests.push_back(std::move(text));
    }
    std::mutex fMutex;
    std::vector<std::string> fRequests;
};

}  // namespace testsupport
