#include "Lib3/LSources/String/UnicodeDecomp.h"

#include <algorithm>

#include "Lib3/LSources/CoreData/LVariBufferBase.h"
#include "Lib3/LSources/CoreString/LStrBuf.h"
#include "Lib3/LSources/String/UString.h"
#include "Lib3/LSources/String/UUtf8.h"
#include "Lib3/LSources/String/UnicodeDecompTables.h"

using namespace unidecomp;

namespace {

constexpr uint32_t kHangulBase = 0xAC00;
constexpr uint32_t kHangulCount = 11172;

// Walks one trie; true with the leaf block index and the rank inside it when cp has an entry.
bool Find(const UnicodeTrieNode* const levels[4], uint32_t cp, uint32_t& leaf, uint32_t& rank) {
    uint32_t node = 0;
    for (int level = 0; level < 4; ++level) {
        uint32_t piece = (cp >> (15 - 5 * level)) & 31;
        const UnicodeTrieNode& n = levels[level][node];
        uint32_t bit = 1u << piece;
        if (!(n.bitmap & bit)) return false;
        uint32_t r = static_cast<uint32_t>(__builtin_popcount(n.bitmap & (bit - 1)));
        if (level == 3) {
            leaf = n.child;
            rank = r;
            return true;
        }
        node = n.child + r;
    }
    return false;
}

const UnicodeTrieNode* const kDecompLevels[4] = {kDecompLevel0, kDecompLevel1, kDecompLevel2, kDecompLevel3};
const UnicodeTrieNode* const kClassLevels[4] = {kClassLevel0, kClassLevel1, kClassLevel2, kClassLevel3};

// Pending combining marks: {class << 24 | code point}.
class Decomposer {
public:
    explicit Decomposer(LStrBuf& out) : fOut(out) {}

    void Put(uint32_t cp) {
        if (cp < 0xC0 || cp >= 0x100000) {
            Flush();
            Write(cp);
            return;
        }
        if (cp >= kHangulBase && cp < kHangulBase + kHangulCount) {
            Flush();
            uint32_t s = cp - kHangulBase;
            Write(0x1100 + s / 588);
            Write(0x1161 + (s % 588) / 28);
            if (s % 28) Write(0x11A7 + s % 28);
            return;
        }
        uint32_t leaf, rank;
        if (Find(kDecompLevels, cp, leaf, rank)) {
            const DecompLeaf& block = kDecompLeaves[leaf];
            uint32_t from = block.base + (rank ? block.ends[rank - 1] : 0);
            uint32_t to = block.base + block.ends[rank];
            for (uint32_t i = from; i < to; ++i) {
                uint32_t u = kDecompPool[i];
                if (u >= 0xD800 && u <= 0xDBFF && i + 1 < to) {
                    u = 0x10000 + ((u - 0xD800) << 10) + (kDecompPool[i + 1] - 0xDC00);
                    ++i;
                }
                Put(u);
            }
            return;
        }
        uint8_t cc = UnicodeDecomp::CombiningClass(cp);
        if (cc) {
            AddMark(cc, cp);
            return;
        }
        Flush();
        Write(cp);
    }

    // Canonical ordering: a stable sort of the pending marks by class (sorting once here keeps long
    // runs of marks from costing quadratic time).
    void Flush() {
        if (fCount > 1) {
            std::stable_sort(fMarks.Data(), fMarks.Data() + fCount,
                             [](uint32_t a, uint32_t b) { return (a >> 24) < (b >> 24); });
        }
        for (uint32_t i = 0; i < fCount; ++i) Write(fMarks[i] & 0x1FFFFF);
        fCount = 0;
    }

    bool Failed() const { return fFailed; }

private:
    void Write(uint32_t cp) { UUtf8::Append(fOut, cp); }

    void AddMark(uint8_t cc, uint32_t cp) {
        if (fCount == fMarks.Capacity() && !fMarks.SetSize(fCount * 2 + 16, true)) {
            fFailed = true;
            return;
        }
        fMarks[fCount++] = (static_cast<uint32_t>(cc) << 24) | cp;
    }

    LStrBuf& fOut;
    LVariBuffer<uint32_t> fMarks;
    uint32_t fCount = 0;
    bool fFailed = false;
};

}  // namespace

uint8_t UnicodeDecomp::CombiningClass(uint32_t cp) {
    uint32_t leaf, rank;
    if (cp >= 0x100000 || !Find(kClassLevels, cp, leaf, rank)) return 0;
    return kClassLeaves[leaf][rank];
}

bool UnicodeDecomp::DecomposeUtf8(const unsigned char* text, uint32_t length, LStrBuf& out) {
    Decomposer d(out);
    uint32_t pos = 0;
    bool ok = true;
    while (pos < length) {
        uint32_t cp;
        if (!UUtf8::Decode(text, length, pos, cp)) {
            ok = false;
            break;
        }
        d.Put(cp);
    }
    d.Flush();
    return ok && !d.Failed();
}

bool UnicodeDecomp::DecomposeUtf8(const unsigned char* text, LStrBuf& out) {
    return DecomposeUtf8(text, UString::LengthOf(text), out);
}

const char* UnicodeDecomp::Version() {
    return kUnicodeVersion;
}
