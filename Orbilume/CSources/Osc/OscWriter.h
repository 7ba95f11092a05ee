#pragma once

#include <cstdint>

#include "Orbilume/CSources/Osc/OscArg.h"

class CStream;

// Writes OSC 1.0 packets into a stream; padding is counted from the stream position at Begin. The
// stream is not checked: a fixed-size stream truncates silently.
class OscWriter {
public:
    void Begin(CStream& stream);
    void WriteString(const char* text);
    void WriteTagStart();
    void WriteTag(char tag);
    void PadTags();
    void WriteInt32(int32_t value);
    void WriteFloat32(float value);
    void WriteTimeTag(uint64_t value);
    void WriteBlob(const uint8_t* bytes, uint32_t length);
    void End() {}

    // A whole message: address, the tags of the arguments, their data.
    void WriteMessage(CStream& stream, const char* address, const OscArg* args, uint32_t count);

private:
    CStream* fStream = nullptr;
    uint64_t fStart = 0;
};
