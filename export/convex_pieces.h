// Convex pieces of the picture plane: the areas, clips and differences of
// convex polygons through which face_order compares the sides of boxes.
#pragma once

#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "export/view.h"

namespace kavrit::detail {

using common::PointD;

using Poly = std::vector<PointD>;

inline double cross2(const PointD& o, const PointD& a, const PointD& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

inline double signed_area(const Poly& p) {
    double a = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const PointD& u = p[i];
        const PointD& v = p[(i + 1) % p.size()];
        a += u.x * v.y - v.x * u.y;
    }
    return a / 2;
}

// A polygon of at most CAPACITY corners, kept in place.  Clipping a quad by
// the four edges of a quad at most doubles the corners per edge (each corner
// gives itself and one crossing): 4 * 2^4 = 64, however rounding falls.
// Its corners are kept as two arrays of coordinates left uninitialised past
// `size`: a clip makes five of these, and 64 points would be zeroed in each.
struct SmallPoly {
    static constexpr std::size_t CAPACITY = 64;
    std::array<double, CAPACITY> x;
    std::array<double, CAPACITY> y;
    std::size_t size = 0;
    void push(const PointD& p) {
        if (size < CAPACITY) {
            x[size] = p.x;
            y[size] = p.y;
            ++size;
        }
    }
    PointD operator[](std::size_t i) const { return {x[i], y[i]}; }
    Poly poly() const {
        Poly out;
        out.reserve(size);
        for (std::size_t i = 0; i < size; ++i) out.push_back((*this)[i]);
        return out;
    }
};

// The part of convex `subject` (a quad) inside convex counter-clockwise
// `clip` (a quad).
inline SmallPoly clip_convex(const Poly& subject_quad, const Poly& clip) {
    SmallPoly subject;
    for (const PointD& p : subject_quad) subject.push(p);
    for (std::size_t e = 0; e < clip.size() && subject.size > 0; ++e) {
        const PointD& a = clip[e];
        const PointD& b = clip[(e + 1) % clip.size()];
        SmallPoly out;
        for (std::size_t i = 0; i < subject.size; ++i) {
            const PointD p = subject[i];
            const PointD q = subject[(i + 1) % subject.size];
            const double sp = cross2(a, b, p), sq = cross2(a, b, q);
            if (sp >= 0) out.push(p);
            if ((sp >= 0) != (sq >= 0)) {
                const double t = sp / (sp - sq);
                out.push({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
            }
        }
        subject = out;
    }
    return subject;
}

inline double signed_area(const SmallPoly& p) {
    double a = 0;
    for (std::size_t i = 0; i < p.size; ++i) {
        const PointD u = p[i];
        const PointD v = p[(i + 1) % p.size];
        a += u.x * v.y - v.x * u.y;
    }
    return a / 2;
}

// The part of convex counter-clockwise `piece` on the left of the line from
// a to b (keep_left) or on its right.
inline Poly half_plane(const Poly& piece, const PointD& a, const PointD& b, bool keep_left) {
    Poly out;
    for (std::size_t i = 0; i < piece.size(); ++i) {
        const PointD& p = piece[i];
        const PointD& q = piece[(i + 1) % piece.size()];
        const double sp = keep_left ? cross2(a, b, p) : -cross2(a, b, p);
        const double sq = keep_left ? cross2(a, b, q) : -cross2(a, b, q);
        if (sp >= 0) out.push_back(p);
        if ((sp >= 0) != (sq >= 0)) {
            const double t = sp / (sp - sq);
            out.push_back({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
        }
    }
    return out;
}

// What is left of the convex pieces after taking away convex
// counter-clockwise `cover`, as convex pieces: for each edge of the cover,
// the part outside it and inside the edges before.  Pieces of no more than
// `sliver` area are dropped.
inline void take_away(std::vector<Poly>& pieces, const Poly& cover, double sliver) {
    std::vector<Poly> left;
    for (const Poly& piece : pieces) {
        Poly rest = piece;
        for (std::size_t e = 0; e < cover.size() && rest.size() >= 3; ++e) {
            const PointD& a = cover[e];
            const PointD& b = cover[(e + 1) % cover.size()];
            Poly outside = half_plane(rest, a, b, false);
            if (outside.size() >= 3 && signed_area(outside) > sliver) left.push_back(std::move(outside));
            rest = half_plane(rest, a, b, true);
            if (signed_area(rest) <= sliver) rest.clear();
        }
    }
    pieces = std::move(left);
}

}  // namespace kavrit::detail
