// The pieces of the order-preserving union (ordered_union.h) and how they are
// found: an index of the pieces of one group by their extents (common::RectD,
// which touch when their closed rectangles share a point).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <unordered_map>
#include <vector>

#include "polygon/types.h"

namespace polygon {

// The pieces of one touching group, numbered in the order they are made,
// with a grid over their extents to find those that touch a contour. A piece
// is listed in every cell its closed extent meets, so a contour meets it in
// a cell its own extent meets; a piece that would fill many cells (the
// outline of a large plate) is kept in a short list of its own instead. A
// small group has no grid: all its pieces are in that list.
class PieceIndex {
public:
    void start(const std::vector<RectD>& extents, const int* group, std::size_t members) {
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
        RectD all = extents[group[0]];
        double width = 0, height = 0;
        for (std::size_t m = 0; m < members; ++m) {
            const RectD& e = extents[group[m]];
            common::extend(all, e);
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

    void add(Contour&& c) {
        const RectD e = common::bounds_of(c.data(), c.size());
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
    void take_touching(const RectD& e, std::vector<int>& ids) {
        ids.clear();
        ++query_;
        std::size_t keep = 0;
        for (const int id : large_) {
            if (!alive_[id]) continue;
            large_[keep++] = id;
            if (common::touch(extents_[id], e)) take(id, ids);
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
                        if (seen_[id] != query_ && common::touch(extents_[id], e)) take(id, ids);
                    }
                    cell.resize(kept);
                }
            }
            std::sort(ids.begin(), ids.end());
        }
        for (const int id : ids) alive_[id] = 0;
    }

    Contour release(int id) { return std::move(contours_[id]); }
    const RectD& extent(int id) const { return extents_[id]; }
    // The group's extent (in a group with a grid).
    const RectD& group_extent() const { return all_; }

    // Appends the living pieces in the order they were made.
    void finish(Contours& out) {
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

    std::vector<Contour> contours_;
    std::vector<RectD> extents_;
    std::vector<unsigned char> alive_;
    std::vector<unsigned> seen_;
    unsigned query_ = 0;
    std::vector<int> large_;
    std::unordered_map<long long, std::vector<int>> cells_;
    bool gridded_ = false;
    RectD all_{};
    double origin_x_ = 0, origin_y_ = 0, cell_ = 1;
    long long columns_ = 1;
};

}  // namespace polygon
