#include "Platform/MIDI/MidiPacketList.h"

#include <cstring>

#include "Platform/Foundation/Bytes.h"

namespace plat {

MidiPacketListReader::MidiPacketListReader(const uint8_t* list, size_t byteSize)
    : fList(list), fSize(byteSize) {
    if (fList && fSize >= kMidiPacketListHeaderSize) fCount = LoadLE32(fList);
}

bool MidiPacketListReader::Next(MidiPacket& packet) {
    if (fRead >= fCount) return false;
    if (fSize - fOffset < kMidiPacketHeaderSize) {
        fCount = fRead;
        return false;
    }
    const uint8_t* p = fList + fOffset;
    const uint16_t length = LoadLE16(p + 8);
    if (fSize - fOffset - kMidiPacketHeaderSize < length) {
        fCount = fRead;
        return false;
    }
    packet.timeStamp = LoadLE64(p);
    packet.length = length;
    packet.data = p + kMidiPacketHeaderSize;
    fOffset += kMidiPacketHeaderSize + length;
    ++fRead;
    return true;
}

MidiPacketListWriter::MidiPacketListWriter(uint8_t* buffer, size_t capacity)
    : fBuffer(buffer), fCapacity(capacity) {
    Clear();
}

void MidiPacketListWriter::Clear() {
    fCount = 0;
    fSize = 0;
    if (fBuffer && fCapacity >= kMidiPacketListHeaderSize) {
        StoreLE32(fBuffer, 0);
        fSize = kMidiPacketListHeaderSize;
    }
}

size_t MidiPacketListWriter::Room() const {
    if (fSize == 0 || fCapacity - fSize < kMidiPacketHeaderSize) return 0;
    return fCapacity - fSize - kMidiPacketHeaderSize;
}

bool MidiPacketListWriter::Add(uint64_t timeStamp, const uint8_t* data, uint16_t length) {
    if (fSize == 0 || fCapacity - fSize < kMidiPacketHeaderSize || Room() < length || (length && !data))
        return false;
    uint8_t* p = fBuffer + fSize;
    StoreLE64(p, timeStamp);
    StoreLE16(p + 8, length);
    if (length) std::memcpy(p + kMidiPacketHeaderSize, data, length);
    fSize += kMidiPacketHeaderSize + length;
    StoreLE32(fBuffer, ++fCount);
    return true;
}

std::vector<uint8_t> MakeMidiPacketList(const std::vector<std::vector<uint8_t>>& packets,
                                        uint64_t timeStamp) {
    size_t size = kMidiPacketListHeaderSize;
    for (const auto& p : packets) size += kMidiPacketHeaderSize + p.size();
    std::vector<uint8_t> out(size);
    MidiPacketListWriter writer(out.data(), out.size());
    for (const auto& p : packets)
        if (!writer.Add(timeStamp, p.data(), uint16_t(p.size()))) break;
    out.resize(writer.ByteSize());
    return out;
}

}  // namespace plat
