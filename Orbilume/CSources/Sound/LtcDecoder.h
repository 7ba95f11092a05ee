#pragma once

#include <climits>
#include <cstdint>

#include "Orbilume/CSources/Timecode/Timecode.h"

// Biphase-mark decoder of SMPTE linear timecode, one signed 16-bit sample at a time.
//
// The DC is removed, an envelope follows the level, transitions are found with a hysteresis of
// level / 1024, and a transition interval longer than the running mean ends a bit cell (a transition
// inside the cell makes it a one). The decoder hunts for the sync word, then collects the 64 data
// bits of the next frame. Integer work only, no allocation; any thread, one at a time.
class LtcDecoder {
public:
    static constexpr uint32_t kHunting = 0xFFFFFFFFu;
    static constexpr uint16_t kSyncWord = 0xBFFC;  // bits 64..79, first received bit lowest
    static constexpr uint32_t kNoSignalLevel = 2048;
    static constexpr uint32_t kFullScaleLevel = 1u << 21;  // 64 × 32768

    // Feeds one sample (about −32896..32767); true when it completed a 64-bit frame (Bytes()).
    bool Feed(int x) {
        // DC removal and the envelope.
        const int32_t y = x - fDc / 16384;
        fDc += y;
        const uint32_t magnitude = y < 0 ? uint32_t(-int64_t(y)) : uint32_t(y);
        fLevel = fLevel - fLevel / 64 + magnitude;
        if (fLevel <= kNoSignalLevel) {
            fBitCount = kHunting;
            fSinceBoundary = 0;
            fSinceTransition = 0;
            fBitValue = 0;
            return false;
        }
        ++fSinceTransition;
        const int32_t hysteresis = int32_t(fLevel >> 10);
        const bool transition = fPolarity == 0 ? y < -hysteresis : y >= hysteresis;
        if (!transition) return false;

        fPolarity = ~fPolarity;
        fMeanInterval = fMeanInterval - fMeanInterval / 128 + fSinceTransition;
        fSinceBoundary += fSinceTransition;
        fSinceTransition = 0;
        if (fSinceBoundary < fMeanInterval / 128) {
            fBitValue ^= 0x8000;  // a transition inside the cell: a one
            return false;
        }
        // A bit-cell boundary.
        fShift = uint16_t((fShift >> 1) | fBitValue);
        fSinceBoundary = 0;
        fBitValue = 0;
        if (fBitCount == kHunting) {
            if (fShift == kSyncWord) fBitCount = 0;
            return false;
        }
        ++fBitCount;
        if ((fBitCount & 7) == 0) fBytes[fBitCount / 8 - 1] = uint8_t(fShift >> 8);
        if (fBitCount < 64) return false;
        fBitCount = kHunting;
        return true;
    }

    // Bit value, both sample counters and the level to 0, hunting; the rest stays.
    void Reset();

    // The last completed frame: byte k holds data bits 8k..8k+7, the first received in bit 0.
    const uint8_t* Bytes() const { return fBytes; }
    // Sets `time`'s fields from a frame when every BCD field is in range and the hours are at most
    // 23 (the code stays); false leaves `time` as it was.
    [[nodiscard]] static bool DecodeFrame(const uint8_t* bytes, Timecode& time);

    // 20 × log10(level / 2^21), truncated; INT_MIN for a level of 0. Any thread (a plain read).
    int LevelDb() const;
    static int LevelDbOf(uint32_t level);

    uint32_t Level() const { return fLevel; }
    uint32_t BitCount() const { return fBitCount; }
    bool IsHunting() const { return fBitCount == kHunting; }

private:
    uint32_t fBitValue = 0;      // 0, or 0x8000 after a mid-cell transition
    uint16_t fShift = 0;         // newest bit at bit 15
    uint32_t fPolarity = 0;      // 0 or all ones
    uint32_t fMeanInterval = 0;  // × 128
    uint32_t fSinceBoundary = 0;
    uint32_t fSinceTransition = 0;
    uint32_t fLevel = 0;
    uint32_t fBitCount = kHunting;
    int32_t fDc = 0;  // × 16384
    uint8_t fBytes[8] = {};
};
