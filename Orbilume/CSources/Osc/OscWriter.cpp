#include "Orbilume/CSources/Osc/OscWriter.h"

#include <cstring>

#include "Common/Stream/CStream.h"
#include "Platform/Foundation/Bytes.h"

namespace {
const uint8_t kZeros[4] = {};
}

void OscWriter::Begin(CStream& stream) {
    fStream = &stream;
    fStart = stream.Position();
}

void OscWriter::WriteString(const char* text) {
    size_t n = text ? std::strlen(text) : 0;
    if (n) fStream->Put(text, n);
    fStream->Put(kZeros, 4 - n % 4);
}

void OscWriter::WriteTagStart() {
    fStream->PutU8(',');
}

void OscWriter::WriteTag(char tag) {
    fStream->PutU8(uint8_t(tag));
}

void OscWriter::PadTags() {
    fStream->PutU8(0);
    uint64_t used = (fStream->Position() - fStart) % 4;
    if (used) fStream->Put(kZeros, 4 - used);
}

void OscWriter::WriteInt32(int32_t value) {
    uint8_t b[4];
    plat::StoreBE32(b, uint32_t(value));
    fStream->Put(b, 4);
}

void OscWriter::WriteFloat32(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    uint8_t b[4];
    plat::StoreBE32(b, bits);
    fStream->Put(b, 4);
}

void OscWriter::WriteTimeTag(uint64_t value) {
    uint8_t b[8];
    plat::StoreBE64(b, value);
    fStream->Put(b, 8);
}

void OscWriter::WriteBlob(const uint8_t* bytes, uint32_t length) {
    uint8_t b[4];
    plat::StoreBE32(b, length);
    fStream->Put(b, 4);
    if (length) fStream->Put(bytes, length);
    if (length % 4) fStream->Put(kZeros, 4 - length % 4);
}

void OscWriter::WriteMessage(CStream& stream, const char* address, const OscArg* args, uint32_t count) {
    Begin(stream);
    WriteString(address);
    WriteTagStart();
    for (uint32_t i = 0; i < count; ++i) WriteTag(char(args[i].tag));
    PadTags();
    for (uint32_t i = 0; i < count; ++i) {
        const OscArg& a = args[i];
        switch (a.tag) {
            case 'b':
                WriteBlob(a.value.b, a.size);
                break;
            case 'f':
                WriteFloat32(a.value.f);
                break;
            case 'i':
                WriteInt32(a.value.i);
                break;
            case 's':
                WriteString(a.value.s);
                break;
            case 't':
                WriteTimeTag(a.value.t);
                break;
            default:
                break;
        }
    }
    End();
}
