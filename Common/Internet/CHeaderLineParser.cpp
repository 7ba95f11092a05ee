#include "Common/Internet/CHeaderLineParser.h"

namespace {

// States: 0 line start, 1 in the name, 2 after the colon, 3 in the value, 4 after a CR that ends a
// line, 5 after a LF that ends a line, 6 at the start of a continuation line, 7 after a CR at the
// start of a line, 8 after blanks that ended the name. A line ended in states 4 and 5 is reported
// only once the next byte shows it is not folded. A colon after the name's blanks is the separator
// ("Name : v" gives "v"); the value starts at the first non-blank byte after the separator, a
// colon included ("X: ::1" gives "::1").
enum Action : uint8_t {
    kNothing = 0,
    kToName = 1,
    kToValue = 2,
    kFold = 3,
    kDone = 4,        // line complete
    kDoneKeep = 5,    // line complete, this byte begins the next one
    kDoneAndEnd = 6,  // line complete and this LF ends the block
};

constexpr uint8_t E(uint8_t action, uint8_t next) {
    return static_cast<uint8_t>(action << 4 | next);
}

// [class][state]; classes: other, ':', LF, CR, blank.
constexpr uint8_t kTable[5][9] = {
    {E(1, 1), E(1, 1), E(2, 3), E(2, 3), E(5, 1), E(5, 1), E(3, 3), E(1, 1), E(2, 3)},
    {E(0, 2), E(0, 2), E(2, 3), E(2, 3), E(4, 2), E(4, 2), E(3, 3), E(0, 2), E(0, 2)},
    {E(4, 0), E(0, 5), E(0, 5), E(0, 5), E(0, 5), E(6, 0), E(0, 5), E(4, 0), E(0, 5)},
    {E(0, 7), E(0, 4), E(0, 4), E(0, 4), E(4, 7), E(4, 7), E(0, 4), E(0, 7), E(0, 4)},
    {E(0, 0), E(0, 8), E(0, 2), E(2, 3), E(0, 6), E(0, 6), E(0, 6), E(0, 0), E(0, 8)},
};

int Classify(uint8_t byte) {
    switch (byte) {
        case ':':
            return 1;
        case '\n':
            return 2;
        case '\r':
            return 3;
        case ' ':
        case '\t':
            return 4;
        default:
            return 0;
    }
}

}  // namespace

void CHeaderLineParser::Reset() {
    fResetPending = true;
    fPending = 0;
}

void CHeaderLineParser::Append(LVariStr<16>& buf, uint8_t byte) {
    if (buf.Length() >= kMaxField) {
        fOverflow = true;
        return;
    }
    buf.Append(static_cast<unsigned char>(byte));
}

int CHeaderLineParser::Feed(uint8_t byte) {
    if (fResetPending) {
        fResetPending = false;
        fOverflow = false;
        fName.Reset();
        fValue.Reset();
    }
    if (fPending) {
        Append(fName, fPending);
        fPending = 0;
    }
    const uint8_t entry = kTable[Classify(byte)][fState];
    fState = entry & 0x0F;
    switch (entry >> 4) {
        case kToName:
            Append(fName, byte);
            return kNone;
        case kToValue:
            Append(fValue, byte);
            return kNone;
        case kFold:
            if (fValue.Length() > 0) Append(fValue, ' ');
            Append(fValue, byte);
            return kNone;
        case kDone:
            fResetPending = true;
            return kLine;
        case kDoneKeep:
            fPending = byte;
            fResetPending = true;
            return kLine;
        case kDoneAndEnd:
            fResetPending = true;
            return kLineAndEnd;
        default:
            return kNone;
    }
}
