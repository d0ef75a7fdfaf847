#include "layers/grow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/decimal.h"
#include "layers/union_parts.h"
#include "polygon/engine.h"

namespace grow {

namespace {

using union_parts::ContourView;
using union_parts::Extent;
using union_parts::extent_of;
using union_parts::lone_rectangle;
using union_parts::touches;
using union_parts::touching_groups;

// The pieces of one touching group, numbered in the order they are made,
// with a grid over their extents to find those that touch a contour. A piece
// is listed in every cell its closed extent meets, so a contour meets it in
// a cell its own extent meets; a piece that would fill many cells (the
// outline of a large plate) is kept in a short list of its own instead. A
// small group has no grid: all its pieces are in that list.
class PieceIndex {
public:
    void start(const std::vector<Extent>& extents, const int* group, std::size_t members) {
        contours_.clear();
        extents_.clear();
        alive_.clear();
        seen_.clear();
        large_.clear();
        cells_.clear();
        query_ = 0;
        if (members <= LIST_ONLY) {
            gridded_ = false;
            origin_x_ = origin_y_ = 0;
            cell_ = 1;
            columns_ = 1;
            return;
        }
        // Cells about the size of the group's contours, not more than
        // MAX_CELLS along either side of the group.
        Extent all = extents[group[0]];
        double width = 0, height = 0;
        for (std::size_t m = 0; m < members; ++m) {
            const Extent& e = extents[group[m]];
            all = {std::min(all.xmin, e.xmin), std::max(all.xmax, e.xmax), std::min(all.ymin, e.ymin),
                   std::max(all.ymax, e.ymax)};
            width += e.xmax - e.xmin;
            height += e.ymax - e.ymin;
        }
        all_ = all;
        const double count = static_cast<double>(members);
        double size = std::max(width / count, height / count);
        size = std::max({size, (all.xmax - all.xmin) / MAX_CELLS, (all.ymax - all.ymin) / MAX_CELLS});
        // Spans that are not finite or have no size: one cell, a plain list.
        gridded_ = std::isfinite(size) && size > 0 && std::isfinite(all.xmin) && std::isfinite(all.ymin);
        origin_x_ = all.xmin;
        origin_y_ = all.ymin;
        cell_ = gridded_ ? size : 1;
        columns_ = gridded_ ? column(all.xmax) + 1 : 1;
    }

    void add(polyclip::Contour&& c) {
        const Extent e = extent_of(c.data(), c.size());
        const int id = static_cast<int>(contours_.size());
        contours_.push_back(std::move(c));
        extents_.push_back(e);
        alive_.push_back(1);
        seen_.push_back(0);
        if (!gridded_) {
            large_.push_back(id);
            return;
        }
        const long long c0 = column(e.xmin), c1 = column(e.xmax), r0 = row(e.ymin), r1 = row(e.ymax);
        if ((c1 - c0 + 1) * (r1 - r0 + 1) > LARGE_CELLS) {
            large_.push_back(id);
            return;
        }
        for (long long r = r0; r <= r1; ++r)
            for (long long k = c0; k <= c1; ++k) cells_[r * columns_ + k].push_back(id);
    }

    // The living pieces that touch `e`, in increasing number; they are taken
    // out of the index (release hands over their contours).
    void take_touching(const Extent& e, std::vector<int>& ids) {
        ids.clear();
        ++query_;
        std::size_t keep = 0;
        for (const int id : large_) {
            if (!alive_[id]) continue;
            large_[keep++] = id;
            if (touches(extents_[id], e)) take(id, ids);
        }
        large_.resize(keep);
        if (gridded_) {
            const long long c0 = column(e.xmin), c1 = column(e.xmax), r0 = row(e.ymin), r1 = row(e.ymax);
            for (long long r = r0; r <= r1; ++r) {
                for (long long k = c0; k <= c1; ++k) {
                    const auto it = cells_.find(r * columns_ + k);
                    if (it == cells_.end()) continue;
                    std::vector<int>& cell = it->second;
                    std::size_t kept = 0;
                    for (const int id : cell) {
                        if (!alive_[id]) continue;
                        cell[kept++] = id;
                        if (seen_[id] != query_ && touches(extents_[id], e)) take(id, ids);
                    }
                    cell.resize(kept);
                }
            }
            std::sort(ids.begin(), ids.end());
        }
        for (const int id : ids) alive_[id] = 0;
    }

    polyclip::Contour release(int id) { return std::move(contours_[id]); }
    const Extent& extent(int id) const { return extents_[id]; }
    // The group's extent (in a group with a grid).
    const Extent& group_extent() const { return all_; }

    // Appends the living pieces in the order they were made.
    void finish(polyclip::Contours& out) {
        for (std::size_t id = 0; id < contours_.size(); ++id)
            if (alive_[id]) out.push_back(std::move(contours_[id]));
    }

private:
    static constexpr double MAX_CELLS = 4096;
    static constexpr long long LARGE_CELLS = 16;
    // Groups of up to this many contours keep their pieces in one list.
    static constexpr std::size_t LIST_ONLY = 32;

    // Cells of values within the group's extent (pieces never leave it).
    long long column(double x) const { return gridded_ ? static_cast<long long>((x - origin_x_) / cell_) : 0; }
    long long row(double y) const { return gridded_ ? static_cast<long long>((y - origin_y_) / cell_) : 0; }

    void take(int id, std::vector<int>& ids) {
        seen_[id] = query_;
        ids.push_back(id);
    }

    std::vector<polyclip::Contour> contours_;
    std::vector<Extent> extents_;
    std::vector<unsigned char> alive_;
    std::vector<unsigned> seen_;
    unsigned query_ = 0;
    std::vector<int> large_;
    std::unordered_map<long long, std::vector<int>> cells_;
    bool gridded_ = false;
    Extent all_{0, 0, 0, 0};
    double origin_x_ = 0, origin_y_ = 0, cell_ = 1;
    long long columns_ = 1;
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

    void start(const std::vector<Extent>& extents, const int* members, std::size_t size) {
        lowest_.assign(size + 1, std::numeric_limits<double>::infinity());
        for (std::size_t m = size; m-- > 0;) lowest_[m] = std::min(lowest_[m + 1], extents[members[m]].ymin);
        below_.clear();
        cut_ = false;
    }

    // Cuts the large pieces that reach below the lowest of boxes m, m + 1, ...
    void cut(std::size_t m, PieceIndex& pieces) {
        const double level = lowest_[m];
        const Extent& all = pieces.group_extent();
        pieces.take_touching({all.xmin, all.xmax, level, level}, ids_);
        for (const int id : ids_) {
            const Extent e = pieces.extent(id);
            polyclip::Contour piece = pieces.release(id);
            if (e.ymin < level && piece.size() >= VERTICES && split(piece, e, level, pieces)) continue;
            pieces.add(std::move(piece));
        }
    }

    // The parts joined again, with the pieces that were never cut, into `out`.
    bool join(polyclip::Contours&& living, polyclip::Contours& out) {
        if (!cut_) {
            for (polyclip::Contour& c : living) out.push_back(std::move(c));
            return true;
        }
        polyclip::Contours parts = std::move(below_), kept;
        for (polyclip::Contour& c : living) (has_cut_vertex(c) ? parts : kept).push_back(std::move(c));
        polyclip::Contours joined = polyclip::clip_to_polygon(polyclip::Operation::Union, parts, {}).contours;
        for (polyclip::Contour& c : joined) {
            if (!drop_cut_vertices(c)) return false;
            kept.push_back(std::move(c));
        }
        for (polyclip::Contour& c : kept) out.push_back(std::move(c));
        return true;
    }

private:
    // Whole quarters, and numbers that "%.5f" text gives back unchanged.
    static bool decimal(double v) {
        return std::isfinite(v) && std::fabs(v) < 0x1p40 && (whole_quarters(v) || common::reread_double(v, 5) == v);
    }
    static bool has_cut_vertex(const polyclip::Contour& c) {
        for (const polyclip::Point& p : c)
            if (!decimal(p.y)) return true;
        return false;
    }
    // Drops the vertices at cut heights, each in the middle of a vertical side
    // (a contour of fewer than four vertices after that is a fault).
    static bool drop_cut_vertices(polyclip::Contour& c) {
        const std::size_t n = c.size();
        std::vector<unsigned char> drop(n, 0);
        for (std::size_t k = 0; k < n; ++k) {
            if (decimal(c[k].y)) continue;
            const polyclip::Point& before = c[(k + n - 1) % n];
            const polyclip::Point& after = c[(k + 1) % n];
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
    bool split(const polyclip::Contour& piece, const Extent& e, double level, PieceIndex& pieces) {
        double top_below = -std::numeric_limits<double>::infinity();
        for (const polyclip::Point& p : piece)
            if (p.y < level) top_below = std::max(top_below, p.y);
        const double c = between(top_below, level);
        if (std::isnan(c)) return false;
        const double x0 = std::nextafter(e.xmin, -HUGE_VAL), x1 = std::nextafter(e.xmax, HUGE_VAL);
        const double y0 = std::nextafter(e.ymin, -HUGE_VAL), y1 = std::nextafter(e.ymax, HUGE_VAL);
        if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1)) return false;
        const polyclip::Contours subject{piece};
        const polyclip::Contours lower{{{x0, y0}, {x1, y0}, {x1, c}, {x0, c}}};
        const polyclip::Contours upper{{{x0, c}, {x1, c}, {x1, y1}, {x0, y1}}};
        for (polyclip::Contour& part : polyclip::clip_to_polygon(polyclip::Operation::Intersection, subject, lower).contours)
            below_.push_back(std::move(part));
        for (polyclip::Contour& part : polyclip::clip_to_polygon(polyclip::Operation::Intersection, subject, upper).contours)
            pieces.add(std::move(part));
        cut_ = true;
        return true;
    }

    std::vector<double> lowest_;  // lowest_[m]: the lowest ymin of members m, m + 1, ...
    polyclip::Contours below_;    // the parts below the cuts
    std::vector<int> ids_;
    bool cut_ = false;
};

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
    std::vector<Extent> extents(n);
    for (int i = 0; i < n; ++i) extents[i] = extent_of(contours[i].vertex, static_cast<std::size_t>(contours[i].count));
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

    polyclip::Contours united;
    PieceIndex pieces;
    std::vector<int> near_ids;
    polyclip::Contours near;
    polyclip::Contour clip, lone;
    UnionMemo memo;
    // Unites the members of one group in order into `out`; with `cutting`,
    // pieces are cut below the boxes still to come (see HeightCuts). False
    // when a cut could not be joined again as it should: `out` is then
    // unchanged and the group must be united without cuts.
    auto unite_group = [&](const int* group_members, std::size_t size, bool cutting, polyclip::Contours& out) {
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
            for (polyclip::Contour& c : memo.unite(near, clip)) pieces.add(std::move(c));
        }
        if (!cutting) {
            pieces.finish(out);
            return true;
        }
        polyclip::Contours living;
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

void unite_in_order(const std::vector<std::vector<gpc_vertex>>& contours, gpc_polygon* accumulator) {
    std::vector<ContourView> views;
    views.reserve(contours.size());
    for (const auto& c : contours) views.push_back({c.data(), static_cast<int>(c.size())});
    unite_views(views, accumulator);
}

void unite_boxes(const std::vector<gpc_vertex>& corners, gpc_polygon* accumulator) {
    std::vector<ContourView> views(corners.size() / 4);
    for (std::size_t b = 0; b < views.size(); ++b) views[b] = {corners.data() + 4 * b, 4};
    unite_views(views, accumulator);
}

}  // namespace grow
