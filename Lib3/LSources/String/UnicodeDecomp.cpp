#include "Lib3/LSources/String/UnicodeDecomp.h"

#include <algorithm>
#include <cstring>

#include "Lib3/LSources/CoreData/LVariBufferBase.h"
#include "Lib3/LSources/CoreString/LStrBuf.h"
#include "Lib3/LSources/String/UString.h"
#include "Lib3/LSources/String/UUtf8.h"
#include "Lib3/LSources/String/UnicodeDecompTables.h"

using namespace unidecomp;

namespace {

constexpr uint32_t kHangulBase = 0xAC00;
constexpr uint32_t kHangulCount = 11172;

// Bits set below the given bit; a plain popcount would be a library call on the base instruction set.
uint32_t CountBelow(uint32_t bitmap, uint32_t bit) {
    uint32_t x = bitmap & (bit - 1);
    x = x - ((x >> 1) & 0x55555555u);
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0Fu;
    return (x * 0x01010101u) >> 24;
}

// Walks one trie; true with the leaf block index and the rank inside it when cp has an entry.
bool Find(const UnicodeTrieNode* const levels[4], uint32_t cp, uint32_t& leaf, uint32_t& rank) {
    uint32_t node = 0;
    for (int level = 0; level < 4; ++level) {
        uint32_t piece = (cp >> (15 - 5 * level)) & 31;
        const UnicodeTrieNode& n = levels[level][node];
        uint32_t bit = 1u << piece;
        if (!(n.bitmap & bit)) return false;
        uint32_t r = CountBelow(n.bitmap, bit);
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

// Classes and decomposition flags of the code points most text uses (the alphabets, the
// combining marks, kana), read once from the tries.
constexpr uint32_t kQuickLimit = 0x3100;

struct QuickTable {
    uint8_t classes[kQuickLimit];
    uint8_t decomposes[kQuickLimit / 8];
};

const QuickTable& Quick() {
    static const QuickTable table = [] {
        QuickTable t{};
        for (uint32_t cp = 0; cp < kQuickLimit; ++cp) {
            uint32_t leaf, rank;
            if (Find(kClassLevels, cp, leaf, rank)) t.classes[cp] = kClassLeaves[leaf][rank];
            if (Find(kDecompLevels, cp, leaf, rank))
                t.decomposes[cp >> 3] |= static_cast<uint8_t>(1u << (cp & 7));
        }
        return t;
    }();
    return table;
}

uint8_t ClassOf(uint32_t cp) {
    if (cp < kQuickLimit) return Quick().classes[cp];
    uint32_t leaf, rank;
    if (cp >= 0x100000 || !Find(kClassLevels, cp, leaf, rank)) return 0;
    return kClassLeaves[leaf][rank];
}

// True with the table entry when cp has a canonical decomposition (Hangul syllables aside).
bool FindDecomposition(uint32_t cp, uint32_t& leaf, uint32_t& rank) {
    if (cp < kQuickLimit && !(Quick().decomposes[cp >> 3] & (1u << (cp & 7)))) return false;
    return Find(kDecompLevels, cp, leaf, rank);
}

bool IsHangulSyllable(uint32_t cp) {
    return cp >= kHangulBase && cp < kHangulBase + kHangulCount;
}

// Neither decomposes nor combines: below the first letter with a canonical decomposition, or in
// the top plane, which has neither.
bool IsPlainStarter(uint32_t cp) {
    return cp < 0xC0 || cp >= 0x100000;
}

// Decomposed text goes out through a small buffer; pending combining marks are held as
// {class << 24 | code point} until the next starter puts them in canonical order.
class Decomposer {
public:
    explicit Decomposer(LStrBuf& out) : fOut(out) {}
    ~Decomposer() { Drain(); }
    Decomposer(const Decomposer&) = delete;
    Decomposer& operator=(const Decomposer&) = delete;

    void Put(uint32_t cp) {
        if (IsPlainStarter(cp)) {
            Flush();
            Write(cp);
            return;
        }
        if (IsHangulSyllable(cp)) {
            Flush();
            uint32_t s = cp - kHangulBase;
            Write(0x1100 + s / 588);
            Write(0x1161 + (s % 588) / 28);
            if (s % 28) Write(0x11A7 + s % 28);
            return;
        }
        uint32_t leaf, rank;
        if (FindDecomposition(cp, leaf, rank)) {
            Expand(leaf, rank);
            return;
        }
        uint8_t cc = ClassOf(cp);
        if (cc) {
            AddMark(cc, cp);
            return;
        }
        Flush();
        Write(cp);
    }

    // Puts each code point of one decomposition table entry.
    void Expand(uint32_t leaf, uint32_t rank) {
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
    }

    void AddMark(uint8_t cc, uint32_t cp) {
        if (fCount == fMarks.Capacity() && !fMarks.SetSize(fCount * 2 + 16, true)) {
            fFailed = true;
            return;
        }
        fMarks[fCount++] = (static_cast<uint32_t>(cc) << 24) | cp;
    }
    bool HasMarks() const { return fCount > 0; }

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

    // Text that is already in decomposed form, as it is.
    void Copy(const unsigned char* bytes, uint32_t n) {
        if (n == 0) return;
        if (n > sizeof fBuf - fLength) {
            Drain();
            if (n > sizeof fBuf / 2) {
                fOut.Append(bytes, n);
                return;
            }
        }
        std::memcpy(fBuf + fLength, bytes, n);
        fLength += n;
    }

    void Drain() {
        if (fLength) fOut.Append(fBuf, fLength);
        fLength = 0;
    }

    bool Failed() const { return fFailed; }

private:
    void Write(uint32_t cp) {
        if (sizeof fBuf - fLength < 4) Drain();
        unsigned char* b = fBuf + fLength;
        if (cp < 0x80) {
            b[0] = static_cast<unsigned char>(cp);
            fLength += 1;
        } else if (cp < 0x800) {
            b[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
            b[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            fLength += 2;
        } else if (cp < 0x10000) {
            if (cp >= 0xD800 && cp <= 0xDFFF) return;
            b[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
            b[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            b[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            fLength += 3;
        } else if (cp <= 0x10FFFF) {
            b[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
            b[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            b[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            b[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            fLength += 4;
        }
    }

    LStrBuf& fOut;
    LVariBuffer<uint32_t> fMarks;
    uint32_t fCount = 0;
    unsigned char fBuf[1024];
    uint32_t fLength = 0;
    bool fFailed = false;
};

}  // namespace

uint8_t UnicodeDecomp::CombiningClass(uint32_t cp) {
    return ClassOf(cp);
}

// Text that needs no change is copied in runs: starters that do not decompose, and combining
// marks that follow in canonical order. A run's trailing marks go back to the decomposer when a
// later mark or decomposition has to be ordered among them.
bool UnicodeDecomp::DecomposeUtf8(const unsigned char* text, uint32_t length, LStrBuf& out) {
    Decomposer d(out);
    uint32_t pos = 0;
    uint32_t run = 0;       // start of the text not yet handed on
    uint32_t marks = 0;     // start of the run's trailing marks
    uint8_t lastClass = 0;  // class of the run's last code point
    bool ok = true;
    // Hands on the run up to its trailing marks and queues those marks for ordering.
    auto spill = [&](uint32_t end) {
        d.Copy(text + run, marks - run);
        for (uint32_t at = marks; at < end;) {
            uint32_t cp;
            (void)UUtf8::Decode(text, length, at, cp);  // decoded once already
            d.AddMark(ClassOf(cp), cp);
        }
        lastClass = 0;
    };
    while (pos < length) {
        if (text[pos] < 0x80) {
            if (d.HasMarks()) {
                d.Flush();
                run = pos;
            }
            lastClass = 0;
            ++pos;
            continue;
        }
        const uint32_t start = pos;
        uint32_t cp;
        if (!UUtf8::Decode(text, length, pos, cp)) {
            ok = false;
            pos = start;
            break;
        }
        uint32_t leaf = 0, rank = 0;
        const bool decomposes =
            !IsPlainStarter(cp) && (IsHangulSyllable(cp) || FindDecomposition(cp, leaf, rank));
        if (!decomposes) {
            const uint8_t cc = IsPlainStarter(cp) ? 0 : ClassOf(cp);
            if (cc == 0) {
                if (d.HasMarks()) {
                    d.Flush();
                    run = start;
                }
                lastClass = 0;
                continue;
            }
            if (!d.HasMarks()) {
                if (cc >= lastClass) {  // still in canonical order
                    if (lastClass == 0) marks = start;
                    lastClass = cc;
                    continue;
                }
                spill(start);
            }
            d.AddMark(cc, cp);
            run = pos;
            continue;
        }
        if (!d.HasMarks()) {
            if (lastClass) {
                spill(start);
            } else {
                d.Copy(text + run, start - run);
            }
        }
        if (IsHangulSyllable(cp)) {
            d.Put(cp);
        } else {
            d.Expand(leaf, rank);
        }
        run = pos;
        lastClass = 0;
    }
    if (!d.HasMarks()) d.Copy(text + run, pos - run);
    d.Flush();
    d.Drain();
    return ok && !d.Failed();
}

bool UnicodeDecomp::DecomposeUtf8(const unsigned char* text, LStrBuf& out) {
    return DecomposeUtf8(text, UString::LengthOf(text), out);
}

const char* UnicodeDecomp::Version() {
    return kUnicodeVersion;
}
