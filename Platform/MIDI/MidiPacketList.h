#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A MIDI packet list as bytes, little-endian: u32 count, then count packets of {u64 time stamp,
// u16 length, length bytes}, each following the previous one's bytes. Lists come from devices and
// other programs, so readers take nothing on trust: see MidiPacketListReader.
namespace plat {

inline constexpr size_t kMidiPacketListHeaderSize = 4;
inline constexpr size_t kMidiPacketHeaderSize = 10;

struct MidiPacket {
    uint64_t timeStamp = 0;
    const uint8_t* data = nullptr;  // borrowed from the list
    uint16_t length = 0;
};

// Walks a list within its byte size. The walk ends after the header's count, or at the first packet
// whose header or bytes would run past the list's end (that packet is not returned).
class MidiPacketListReader {
public:
    MidiPacketListReader(const uint8_t* list, size_t byteSize);

    bool Next(MidiPacket& packet);
    // The count the header claims (0 when the list is shorter than its header).
    uint32_t DeclaredCount() const { return fCount; }

private:
    const uint8_t* fList;
    size_t fSize;
    size_t fOffset = kMidiPacketListHeaderSize;
    uint32_t fCount = 0;
    uint32_t fRead = 0;
};

// Builds a list in a buffer the caller owns; nothing is allocated.
class MidiPacketListWriter {
public:
    MidiPacketListWriter(uint8_t* buffer, size_t capacity);

    // False, and nothing written, when the packet does not fit.
    [[nodiscard]] bool Add(uint64_t timeStamp, const uint8_t* data, uint16_t length);
    void Clear();
    uint32_t Count() const { return fCount; }
    size_t ByteSize() const { return fSize; }
    const uint8_t* Data() const { return fBuffer; }
    // Room left for the bytes of one more packet.
    size_t Room() const;

private:
    uint8_t* fBuffer;
    size_t fCapacity;
    size_t fSize = 0;
    uint32_t fCount = 0;
};

// A list of the given packets (tests and tools).
std::vector<uint8_t> MakeMidiPacketList(const std::vector<std::vector<uint8_t>>& packets,
                                        uint64_t timeStamp = 0);

}  // namespace plat
