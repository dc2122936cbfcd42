/// @file
/// Geometry: integer points, sizes and rectangles, each as a plain record
/// (_VPoint, _VSize, _VRect) and as a class of exactly the same layout
/// (CVPoint, CVSize, CVRect), so a class object can stand wherever its record
/// is expected.
///
/// Coordinates are signed 32-bit. A rectangle's right and bottom edges are
/// exclusive: (x, y) lies inside when left <= x < right and top <= y < bottom.
/// Width and height are absolute values, a rectangle is empty only when two
/// opposite edges coincide, and rectangles that merely touch do not intersect.
/// Nothing here allocates or locks.
#ifndef VOS_VGEOMETRY_H
#define VOS_VGEOMETRY_H

#include "vos/VDefine.h"

VOS_NAMESPACE_BEGIN

/// A point as a plain record: x grows to the right, y downwards.
struct VOS_API _VPoint {
    /** @name Coordinates */
    ///@{
    /// x, then y.
    int32_t x;
    int32_t y;
    ///@}

    /// 1 when both coordinates are equal.
    int operator==(_VPoint p) const { return x == p.x && y == p.y; }
};

/// A size or distance as a plain record.
struct _VSize {
    /** @name Extents */
    ///@{
    /// Width, then height.
    int32_t cx;
    int32_t cy;
    ///@}
};

/// A rectangle as a plain record; right and bottom lie outside it.
struct _VRect {
    /** @name Edges */
    ///@{
    /// Left, top, right and bottom.
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
    ///@}
};

class CVSize;
class CVRect;

/// A point with arithmetic; same layout as _VPoint.
class VOS_API CVPoint : public _VPoint {
public:
    /** @name Construction */
    ///@{
    /// (0, 0), from coordinates, from a point or from a size.
    CVPoint();
    CVPoint(long x, long y);
    CVPoint(_VPoint p);
    CVPoint(_VSize s);
    ///@}
    /// Low 16 bits are x, high 16 bits are y, each a signed 16-bit number.
    CVPoint(unsigned long dw);

    /** @name Moving */
    ///@{
    /// Adds the offsets to x and y.
    void Offset(long dx, long dy);
    void Offset(_VPoint p);
    void Offset(_VSize s);
    ///@}

    /** @name Comparison */
    ///@{
    /// 1 when equal, respectively different, else 0.
    int operator==(_VPoint p) const;
    int operator!=(_VPoint p) const;
    ///@}

    /** @name Arithmetic */
    ///@{
    /// Componentwise sums and differences; unary minus negates both.
    CVPoint& operator+=(_VPoint p);
    CVPoint& operator+=(_VSize s);
    CVPoint& operator-=(_VPoint p);
    CVPoint& operator-=(_VSize s);
    ///@}

    /** @name Sums */
    ///@{
    /// This point moved by p or s, respectively back by s.
    CVPoint operator+(_VPoint p) const;
    CVPoint operator+(_VSize s) const;
    CVPoint operator-(_VSize s) const;
    ///@}
    /// The distance from p to this point.
    CVSize operator-(_VPoint p) const;
    /// Both coordinates negated.
    CVPoint operator-() const;

    /** @name Moving rectangles */
    ///@{
    /// *r moved by this point, respectively by its negation; all zero for null.
    CVRect operator+(const _VRect* r) const;
    CVRect operator-(const _VRect* r) const;
    ///@}
};

/// A size with arithmetic; same layout as _VSize.
class VOS_API CVSize : public _VSize {
public:
    /** @name Construction */
    ///@{
    /// (0, 0), from extents, from a size or from a point.
    CVSize();
    CVSize(long cx, long cy);
    CVSize(_VSize s);
    CVSize(_VPoint p);
    ///@}

    /** @name Comparison */
    ///@{
    /// 1 when equal, respectively different, else 0.
    int operator==(_VSize s) const;
    int operator!=(_VSize s) const;
    ///@}

    /** @name Arithmetic */
    ///@{
    /// Componentwise sums and differences; unary minus negates both.
    CVSize& operator+=(_VSize s);
    CVSize& operator-=(_VSize s);
    ///@}

    /** @name Sums */
    ///@{
    /// Componentwise sum and difference; unary minus negates both.
    CVSize operator+(_VSize s) const;
    CVSize operator-(_VSize s) const;
    CVSize operator-() const;
    ///@}

    /// The point p moved by this size.
    CVPoint operator+(_VPoint p) const;
    /// The point p moved back by this size (p - size, not size - p).
    CVPoint operator-(_VPoint p) const;

    /** @name Moving rectangles */
    ///@{
    /// *r moved by this size, respectively back by it; all zero for null.
    CVRect operator+(const _VRect* r) const;
    CVRect operator-(const _VRect* r) const;
    ///@}
};

/// A rectangle with arithmetic; same layout as _VRect.
class VOS_API CVRect : public _VRect {
public:
    /** @name Construction */
    ///@{
    /// All edges 0, from edges, or a copy.
    CVRect();
    CVRect(long l, long t, long r, long b);
    CVRect(const _VRect& r);
    ///@}
    /// A copy of *r, or all zero for a null r.
    CVRect(const _VRect* r);
    /** @name Construction from corners */
    ///@{
    /// From the top-left corner and a size, or from two corners.
    CVRect(_VPoint p, _VSize s);
    CVRect(_VPoint topLeft, _VPoint bottomRight);
    ///@}

    /** @name Extents and corners */
    ///@{
    /// Absolute extents: never negative, even for an inverted rectangle.
    int Width() const;
    int Height() const;
    CVSize Size() const;
    CVPoint TopLeft();
    CVPoint TopLeft() const;
    CVPoint BottomRight();
    CVPoint BottomRight() const;
    ///@}
    /// Each coordinate halved with truncation toward zero.
    CVPoint CenterPoint() const;

    /** @name Views */
    ///@{
    /// This rectangle as a plain record.
    operator _VRect*();
    operator const _VRect*() const;
    ///@}

    /** @name Setting */
    ///@{
    /// New edges, from numbers or corners; SetRectEmpty sets all to 0.
    void SetRect(long l, long t, long r, long b);
    void SetRect(_VPoint topLeft, _VPoint bottomRight);
    void SetRectEmpty();
    ///@}
    /// A null r changes nothing.
    void CopyRect(const _VRect* r);
    /** @name Copying and swapping */
    ///@{
    /// Assignment copies the edges; the Swap members exchange two edges.
    CVRect& operator=(const _VRect& r);
    void SwapLeftRight();
    void SwapTopBottom();
    ///@}
    /** @name Swapping records */
    ///@{
    /// The same on *r; a null r is ignored.
    static void SwapLeftRight(_VRect* r);
    static void SwapTopBottom(_VRect* r);
    ///@}

    /// Tests:
    /// Empty only when left == right or top == bottom.
    int IsRectEmpty() const;
    /** @name Tests */
    ///@{
    /// IsRectNull: all edges 0; PtInRect: the point lies inside (right and
    /// bottom edges excluded); the others: the edges are equal, respectively not.
    int IsRectNull() const;
    int PtInRect(_VPoint p) const;
    int PtInRect(long x, long y) const;
    int EqualRect(const _VRect* r) const;
    int operator==(const _VRect& r) const;
    int operator!=(const _VRect& r) const;
    ///@}
    /// Strict overlap: rectangles sharing only an edge do not intersect.
    static int IsIntersect(const _VRect* a, const _VRect* b);
    /// Containment, edges inclusive: 1 when a lies within b.
    static int IsEqual(const _VRect* a, const _VRect* b);

    /** @name Growing, shrinking and moving */
    ///@{
    /// Inflate moves the edges outwards, Deflate inwards, Offset moves the
    /// whole rectangle; NormalizeRect swaps inverted edges.
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
    ///@}

    /** @name Moving in place */
    ///@{
    /// Moved by p or s, respectively back.
    CVRect& operator+=(_VPoint p);
    CVRect& operator+=(_VSize s);
    CVRect& operator-=(_VPoint p);
    CVRect& operator-=(_VSize s);
    ///@}
    /** @name Inflating in place */
    ///@{
    /// Inflate, respectively deflate, by the four edges of *r; null ignored.
    CVRect& operator+=(const _VRect* r);
    CVRect& operator-=(const _VRect* r);
    ///@}
    /// Becomes the intersection with r, all zero when they do not intersect.
    CVRect& operator&=(const _VRect& r);
    /// Becomes the union with r (an empty side contributes nothing).
    CVRect& operator|=(const _VRect& r);

    /// 1 and the overlap of a and b, or 0 with this rectangle unchanged.
    int IntersectRect(const _VRect* a, const _VRect* b);
    /// The bounding rectangle of the non-empty ones among a and b.
    int UnionRect(const _VRect* a, const _VRect* b);
    /// a, cut back where b covers one whole side of it; 1 when not empty.
    int SubtractRect(const _VRect* a, const _VRect* b);

    /** @name Arithmetic */
    ///@{
    /// A copy moved, inflated or deflated as the in-place operators do.
    CVRect operator+(_VPoint p) const;
    CVRect operator+(_VSize s) const;
    CVRect operator-(_VPoint p) const;
    CVRect operator-(_VSize s) const;
    CVRect operator+(const _VRect* r) const;
    CVRect operator-(const _VRect* r) const;
    CVRect operator-(const _VRect& r) const;
    ///@}
    /** @name Intersection and union */
    ///@{
    /// The intersection (all zero when none) and the union with r.
    CVRect operator&(const _VRect& r) const;
    CVRect operator|(const _VRect& r) const;
    ///@}
    /// Every edge times mul / div, rounded to nearest (halves away from zero)
    /// and held within 32 bits; all zero when div is 0.
    CVRect MulDiv(long mul, long div) const;
};

VOS_NAMESPACE_END

#endif  // VOS_VGEOMETRY_H
