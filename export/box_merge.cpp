#include "export/box_merge.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kavrit {

namespace {

bool same(double a, double b, double tolerance) { return std::fabs(a - b) <= tolerance; }

// True when a and b are one box together; a becomes that box.
bool join(Cuboid& a, const Cuboid& b, double tolerance) {
    for (int axis = 0; axis < 3; ++axis) {
        bool others_equal = true;
        for (int o = 0; o < 3 && others_equal; ++o)
            if (o != axis) others_equal = same(a.lo[o], b.lo[o], tolerance) && same(a.hi[o], b.hi[o], tolerance);
        if (!others_equal) continue;
        // Touching or overlapping along this axis: no gap between them.
        if (b.lo[axis] > a.hi[axis] + tolerance || a.lo[axis] > b.hi[axis] + tolerance) return false;
        a.lo[axis] = std::min(a.lo[axis], b.lo[axis]);
        a.hi[axis] = std::max(a.hi[axis], b.hi[axis]);
        return true;
    }
    return false;
}

}  // namespace

std::vector<Cuboid> join_boxes(std::vector<Cuboid> boxes, double tolerance) {
    // Each pass joins what it can; a joined box may join others, so passes
    // repeat until one joins nothing.  Every join removes a box, so there
    // are at most as many passes as boxes.
    for (bool joined = true; joined;) {
        joined = false;
        for (std::size_t i = 0; i < boxes.size(); ++i)
            for (std::size_t j = i + 1; j < boxes.size();) {
                if (join(boxes[i], boxes[j], tolerance)) {
                    boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(j));
                    joined = true;
                } else {
                    ++j;
                }
            }
    }
    return boxes;
}

std::vector<Cuboid> disjoint_boxes(const std::vector<Cuboid>& boxes, std::size_t max_cells) {
    std::array<std::vector<double>, 3> at;
    for (int a = 0; a < 3; ++a) {
        for (const Cuboid& b : boxes) {
            at[a].push_back(b.lo[a]);
            at[a].push_back(b.hi[a]);
        }
        std::sort(at[a].begin(), at[a].end());
        at[a].erase(std::unique(at[a].begin(), at[a].end()), at[a].end());
    }
    if (at[0].size() < 2 || at[1].size() < 2 || at[2].size() < 2) return {};
    const std::size_t nx = at[0].size() - 1, ny = at[1].size() - 1, nz = at[2].size() - 1;
    if (nx > max_cells / ny || nx * ny > max_cells / nz) return {};
    auto index = [&](int a, double v) {
        return static_cast<std::size_t>(std::lower_bound(at[a].begin(), at[a].end(), v) - at[a].begin());
    };
    // 0 outside, 1 covered and not yet in a box, 2 in a box.
    std::vector<unsigned char> cell(nx * ny * nz, 0);
    auto id = [&](std::size_t x, std::size_t y, std::size_t z) { return (z * ny + y) * nx + x; };
    for (const Cuboid& b : boxes) {
        const std::size_t x0 = index(0, b.lo[0]), x1 = index(0, b.hi[0]);
        const std::size_t y0 = index(1, b.lo[1]), y1 = index(1, b.hi[1]);
        const std::size_t z0 = index(2, b.lo[2]), z1 = index(2, b.hi[2]);
        for (std::size_t z = z0; z < z1; ++z)
            for (std::size_t y = y0; y < y1; ++y)
                for (std::size_t x = x0; x < x1; ++x) cell[id(x, y, z)] = 1;
    }
    auto free_block = [&](std::size_t x0, std::size_t x1, std::size_t y0, std::size_t y1, std::size_t z0,
                          std::size_t z1) {
        for (std::size_t z = z0; z < z1; ++z)
            for (std::size_t y = y0; y < y1; ++y)
                for (std::size_t x = x0; x < x1; ++x)
                    if (cell[id(x, y, z)] != 1) return false;
        return true;
    };
    std::vector<Cuboid> out;
    for (std::size_t z = 0; z < nz; ++z)
        for (std::size_t y = 0; y < ny; ++y)
            for (std::size_t x = 0; x < nx; ++x) {
                if (cell[id(x, y, z)] != 1) continue;
                std::size_t x1 = x + 1, y1 = y + 1, z1 = z + 1;
                while (x1 < nx && cell[id(x1, y, z)] == 1) ++x1;
                while (y1 < ny && free_block(x, x1, y1, y1 + 1, z, z1)) ++y1;
                while (z1 < nz && free_block(x, x1, y, y1, z1, z1 + 1)) ++z1;
                for (std::size_t zz = z; zz < z1; ++zz)
                    for (std::size_t yy = y; yy < y1; ++yy)
                        for (std::size_t xx = x; xx < x1; ++xx) cell[id(xx, yy, zz)] = 2;
                out.push_back({{at[0][x], at[1][y], at[2][z]}, {at[0][x1], at[1][y1], at[2][z1]}});
            }
    return out;
}

}  // namespace kavrit
