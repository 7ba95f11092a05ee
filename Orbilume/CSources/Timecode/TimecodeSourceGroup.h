#pragma once

#include "Orbilume/CSources/Timecode/MediaTimecodeSource.h"
#include "Orbilume/CSources/Timecode/TimecodeSource.h"

// The application's timecode sources, borrowed by whoever follows them (the sequence timers of the
// documents). A source that does not exist (no MIDI or sound input built) is null.
struct TimecodeSourceGroup {
    TimecodeSource* ltc = nullptr;
    TimecodeSource* mtc = nullptr;
    TimecodeSource* clock = nullptr;
    MediaTimecodeSource* music = nullptr;
};
