#pragma once

#include <cstdint>

#include "Orbilume/CSources/Timecode/Timecode.h"

// Assembles MIDI Time Code quarter frames (the data byte of 0xF1: piece in the high nibble, value in
// the low one) into a time. A time needs a run of eight consecutive pieces in one direction, ending
// on piece 0; any jump or repeated piece starts the run again. A byte above 0x7F is ignored. One
// thread only.
class MtcQuarterFrames {
public:
    // True when this piece completes a time; `time` then holds it plus two frames (the eight
    // quarter frames it took to arrive).
    bool Feed(uint8_t data, Timecode& time);
    // The time as assembled from the pieces, without the two frames.
    const Timecode& Assembled() const { return fAssembled; }

private:
    void Store(uint8_t piece, uint8_t value) {
        fSlots[piece] = value;
        fLastPiece = piece;
    }

    Timecode fAssembled;
    uint8_t fSlots[8] = {};
    uint8_t fLastPiece = 0;
    int8_t fCounter = 0;
};
