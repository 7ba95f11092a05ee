#include "Orbilume/CSources/Editors/CNoteVol.h"

#include <algorithm>
#include <cmath>

#include "Orbilume/CSources/Document/UCtlAttr.h"

namespace {

constexpr int64_t kOctaveLimit = 1000000;  // far beyond any note; keeps the sum in range

}  // namespace

CNoteVol::CNoteVol(LPane* owner) : CNumVol(owner, 0, 0) {
    SetRange(0, 127, 1);
    SetValue(60);
}

float CNoteVol::GetValue() {
    const LString text = GetText();
    return float(ParseNote(text.CStr(), text.Length()));
}

void CNoteVol::StoreValue(float value) {
    const float v = std::isfinite(value) ? std::clamp(value, 0.0f, 127.0f) : 60.0f;
    SetText(FormatNote(int32_t(v)));
}

bool CNoteVol::AcceptChar(uint32_t ch) {
    const uint32_t upper = ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch;
    return (upper >= 'A' && upper <= 'G') || ch == '#' || ch == '-' || ch == ' ' || (ch >= '0' && ch <= '9');
}

int32_t CNoteVol::ParseNote(const char* text, uint32_t length) {
    // Letter index in C D E F G A B order.
    static constexpr char kLetters[] = "CDEFGAB";
    int64_t letter = 0;
    bool sharp = false;
    // The octave as a signed integer read from the "-" and digits collected: a sign only in front,
    // anything after the digits ends it, like atoi; saturated.
    bool collected = false;
    bool negative = false;
    bool ended = false;
    bool digits = false;
    int64_t octave = 0;
    for (uint32_t i = 0; text && i < length; ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        if (c >= 'A' && c <= 'G') {
            letter = std::find(kLetters, kLetters + 7, c) - kLetters;
        } else if (c == '#') {
            sharp = true;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            const bool first = !collected;
            collected = true;
            if (ended) continue;
            if (c == '-') {
                if (first)
                    negative = true;
                else
                    ended = true;
                continue;
            }
            digits = true;
            octave = std::min(octave * 10 + (c - '0'), kOctaveLimit);
        }
    }
    if (!collected)
        octave = 4;
    else if (negative && digits)
        octave = -octave;
    const int64_t note = 12 + 2 * letter - (letter >= 3 ? 1 : 0) + (sharp ? 1 : 0) + 12 * octave;
    return int32_t(std::clamp<int64_t>(note, 0, 127));
}

LString CNoteVol::FormatNote(int32_t note) {
    return UCtlAttr::MidiNoteName(std::clamp(note, 0, 127));
}
