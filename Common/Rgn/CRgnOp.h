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
    // Writes the current line at the given y unless it repeats the previous one.
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
    bool Put(const int32_t* words, uint32_t n);

    Source fSrc[2];
    int32_t fY = INT32_MIN;
    CLRect fBounds{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    CRgnLine fLine;
    CRgnLine fPrev;
    int32_t* fOut = nullptr;
    uint32_t fOutCount = 1;  // word 0 is written last
    uint32_t fOutCapacity = 0;
    bool fFailed = false;
};
