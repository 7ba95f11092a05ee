#include "Common/Rgn/CRgn.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "Common/Container/CArray.h"
#include "Common/Rgn/CRgnOp.h"

namespace {

using SRange = SRgnData::SRange;

int32_t Saturate(int64_t v) {
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

// Walks the lines of scan words: y, count, ranges, and the next line's y (INT32_MAX after the last).
struct LineCursor {
    const int32_t* p;
    const int32_t* end;
    explicit LineCursor(const int32_t* scan) : p(scan + 1), end(scan + scan[0]) {}
    bool More() const { return p < end; }
    int32_t Y() const { return p[0]; }
    uint32_t N() const { return static_cast<uint32_t>(p[1]); }
    const SRange* Ranges() const { return reinterpret_cast<const SRange*>(p + 2); }
    const int32_t* After() const { return p + 2 + 2 * N(); }
    int32_t NextY() const { return After() < end ? After()[0] : INT32_MAX; }
    void Step() { p = After(); }
};

}  // namespace

CRgnData* CRgnData::Make(const CLRect& r) {
    if (r.IsEmpty()) return nullptr;
    return new (std::nothrow) CRgnData(r, nullptr);
}

CRgnData::~CRgnData() {
    std::free(fScan);
}

CLRect CRgn::bounds() const {
    return RgnData() ? RgnData()->fBounds : CLRect{};
}

void CRgn::SetRect(const CLRect& r) {
    if (r.IsEmpty()) {
        SetData(nullptr);
        return;
    }
    CRgnData* d = const_cast<CRgnData*>(RgnData());
    if (d && d->Count() <= 1 && !d->fScan) {  // not shared: change in place
        d->fBounds = r;
        return;
    }
    SetData(CRgnData::Make(r));
}

bool CRgn::Contain(const CLPoint& pt) const {
    const CRgnData* d = RgnData();
    if (!d) return false;
    const CLRect& b = d->fBounds;
    if (pt.x < b.left || pt.x >= b.right || pt.y < b.top || pt.y >= b.bottom) return false;
    if (!d->fScan) return true;
    for (LineCursor c(d->fScan); c.More(); c.Step()) {
        if (pt.y < c.Y() || pt.y >= c.NextY()) continue;
        for (uint32_t i = 0; i < c.N(); ++i)
            if (c.Ranges()[i].x1 <= pt.x && pt.x < c.Ranges()[i].x2) return true;
        return false;
    }
    return false;
}

bool CRgn::Contain(const CLRect& r) const {
    const CRgnData* d = RgnData();
    if (!d || !d->fBounds.overlap(r)) return false;
    if (!d->fScan) return true;
    for (LineCursor c(d->fScan); c.More(); c.Step()) {
        if (c.Y() >= r.bottom) break;
        if (c.NextY() <= r.top) continue;
        for (uint32_t i = 0; i < c.N(); ++i)
            if (c.Ranges()[i].x1 < r.right && r.left < c.Ranges()[i].x2) return true;
    }
    return false;
}

bool CRgn::operator==(const CRgn& other) const {
    const CRgnData* a = RgnData();
    const CRgnData* b = other.RgnData();
    if (a == b) return true;
    if (!a || !b) return false;
    if (!a->fScan && !b->fScan) return a->fBounds == b->fBounds;
    if (!a->fScan || !b->fScan) return false;
    return a->fScan[0] == b->fScan[0] &&
           std::memcmp(a->fScan, b->fScan, static_cast<size_t>(a->fScan[0]) * sizeof(int32_t)) == 0;
}

CRgn& CRgn::operator&=(const CRgn& other) {
    const CRgnData* a = RgnData();
    const CRgnData* b = other.RgnData();
    if (!a || !b || !a->fBounds.overlap(b->fBounds)) {
        SetData(nullptr);
        return *this;
    }
    if (!a->fScan && !b->fScan) {
        const CLRect r{a->fBounds.left > b->fBounds.left ? a->fBounds.left : b->fBounds.left,
                       a->fBounds.top > b->fBounds.top ? a->fBounds.top : b->fBounds.top,
                       a->fBounds.right < b->fBounds.right ? a->fBounds.right : b->fBounds.right,
                       a->fBounds.bottom < b->fBounds.bottom ? a->fBounds.bottom : b->fBounds.bottom};
        SetRect(r);
        return *this;
    }
    Adopt(CRgnOp::Run(a, b, CRgnLine::kAnd));
    return *this;
}

CRgn& CRgn::operator|=(const CRgn& other) {
    if (other.IsEmpty() || Data() == other.Data()) return *this;
    if (IsEmpty()) {
        SetData(other.Data());
        return *this;
    }
    Adopt(CRgnOp::Run(RgnData(), other.RgnData(), CRgnLine::kOr));
    return *this;
}

CRgn& CRgn::operator^=(const CRgn& other) {
    if (other.IsEmpty()) return *this;
    if (IsEmpty()) {
        SetData(other.Data());
        return *this;
    }
    if (*this == other) {
        SetData(nullptr);
        return *this;
    }
    Adopt(CRgnOp::Run(RgnData(), other.RgnData(), CRgnLine::kXor));
    return *this;
}

CRgn& CRgn::operator-=(const CRgn& other) {
    if (IsEmpty() || other.IsEmpty()) return *this;
    if (Data() == other.Data()) {
        SetData(nullptr);
        return *this;
    }
    if (!RgnData()->fBounds.overlap(other.RgnData()->fBounds)) return *this;
    Adopt(CRgnOp::Run(RgnData(), other.RgnData(), CRgnLine::kMinus));
    return *this;
}

void CRgn::Shift(int32_t dx, int32_t dy) {
    const CRgnData* d = RgnData();
    if (!d || (dx == 0 && dy == 0)) return;
    if (!d->fScan) {
        const CLRect& b = d->fBounds;
        SetRect({Saturate(int64_t{b.left} + dx), Saturate(int64_t{b.top} + dy),
                 Saturate(int64_t{b.right} + dx), Saturate(int64_t{b.bottom} + dy)});
        return;
    }
    CRgnOp walk(nullptr, nullptr);
    for (LineCursor c(d->fScan); c.More(); c.Step()) {
        const int32_t y = Saturate(int64_t{c.Y()} + dy);
        // Lines that saturate onto the same y: the last one holds the band.
        if (c.After() < c.end && Saturate(int64_t{c.NextY()} + dy) == y) continue;
        CRgnLine& line = walk.Line();
        if (y == INT32_MAX) {
            line.RemoveAll();  // a band of no height
        } else if (!line.LoadLine(c.Ranges(), c.N()) || !line.ShiftLine(dx)) {
            walk.Fail();
            break;
        }
        walk.WriteLine(y);
    }
    Adopt(walk.MakeRgnData());
}

namespace {

CLRect Grown(const CLRect& r, int32_t gx, int32_t gy) {
    return CLRect{Saturate(int64_t{r.left} - gx), Saturate(int64_t{r.top} - gy),
                  Saturate(int64_t{r.right} + gx), Saturate(int64_t{r.bottom} + gy)};
}

// Every point within gx, gy of the region (the union of its rectangles, each grown).
CRgn Dilated(const CRgn& region, int32_t gx, int32_t gy) {
    CArray<CLRect> rects;
    region.GetRects(rects);
    CRgn out;
    for (const CLRect& r : rects) out |= CRgn(Grown(r, gx, gy));
    return out;
}

}  // namespace

// Shrinking keeps the points whose whole (2 sx + 1) × (2 sy + 1) neighbourhood lies in the region:
// the region minus the grown complement. Growing adds every point within the distance.
void CRgn::Inset(int32_t dx, int32_t dy) {
    if (IsEmpty()) return;
    const int32_t sx = dx > 0 ? dx : 0, sy = dy > 0 ? dy : 0;
    if (sx || sy) {
        CRgn complement(Grown(bounds(), sx, sy));
        complement -= *this;
        *this -= Dilated(complement, sx, sy);
    }
    const int32_t gx = dx < 0 ? Saturate(-int64_t{dx}) : 0, gy = dy < 0 ? Saturate(-int64_t{dy}) : 0;
    if ((gx || gy) && !IsEmpty()) *this = Dilated(*this, gx, gy);
}

void CRgn::Map(const CLRect& from, const CLRect& to) {
    if (IsEmpty()) return;
    const int64_t fw = int64_t{from.right} - from.left, fh = int64_t{from.bottom} - from.top;
    const int64_t tw = int64_t{to.right} - to.left, th = int64_t{to.bottom} - to.top;
    if (fw == tw && fh == th) {
        Shift(Saturate(int64_t{to.left} - from.left), Saturate(int64_t{to.top} - from.top));
        return;
    }
    CArray<CLRect> rects;
    GetRects(rects);
    CRgn result;
    for (CLRect r : rects) {
        r.Map(from, to);
        result |= CRgn(r);
    }
    *this = result;
}

void CRgn::GetCGRects(std::vector<plat::Rect>& out) const {
    CArray<CLRect> rects;
    GetRects(rects);
    for (const CLRect& r : rects)
        out.push_back({double(r.left), double(r.top), double(int64_t{r.right} - r.left),
                       double(int64_t{r.bottom} - r.top)});
}

void CRgn::GetRects(CArray<CLRect>& rects) const {
    const CRgnData* d = RgnData();
    if (!d) return;
    if (!d->fScan) {
        rects.Append(d->fBounds);
        return;
    }
    for (LineCursor c(d->fScan); c.More(); c.Step())
        for (uint32_t i = 0; i < c.N(); ++i)
            rects.Append(CLRect{c.Ranges()[i].x1, c.Y(), c.Ranges()[i].x2, c.NextY()});
}
