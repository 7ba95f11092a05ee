#include "Common/Rgn/CRgnOp.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

using SRange = SRgnData::SRange;

// Coverage of each side toggles at its range ends (ranges of one line never touch), so the xor
// toggles at every end of either line but those both share.
uint32_t XorEnds(const int32_t* a, uint32_t na, const int32_t* b, uint32_t nb, int32_t* out) {
    uint32_t i = 0, j = 0, w = 0;
    while (i < na && j < nb) {
        // Branch-free: the end is always stored and kept unless both lines have it.
        const int32_t xa = a[i], xb = b[j];
        out[w] = xa < xb ? xa : xb;
        w += xa != xb;
        i += xa <= xb;
        j += xb <= xa;
    }
    if (i < na) {
        std::memcpy(out + w, a + i, (na - i) * sizeof(int32_t));
        w += na - i;
    } else if (j < nb) {
        std::memcpy(out + w, b + j, (nb - j) * sizeof(int32_t));
        w += nb - j;
    }
    return w;
}

// The forms below walk a range, an (x1, x2) pair, per step.

// Ranges in order of x1, each merged into the open one when it overlaps or touches it.
uint32_t UnionEnds(const int32_t* a, uint32_t na, const int32_t* b, uint32_t nb, int32_t* out) {
    if (na == 0 || nb == 0) {
        const int32_t* from = na ? a : b;
        const uint32_t n = na ? na : nb;
        if (n) std::memcpy(out, from, n * sizeof(int32_t));
        return n;
    }
    uint32_t i = 0, j = 0, w = 0;
    int32_t x1, x2;
    if (a[0] < b[0]) {
        x1 = a[0], x2 = a[1], i = 2;
    } else {
        x1 = b[0], x2 = b[1], j = 2;
    }
    for (;;) {
        const int32_t* r;
        if (i < na && (j >= nb || a[i] < b[j])) {
            r = a + i;
            i += 2;
        } else if (j < nb) {
            r = b + j;
            j += 2;
        } else {
            break;
        }
        if (r[0] <= x2) {
            if (r[1] > x2) x2 = r[1];
        } else {
            out[w] = x1;
            out[w + 1] = x2;
            w += 2;
            x1 = r[0];
            x2 = r[1];
        }
    }
    out[w] = x1;
    out[w + 1] = x2;
    return w + 2;
}

uint32_t IntersectEnds(const int32_t* a, uint32_t na, const int32_t* b, uint32_t nb, int32_t* out) {
    uint32_t i = 0, j = 0, w = 0;
    while (i < na && j < nb) {
        const int32_t lo = a[i] > b[j] ? a[i] : b[j];
        const int32_t hi = a[i + 1] < b[j + 1] ? a[i + 1] : b[j + 1];
        out[w] = lo;
        out[w + 1] = hi;
        w += lo < hi ? 2 : 0;
        const int32_t ea = a[i + 1], eb = b[j + 1];
        i += ea <= eb ? 2 : 0;
        j += eb <= ea ? 2 : 0;
    }
    return w;
}

// Each range of a, cut by the ranges of b that reach into it.
uint32_t MinusEnds(const int32_t* a, uint32_t na, const int32_t* b, uint32_t nb, int32_t* out) {
    uint32_t j = 0, w = 0;
    for (uint32_t i = 0; i < na; i += 2) {
        int32_t x1 = a[i];
        const int32_t x2 = a[i + 1];
        while (j < nb && b[j + 1] <= x1) j += 2;
        while (j < nb && b[j] < x2) {
            if (b[j] > x1) {
                out[w] = x1;
                out[w + 1] = b[j];
                w += 2;
            }
            if (b[j + 1] >= x2) {
                x1 = x2;
                break;
            }
            x1 = b[j + 1];
            j += 2;
        }
        if (x1 < x2) {
            out[w] = x1;
            out[w + 1] = x2;
            w += 2;
        }
    }
    return w;
}

int32_t Saturate(int64_t v) {
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

const int32_t* Ends(const SRange* r) {
    return reinterpret_cast<const int32_t*>(r);
}

}  // namespace

uint32_t CRgnLine::CombineEnds(const int32_t* a, uint32_t na, const int32_t* b, uint32_t nb, int32_t* out,
                               Op op) {
    switch (op) {
        case kAnd:
            return IntersectEnds(a, na, b, nb, out);
        case kOr:
            return UnionEnds(a, na, b, nb, out);
        case kXor:
            return XorEnds(a, na, b, nb, out);
        default:
            return MinusEnds(a, na, b, nb, out);
    }
}

bool CRgnLine::Combine(const SRange* b, uint32_t nb, Op op) {
    CArray<SRange> out;
    if (!out.SetElements(nullptr, Count() + nb)) return false;
    const uint32_t ends =
        CombineEnds(Ends(Data()), 2 * Count(), Ends(b), 2 * nb, reinterpret_cast<int32_t*>(out.Data()), op);
    return SetElements(out.Data(), ends / 2);
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
    return true;
}

const SRange* CRgnOp::Ranges(int source, uint32_t& n) const {
    n = fSrc[source].n;
    return fSrc[source].ranges;
}

int32_t* CRgnOp::ReserveWords(uint64_t words) {
    if (fFailed) return nullptr;
    const uint64_t need = uint64_t{fOutCount} + words;
    if (need > fOutCapacity) {
        uint64_t capacity = fOutCapacity ? fOutCapacity : 1024;  // 4096 bytes
        while (capacity < need) capacity *= 2;
        if (capacity > 0x3FFFFFFF) {
            fFailed = true;
            return nullptr;
        }
        int32_t* grown = static_cast<int32_t*>(std::realloc(fOut, capacity * sizeof(int32_t)));
        if (!grown) {
            fFailed = true;
            return nullptr;
        }
        fOut = grown;
        fOutCapacity = static_cast<uint32_t>(capacity);
    }
    return fOut + fOutCount;
}

int32_t* CRgnOp::Reserve(uint32_t n) {
    int32_t* line = ReserveWords(2 + 2 * uint64_t{n});
    return line ? line + 2 : nullptr;
}

void CRgnOp::Commit(int32_t y, uint32_t n) {
    if (fFailed) return;
    int32_t* line = fOut + fOutCount;
    if (fPrevLine) {
        const int32_t* prev = fOut + fPrevLine;
        if (static_cast<uint32_t>(prev[1]) == n) {
            uint32_t i = 2;
            while (i < 2 + 2 * n && prev[i] == line[i]) ++i;
            if (i == 2 + 2 * n) return;
        }
    } else if (n == 0) {
        return;  // no empty lines ahead of the first
    }
    line[0] = y;
    line[1] = static_cast<int32_t>(n);
    if (n > 0) {
        if (line[2] < fBounds.left) fBounds.left = line[2];
        if (line[1 + 2 * n] > fBounds.right) fBounds.right = line[1 + 2 * n];
    }
    if (y < fBounds.top) fBounds.top = y;
    if (y > fBounds.bottom) fBounds.bottom = y;
    fPrevLine = fOutCount;
    fOutCount += 2 + 2 * n;
}

// The source's lines are canonical, so of those copied only the first can repeat the line before it.
void CRgnOp::CopyLines(Source& s, int64_t limit) {
    const int32_t* p = s.next;
    if (p >= s.end || p[0] >= limit) return;
    const uint32_t n0 = static_cast<uint32_t>(p[1]);
    int32_t* first = Reserve(n0);
    if (!first) return;
    std::memcpy(first, p + 2, n0 * sizeof(SRange));
    Commit(p[0], n0);
    s.n = n0;
    s.ranges = reinterpret_cast<const SRange*>(p + 2);
    p += 2 + 2 * n0;
    const int32_t* from = p;
    const int32_t* last = nullptr;
    int32_t left = fBounds.left, right = fBounds.right;
    while (p < s.end && p[0] < limit) {
        const uint32_t n = static_cast<uint32_t>(p[1]);
        if (n) {
            if (p[2] < left) left = p[2];
            if (p[1 + 2 * n] > right) right = p[1 + 2 * n];
        }
        last = p;
        p += 2 + 2 * n;
    }
    s.next = p;
    if (!last) return;
    const auto words = static_cast<uint32_t>(p - from);
    int32_t* out = ReserveWords(words);
    if (!out) return;
    std::memcpy(out, from, words * sizeof(int32_t));
    fPrevLine = fOutCount + static_cast<uint32_t>(last - from);
    fOutCount += words;
    fBounds.left = left;
    fBounds.right = right;
    if (from[0] < fBounds.top) fBounds.top = from[0];
    if (last[0] > fBounds.bottom) fBounds.bottom = last[0];
    s.n = static_cast<uint32_t>(last[1]);
    s.ranges = reinterpret_cast<const SRange*>(last + 2);
}

// Passes the source's lines that start above limit; the result has no ranges there.
void CRgnOp::SkipLines(Source& s, int64_t limit) {
    const int32_t* p = s.next;
    if (p >= s.end || p[0] >= limit) return;
    if (Reserve(0)) Commit(p[0], 0);
    const int32_t* last = p;
    while (p < s.end && p[0] < limit) {
        last = p;
        p += 2 + 2 * static_cast<uint32_t>(p[1]);
    }
    s.next = p;
    s.n = static_cast<uint32_t>(last[1]);
    s.ranges = reinterpret_cast<const SRange*>(last + 2);
}

void CRgnOp::WriteLine(int32_t y) {
    int32_t* ranges = Reserve(fLine.Count());
    if (!ranges) return;
    if (fLine.Count()) std::memcpy(ranges, fLine.Data(), fLine.Count() * sizeof(SRange));
    Commit(y, fLine.Count());
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
    Source& sa = walk.fSrc[0];
    Source& sb = walk.fSrc[1];
    // Most results are about as large as the sources together.
    const uint64_t guess =
        uint64_t(sa.end - sa.next) + (op == CRgnLine::kOr || op == CRgnLine::kXor ? sb.end - sb.next : 0);
    if (!walk.ReserveWords(guess + 16)) return nullptr;
    const bool keepA = op != CRgnLine::kAnd;
    const bool keepB = op == CRgnLine::kOr || op == CRgnLine::kXor;
    while (walk.Next()) {
        int32_t* out = walk.Reserve(sa.n + sb.n);
        if (!out) break;
        const uint32_t ends =
            CRgnLine::CombineEnds(Ends(sa.ranges), 2 * sa.n, Ends(sb.ranges), 2 * sb.n, out, op);
        walk.Commit(walk.fY, ends / 2);
        // Where one side has no ranges until its next line, the other's lines pass whole or go.
        const int64_t ya = sa.next < sa.end ? sa.next[0] : INT64_MAX;
        const int64_t yb = sb.next < sb.end ? sb.next[0] : INT64_MAX;
        if (sb.n == 0 && ya < yb) {
            if (keepA)
                walk.CopyLines(sa, yb);
            else
                walk.SkipLines(sa, yb);
        } else if (sa.n == 0 && yb < ya) {
            if (keepB)
                walk.CopyLines(sb, ya);
            else
                walk.SkipLines(sb, ya);
        }
    }
    return walk.MakeRgnData();
}
