#include "Common/Rgn/CRgnOp.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

using SRange = SRgnData::SRange;

bool Apply(bool a, bool b, CRgnLine::Op op) {
    switch (op) {
        case CRgnLine::kAnd:
            return a && b;
        case CRgnLine::kOr:
            return a || b;
        case CRgnLine::kXor:
            return a != b;
        default:
            return a && !b;
    }
}

int32_t Saturate(int64_t v) {
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

}  // namespace

// Sweeps the range ends of both lines; coverage of each side toggles at its ends because ranges
// of one line never touch. Output ends are emitted only where the combined coverage changes, so
// touching results merge.
bool CRgnLine::Combine(const SRange* b, uint32_t nb, Op op) {
    const uint32_t na = Count();
    const SRange* a = Data();
    CArray<SRange> out;
    uint32_t ia = 0, ib = 0;  // edge indices: 2 * range + (0 start, 1 end)
    bool inA = false, inB = false, in = false;
    int32_t start = 0;
    while (ia < 2 * na || ib < 2 * nb) {
        const int64_t xa = ia < 2 * na ? (ia & 1 ? a[ia / 2].x2 : a[ia / 2].x1) : INT64_MAX;
        const int64_t xb = ib < 2 * nb ? (ib & 1 ? b[ib / 2].x2 : b[ib / 2].x1) : INT64_MAX;
        const int64_t x = xa < xb ? xa : xb;
        if (xa == x) {
            inA = !inA;
            ++ia;
        }
        if (xb == x) {
            inB = !inB;
            ++ib;
        }
        const bool now = Apply(inA, inB, op);
        if (now == in) continue;
        in = now;
        if (in) {
            start = static_cast<int32_t>(x);
        } else if (!out.Append(SRange{start, static_cast<int32_t>(x)})) {
            return false;
        }
    }
    return SetElements(out.Data(), out.Count());
}

bool CRgnLine::ShiftLine(int32_t dx) {
    uint32_t w = 0;
    for (uint32_t i = 0; i < Count(); ++i) {
        SRange r = (*this)[i];
        r.x1 = Saturate(int64_t{r.x1} + dx);
        r.x2 = Saturate(int64_t{r.x2} + dx);
        if (r.x1 < r.x2) (*this)[w++] = r;
    }
    Remove(w, Count() - w);
    return true;
}

bool CRgnLine::SameAs(const CRgnLine& other) const {
    return Count() == other.Count() &&
           (Count() == 0 || std::memcmp(Data(), other.Data(), Count() * sizeof(SRange)) == 0);
}

CRgnOp::CRgnOp(const CRgnData* a, const CRgnData* b) {
    Setup(fSrc[0], a);
    Setup(fSrc[1], b);
}

CRgnOp::~CRgnOp() {
    std::free(fOut);
}

void CRgnOp::Setup(Source& s, const CRgnData* d) {
    if (!d) return;
    const int32_t* words = d->fScan;
    if (!words) {
        const CLRect& r = d->fBounds;
        const int32_t form[7] = {7, r.top, 1, r.left, r.right, r.bottom, 0};
        std::memcpy(s.rect, form, sizeof form);
        words = s.rect;
    }
    s.next = words + 1;
    s.end = words + words[0];
}

bool CRgnOp::Next() {
    int64_t y = INT64_MAX;
    for (const Source& s : fSrc)
        if (s.next < s.end && s.next[0] < y) y = s.next[0];
    if (y == INT64_MAX) return false;
    for (Source& s : fSrc) {
        if (s.next >= s.end || s.next[0] != y) continue;
        s.n = static_cast<uint32_t>(s.next[1]);
        s.ranges = reinterpret_cast<const SRange*>(s.next + 2);
        s.next += 2 + 2 * s.n;
    }
    fY = static_cast<int32_t>(y);
    if (!fLine.LoadLine(fSrc[0].ranges, fSrc[0].n)) fFailed = true;
    return true;
}

const SRange* CRgnOp::Ranges(int source, uint32_t& n) const {
    n = fSrc[source].n;
    return fSrc[source].ranges;
}

bool CRgnOp::Put(const int32_t* words, uint32_t n) {
    if (n == 0) return true;
    if (fOutCount + n > fOutCapacity) {
        uint32_t capacity = fOutCapacity ? fOutCapacity : 1024;  // 4096 bytes
        while (capacity < fOutCount + n) {
            if (capacity > 0x3FFFFFFF) return false;
            capacity *= 2;
        }
        int32_t* grown = static_cast<int32_t*>(std::realloc(fOut, capacity * sizeof(int32_t)));
        if (!grown) return false;
        fOut = grown;
        fOutCapacity = capacity;
    }
    std::memcpy(fOut + fOutCount, words, n * sizeof(int32_t));
    fOutCount += n;
    return true;
}

void CRgnOp::WriteLine(int32_t y) {
    if (fFailed || fLine.SameAs(fPrev)) return;
    const int32_t head[2] = {y, static_cast<int32_t>(fLine.Count())};
    if (!Put(head, 2) || !Put(reinterpret_cast<const int32_t*>(fLine.Data()), 2 * fLine.Count())) {
        fFailed = true;
        return;
    }
    if (fLine.Count() > 0) {
        if (fLine[0].x1 < fBounds.left) fBounds.left = fLine[0].x1;
        if (fLine[fLine.Count() - 1].x2 > fBounds.right) fBounds.right = fLine[fLine.Count() - 1].x2;
    }
    if (y < fBounds.top) fBounds.top = y;
    if (y > fBounds.bottom) fBounds.bottom = y;
    if (!fPrev.LoadLine(fLine.Data(), fLine.Count())) fFailed = true;
}

CRgnData* CRgnOp::MakeRgnData() {
    if (fFailed || fOutCount <= 1) return nullptr;
    fOut[0] = static_cast<int32_t>(fOutCount);
    if (fOutCount == 7) return new (std::nothrow) CRgnData(fBounds, nullptr);
    int32_t* scan = fOut;
    if (fOutCapacity > fOutCount) {  // give back the slack; keep the block if that fails
        int32_t* fitted = static_cast<int32_t*>(std::realloc(fOut, fOutCount * sizeof(int32_t)));
        if (fitted) scan = fitted;
    }
    fOut = nullptr;
    fOutCapacity = 0;
    CRgnData* data = new (std::nothrow) CRgnData(fBounds, scan);
    if (!data) std::free(scan);
    return data;
}

CRgnData* CRgnOp::Run(const CRgnData* a, const CRgnData* b, CRgnLine::Op op) {
    CRgnOp walk(a, b);
    while (walk.Next()) {
        uint32_t n;
        const SRange* r = walk.Ranges(1, n);
        if (!walk.Line().Combine(r, n, op)) {
            walk.Fail();
            break;
        }
        walk.WriteLine(walk.BandY());
    }
    return walk.MakeRgnData();
}
