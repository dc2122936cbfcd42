#include <gtest/gtest.h>


#include "support/TestSupport.h"
#include "vos/vos.h"

using namespace _palex_zu;

namespace {

struct RectCase {
    CVRect a;
    CVRect b;
    int result;
    CVRect expected;
};

::testing::AssertionResult SameRect(const _VRect& got, const _VRect& want) {
    if (got.left == want.left && got.top == want.top && got.right == want.right && got.bottom == want.bottom)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.left << ", " << got.top << ", " << got.right << ", "
                                         << got.bottom << "), want (" << want.left << ", " << want.top << ", "
                                         << want.right << ", " << want.bottom << ")";
}

}  // namespace

// The layouts themselves are checked where the library is built for 32-bit
// ARM; here, that the record a rectangle hands out is the rectangle itself.
TEST(Geometry, ARectangleHandsOutItsOwnRecord) {
    CVRect r(1, 2, 3, 4);
    _VRect* raw = r;
    EXPECT_EQ(static_cast<void*>(raw), static_cast<void*>(&r));
    EXPECT_EQ(raw->left, 1);
    EXPECT_EQ(raw->bottom, 4);
}

TEST(Point, ConstructionFromPackedWordSignExtendsEachHalf) {
    struct {
        unsigned long dw;
        int x, y;
    } cases[] = {
        {0xFFFF0001ul, 1, -1},
        {0x00010002ul, 2, 1},
        {0x8000FFFFul, -1, -32768},
        {0x7FFF8000ul, -32768, 32767},
        {0ul, 0, 0},
    };
    for (const auto& c : cases) {
        CVPoint p(c.dw);
        EXPECT_EQ(p.x, c.x) << std::hex << c.dw;
        EXPECT_EQ(p.y, c.y) << std::hex << c.dw;
    }
}

TEST(Point, ArithmeticAndComparison) {
    CVPoint p(3, 4);
    EXPECT_TRUE(p == CVPoint(3, 4));
    EXPECT_FALSE(p != CVPoint(3, 4));
    EXPECT_TRUE(p != CVPoint(3, 5));
    _VPoint raw = {3, 4};
    EXPECT_TRUE(raw == p);

    EXPECT_TRUE(p + CVPoint(1, 1) == CVPoint(4, 5));
    EXPECT_TRUE(p + CVSize(10, 20) == CVPoint(13, 24));
    EXPECT_TRUE(p - CVSize(10, 20) == CVPoint(-7, -16));
    CVSize d = p - CVPoint(1, 10);
    EXPECT_TRUE(d == CVSize(2, -6));
    EXPECT_TRUE(-p == CVPoint(-3, -4));
    EXPECT_TRUE(CVPoint(CVSize(5, 6)) == CVPoint(5, 6));

    CVPoint q(0, 0);
    q += CVPoint(1, 2);
    q += CVSize(10, 20);
    q -= CVPoint(0, 1);
    q -= CVSize(1, 1);
    EXPECT_TRUE(q == CVPoint(10, 20));
    q.Offset(-10, -20);
    EXPECT_TRUE(q == CVPoint());
    q.Offset(CVPoint(2, 3));
    q.Offset(CVSize(1, 1));
    EXPECT_TRUE(q == CVPoint(3, 4));
}

TEST(Point, MovesRectanglesAndNullGivesZero) {
    CVPoint p(5, -5);
    CVRect r(0, 0, 10, 10);
    EXPECT_TRUE(SameRect(p + &r, CVRect(5, -5, 15, 5)));
    EXPECT_TRUE(SameRect(p - &r, CVRect(-5, 5, 5, 15)));
    EXPECT_TRUE((p + static_cast<const _VRect*>(nullptr)).IsRectNull());
    EXPECT_TRUE((p - static_cast<const _VRect*>(nullptr)).IsRectNull());
}

TEST(Size, ArithmeticAndPointMinusSize) {
    CVSize s(3, 4);
    CVPoint moved = s - CVPoint(10, 10);
    EXPECT_EQ(moved.x, 7);
    EXPECT_EQ(moved.y, 6);
    EXPECT_TRUE(s + CVPoint(10, 10) == CVPoint(13, 14));
    EXPECT_TRUE(s + CVSize(1, 1) == CVSize(4, 5));
    EXPECT_TRUE(s - CVSize(1, 1) == CVSize(2, 3));
    EXPECT_TRUE(-s == CVSize(-3, -4));
    EXPECT_TRUE(CVSize(CVPoint(8, 9)) == CVSize(8, 9));
    s += CVSize(7, 6);
    EXPECT_TRUE(s == CVSize(10, 10));
    s -= CVSize(10, 9);
    EXPECT_TRUE(s == CVSize(0, 1));
    EXPECT_TRUE(s != CVSize(1, 0));

    CVRect r(0, 0, 1, 1);
    EXPECT_TRUE(SameRect(CVSize(2, 3) + &r, CVRect(2, 3, 3, 4)));
    EXPECT_TRUE(SameRect(CVSize(2, 3) - &r, CVRect(-2, -3, -1, -2)));
    EXPECT_TRUE((CVSize(2, 3) + static_cast<const _VRect*>(nullptr)).IsRectNull());
}

TEST(Rect, ConstructionAndAccess) {
    EXPECT_TRUE(CVRect().IsRectNull());
    EXPECT_TRUE(CVRect(static_cast<const _VRect*>(nullptr)).IsRectNull());
    _VRect raw = {1, 2, 3, 4};
    EXPECT_TRUE(SameRect(CVRect(&raw), raw));
    EXPECT_TRUE(SameRect(CVRect(raw), raw));
    EXPECT_TRUE(SameRect(CVRect(CVPoint(1, 2), CVSize(10, 20)), CVRect(1, 2, 11, 22)));
    EXPECT_TRUE(SameRect(CVRect(CVPoint(1, 2), CVPoint(5, 6)), CVRect(1, 2, 5, 6)));

    CVRect inverted(10, 10, 0, 0);
    EXPECT_EQ(inverted.Width(), 10);
    EXPECT_EQ(inverted.Height(), 10);
    EXPECT_EQ(inverted.IsRectEmpty(), 0);
    EXPECT_TRUE(inverted.Size() == CVSize(10, 10));
    EXPECT_TRUE(inverted.TopLeft() == CVPoint(10, 10));
    const CVRect& constRef = inverted;
    EXPECT_TRUE(constRef.BottomRight() == CVPoint(0, 0));

    // Halving truncates toward zero, also for negative sums.
    struct {
        CVRect r;
        int x, y;
    } centres[] = {
        {CVRect(0, 0, 5, 7), 2, 3},
        {CVRect(-5, -7, 0, 0), -2, -3},
        {CVRect(-3, 0, 0, 1), -1, 0},
        {CVRect(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF), 0x7FFFFFFF, 0x7FFFFFFF},
    };
    for (const auto& c : centres) {
        CVPoint p = c.r.CenterPoint();
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
    }
}

TEST(Rect, SettersCopiesAndSwaps) {
    CVRect r(1, 2, 3, 4);
    r.CopyRect(nullptr);
    EXPECT_TRUE(SameRect(r, CVRect(1, 2, 3, 4)));
    _VRect raw = {5, 6, 7, 8};
    r.CopyRect(&raw);
    EXPECT_TRUE(SameRect(r, raw));
    r.SetRect(CVPoint(0, 1), CVPoint(2, 3));
    EXPECT_TRUE(SameRect(r, CVRect(0, 1, 2, 3)));
    r = raw;
    EXPECT_TRUE(SameRect(r, raw));
    r.SwapLeftRight();
    r.SwapTopBottom();
    EXPECT_TRUE(SameRect(r, CVRect(7, 8, 5, 6)));
    CVRect::SwapLeftRight(&raw);
    CVRect::SwapTopBottom(&raw);
    CVRect::SwapLeftRight(nullptr);
    EXPECT_TRUE(SameRect(raw, CVRect(7, 8, 5, 6)));
    r.NormalizeRect();
    EXPECT_TRUE(SameRect(r, CVRect(5, 6, 7, 8)));
    r.SetRectEmpty();
    EXPECT_TRUE(r.IsRectNull());
}

TEST(Rect, EmptinessIsByEqualityOnly) {
    struct {
        CVRect r;
        int empty, null;
    } cases[] = {
        {CVRect(0, 0, 0, 0), 1, 1},      {CVRect(5, 0, 5, 10), 1, 0},  {CVRect(0, 5, 10, 5), 1, 0},
        {CVRect(10, 10, 0, 0), 0, 0},    {CVRect(0, 0, 1, 1), 0, 0},   {CVRect(0, 0, 0, 1), 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.r.IsRectEmpty(), c.empty) << c.r.left << "," << c.r.top << "," << c.r.right << "," << c.r.bottom;
        EXPECT_EQ(c.r.IsRectNull(), c.null);
    }
}

TEST(Rect, PointsOnRightAndBottomEdgesLieOutside) {
    CVRect r(0, 0, 10, 20);
    struct {
        long x, y;
        int in;
    } cases[] = {{0, 0, 1}, {9, 19, 1}, {10, 19, 0}, {9, 20, 0}, {10, 20, 0}, {-1, 0, 0}, {5, -1, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(r.PtInRect(c.x, c.y), c.in) << c.x << "," << c.y;
        EXPECT_EQ(r.PtInRect(CVPoint(c.x, c.y)), c.in) << c.x << "," << c.y;
    }
}

TEST(Rect, EqualityIntersectionAndContainmentTests) {
    CVRect r(0, 0, 10, 10);
    EXPECT_EQ(r.EqualRect(nullptr), 0);
    EXPECT_EQ(r.EqualRect(CVRect(0, 0, 10, 10)), 1);
    EXPECT_EQ(r.EqualRect(CVRect(0, 0, 10, 11)), 0);
    EXPECT_EQ(r == CVRect(0, 0, 10, 10), 1);
    EXPECT_EQ(r != CVRect(0, 1, 10, 10), 1);

    struct {
        CVRect b;
        int intersects;
    } cases[] = {
        {CVRect(10, 0, 20, 10), 0},  // shares the right edge
        {CVRect(0, 10, 10, 20), 0},  // shares the bottom edge
        {CVRect(-5, -5, 0, 0), 0},   // touches a corner
        {CVRect(9, 9, 20, 20), 1},
        {CVRect(2, 2, 3, 3), 1},
        {CVRect(-5, -5, 1, 1), 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CVRect::IsIntersect(r, c.b), c.intersects) << c.b.left << "," << c.b.top;
        EXPECT_EQ(CVRect::IsIntersect(c.b, r), c.intersects) << c.b.left << "," << c.b.top;
    }
    EXPECT_EQ(CVRect::IsIntersect(r, nullptr), 0);

    CVRect inner(2, 2, 8, 8);
    EXPECT_EQ(CVRect::IsEqual(inner, r), 1);
    EXPECT_EQ(CVRect::IsEqual(r, inner), 0);
    EXPECT_EQ(CVRect::IsEqual(r, r), 1);
    EXPECT_EQ(CVRect::IsEqual(nullptr, r), 0);
}

TEST(Rect, InflateDeflateAndOffset) {
    CVRect r(10, 10, 20, 20);
    r.InflateRect(1, 2);
    EXPECT_TRUE(SameRect(r, CVRect(9, 8, 21, 22)));
    r.DeflateRect(CVSize(1, 2));
    EXPECT_TRUE(SameRect(r, CVRect(10, 10, 20, 20)));
    r.InflateRect(1, 2, 3, 4);
    EXPECT_TRUE(SameRect(r, CVRect(9, 8, 23, 24)));
    r.DeflateRect(1, 2, 3, 4);
    EXPECT_TRUE(SameRect(r, CVRect(10, 10, 20, 20)));
    CVRect by(1, 2, 3, 4);
    r.InflateRect(&by);
    EXPECT_TRUE(SameRect(r, CVRect(9, 8, 23, 24)));
    r.DeflateRect(&by);
    r.InflateRect(static_cast<const _VRect*>(nullptr));
    r.DeflateRect(static_cast<const _VRect*>(nullptr));
    EXPECT_TRUE(SameRect(r, CVRect(10, 10, 20, 20)));
    r.InflateRect(CVSize(5, 5));
    r.DeflateRect(5, 5);
    EXPECT_TRUE(SameRect(r, CVRect(10, 10, 20, 20)));

    r.OffsetRect(1, -1);
    r.OffsetRect(CVSize(1, 1));
    r.OffsetRect(CVPoint(-2, 0));
    EXPECT_TRUE(SameRect(r, CVRect(10, 10, 20, 20)));

    r += CVPoint(1, 1);
    r += CVSize(1, 1);
    EXPECT_TRUE(SameRect(r, CVRect(12, 12, 22, 22)));
    r -= CVPoint(1, 1);
    r -= CVSize(1, 1);
    EXPECT_TRUE(SameRect(r, CVRect(10, 10, 20, 20)));
    r += static_cast<const _VRect*>(by);
    EXPECT_TRUE(SameRect(r, CVRect(9, 8, 23, 24)));
    r -= static_cast<const _VRect*>(by);
    r += static_cast<const _VRect*>(nullptr);
    EXPECT_TRUE(SameRect(r, CVRect(10, 10, 20, 20)));
}

TEST(Rect, NewRectanglesFromOperators) {
    const CVRect r(10, 10, 20, 20);
    CVRect by(1, 2, 3, 4);
    EXPECT_TRUE(SameRect(r + CVPoint(1, 2), CVRect(11, 12, 21, 22)));
    EXPECT_TRUE(SameRect(r + CVSize(1, 2), CVRect(11, 12, 21, 22)));
    EXPECT_TRUE(SameRect(r - CVPoint(1, 2), CVRect(9, 8, 19, 18)));
    EXPECT_TRUE(SameRect(r - CVSize(1, 2), CVRect(9, 8, 19, 18)));
    EXPECT_TRUE(SameRect(r + static_cast<const _VRect*>(by), CVRect(9, 8, 23, 24)));
    EXPECT_TRUE(SameRect(r - static_cast<const _VRect*>(by), CVRect(11, 12, 17, 16)));
    EXPECT_TRUE(SameRect(r - by, CVRect(11, 12, 17, 16)));
    EXPECT_TRUE((r + static_cast<const _VRect*>(nullptr)).IsRectNull());
    EXPECT_TRUE((r - static_cast<const _VRect*>(nullptr)).IsRectNull());
    EXPECT_TRUE(SameRect(r, CVRect(10, 10, 20, 20)));
}

TEST(Rect, IntersectRect) {
    const RectCase cases[] = {
        {CVRect(0, 0, 10, 10), CVRect(5, 5, 15, 15), 1, CVRect(5, 5, 10, 10)},
        {CVRect(0, 0, 10, 10), CVRect(2, 3, 4, 5), 1, CVRect(2, 3, 4, 5)},
        // Only an edge in common: 0, and the target keeps its old value.
        {CVRect(0, 0, 10, 10), CVRect(10, 0, 20, 10), 0, CVRect(-1, -1, -1, -1)},
        {CVRect(0, 0, 10, 10), CVRect(0, 10, 10, 20), 0, CVRect(-1, -1, -1, -1)},
        {CVRect(0, 0, 10, 10), CVRect(30, 30, 40, 40), 0, CVRect(-1, -1, -1, -1)},
    };
    for (const auto& c : cases) {
        CVRect target(-1, -1, -1, -1);
        EXPECT_EQ(target.IntersectRect(c.a, c.b), c.result);
        EXPECT_TRUE(SameRect(target, c.expected));
    }
    CVRect target(1, 1, 2, 2);
    EXPECT_EQ(target.IntersectRect(nullptr, CVRect(0, 0, 5, 5)), 0);
    EXPECT_TRUE(SameRect(target, CVRect(1, 1, 2, 2)));
}

TEST(Rect, UnionRect) {
    const RectCase cases[] = {
        {CVRect(0, 0, 10, 10), CVRect(5, 5, 15, 20), 1, CVRect(0, 0, 15, 20)},
        {CVRect(0, 0, 0, 0), CVRect(1, 2, 3, 4), 1, CVRect(1, 2, 3, 4)},
        {CVRect(1, 2, 3, 4), CVRect(7, 7, 7, 9), 1, CVRect(1, 2, 3, 4)},
        // Both empty: the second one, and still 1.
        {CVRect(5, 5, 5, 9), CVRect(1, 1, 8, 1), 1, CVRect(1, 1, 8, 1)},
    };
    for (const auto& c : cases) {
        CVRect target(-1, -1, -1, -1);
        EXPECT_EQ(target.UnionRect(c.a, c.b), c.result);
        EXPECT_TRUE(SameRect(target, c.expected));
    }
    CVRect target(1, 1, 2, 2);
    EXPECT_EQ(target.UnionRect(CVRect(0, 0, 5, 5), nullptr), 0);
    EXPECT_TRUE(SameRect(target, CVRect(1, 1, 2, 2)));
}

TEST(Rect, SubtractRectCutsOnlyWhereOneSideIsCovered) {
    const CVRect a(0, 0, 10, 10);
    const RectCase cases[] = {
        {a, CVRect(0, 0, 10, 5), 1, CVRect(0, 5, 10, 10)},      // top strip
        {a, CVRect(-5, -5, 4, 20), 1, CVRect(4, 0, 10, 10)},    // left strip
        {a, CVRect(-1, 6, 11, 11), 1, CVRect(0, 0, 10, 6)},     // bottom strip
        {a, CVRect(7, -3, 20, 20), 1, CVRect(0, 0, 7, 10)},     // right strip
        {a, CVRect(-1, -1, 11, 11), 1, a},                      // covers everything
        {a, CVRect(2, 2, 8, 8), 1, a},                          // a hole in the middle
        {a, CVRect(0, 0, 5, 5), 1, a},                          // one corner only
        {a, CVRect(20, 20, 30, 30), 1, a},                      // apart
        {CVRect(3, 3, 3, 8), CVRect(50, 50, 60, 60), 0, CVRect(3, 3, 3, 8)},  // empty stays empty
    };
    for (const auto& c : cases) {
        CVRect target(-1, -1, -1, -1);
        EXPECT_EQ(target.SubtractRect(c.a, c.b), c.result) << c.b.left << "," << c.b.top;
        EXPECT_TRUE(SameRect(target, c.expected)) << c.b.left << "," << c.b.top;
    }
    CVRect target(1, 1, 2, 2);
    EXPECT_EQ(target.SubtractRect(a, nullptr), 0);
    EXPECT_TRUE(SameRect(target, CVRect(1, 1, 2, 2)));
}

TEST(Rect, IntersectionAndUnionOperators) {
    const CVRect a(0, 0, 10, 10);
    EXPECT_TRUE(SameRect(a & CVRect(5, -5, 15, 5), CVRect(5, 0, 10, 5)));
    EXPECT_TRUE((a & CVRect(10, 0, 20, 10)).IsRectNull()) << "touching rectangles have no intersection";
    EXPECT_TRUE(SameRect(a | CVRect(20, 20, 30, 25), CVRect(0, 0, 30, 25)));
    EXPECT_TRUE(SameRect(a | CVRect(50, 50, 50, 60), a)) << "an empty operand contributes nothing";
    EXPECT_TRUE(SameRect(a, CVRect(0, 0, 10, 10))) << "the binary forms leave the operand alone";

    CVRect r = a;
    r &= CVRect(2, 3, 40, 40);
    EXPECT_TRUE(SameRect(r, CVRect(2, 3, 10, 10)));
    r |= CVRect(-1, -1, 0, 0);
    EXPECT_TRUE(SameRect(r, CVRect(-1, -1, 10, 10)));
    r &= CVRect(100, 100, 200, 200);
    EXPECT_TRUE(r.IsRectNull());
}

TEST(Rect, MulDivScalesEveryEdgeWithRounding) {
    struct {
        CVRect r;
        long mul, div;
        CVRect expected;
    } cases[] = {
        {CVRect(1, 2, 3, 4), 3, 1, CVRect(3, 6, 9, 12)},
        {CVRect(10, 20, 30, 40), 1, 10, CVRect(1, 2, 3, 4)},
        {CVRect(1, 3, 5, 7), 1, 2, CVRect(1, 2, 3, 4)},       // halves round away from zero
        {CVRect(-1, -3, -5, 7), 1, 2, CVRect(-1, -2, -3, 4)},
        {CVRect(10, 10, 10, 10), -1, 3, CVRect(-3, -3, -3, -3)},
        {CVRect(5, 5, 5, 5), 7, 0, CVRect()},                 // no division by zero
        // The product exceeds 32 bits but the quotient does not.
        {CVRect(2000000000, 0, 0, 0), 3, 4, CVRect(1500000000, 0, 0, 0)},
        {CVRect(2000000000, -2000000000, 0, 0), 2, 1, CVRect(INT32_MAX, INT32_MIN, 0, 0)},
    };
    for (const auto& c : cases) {
        const CVRect before = c.r;
        EXPECT_TRUE(SameRect(c.r.MulDiv(c.mul, c.div), c.expected)) << c.mul << "/" << c.div;
        EXPECT_TRUE(SameRect(c.r, before));
    }
}
