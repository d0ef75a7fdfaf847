#include "polygon/ordered_union.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

#include "polygon/clip.h"
#include "polygon/height_cuts.h"
#include "polygon/piece_index.h"
#include "polygon/union_memo.h"

namespace polygon {
namespace {

int find_root(std::vector<int>& parent, int i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

// Groups contours whose closed bounding boxes meet, directly or through others.
// The contours are taken by increasing xmin; each is joined, in that order, to
// every earlier contour whose box it meets (which root a group ends up with
// depends on that order, and the groups are united in the order of their
// roots). The earlier contours are found through rows of a grid over y, each
// listing the contours whose boxes reach into it in the order they were taken;
// a contour whose box ends left of the current xmin is dropped from a row when
// the row is next read, since no later contour can meet it.
std::vector<int> touching_groups(const std::vector<RectD>& extents) {
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
    std::vector<RectD> sorted(n);
    for (int p = 0; p < n; ++p) {
        order[p] = keyed[p].index;
        sorted[p] = extents[keyed[p].index];
    }
    keyed = {};

    double low = extents[0].ymin, high = extents[0].ymax, heights = 0;
    for (const RectD& e : extents) {
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
        const RectD& e = sorted[p];
        near.clear();
        const std::size_t r0 = row_of(e.ymin), r1 = row_of(e.ymax);
        for (std::size_t r = r0; r <= r1; ++r) {
            std::vector<int>& row = rows[r];
            std::size_t keep = 0;
            for (const int q : row) {
                const RectD& o = sorted[q];
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
bool lone_rectangle(const ContourView& c, Contour& piece) {
    if (c.count != 4) return false;
    const gpc_vertex* v = c.vertex;
    const double x0 = v[0].x, y0 = v[0].y, x1 = v[2].x, y1 = v[2].y;
    if (!(v[1].x == x1 && v[1].y == y0 && v[3].x == x0 && v[3].y == y1 && x0 < x1 && y0 < y1)) return false;
    if ((x0 == 0 && std::signbit(x0)) || (x1 == 0 && std::signbit(x1))) return false;
    piece = {{x1, y0}, {x0, y0}, {x0, y1}, {x1, y1}};
    return true;
}

// Uniting one contour at a time costs a pass over the whole accumulator per
// contour. A union changes the accumulator only within the closed bounding box
// of the contour it adds: every other point is classified by the same parities
// and keeps its vertex. And the parities there come only from accumulator
// contours whose bounding boxes touch that box, since the contours of a union
// result never cross: a contour around any point of a touching contour
// surrounds that contour, and its box touches too. So each union needs only
// those contours; the rest stay as they are. Contours that can never meet,
// directly or through others, also fall into separate groups; within a group
// a grid (PieceIndex) finds the touching pieces, which are handed to the union
// in the order they were made. A rectangle that touches no piece needs no
// union at all: it becomes a piece as the union would give it; and a union
// of a shape met before is recalled (UnionMemo). A piece that holds a long
// chain of boxes is cut below the boxes still to come (HeightCuts), so that
// each union of the chain sweeps only the part near its box.
//
// Two things differ from the one-at-a-time unions and are harmless: the order
// of the accumulator's contours, and the order of the vertices within them,
// change only which of two coincident edges starting at one point the next
// sweep takes first, and union results have no such pairs. A union that adds
// nothing near a contour would also join two vertical sides meeting end to
// end at a point into one; union results have none. Tests check the result
// against one-at-a-time unions on many random layouts.
void unite_views(const std::vector<ContourView>& contours, gpc_polygon* accumulator) {
    bool usable = accumulator->num_contours == 0;
    for (const ContourView& c : contours) {
        usable = usable && c.count > 0;
        // The library's union refuses operands that are not rectilinear or
        // not finite (and the sort below needs comparable values): such
        // contours go through it one at a time.
        gpc_vertex_list list{c.count, const_cast<gpc_vertex*>(c.vertex)};
        int hole = 0;
        const gpc_polygon single{1, &hole, &list};
        usable = usable && gpc_is_rectilinear(&single);
        // Heights of -0 take their sign from the first contour of a sweep:
        // keep the exact order of sweeps for them.
        for (int k = 0; k < c.count; ++k) usable = usable && !(c.vertex[k].y == 0 && std::signbit(c.vertex[k].y));
        if (!usable) break;
    }
    if (!usable || contours.size() < 2) {
        for (const ContourView& c : contours) {
            gpc_vertex_list list{c.count, const_cast<gpc_vertex*>(c.vertex)};
            int hole = 0;
            gpc_polygon box{1, &hole, &list};
            gpc_polygon_clip(GPC_UNION, accumulator, &box, accumulator);
        }
        return;
    }
    const int n = static_cast<int>(contours.size());
    std::vector<RectD> extents(n);
    for (int i = 0; i < n; ++i)
        extents[i] = common::bounds_of(contours[i].vertex, static_cast<std::size_t>(contours[i].count));
    const std::vector<int> group = touching_groups(extents);

    // The members of each group, in increasing number, the groups one after
    // the other in the order of their roots.
    std::vector<int> first(n + 1, 0), members(n);
    for (int i = 0; i < n; ++i) ++first[group[i] + 1];
    for (int g = 0; g < n; ++g) first[g + 1] += first[g];
    {
        std::vector<int> next(first.begin(), first.end() - 1);
        for (int i = 0; i < n; ++i) members[next[group[i]]++] = i;
    }

    Contours united;
    PieceIndex pieces;
    std::vector<int> near_ids;
    Contours near;
    Contour clip, lone;
    UnionMemo memo;
    // Unites the members of one group in order into `out`; with `cutting`,
    // pieces are cut below the boxes still to come (see HeightCuts). False
    // when a cut could not be joined again as it should: `out` is then
    // unchanged and the group must be united without cuts.
    auto unite_group = [&](const int* group_members, std::size_t size, bool cutting, Contours& out) {
        pieces.start(extents, group_members, size);
        HeightCuts cuts;
        if (cutting) cuts.start(extents, group_members, size);
        for (std::size_t m = 0; m < size; ++m) {
            if (cutting && m > 0 && m % HeightCuts::EVERY == 0) cuts.cut(m, pieces);
            const int i = group_members[m];
            // The pieces that touch the contour, in the order they were made.
            pieces.take_touching(extents[i], near_ids);
            if (near_ids.empty() && lone_rectangle(contours[i], lone)) {
                pieces.add(std::move(lone));
                continue;
            }
            near.clear();
            for (int id : near_ids) near.push_back(pieces.release(id));
            clip.clear();
            for (int k = 0; k < contours[i].count; ++k) clip.push_back({contours[i].vertex[k].x, contours[i].vertex[k].y});
            for (Contour& c : memo.unite(near, clip)) pieces.add(std::move(c));
        }
        if (!cutting) {
            pieces.finish(out);
            return true;
        }
        Contours living;
        pieces.finish(living);
        return cuts.join(std::move(living), out);
    };
    for (int g = 0; g < n; ++g) {
        const std::size_t size = static_cast<std::size_t>(first[g + 1] - first[g]);
        if (size == 0) continue;
        const int* group_members = members.data() + first[g];
        const bool cutting = HeightCuts::worth(contours, group_members, size);
        if (!unite_group(group_members, size, cutting, united)) unite_group(group_members, size, false, united);
    }
    gpc_free_polygon(accumulator);
    accumulator->num_contours = static_cast<int>(united.size());
    accumulator->hole = new int[united.size()]();
    accumulator->contour = new gpc_vertex_list[united.size()];
    for (size_t c = 0; c < united.size(); ++c) {
        accumulator->contour[c].num_vertices = static_cast<int>(united[c].size());
        accumulator->contour[c].vertex = new gpc_vertex[united[c].size()];
        for (size_t v = 0; v < united[c].size(); ++v) accumulator->contour[c].vertex[v] = {united[c][v].x, united[c][v].y};
    }
}

}  // namespace

void unite_boxes(const std::vector<gpc_vertex>& corners, gpc_polygon* accumulator) {
    std::vector<ContourView> views(corners.size() / 4);
    for (std::size_t b = 0; b < views.size(); ++b) views[b] = {corners.data() + 4 * b, 4};
    unite_views(views, accumulator);
}

}  // namespace polygon
