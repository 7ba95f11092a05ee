#pragma once

#include <cstddef>
#include <cstdint>

// One MIDI message as the read procedure hands it on: the status byte and its data bytes. A field
// the message does not carry keeps the previous message's value within one read. `run` is null
// until the first system-exclusive or unrecognised run of the read, then points at that run's
// first byte (borrowed: valid during the callback only); `runLength` counts its bytes.
struct MidiInMessage {
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
    const uint8_t* run = nullptr;
    uint32_t runLength = 0;
};

// The application's MIDI callback; runs on the MIDI thread and does its own locking.
using MidiInProc = void (*)(void* context, const MidiInMessage* message);

// Splits a packet list (plat::MidiPacketList layout) into messages and calls `function` for each,
// with one MidiInMessage reused for the whole read. No running status. Every read stays within the
// list's byte size and each packet's length; a message cut off at the end of a packet is dropped,
// and a packet whose length runs past the list ends the read. 0xF4, 0xF5, 0xF9 and 0xFD end the
// whole read. Allocates nothing.
void ReadMidiPacketList(const uint8_t* list, size_t byteSize, void* context, MidiInProc function);
