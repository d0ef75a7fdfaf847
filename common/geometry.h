// Points and axis-aligned rectangles, one vocabulary for every folder.
//
// The precision is part of the type: layout coordinates that must stay exact
// through placing and cutting are 64-bit integers (Point64, Rect64), the CIF
// scanner's point table and the "%f" reads of a polygon file hold what a
// single-precision read gives (PointF, RectF), the "%lf" reads and the
// polygon engine work in doubles (PointD, RectD), as do the pictures and
// meshes of kavrit-export, and the box list's footprints are the truncated
// 32-bit integers of its boxes (Rect32). Nothing converts between them
// implicitly. The 3-D box of the box list (box.h) has touch and extend too.
//
// Extent<V> is the one bounding-box accumulator: it starts empty, and each
// point or span widens it by the comparisons `v < lo` and `hi < v`, so that
// the first value of a tie is kept (a -0 after a 0 leaves the 0).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace common {

template <class T>
struct Point {
    T x{};
    T y{};
    bool operator==(const Point&) const = default;
};

// A rectangle by its lower left and upper right corner; the edges belong to it.
template <class T>
struct Rect {
    T xmin{};
    T ymin{};
    T xmax{};
    T ymax{};
    bool operator==(const Rect&) const = default;
};

using Point64 = Point<std::int64_t>;
using PointF = Point<float>;
using PointD = Point<double>;
using Point32 = Point<std::int32_t>;
using Rect32 = Rect<std::int32_t>;
using Rect64 = Rect<std::int64_t>;
using RectF = Rect<float>;
using RectD = Rect<double>;

// Widens the span [lo, hi] to take v.
template <class T>
constexpr void extend_span(T& lo, T& hi, const T& v) {
    if (v < lo) lo = v;
    if (hi < v) hi = v;
}

// The rectangle of one point.
template <class T>
constexpr Rect<T> rect_at(const Point<T>& p) {
    return {p.x, p.y, p.x, p.y};
}

// The corners of r counter-clockwise from the lower left: (xmin, ymin),
// (xmax, ymin), (xmax, ymax), (xmin, ymax).
template <class T>
constexpr std::array<Point<T>, 4> corners(const Rect<T>& r) {
    return {{{r.xmin, r.ymin}, {r.xmax, r.ymin}, {r.xmax, r.ymax}, {r.xmin, r.ymax}}};
}

// Widens r to take the point p or the rectangle o.
template <class T>
constexpr void extend(Rect<T>& r, const Point<T>& p) {
    extend_span(r.xmin, r.xmax, p.x);
    extend_span(r.ymin, r.ymax, p.y);
}
template <class T>
constexpr void extend(Rect<T>& r, const Rect<T>& o) {
    if (o.xmin < r.xmin) r.xmin = o.xmin;
    if (o.ymin < r.ymin) r.ymin = o.ymin;
    if (r.xmax < o.xmax) r.xmax = o.xmax;
    if (r.ymax < o.ymax) r.ymax = o.ymax;
}

// The bounding box of points[0, n), n > 0, of any type with members x and y
// (Point<T>, or the gpc_vertex of the polygon library): the first point's
// rectangle, widened by extend to take each point in turn.
template <class P>
constexpr auto bounds_of(const P* points, std::size_t n) {
    using T = decltype(points[0].x);
    Rect<T> r{points[0].x, points[0].y, points[0].x, points[0].y};
    for (std::size_t k = 1; k < n; ++k) {
        extend_span(r.xmin, r.xmax, points[k].x);
        extend_span(r.ymin, r.ymax, points[k].y);
    }
    return r;
}

// Whether two rectangles share a point: overlapping, or touching along an
// edge or at a corner.
template <class T>
constexpr bool touch(const Rect<T>& a, const Rect<T>& b) {
    return a.xmin <= b.xmax && b.xmin <= a.xmax && a.ymin <= b.ymax && b.ymin <= a.ymax;
}

// The bounding box of points or boxes given as arrays of coordinates
// (std::array<double, 3>, ...): empty until the first is added.
template <class V>
struct Extent {
    bool empty = true;
    V lo{};
    V hi{};

    // Takes the box from `from` to `to` (a point when both are the same).
    void add(const V& from, const V& to) {
        for (std::size_t a = 0; a < lo.size(); ++a) {
            if (empty || from[a] < lo[a]) lo[a] = from[a];
            if (empty || to[a] > hi[a]) hi[a] = to[a];
        }
        empty = false;
    }
    void add(const V& p) { add(p, p); }
};

}  // namespace common
