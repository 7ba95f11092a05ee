// Random packet lists, lengths included, through the message splitter and the MTC assembler; every
// delivered run must lie inside the list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Orbilume/CSources/Midi/MidiInMessage.h"
#include "Orbilume/CSources/Midi/MtcQuarterFrames.h"

namespace {

struct State {
    const uint8_t* begin;
    const uint8_t* end;
    MtcQuarterFrames frames;
};

void Check(void* context, const MidiInMessage* m) {
    auto* s = static_cast<State*>(context);
    if (m->run) {
        if (m->run < s->begin || m->run >= s->end) abort();
        if (m->runLength == 0 || m->runLength > size_t(s->end - m->run)) abort();
    }
    if (m->status == 0xF1 && !m->run) {
        Timecode t;
        if (s->frames.Feed(m->data1, t) &&
            (t.hours > 23 || t.minutes > 59 || t.seconds > 59 || t.frames > 29))
            abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    State state{data, data + size, {}};
    ReadMidiPacketList(data, size, &state, Check);
    return 0;
}
