#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Incremental reader of OSC 1.0 packets (messages and nested bundles), free of sockets. Reset before
// each packet, then call Feed until it returns kNeedMore; it stops at each event. Strings, type tags
// and blobs are padded to 4 bytes counted from the packet start. A bundle element never reaches past
// the element that encloses it; only the outermost bundle's time tag is kept. After kBadMessage the
// rest of that message (or bundle element) is skipped by the next Feed.
class OscParser {
public:
    enum : int {
        kNeedMore = 0,      // bytes up to the limit used up (or the packet is finished)
        kBadMessage = 1,    // no type-tag string, an unknown tag, or bundles nested too deep
        kMessageStart = 2,  // address and type tags complete
        kArgument = 3,      // one argument ready; for 's' and 'b' the cursor is at its first byte
        kMessageEnd = 4,    // the message is complete
        kBundle = 5,        // "#bundle" and its time tag read
    };
    static constexpr uint32_t kMaxDepth = 128;

    OscParser();

    // Also forgets the enclosing bundle ends, so a malformed packet leaves nothing for the next one.
    void Reset();
    int Feed(const uint8_t*& cursor, const uint8_t* end);

    const std::string& Address() const { return fAddress; }
    const std::string& TypeTags() const { return fTags; }  // without the leading ','
    uint64_t BundleTimeTag() const { return fBundleTimeTag; }
    char CurrentTag() const { return char(fTag); }
    // After kArgument.
    int32_t Int() const;
    float Float() const;
    uint64_t TimeTag() const;
    uint32_t BlobLength() const { return uint32_t(fRemaining); }
    // Bytes consumed since the packet start.
    uint64_t Position() const { return fPosition; }

private:
    int Step(const uint8_t*& cursor, const uint8_t* limit);
    void Skip(const uint8_t*& cursor, uint64_t n) {
        cursor += n;
        fPosition += n;
    }
    bool Aligned() const { return (fPosition & 3) == 0; }
    void FinishElements();

    std::string fAddress;
    std::string fTags;
    uint64_t fBundleTimeTag = 0;
    uint64_t fPosition = 0;
    uint64_t fRemaining = 0;
    uint64_t fElementEnd = 0;  // 0: no element bound active
    uint8_t fBytes[8] = {};
    uint8_t fState = 0;
    uint8_t fTag = 0;
    uint8_t fCollected = 0;
    uint32_t fNextTag = 0;                 // index of the next type tag (a type-tag string may exceed 255)
    std::vector<uint64_t> fEnclosingEnds;  // ends of the bundles whose elements are being read
};
