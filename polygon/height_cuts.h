// Cuts that keep the order-preserving unions of a long chain of boxes local.
#pragma once

#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "polygon/clip.h"
#include "polygon/gpc.h"
#include "polygon/piece_index.h"
#include "polygon/types.h"

namespace polygon {

// A contour handed to the unions, wherever its vertices are kept.
struct ContourView {
    const gpc_vertex* vertex;
    int count;
};

// Cuts that keep the unions of a long chain of boxes (a staircase) local.
//
// When every box touches the one piece that holds all boxes before it, each
// union sweeps that whole piece again, and the group costs time quadratic in
// its boxes. But no later union reaches below the lowest box still to come,
// at height L: the part of a piece below L keeps its vertices to the end.
// So from time to time a large piece that reaches below L is cut at a height
// c just below L, between L and the highest vertex of the piece under L, into
// the part below c, which is put aside, and the part above c, which takes the
// piece's place. At the end the parts are joined again, and their vertices at
// the cut heights are dropped.
//
// The cut changes nothing a later union decides above c: the part above has
// the same edges there, its edges that cross c start at c, below every box to
// come, as the piece's edges started below it too; so at every height above c
// the sweep meets the same slots in the same order. A piece's vertices come
// from those of the contours that made it, and every coordinate of these
// unions reads back from "%.5f" text (the growing step's corners do); a cut
// height is chosen to be no such number, so the vertices at cut heights are
// found by their y alone. Joining the parts is one union of them: at a cut
// height an edge ends where the next one starts, at the same x, which gives a
// vertex in the middle of a side and nothing else; dropping it joins the two
// edges. A joined contour that still holds a vertex at a cut height, or one
// dropped that was not in the middle of a vertical side, makes the group go
// through the unions without cuts.
class HeightCuts {
public:
    // A cut is tried before every EVERY-th box of a group of at least FROM
    // boxes, on pieces of at least VERTICES vertices.
    static constexpr std::size_t EVERY = 64;
    static constexpr std::size_t FROM = 256;
    static constexpr std::size_t VERTICES = 64;

    // Groups large enough, whose heights all read back from "%.5f" text.
    static bool worth(const std::vector<ContourView>& contours, const int* members, std::size_t size) {
        if (size < FROM) return false;
        for (std::size_t m = 0; m < size; ++m) {
            const ContourView& c = contours[members[m]];
            for (int k = 0; k < c.count; ++k)
                if (!decimal(c.vertex[k].y)) return false;
        }
        return true;
    }

    void start(const std::vector<RectD>& extents, const int* members, std::size_t size) {
        lowest_.assign(size + 1, std::numeric_limits<double>::infinity());
        for (std::size_t m = size; m-- > 0;) lowest_[m] = std::min(lowest_[m + 1], extents[members[m]].ymin);
        below_.clear();
        cut_ = false;
    }

    // Cuts the large pieces that reach below the lowest of boxes m, m + 1, ...
    void cut(std::size_t m, PieceIndex& pieces) {
        const double level = lowest_[m];
        const RectD& all = pieces.group_extent();
        pieces.take_touching({all.xmin, level, all.xmax, level}, ids_);
        for (const int id : ids_) {
            const RectD e = pieces.extent(id);
            Contour piece = pieces.release(id);
            if (e.ymin < level && piece.size() >= VERTICES && split(piece, e, level, pieces)) continue;
            pieces.add(std::move(piece));
        }
    }

    // The parts joined again, with the pieces that were never cut, into `out`.
    bool join(Contours&& living, Contours& out) {
        if (!cut_) {
            for (Contour& c : living) out.push_back(std::move(c));
            return true;
        }
        Contours parts = std::move(below_), kept;
        for (Contour& c : living) (has_cut_vertex(c) ? parts : kept).push_back(std::move(c));
        Contours joined = clip_to_polygon(Operation::Union, parts, {}).contours;
        for (Contour& c : joined) {
            if (!drop_cut_vertices(c)) return false;
            kept.push_back(std::move(c));
        }
        for (Contour& c : kept) out.push_back(std::move(c));
        return true;
    }

private:
    // Whole quarters, and numbers that "%.5f" text gives back unchanged.
    static bool decimal(double v);
    static bool has_cut_vertex(const Contour& c) {
        for (const PointD& p : c)
            if (!decimal(p.y)) return true;
        return false;
    }
    // Drops the vertices at cut heights, each in the middle of a vertical side
    // (a contour of fewer than four vertices after that is a fault).
    static bool drop_cut_vertices(Contour& c) {
        const std::size_t n = c.size();
        std::vector<unsigned char> drop(n, 0);
        for (std::size_t k = 0; k < n; ++k) {
            if (decimal(c[k].y)) continue;
            const PointD& before = c[(k + n - 1) % n];
            const PointD& after = c[(k + 1) % n];
            // Its neighbours may be at cut heights too, when a side crosses
            // several cuts: all lie on one vertical line, in order.
            if (before.x != c[k].x || after.x != c[k].x) return false;
            if (!((before.y < c[k].y && c[k].y < after.y) || (after.y < c[k].y && c[k].y < before.y))) return false;
            drop[k] = 1;
        }
        std::size_t keep = 0;
        for (std::size_t k = 0; k < n; ++k)
            if (!drop[k]) c[keep++] = c[k];
        c.resize(keep);
        return keep >= 4;
    }
    // A height strictly between `low` and `high` that is not a decimal number.
    static double between(double low, double high) {
        double c = low + (high - low) / 2;
        for (int tries = 0; tries < 8 && low < c && c < high && decimal(c); ++tries) c = std::nextafter(c, high);
        return low < c && c < high && !decimal(c) ? c : std::numeric_limits<double>::quiet_NaN();
    }
    bool split(const Contour& piece, const RectD& e, double level, PieceIndex& pieces) {
        double top_below = -std::numeric_limits<double>::infinity();
        for (const PointD& p : piece)
            if (p.y < level) top_below = std::max(top_below, p.y);
        const double c = between(top_below, level);
        if (std::isnan(c)) return false;
        const double x0 = std::nextafter(e.xmin, -HUGE_VAL), x1 = std::nextafter(e.xmax, HUGE_VAL);
        const double y0 = std::nextafter(e.ymin, -HUGE_VAL), y1 = std::nextafter(e.ymax, HUGE_VAL);
        if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1)) return false;
        const Contours subject{piece};
        const Contours lower{{{x0, y0}, {x1, y0}, {x1, c}, {x0, c}}};
        const Contours upper{{{x0, c}, {x1, c}, {x1, y1}, {x0, y1}}};
        for (Contour& part : clip_to_polygon(Operation::Intersection, subject, lower).contours)
            below_.push_back(std::move(part));
        for (Contour& part : clip_to_polygon(Operation::Intersection, subject, upper).contours)
            pieces.add(std::move(part));
        cut_ = true;
        return true;
    }

    std::vector<double> lowest_;  // lowest_[m]: the lowest ymin of members m, m + 1, ...
    Contours below_;    // the parts below the cuts
    std::vector<int> ids_;
    bool cut_ = false;
};

}  // namespace polygon
