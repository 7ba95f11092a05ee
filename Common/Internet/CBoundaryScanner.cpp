#include "Common/Internet/CBoundaryScanner.h"

namespace {

// [class][state]: high four bits the action, low four bits the next state.
// Classes: other, CR, LF, '-'.
constexpr uint8_t kTable[4][8] = {
    {0x00, 0x40, 0x40, 0x40, 0x34, 0x17, 0x17, 0x17},
    {0x21, 0x51, 0x51, 0x51, 0x51, 0x17, 0x17, 0x17},
    {0x00, 0x22, 0x40, 0x40, 0x40, 0x72, 0x72, 0x72},
    {0x00, 0x40, 0x23, 0x24, 0x34, 0x16, 0x67, 0x17},
};

int Classify(uint8_t byte) {
    switch (byte) {
        case '-':
            return 3;
        case '\r':
            return 1;
        case '\n':
            return 2;
        default:
            return 0;
    }
}

}  // namespace

int CBoundaryScanner::MatchBoundary(uint8_t byte) {
    if (!fHeld.Append(&byte, 1)) {
        // Memory ran out: no boundary here; the held bytes go out as data (this byte is lost).
        fState = 0;
        fDiscard = true;
        return kFlush;
    }
    const uint32_t prefix = fHeld[0] == '-' ? 2 : 4;
    const uint32_t length = fBoundary.Length();
    const uint32_t held = fHeld.Count();
    // The held bytes are at least the prefix and this byte, so the index is never negative.
    const uint32_t index = held - prefix - 1;
    if (index >= length || fBoundary.Text()[index] != byte) {
        fState = 0;
        fDiscard = true;
        return kFlush;
    }
    if (index + 1 == length) {
        fHeld.RemoveAll();
        fState = 5;
    }
    return kHeld;
}

int CBoundaryScanner::Feed(uint8_t byte) {
    if (fDiscard) {
        fDiscard = false;
        fHeld.RemoveAll();
    }
    if (fReinsertCR) {
        fReinsertCR = false;
        const uint8_t cr = '\r';
        // Held bytes are at most a boundary line; an append fails only when memory ran out.
        (void)fHeld.Append(&cr, 1);
    }
    const uint8_t entry = kTable[Classify(byte)][fState];
    fState = entry & 0x0F;
    switch (entry >> 4) {
        case 0:
            return kData;
        case 1:
            return kHeld;
        case 2:
            (void)fHeld.Append(&byte, 1);  // fails only when memory ran out
            return kHeld;
        case 3:
            return MatchBoundary(byte);
        case 4:
            (void)fHeld.Append(&byte, 1);  // fails only when memory ran out
            fDiscard = true;
            return kFlush;
        case 5:
            fReinsertCR = true;
            fDiscard = true;
            return kFlush;
        case 6:
            fClosing = true;
            return kHeld;
        default:
            return fClosing ? kEnd : kNextPart;
    }
}
