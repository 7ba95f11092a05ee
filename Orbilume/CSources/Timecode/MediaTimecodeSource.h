#pragma once

#include "Orbilume/CSources/Timecode/TimecodeSource.h"

// A timecode source that is also a transport: a media player whose playing position is the time,
// and which the sequence timer starts, pauses and moves. Main thread for the transport calls.
class MediaTimecodeSource : public TimecodeSource {
public:
    using TimecodeSource::TimecodeSource;

    virtual void Play() = 0;
    virtual void Pause() = 0;
    // Moves the player so that its time becomes `time`.
    virtual void Locate(const Timecode& time) = 0;
};
