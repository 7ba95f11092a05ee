#pragma once

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/Timecode/TimecodeSource.h"

// The local time of day in hundredths of a second (code 100), read from the wall clock every
// 500 ms while the source has listeners; runs on its lock object's loop.
class ClockSource : public TimecodeSource, public LHandler {
public:
    static constexpr uint32_t kPollMs = 500;

    explicit ClockSource(LAsyncLoop* loop);
    ~ClockSource() override;

    // The first listener polls at once.
    void AddListener(void* context, Listener function) override;
    // The last one stops the polling.
    void RemoveListener(void* context, Listener function) override;
    LMessage Handle(const LMessage& msg) override;

    // Reads the wall clock; stores and notifies when the hundredths changed.
    void Poll();

private:
    LAsyncTimer fTimer;
};
