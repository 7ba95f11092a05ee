// The MIDI message splitter over packet lists of 3-byte messages, beside ALSA's MIDI byte parser
// (snd_midi_event_encode, which turns the same bytes into sequencer events).
#include <alsa/asoundlib.h>
#include <benchmark/benchmark.h>

#include <vector>

#include "Orbilume/CSources/Midi/MidiInMessage.h"
#include "Platform/MIDI/MidiPacketList.h"

namespace {

constexpr int kPackets = 64;
constexpr int kPerPacket = 16;

std::vector<uint8_t> Bytes() {
    std::vector<uint8_t> b;
    for (int i = 0; i < kPackets * kPerPacket; ++i) {
        b.push_back(uint8_t(0x90 | (i & 0x0F)));
        b.push_back(uint8_t(i & 0x7F));
        b.push_back(uint8_t((i * 7) & 0x7F));
    }
    return b;
}

std::vector<uint8_t> List() {
    const std::vector<uint8_t> bytes = Bytes();
    std::vector<std::vector<uint8_t>> packets;
    for (int p = 0; p < kPackets; ++p)
        packets.emplace_back(bytes.begin() + p * kPerPacket * 3, bytes.begin() + (p + 1) * kPerPacket * 3);
    return plat::MakeMidiPacketList(packets);
}

void Sum(void* context, const MidiInMessage* m) {
    *static_cast<uint32_t*>(context) += m->data1 + m->data2;
}

void BM_MidiSplit(benchmark::State& state) {
    const std::vector<uint8_t> list = List();
    uint32_t sum = 0;
    for (auto _ : state) {
        ReadMidiPacketList(list.data(), list.size(), &sum, Sum);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kPackets * kPerPacket);
}
BENCHMARK(BM_MidiSplit);

void BM_AlsaMidiEventEncode(benchmark::State& state) {
    const std::vector<uint8_t> bytes = Bytes();
    snd_midi_event_t* parser = nullptr;
    if (snd_midi_event_new(256, &parser) != 0) {
        state.SkipWithError("snd_midi_event_new failed");
        return;
    }
    snd_midi_event_no_status(parser, 1);  // no running status, as the splitter
    uint32_t sum = 0;
    for (auto _ : state) {
        snd_midi_event_reset_encode(parser);
        const unsigned char* p = bytes.data();
        long left = long(bytes.size());
        while (left > 0) {
            snd_seq_event_t ev;
            const long used = snd_midi_event_encode(parser, p, left, &ev);
            if (used <= 0) break;
            p += used;
            left -= used;
            if (ev.type != SND_SEQ_EVENT_NONE) sum += ev.data.note.note + ev.data.note.velocity;
        }
        benchmark::DoNotOptimize(sum);
    }
    snd_midi_event_free(parser);
    state.SetItemsProcessed(state.iterations() * kPackets * kPerPacket);
}
BENCHMARK(BM_AlsaMidiEventEncode);

}  // namespace
