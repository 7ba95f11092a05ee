#include "Orbilume/CSources/Sound/LtcDecoder.h"

#include <cmath>

void LtcDecoder::Reset() {
    fBitValue = 0;
    fSinceBoundary = 0;
    fSinceTransition = 0;
    fLevel = 0;
    fBitCount = kHunting;
}

bool LtcDecoder::DecodeFrame(const uint8_t* b, Timecode& time) {
    const uint32_t frameUnits = b[0] & 0x0F, frameTens = b[1] & 3;
    const uint32_t secondUnits = b[2] & 0x0F, secondTens = b[3] & 7;
    const uint32_t minuteUnits = b[4] & 0x0F, minuteTens = b[5] & 7;
    const uint32_t hourUnits = b[6] & 0x0F, hourTens = b[7] & 3;
    if (frameUnits > 9 || frameTens == 3 || secondUnits > 9 || secondTens > 5 || minuteUnits > 9 ||
        minuteTens > 5 || hourUnits > 9 || hourTens == 3)
        return false;
    const uint32_t hours = hourUnits + hourTens * 10;
    if (hours > 23) return false;
    time.Set(uint8_t(hours), uint8_t(minuteUnits + minuteTens * 10), uint8_t(secondUnits + secondTens * 10),
             uint8_t(frameUnits + frameTens * 10));
    return true;
}

int LtcDecoder::LevelDb() const {
    return LevelDbOf(fLevel);
}

int LtcDecoder::LevelDbOf(uint32_t level) {
    if (level == 0) return INT_MIN;
    return int(20.0 * std::log10(double(level) / double(kFullScaleLevel)));
}
