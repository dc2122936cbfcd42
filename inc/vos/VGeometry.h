// Geometry: integer points, sizes and rectangles, each as a plain record
// (_VPoint, _VSize, _VRect) and as a class of exactly the same layout
// (CVPoint, CVSize, CVRect), so a class object can stand wherever its record
// is expected.
//
// Coordinates are signed 32-bit. A rectangle's right and bottom edges are
// exclusive: (x, y) lies inside when left <= x < right and top <= y < bottom.
// Width and height are absolute values, a rectangle is empty only when two
// opposite edges coincide, and rectangles that merely touch do not intersect.
// Nothing here allocates or locks.
#ifndef VOS_VGEOMETRY_H
#define VOS_VGEOMETRY_H

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

struct VOS_API _VPoint {
    int32_t x;
    int32_t y;

    int operator==(_VPoint p) const { return x == p.x && y == p.y; }
};

struct _VSize {
    int32_t cx;
    int32_t cy;
};

struct _VRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

class CVSize;
class CVRect;

class VOS_API CVPoint : public _VPoint {
public:
    CVPoint();
    CVPoint(long x, long y);
    CVPoint(_VPoint p);
    CVPoint(_VSize s);
    // Low 16 bits are x, high 16 bits are y, each a signed 16-bit number.
    CVPoint(unsigned long dw);

    void Offset(long dx, long dy);
    void Offset(_VPoint p);
    void Offset(_VSize s);

    int operator==(_VPoint p) const;
    int operator!=(_VPoint p) const;

    CVPoint& operator+=(_VPoint p);
    CVPoint& operator+=(_VSize s);
    CVPoint& operator-=(_VPoint p);
    CVPoint& operator-=(_VSize s);

    CVPoint operator+(_VPoint p) const;
    CVPoint operator+(_VSize s) const;
    CVPoint operator-(_VSize s) const;
    // The distance from p to this point.
    CVSize operator-(_VPoint p) const;
    CVPoint operator-() const;

    // *r moved by this point, respectively by its negation; all zero for null.
    CVRect operator+(const _VRect* r) const;
    CVRect operator-(const _VRect* r) const;
};

class VOS_API CVSize : public _VSize {
public:
    CVSize();
    CVSize(long cx, long cy);
    CVSize(_VSize s);
    CVSize(_VPoint p);

    int operator==(_VSize s) const;
    int operator!=(_VSize s) const;

    CVSize& operator+=(_VSize s);
    CVSize& operator-=(_VSize s);

    CVSize operator+(_VSize s) const;
    CVSize operator-(_VSize s) const;
    CVSize operator-() const;

    CVPoint operator+(_VPoint p) const;
    // The point p moved back by this size (p - size, not size - p).
    CVPoint operator-(_VPoint p) const;

    CVRect operator+(const _VRect* r) const;
    CVRect operator-(const _VRect* r) const;
};

class VOS_API CVRect : public _VRect {
public:
    CVRect();
    CVRect(long l, long t, long r, long b);
    CVRect(const _VRect& r);
    // A copy of *r, or all zero for a null r.
    CVRect(const _VRect* r);
    CVRect(_VPoint p, _VSize s);
    CVRect(_VPoint topLeft, _VPoint bottomRight);

    // Absolute extents: never negative, even for an inverted rectangle.
    int Width() const;
    int Height() const;
    CVSize Size() const;
    CVPoint TopLeft();
    CVPoint TopLeft() const;
    CVPoint BottomRight();
    CVPoint BottomRight() const;
    // Each coordinate halved with truncation toward zero.
    CVPoint CenterPoint() const;

    operator _VRect*();
    operator const _VRect*() const;

    void SetRect(long l, long t, long r, long b);
    void SetRect(_VPoint topLeft, _VPoint bottomRight);
    void SetRectEmpty();
    // A null r changes nothing.
    void CopyRect(const _VRect* r);
    CVRect& operator=(const _VRect& r);
    void SwapLeftRight();
    void SwapTopBottom();
    // The same on *r; a null r is ignored.
    static void SwapLeftRight(_VRect* r);
    static void SwapTopBottom(_VRect* r);

    // Empty only when left == right or top == bottom.
    int IsRectEmpty() const;
    int IsRectNull() const;
    int PtInRect(_VPoint p) const;
    int PtInRect(long x, long y) const;
    int EqualRect(const _VRect* r) const;
    int operator==(const _VRect& r) const;
    int operator!=(const _VRect& r) const;
    // Strict overlap: rectangles sharing only an edge do not intersect.
    static int IsIntersect(const _VRect* a, const _VRect* b);
    // Containment, edges inclusive: 1 when a lies within b.
    static int IsEqual(const _VRect* a, const _VRect* b);

    void InflateRect(long dx, long dy);
    void InflateRect(_VSize s);
    void InflateRect(long l, long t, long r, long b);
    void InflateRect(const _VRect* r);
    void DeflateRect(long dx, long dy);
    void DeflateRect(_VSize s);
    void DeflateRect(long l, long t, long r, long b);
    void DeflateRect(const _VRect* r);
    void OffsetRect(long dx, long dy);
    void OffsetRect(_VSize s);
    void OffsetRect(_VPoint p);
    void NormalizeRect();

    CVRect& operator+=(_VPoint p);
    CVRect& operator+=(_VSize s);
    CVRect& operator-=(_VPoint p);
    CVRect& operator-=(_VSize s);
    // Inflate, respectively deflate, by the four edges of *r; null ignored.
    CVRect& operator+=(const _VRect* r);
    CVRect& operator-=(const _VRect* r);
    // Becomes the intersection with r, all zero when they do not intersect.
    CVRect& operator&=(const _VRect& r);
    // Becomes the union with r (an empty side contributes nothing).
    CVRect& operator|=(const _VRect& r);

    // 1 and the overlap of a and b, or 0 with this rectangle unchanged.
    int IntersectRect(const _VRect* a, const _VRect* b);
    // The bounding rectangle of the non-empty ones among a and b.
    int UnionRect(const _VRect* a, const _VRect* b);
    // a, cut back where b covers one whole side of it; 1 when not empty.
    int SubtractRect(const _VRect* a, const _VRect* b);

    CVRect operator+(_VPoint p) const;
    CVRect operator+(_VSize s) const;
    CVRect operator-(_VPoint p) const;
    CVRect operator-(_VSize s) const;
    CVRect operator+(const _VRect* r) const;
    CVRect operator-(const _VRect* r) const;
    CVRect operator-(const _VRect& r) const;
    // The intersection (all zero when none) and the union with r.
    CVRect operator&(const _VRect& r) const;
    CVRect operator|(const _VRect& r) const;
    // Every edge times mul / div, rounded to nearest (halves away from zero)
    // and held within 32 bits; all zero when div is 0.
    CVRect MulDiv(long mul, long div) const;
};

VOS_NAMESPACE_END

#endif  // VOS_VGEOMETRY_H
