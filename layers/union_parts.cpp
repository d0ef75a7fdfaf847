#include "layers/union_parts.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace grow::union_parts {

namespace {

int find_root(std::vector<int>& parent, int i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

}  // namespace


// Groups contours whose closed bounding boxes meet, directly or through others.
// The contours are taken by increasing xmin; each is joined, in that order, to
// every earlier contour whose box it meets (which root a group ends up with
// depends on that order, and the groups are united in the order of their
// roots). The earlier contours are found through rows of a grid over y, each
// listing the contours whose boxes reach into it in the order they were taken;
// a contour whose box ends left of the current xmin is dropped from a row when
// the row is next read, since no later contour can meet it.
std::vector<int> touching_groups(const std::vector<Extent>& extents) {
    const int n = static_cast<int>(extents.size());
    std::vector<int> parent(n);
    std::iota(parent.begin(), parent.end(), 0);
    if (n == 0) return parent;
    // The sort compares xmin alone, so it puts the contours in the same order
    // whether it moves their numbers or (faster, without reaching into
    // `extents` on every comparison) the numbers with their xmin.
    struct Keyed {
        double xmin;
        int index;
    };
    std::vector<Keyed> keyed(n);
    for (int i = 0; i < n; ++i) keyed[i] = {extents[i].xmin, i};
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.xmin < b.xmin; });
    // The extents in that order too: the loop below reads them one after
    // the other, and those in the rows, taken not long before, are near.
    std::vector<int> order(n);
    std::vector<Extent> sorted(n);
    for (int p = 0; p < n; ++p) {
        order[p] = keyed[p].index;
        sorted[p] = extents[keyed[p].index];
    }
    keyed = {};

    double low = extents[0].ymin, high = extents[0].ymax, heights = 0;
    for (const Extent& e : extents) {
        low = std::min(low, e.ymin);
        high = std::max(high, e.ymax);
        heights += e.ymax - e.ymin;
    }
    constexpr double MAX_ROWS = 4096;
    const double size = std::max(heights / n, (high - low) / MAX_ROWS);
    const bool gridded = std::isfinite(size) && size > 0 && std::isfinite(low);
    auto row_of = [&](double y) { return gridded ? static_cast<std::size_t>((y - low) / size) : std::size_t{0}; };
    std::vector<std::vector<int>> rows(row_of(high) + 1);  // positions in `order`

    std::vector<int> seen(n, -1), near;
    for (int p = 0; p < n; ++p) {
        const int i = order[p];
        const Extent& e = sorted[p];
        near.clear();
        const std::size_t r0 = row_of(e.ymin), r1 = row_of(e.ymax);
        for (std::size_t r = r0; r <= r1; ++r) {
            std::vector<int>& row = rows[r];
            std::size_t keep = 0;
            for (const int q : row) {
                const Extent& o = sorted[q];
                if (o.xmax < e.xmin) continue;  // left behind for good
                row[keep++] = q;
                if (seen[q] != p && o.ymin <= e.ymax && e.ymin <= o.ymax) {
                    seen[q] = p;
                    near.push_back(q);
                }
            }
            row.resize(keep);
        }
        std::sort(near.begin(), near.end());
        for (const int q : near) parent[find_root(parent, i)] = find_root(parent, order[q]);
        for (std::size_t r = r0; r <= r1; ++r) rows[r].push_back(p);
    }
    for (int i = 0; i < n; ++i) parent[i] = find_root(parent, i);
    return parent;
}


// The union of nothing and a contour (x0, y0), (x1, y0), (x1, y1), (x0, y1)
// with x0 < x1 and y0 < y1 is that rectangle, which the union gives as
// (x1, y0), (x0, y0), (x0, y1), (x1, y1). False for any other contour (and for
// sides at x = -0, whose sign is the sweep's business): those go through the
// union itself.
bool lone_rectangle(const ContourView& c, polyclip::Contour& piece) {
    if (c.count != 4) return false;
    const gpc_vertex* v = c.vertex;
    const double x0 = v[0].x, y0 = v[0].y, x1 = v[2].x, y1 = v[2].y;
    if (!(v[1].x == x1 && v[1].y == y0 && v[3].x == x0 && v[3].y == y1 && x0 < x1 && y0 < y1)) return false;
    if ((x0 == 0 && std::signbit(x0)) || (x1 == 0 && std::signbit(x1))) return false;
    piece = {{x1, y0}, {x0, y0}, {x0, y1}, {x1, y1}};
    return true;
}

}  // namespace grow::union_parts
