#include "Orbilume/CSources/Midi/MidiInMessage.h"

#include "Platform/MIDI/MidiPacketList.h"

namespace {

enum class Kind { kData0, kData1, kData2, kEndRead, kRun };

Kind KindOf(uint8_t status) {
    if (status < 0x80 || status == 0xF0 || status == 0xF7) return Kind::kRun;
    if (status < 0xF0) return status >= 0xC0 && status < 0xE0 ? Kind::kData1 : Kind::kData2;
    switch (status) {
        case 0xF1:
        case 0xF3:
            return Kind::kData1;
        case 0xF2:
            return Kind::kData2;
        case 0xF4:
        case 0xF5:
        case 0xF9:
        case 0xFD:
            return Kind::kEndRead;
        default:
            return Kind::kData0;
    }
}

}  // namespace

void ReadMidiPacketList(const uint8_t* list, size_t byteSize, void* context, MidiInProc function) {
    if (!function) return;
    MidiInMessage message;
    plat::MidiPacketListReader reader(list, byteSize);
    plat::MidiPacket packet;
    while (reader.Next(packet)) {
        const uint8_t* p = packet.data;
        const uint32_t n = packet.length;
        uint32_t i = 0;
        while (i < n) {
            const uint8_t status = p[i];
            const Kind kind = KindOf(status);
            const uint32_t left = n - i - 1;  // bytes after the status
            switch (kind) {
                case Kind::kEndRead:
                    return;
                case Kind::kRun:
                    message.status = status;
                    message.run = p + i;
                    message.runLength = n - i;
                    i = n;
                    break;
                case Kind::kData0:
                    message.status = status;
                    i += 1;
                    break;
                case Kind::kData1:
                    if (left < 1) {
                        i = n;  // cut off: dropped
                        continue;
                    }
                    message.status = status;
                    message.data1 = p[i + 1];
                    i += 2;
                    break;
                case Kind::kData2:
                    if (left < 2) {
                        i = n;
                        continue;
                    }
                    message.status = status;
                    message.data1 = p[i + 1];
                    message.data2 = p[i + 2];
                    i += 3;
                    break;
            }
            function(context, &message);
        }
    }
}
