#include "vos/VGeometry.h"

#include <stdint.h>

VOS_NAMESPACE_BEGIN

namespace {

// Coordinates wrap as 32-bit two's-complement numbers, as they do on the
// 32-bit targets, instead of overflowing into undefined behaviour.
inline int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }
inline int32_t Add(int32_t a, long b) { return Wrap(static_cast<int64_t>(a) + static_cast<int64_t>(b)); }
inline int32_t Sub(int32_t a, long b) { return Wrap(static_cast<int64_t>(a) - static_cast<int64_t>(b)); }
inline int32_t Neg(int32_t a) { return Wrap(-static_cast<int64_t>(a)); }
inline int32_t Min(int32_t a, int32_t b) { return a < b ? a : b; }
inline int32_t Max(int32_t a, int32_t b) { return a > b ? a : b; }

inline void Set(_VRect& r, int32_t l, int32_t t, int32_t rt, int32_t b) {
    r.left = l;
    r.top = t;
    r.right = rt;
    r.bottom = b;
}

inline int Contains(const _VRect& r, int64_t x, int64_t y) {
    return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
}

inline int Empty(const _VRect& r) { return r.left == r.right || r.top == r.bottom; }

// v * mul / div rounded to nearest with halves away from zero, held within
// the 32-bit range. The product of two 32-bit values fits in 64 bits.
int32_t Scale(int32_t v, int64_t mul, int64_t div) {
    const int64_t num = static_cast<int64_t>(v) * mul;
    const bool negative = (num < 0) != (div < 0);
    const uint64_t n = num < 0 ? 0 - static_cast<uint64_t>(num) : static_cast<uint64_t>(num);
    const uint64_t d = div < 0 ? 0 - static_cast<uint64_t>(div) : static_cast<uint64_t>(div);
    const uint64_t q = (n + d / 2) / d;
    if (negative) return q > static_cast<uint64_t>(INT32_MAX) + 1 ? INT32_MIN : static_cast<int32_t>(-static_cast<int64_t>(q));
    return q > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(q);
}

}  // namespace

// ---- CVPoint ------------------------------------------------------------------

CVPoint::CVPoint() { x = y = 0; }
CVPoint::CVPoint(long ix, long iy) {
    x = Wrap(ix);
    y = Wrap(iy);
}
CVPoint::CVPoint(_VPoint p) {
    x = p.x;
    y = p.y;
}
CVPoint::CVPoint(_VSize s) {
    x = s.cx;
    y = s.cy;
}
CVPoint::CVPoint(unsigned long dw) {
    x = static_cast<int16_t>(static_cast<uint16_t>(dw & 0xFFFFu));
    y = static_cast<int16_t>(static_cast<uint16_t>((dw >> 16) & 0xFFFFu));
}

void CVPoint::Offset(long dx, long dy) {
    x = Add(x, dx);
    y = Add(y, dy);
}
void CVPoint::Offset(_VPoint p) { Offset(p.x, p.y); }
void CVPoint::Offset(_VSize s) { Offset(s.cx, s.cy); }

int CVPoint::operator==(_VPoint p) const { return x == p.x && y == p.y; }
int CVPoint::operator!=(_VPoint p) const { return x != p.x || y != p.y; }

CVPoint& CVPoint::operator+=(_VPoint p) {
    Offset(p.x, p.y);
    return *this;
}
CVPoint& CVPoint::operator+=(_VSize s) {
    Offset(s.cx, s.cy);
    return *this;
}
CVPoint& CVPoint::operator-=(_VPoint p) {
    Offset(Neg(p.x), Neg(p.y));
    return *this;
}
CVPoint& CVPoint::operator-=(_VSize s) {
    Offset(Neg(s.cx), Neg(s.cy));
    return *this;
}

CVPoint CVPoint::operator+(_VPoint p) const { return CVPoint(Add(x, p.x), Add(y, p.y)); }
CVPoint CVPoint::operator+(_VSize s) const { return CVPoint(Add(x, s.cx), Add(y, s.cy)); }
CVPoint CVPoint::operator-(_VSize s) const { return CVPoint(Sub(x, s.cx), Sub(y, s.cy)); }
CVSize CVPoint::operator-(_VPoint p) const { return CVSize(Sub(x, p.x), Sub(y, p.y)); }
CVPoint CVPoint::operator-() const { return CVPoint(Neg(x), Neg(y)); }

CVRect CVPoint::operator+(const _VRect* r) const {
    CVRect out(r);
    if (r != nullptr) out.OffsetRect(x, y);
    return out;
}
CVRect CVPoint::operator-(const _VRect* r) const {
    CVRect out(r);
    if (r != nullptr) out.OffsetRect(Neg(x), Neg(y));
    return out;
}

// ---- CVSize -------------------------------------------------------------------

CVSize::CVSize() { cx = cy = 0; }
CVSize::CVSize(long icx, long icy) {
    cx = Wrap(icx);
    cy = Wrap(icy);
}
CVSize::CVSize(_VSize s) {
    cx = s.cx;
    cy = s.cy;
}
CVSize::CVSize(_VPoint p) {
    cx = p.x;
    cy = p.y;
}

int CVSize::operator==(_VSize s) const { return cx == s.cx && cy == s.cy; }
int CVSize::operator!=(_VSize s) const { return cx != s.cx || cy != s.cy; }

CVSize& CVSize::operator+=(_VSize s) {
    cx = Add(cx, s.cx);
    cy = Add(cy, s.cy);
    return *this;
}
CVSize& CVSize::operator-=(_VSize s) {
    cx = Sub(cx, s.cx);
    cy = Sub(cy, s.cy);
    return *this;
}

CVSize CVSize::operator+(_VSize s) const { return CVSize(Add(cx, s.cx), Add(cy, s.cy)); }
CVSize CVSize::operator-(_VSize s) const { return CVSize(Sub(cx, s.cx), Sub(cy, s.cy)); }
CVSize CVSize::operator-() const { return CVSize(Neg(cx), Neg(cy)); }

CVPoint CVSize::operator+(_VPoint p) const { return CVPoint(Add(p.x, cx), Add(p.y, cy)); }
CVPoint CVSize::operator-(_VPoint p) const { return CVPoint(Sub(p.x, cx), Sub(p.y, cy)); }

CVRect CVSize::operator+(const _VRect* r) const {
    CVRect out(r);
    if (r != nullptr) out.OffsetRect(cx, cy);
    return out;
}
CVRect CVSize::operator-(const _VRect* r) const {
    CVRect out(r);
    if (r != nullptr) out.OffsetRect(Neg(cx), Neg(cy));
    return out;
}

// ---- CVRect: construction and access ------------------------------------------

CVRect::CVRect() { Set(*this, 0, 0, 0, 0); }
CVRect::CVRect(long l, long t, long r, long b) { Set(*this, Wrap(l), Wrap(t), Wrap(r), Wrap(b)); }
CVRect::CVRect(const _VRect& r) { Set(*this, r.left, r.top, r.right, r.bottom); }
CVRect::CVRect(const _VRect* r) {
    if (r == nullptr)
        Set(*this, 0, 0, 0, 0);
    else
        Set(*this, r->left, r->top, r->right, r->bottom);
}
CVRect::CVRect(_VPoint p, _VSize s) { Set(*this, p.x, p.y, Add(p.x, s.cx), Add(p.y, s.cy)); }
CVRect::CVRect(_VPoint tl, _VPoint br) { Set(*this, tl.x, tl.y, br.x, br.y); }

int CVRect::Width() const {
    const int64_t w = static_cast<int64_t>(right) - left;
    return Wrap(w < 0 ? -w : w);
}
int CVRect::Height() const {
    const int64_t h = static_cast<int64_t>(bottom) - top;
    return Wrap(h < 0 ? -h : h);
}
CVSize CVRect::Size() const { return CVSize(Width(), Height()); }
CVPoint CVRect::TopLeft() { return CVPoint(left, top); }
CVPoint CVRect::TopLeft() const { return CVPoint(left, top); }
CVPoint CVRect::BottomRight() { return CVPoint(right, bottom); }
CVPoint CVRect::BottomRight() const { return CVPoint(right, bottom); }
CVPoint CVRect::CenterPoint() const {
    // 64-bit sums cannot overflow; C++ division truncates toward zero.
    return CVPoint(static_cast<long>((static_cast<int64_t>(left) + right) / 2),
                   static_cast<long>((static_cast<int64_t>(top) + bottom) / 2));
}

CVRect::operator _VRect*() { return this; }
CVRect::operator const _VRect*() const { return this; }

void CVRect::SetRect(long l, long t, long r, long b) { Set(*this, Wrap(l), Wrap(t), Wrap(r), Wrap(b)); }
void CVRect::SetRect(_VPoint tl, _VPoint br) { Set(*this, tl.x, tl.y, br.x, br.y); }
void CVRect::SetRectEmpty() { Set(*this, 0, 0, 0, 0); }
void CVRect::CopyRect(const _VRect* r) {
    if (r != nullptr) Set(*this, r->left, r->top, r->right, r->bottom);
}
CVRect& CVRect::operator=(const _VRect& r) {
    Set(*this, r.left, r.top, r.right, r.bottom);
    return *this;
}
void CVRect::SwapLeftRight() { SwapLeftRight(this); }
void CVRect::SwapTopBottom() { SwapTopBottom(this); }
void CVRect::SwapLeftRight(_VRect* r) {
    if (r == nullptr) return;
    const int32_t t = r->left;
    r->left = r->right;
    r->right = t;
}
void CVRect::SwapTopBottom(_VRect* r) {
    if (r == nullptr) return;
    const int32_t t = r->top;
    r->top = r->bottom;
    r->bottom = t;
}

// ---- CVRect: tests --------------------------------------------------------------

int CVRect::IsRectEmpty() const { return Empty(*this); }
int CVRect::IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
int CVRect::PtInRect(_VPoint p) const { return Contains(*this, p.x, p.y); }
int CVRect::PtInRect(long x, long y) const { return Contains(*this, x, y); }
int CVRect::EqualRect(const _VRect* r) const { return r != nullptr && *this == *r; }
int CVRect::operator==(const _VRect& r) const {
    return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
}
int CVRect::operator!=(const _VRect& r) const { return !(*this == r); }

int CVRect::IsIntersect(const _VRect* a, const _VRect* b) {
    if (a == nullptr || b == nullptr) return 0;
    return b->left < a->right && a->left < b->right && a->top < b->bottom && b->top < a->bottom;
}

int CVRect::IsEqual(const _VRect* a, const _VRect* b) {
    if (a == nullptr || b == nullptr) return 0;
    return a->left >= b->left && a->top >= b->top && a->right <= b->right && a->bottom <= b->bottom;
}

// ---- CVRect: changes in place ---------------------------------------------------

void CVRect::InflateRect(long dx, long dy) { InflateRect(dx, dy, dx, dy); }
void CVRect::InflateRect(_VSize s) { InflateRect(s.cx, s.cy, s.cx, s.cy); }
void CVRect::InflateRect(long l, long t, long r, long b) {
    Set(*this, Sub(left, l), Sub(top, t), Add(right, r), Add(bottom, b));
}
void CVRect::InflateRect(const _VRect* r) {
    if (r != nullptr) InflateRect(r->left, r->top, r->right, r->bottom);
}
void CVRect::DeflateRect(long dx, long dy) { DeflateRect(dx, dy, dx, dy); }
void CVRect::DeflateRect(_VSize s) { DeflateRect(s.cx, s.cy, s.cx, s.cy); }
void CVRect::DeflateRect(long l, long t, long r, long b) {
    Set(*this, Add(left, l), Add(top, t), Sub(right, r), Sub(bottom, b));
}
void CVRect::DeflateRect(const _VRect* r) {
    if (r != nullptr) DeflateRect(r->left, r->top, r->right, r->bottom);
}
void CVRect::OffsetRect(long dx, long dy) { Set(*this, Add(left, dx), Add(top, dy), Add(right, dx), Add(bottom, dy)); }
void CVRect::OffsetRect(_VSize s) { OffsetRect(s.cx, s.cy); }
void CVRect::OffsetRect(_VPoint p) { OffsetRect(p.x, p.y); }
void CVRect::NormalizeRect() {
    if (right < left) SwapLeftRight();
    if (bottom < top) SwapTopBottom();
}

CVRect& CVRect::operator+=(_VPoint p) {
    OffsetRect(p.x, p.y);
    return *this;
}
CVRect& CVRect::operator+=(_VSize s) {
    OffsetRect(s.cx, s.cy);
    return *this;
}
CVRect& CVRect::operator-=(_VPoint p) {
    OffsetRect(Neg(p.x), Neg(p.y));
    return *this;
}
CVRect& CVRect::operator-=(_VSize s) {
    OffsetRect(Neg(s.cx), Neg(s.cy));
    return *this;
}
CVRect& CVRect::operator+=(const _VRect* r) {
    InflateRect(r);
    return *this;
}
CVRect& CVRect::operator-=(const _VRect* r) {
    DeflateRect(r);
    return *this;
}
CVRect& CVRect::operator&=(const _VRect& r) {
    const CVRect a(*this);
    if (!IntersectRect(&a, &r)) SetRectEmpty();
    return *this;
}
CVRect& CVRect::operator|=(const _VRect& r) {
    const CVRect a(*this);
    UnionRect(&a, &r);
    return *this;
}

int CVRect::IntersectRect(const _VRect* a, const _VRect* b) {
    if (!IsIntersect(a, b)) return 0;
    Set(*this, Max(a->left, b->left), Max(a->top, b->top), Min(a->right, b->right), Min(a->bottom, b->bottom));
    return 1;
}

int CVRect::UnionRect(const _VRect* a, const _VRect* b) {
    if (a == nullptr || b == nullptr) return 0;
    const int aEmpty = Empty(*a);
    const int bEmpty = Empty(*b);
    if (!aEmpty && !bEmpty) {
        Set(*this, Min(a->left, b->left), Min(a->top, b->top), Max(a->right, b->right), Max(a->bottom, b->bottom));
        return !IsRectEmpty();
    }
    *this = aEmpty ? *b : *a;
    return 1;
}

int CVRect::SubtractRect(const _VRect* a, const _VRect* b) {
    if (a == nullptr || b == nullptr) return 0;
    *this = *a;
    // The corners are the last pixels inside the exclusive right and bottom edges.
    const int64_t r1 = static_cast<int64_t>(right) - 1;
    const int64_t b1 = static_cast<int64_t>(bottom) - 1;
    const int tl = Contains(*b, left, top);
    const int tr = Contains(*b, r1, top);
    const int bl = Contains(*b, left, b1);
    const int br = Contains(*b, r1, b1);
    if (tl && tr && !br)
        top = b->bottom;
    else if (tl && bl && !br)
        left = b->right;
    else if (bl && br && !tr)
        bottom = b->top;
    else if (tr && br && !tl)
        right = b->left;
    return !IsRectEmpty();
}

// ---- CVRect: new rectangles -----------------------------------------------------

CVRect CVRect::operator+(_VPoint p) const {
    CVRect out(*this);
    out.OffsetRect(p.x, p.y);
    return out;
}
CVRect CVRect::operator+(_VSize s) const {
    CVRect out(*this);
    out.OffsetRect(s.cx, s.cy);
    return out;
}
CVRect CVRect::operator-(_VPoint p) const {
    CVRect out(*this);
    out.OffsetRect(Neg(p.x), Neg(p.y));
    return out;
}
CVRect CVRect::operator-(_VSize s) const {
    CVRect out(*this);
    out.OffsetRect(Neg(s.cx), Neg(s.cy));
    return out;
}
CVRect CVRect::operator+(const _VRect* r) const {
    if (r == nullptr) return CVRect();
    CVRect out(*this);
    out.InflateRect(r);
    return out;
}
CVRect CVRect::operator-(const _VRect* r) const {
    if (r == nullptr) return CVRect();
    CVRect out(*this);
    out.DeflateRect(r);
    return out;
}
CVRect CVRect::operator-(const _VRect& r) const {
    CVRect out(*this);
    out.DeflateRect(&r);
    return out;
}
CVRect CVRect::operator&(const _VRect& r) const {
    CVRect out(*this);
    out &= r;
    return out;
}
CVRect CVRect::operator|(const _VRect& r) const {
    CVRect out(*this);
    out |= r;
    return out;
}

CVRect CVRect::MulDiv(long mul, long div) const {
    if (div == 0) return CVRect();
    CVRect out;
    const int64_t m = Wrap(mul);
    const int64_t d = Wrap(div);
    if (d == 0) return out;
    Set(out, Scale(left, m, d), Scale(top, m, d), Scale(right, m, d), Scale(bottom, m, d));
    return out;
}

VOS_NAMESPACE_END
