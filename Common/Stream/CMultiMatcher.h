#pragma once

#include <cstdint>

// Finds any of up to 32 patterns in a byte stream fed one byte at a time. No pattern may be a
// prefix of another. Bytes that cannot be part of a match are released as data, in order; a match
// that fails part-way releases only its first byte and tries the rest again, so overlapping
// occurrences ("]]]>" for "]]>") are found. A mask selects which patterns are looked for.
class CMultiMatcher {
public:
    enum : int {
        kIdle = -1,        // nothing is held back
        kInProgress = -2,  // the last bytes may begin a pattern and are held back
        kMatched = -4,     // a pattern was completed (Matched()); nothing is held back
    };
    static constexpr uint32_t kMaxPatterns = 32;
    static constexpr uint32_t kMaxLength = 16;

    // The table must outlive the matcher; patterns longer than kMaxLength are never matched.
    CMultiMatcher(const char* const* patterns, uint32_t count);

    // Looks for the patterns whose bit is set (all by default). Held bytes are kept.
    void SetActive(uint32_t mask) { fActive = mask; }

    // Feeds one byte. The bytes released as ordinary data by this feed (Released()) come before
    // a match reported by it.
    int Feed(unsigned char c);
    // Releases every held byte; the matcher is idle afterwards.
    void Flush();

    // The bytes released by the last Feed or Flush.
    const unsigned char* Released(uint32_t& length) const {
        length = fReleasedLength;
        return fReleased;
    }
    // Index and text of the pattern completed by the last Feed; -1 before any.
    int Matched() const { return fMatched; }
    const char* MatchedText() const { return fMatched >= 0 ? fPatterns[fMatched] : ""; }
    bool InProgress() const { return fHeldLength > 0; }

private:
    void Release(uint32_t n);

    const char* const* fPatterns;
    uint32_t fCount;
    uint32_t fLengths[kMaxPatterns];
    uint32_t fActive = 0xFFFFFFFF;
    unsigned char fHeld[kMaxLength];
    uint32_t fHeldLength = 0;
    unsigned char fReleased[kMaxLength + 1];
    uint32_t fReleasedLength = 0;
    int fMatched = -1;
};
