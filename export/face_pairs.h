// How face_order finds the pairs of sides to compare: the grid of cells
// over the picture and the groups of sides of boxes turned alike.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "export/convex_pieces.h"
#include "export/view.h"

namespace kavrit::detail {

using common::RectD;

inline Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The grid of square cells over the picture through which the sides whose
// rectangles may overlap are found.  Each rectangle is listed in every cell
// it covers, unless it would cover more than MAX_CELLS: such a big rectangle
// is compared with every other.  The cell size is the median extent, so that
// with rectangles of alike sizes each lies in a few cells and meets only its
// neighbours.
struct PictureGrid {
    enum class Kind { cells, every_pair, no_pair };
    static constexpr double MAX_CELLS = 64;  // cells one rectangle may be listed in
    // At most 2^30 cells across, so that cell numbers fit the key.
    static constexpr double MAX_ACROSS = 1073741824.0;

    Kind kind = Kind::cells;
    double cell = 0, lo_x = 0, lo_y = 0;
    std::vector<bool> big;
    std::vector<std::size_t> bigs;

    explicit PictureGrid(const std::vector<RectD>& r) : big(r.size(), false) {
        const std::size_t n = r.size();
        if (n < 2) {
            kind = Kind::no_pair;
            return;
        }
        std::vector<double> extents;
        extents.reserve(n);
        RectD all = r[0];
        bool finite = true;
        for (const RectD& b : r) {
            for (double v : {b.xmin, b.xmax, b.ymin, b.ymax}) finite = finite && std::isfinite(v);
            extents.push_back(std::max(b.xmax - b.xmin, b.ymax - b.ymin));
            common::extend(all, b);
        }
        lo_x = all.xmin, lo_y = all.ymin;
        const double hi_x = all.xmax, hi_y = all.ymax;
        if (!finite || !std::isfinite(hi_x - lo_x) || !std::isfinite(hi_y - lo_y)) {
            // No grid over a picture without finite bounds: every pair.
            kind = Kind::every_pair;
            return;
        }
        std::nth_element(extents.begin(), extents.begin() + static_cast<std::ptrdiff_t>(n / 2), extents.end());
        cell = extents[n / 2];
        if (!(cell > 0)) cell = *std::max_element(extents.begin(), extents.end());
        // Rectangles without area overlap nothing by more than a sliver.
        if (!(cell > 0)) {
            kind = Kind::no_pair;
            return;
        }
        cell = std::max({cell, (hi_x - lo_x) / MAX_ACROSS, (hi_y - lo_y) / MAX_ACROSS});
        for (std::size_t i = 0; i < n; ++i) {
            const double wx = (r[i].xmax - r[i].xmin) / cell + 1, wy = (r[i].ymax - r[i].ymin) / cell + 1;
            if (!(wx * wy <= MAX_CELLS)) {
                big[i] = true;
                bigs.push_back(i);
            }
        }
    }
    std::int64_t cell_x(double v) const { return static_cast<std::int64_t>(std::floor((v - lo_x) / cell)); }
    std::int64_t cell_y(double v) const { return static_cast<std::int64_t>(std::floor((v - lo_y) / cell)); }
    static std::uint64_t key(std::int64_t cx, std::int64_t cy) {
        return (static_cast<std::uint64_t>(cx) << 32) | static_cast<std::uint64_t>(cy);
    }
    // The cell's square, counter-clockwise.
    Poly square(std::int64_t cx, std::int64_t cy) const {
        const double x0 = lo_x + static_cast<double>(cx) * cell, y0 = lo_y + static_cast<double>(cy) * cell;
        return {{x0, y0}, {x0 + cell, y0}, {x0 + cell, y0 + cell}, {x0, y0 + cell}};
    }
    // Calls visit(cx, cy) for every cell rectangle r covers.
    template <typename Visit>
    void for_cells(const RectD& r, Visit visit) const {
        for (std::int64_t cx = cell_x(r.xmin); cx <= cell_x(r.xmax); ++cx)
            for (std::int64_t cy = cell_y(r.ymin); cy <= cell_y(r.ymax); ++cy) visit(cx, cy);
    }
};

// Sides of boxes turned alike share a group: the directions of a side's
// normal and of its two edges, each up to its sign, rounded to 1e-6 and
// taken in sorted order.  The groups only choose how pairs are found (see
// face_order); sides put apart by rounding are still compared.
inline std::vector<std::size_t> orientation_groups(const std::vector<Face3>& faces) {
    using Key = std::array<std::int64_t, 9>;
    std::map<Key, std::size_t> ids;
    std::vector<std::size_t> group(faces.size());
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const Face3& f = faces[i];
        const std::array<Vec3, 3> directions = {f.normal, minus(f.corners[1], f.corners[0]),
                                                minus(f.corners[3], f.corners[0])};
        std::array<std::array<std::int64_t, 3>, 3> rounded{};
        bool usable = true;
        for (std::size_t d = 0; d < 3 && usable; ++d) {
            const double length = std::sqrt(dot(directions[d], directions[d]));
            usable = length > 0 && std::isfinite(length);
            if (!usable) break;
            int sign = 0;
            for (int c = 0; c < 3; ++c) {
                rounded[d][c] = std::llround(directions[d][c] / length * 1e6);
                if (sign == 0 && rounded[d][c] != 0) sign = rounded[d][c] > 0 ? 1 : -1;
            }
            for (int c = 0; c < 3; ++c) rounded[d][c] *= sign;
        }
        Key key{};  // all zero: the group of sides without usable directions
        if (usable) {
            std::sort(rounded.begin(), rounded.end());
            for (std::size_t d = 0; d < 3; ++d)
                for (std::size_t c = 0; c < 3; ++c) key[3 * d + c] = rounded[d][c];
        }
        group[i] = ids.emplace(key, ids.size()).first->second;
    }
    return group;
}

}  // namespace kavrit::detail
