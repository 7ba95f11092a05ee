#pragma once

#include <cstdint>

#include "Common/Container/CArray.h"
#include "Common/Rgn/CRgn.h"

// The working line of a region operation: sorted, non-touching ranges. Each operation returns
// false only when the line could not grow.
class CRgnLine : public CArray<SRgnData::SRange> {
public:
    using SRange = SRgnData::SRange;

    bool LoadLine(const SRange* r, uint32_t n) { return SetElements(r, n); }
    bool AndLine(const SRange* r, uint32_t n) { return Combine(r, n, kAnd); }
    bool OrLine(const SRange* r, uint32_t n) { return Combine(r, n, kOr); }
    bool XorLine(const SRange* r, uint32_t n) { return Combine(r, n, kXor); }
    bool MinusLine(const SRange* r, uint32_t n) { return Combine(r, n, kMinus); }
    // Moves every range by dx, saturating; ranges that become empty go.
    bool ShiftLine(int32_t dx);
    bool SameAs(const CRgnLine& other) const;

    enum Op : uint8_t { kAnd, kOr, kXor, kMinus };
    bool Combine(const SRange* r, uint32_t n, Op op);

    // Combines two lines given as their range ends (x1, x2, x1, x2, ...: strictly increasing) into
    // out, which has room for na + nb ends; returns the number of ends written.
    static uint32_t CombineEnds(const int32_t* a, uint32_t na, const int32_t* b, uint32_t nb, int32_t* out,
                                Op op);
};

// The band walker shared by the region operations: walks the lines of up to two regions,
// combines each band's ranges and writes the canonical result.
class CRgnOp {
public:
    CRgnOp(const CRgnData* a, const CRgnData* b);
    ~CRgnOp();
    CRgnOp(const CRgnOp&) = delete;
    CRgnOp& operator=(const CRgnOp&) = delete;

    // Advances to the next band; false when both sources are exhausted.
    bool Next();
    int32_t BandY() const { return fY; }
    // The current band's ranges of each source.
    const SRgnData::SRange* Ranges(int source, uint32_t& n) const;

    CRgnLine& Line() { return fLine; }
    void Fail() { fFailed = true; }
    // Writes the working line at the given y unless it repeats the previous one.
    void WriteLine(int32_t y);
    // The result (null when empty or failed); the output buffer becomes its scan data.
    CRgnData* MakeRgnData();

    // Runs a whole walk applying one line operation per band.
    static CRgnData* Run(const CRgnData* a, const CRgnData* b, CRgnLine::Op op);

private:
    struct Source {
        const int32_t* next = nullptr;
        const int32_t* end = nullptr;
        const SRgnData::SRange* ranges = nullptr;
        uint32_t n = 0;
        int32_t rect[7];  // the scan form of a plain rectangle
    };
    void Setup(Source& s, const CRgnData* d);
    // Makes room for that many words after the written ones; null when it cannot.
    int32_t* ReserveWords(uint64_t words);
    // Makes room for a line of n ranges; null when it cannot, else where its ranges go.
    int32_t* Reserve(uint32_t n);
    // Keeps the line of n ranges placed at Reserve's address unless it repeats the previous one.
    void Commit(int32_t y, uint32_t n);
    // Writes the source's lines that start above limit as they are, or passes them writing one
    // empty line; either way they become the source's current line.
    void CopyLines(Source& s, int64_t limit);
    void SkipLines(Source& s, int64_t limit);

    Source fSrc[2];
    int32_t fY = INT32_MIN;
    CLRect fBounds{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    CRgnLine fLine;
    int32_t* fOut = nullptr;
    uint32_t fOutCount = 1;  // word 0 is written last
    uint32_t fOutCapacity = 0;
    uint32_t fPrevLine = 0;  // index of the last kept line's y; 0 before the first
    bool fFailed = false;
};
