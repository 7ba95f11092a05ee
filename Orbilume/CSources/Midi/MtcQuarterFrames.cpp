#include "Orbilume/CSources/Midi/MtcQuarterFrames.h"

namespace {

constexpr uint32_t kRateCodes[4] = {24, 25, 29, 30};

}  // namespace

bool MtcQuarterFrames::Feed(uint8_t data, Timecode& time) {
    // A status byte in the data place is no quarter frame (its piece would be past slot 7).
    if (data & 0x80) return false;
    const uint8_t piece = data >> 4;
    const uint8_t value = data & 0x0F;
    const uint8_t step = uint8_t((piece - fLastPiece) & 0x07);
    if (step == 1) {
        if (fCounter < 8) ++fCounter;
    } else if (step == 7) {
        if (fCounter > -8) --fCounter;
    } else {
        fCounter = 0;
        Store(piece, value);
        return false;
    }
    if (piece != 0 || (fCounter > -8 && fCounter < 8)) {
        Store(piece, value);
        return false;
    }
    // Backwards, piece 0 is the last of the current cycle.
    if (fCounter <= -8) fSlots[0] = value;
    fAssembled.code = kRateCodes[(fSlots[7] >> 1) & 0x03];
    fAssembled.hours = uint8_t(fSlots[6] | (fSlots[7] & 0x01) << 4);
    fAssembled.minutes = uint8_t(fSlots[4] | fSlots[5] << 4);
    fAssembled.seconds = uint8_t(fSlots[2] | fSlots[3] << 4);
    fAssembled.frames = uint8_t(fSlots[0] | fSlots[1] << 4);
    fCounter = 0;
    Store(piece, value);

    time = fAssembled;
    Timecode twoFrames;
    twoFrames.Init(fAssembled.code);
    twoFrames.Set(0, 0, 0, 2);
    time.FromCount(fAssembled.ToCount(1000) + twoFrames.ToCount(1000), 1000);
    return true;
}
