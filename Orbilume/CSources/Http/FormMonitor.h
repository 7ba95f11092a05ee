#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Orbilume/CSources/Http/HttpBodySource.h"

// Where the panel's monitor image comes from: the mix engine implements it (a post-render capture
// into a PNG). Main thread.
class FormMonitorSource {
public:
    using Done = std::function<void(std::vector<uint8_t> png)>;
    virtual ~FormMonitorSource() = default;
    // Starts capturing one frame, size pixels on its longer side; done runs later on the main
    // thread (or at once) with the PNG, empty on failure. False when there is nothing to capture.
    virtual bool Capture(uint32_t size, Done done) = 0;
    // Drops the capture in progress: its done is not run.
    virtual void Cancel() = 0;
};

// A fixed picture (colour bars) encoded at once, until the engine hands over its frames.
class FixedPictureMonitorSource : public FormMonitorSource {
public:
    bool Capture(uint32_t size, Done done) override;
    void Cancel() override {}
};

// The monitor image of the panel: one capture at a time, shared by every request that waits for
// it; a capture that brings no frame within kWaitMs fails those requests (503).
class FormMonitor {
public:
    static constexpr uint32_t kWaitMs = 2000;

    // Borrowed source (null: no image). wake runs when waiting requests can go on.
    FormMonitor(FormMonitorSource* source, std::function<void()> wake);
    ~FormMonitor();
    void SetSource(FormMonitorSource* source);

    // A body that waits for the current capture, started when none is running; null when the
    // source has nothing to capture.
    std::unique_ptr<HttpBodySource> Request(uint32_t size, uint32_t nowMs);
    // Fails a capture older than kWaitMs; the milliseconds until the running capture's limit, 0
    // when none runs.
    uint32_t Expire(uint32_t nowMs);
    uint32_t Captures() const { return fCaptures; }

    struct Frame {
        enum State : uint8_t { kWaiting, kReady, kFailed };
        std::vector<uint8_t> png;
        uint32_t startMs = 0;
        State state = kWaiting;
    };

private:
    void Finish(const std::shared_ptr<Frame>& frame, std::vector<uint8_t> png);

    FormMonitorSource* fSource;
    std::function<void()> fWake;
    std::shared_ptr<Frame> fCurrent;  // the capture running
    uint32_t fCaptures = 0;
};
