#include "chip.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace bench_flatten {

namespace {

const char* const LAYERS[] = {"COL", "CPS", "CPT", "CHT", "CMB", "CCM", "COT", "COF", "CHM", "CHO"};
constexpr long CELL = 2000;  // a leaf cell's side, in CIF units
constexpr int LEAVES = 8;
constexpr int SHAPES_PER_LEAF = 20;

// A small fixed generator, so that every build writes the same layout.
struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    }
    long in(long lo, long hi) { return lo + static_cast<long>(next() % static_cast<std::uint64_t>(hi - lo + 1)); }
};

enum class Kind { Box, Polygon, Wire };

// How a shape's numbers move when written in nanometres: onto the CIF grid,
// onto half units, or onto nanometres between them (rounded when read).
enum class Grid { Whole, Half, Fine };

struct Shape {
    Kind kind;
    int layer;
    Grid grid;
    long width = 0;  // box length and width, or wire width
    long length = 0;
    std::vector<long> numbers;  // box centre, or the points
    // Nanometres added to each size and each distinct coordinate in the
    // nanometre layout: none on the whole grid, 0 or +-5 on the half grid,
    // -4 to 5 on the fine grid. The whole-unit layout is the nanometre one
    // rounded; equal coordinates of a shape stay equal, so that its edges
    // stay upright.
    std::uint64_t seed = 0;
};

int offset_of(const Shape& s, long v, int axis) {
    if (s.grid == Grid::Whole) return 0;
    Random r{s.seed ^ (static_cast<std::uint64_t>(v) * 2654435761ULL) ^ (static_cast<std::uint64_t>(axis) << 40)};
    r.next();
    return s.grid == Grid::Half ? static_cast<int>(r.in(-1, 1)) * 5 : static_cast<int>(r.in(-4, 5));
}

void draw_offsets(Random& r, Shape& s) { s.seed = r.next(); }

// A shape inside slot `slot` of its cell (4 x 5 slots of 500 x 400 units),
// so that the shapes of a cell mostly stand apart, as on a real chip.
Shape random_shape(Random& r, Kind kind, int slot) {
    Shape s{kind, static_cast<int>(r.in(0, 9)), Grid::Whole, 0, 0, {}, 0};
    const long pick = r.in(0, 99);
    if (pick >= 80)
        s.grid = Grid::Fine;
    else if (pick >= 40)
        s.grid = Grid::Half;
    const long x0 = (slot % 4) * 500 + 20;
    const long y0 = (slot / 4) * 400 + 20;
    const long x = x0 + r.in(180, 280);
    const long y = y0 + r.in(150, 210);
    switch (kind) {
        case Kind::Box:
            s.length = r.in(20, 350);
            s.width = r.in(20, 290);
            s.numbers = {x, y};
            break;
        case Kind::Polygon: {
            // An L or a U, corners counter-clockwise.
            const long w = r.in(60, 170);
            const long h = r.in(60, 140);
            const long t = r.in(20, 50);
            if (r.in(0, 1) == 0)
                s.numbers = {x - w, y - h, x + w, y - h, x + w, y - h + t, x - w + t, y - h + t, x - w + t, y + h, x - w, y + h};
            else
                s.numbers = {x - w, y - h, x + w, y - h, x + w, y + h, x + w - t, y + h, x + w - t,
                             y - h + t, x - w + t, y - h + t, x - w + t, y + h, x - w, y + h};
            break;
        }
        case Kind::Wire: {
            s.width = r.in(10, 60);
            long px = x;
            long py = y;
            s.numbers = {px, py};
            const long points = r.in(2, 4);
            for (long i = 1; i < points; ++i) {
                if (i % 2 == 1)
                    px = x0 + r.in(40, 420);
                else
                    py = y0 + r.in(40, 320);
                s.numbers.push_back(px);
                s.numbers.push_back(py);
            }
            break;
        }
    }
    draw_offsets(r, s);
    return s;
}

// A number of a definition in the chosen unit: whole CIF units as they are,
// nanometres ten to a unit plus an offset.
std::string num(long v, bool nm, int offset) { return std::to_string(nm ? 10 * v + offset : v); }

std::string shape_text(const Shape& s, bool nm) {
    // Sizes take axis 2, points x axis 0 and y axis 1.
    auto point = [&](std::size_t k) {
        std::string p(1, ' ');
        p += num(s.numbers[k], nm, offset_of(s, s.numbers[k], static_cast<int>(k % 2)));
        return p;
    };
    std::string t = std::string("L ") + LAYERS[s.layer] + ";\n";
    switch (s.kind) {
        case Kind::Box:
            t += "B " + num(s.length, nm, offset_of(s, s.length, 2)) + " " + num(s.width, nm, offset_of(s, s.width, 3)) +
                 point(0) + point(1);
            break;
        case Kind::Polygon:
            t += "P";
            for (std::size_t k = 0; k < s.numbers.size(); ++k) t += point(k);
            break;
        case Kind::Wire:
            t += "W " + num(s.width, nm, offset_of(s, s.width, 2));
            for (std::size_t k = 0; k < s.numbers.size(); ++k) t += point(k);
            break;
    }
    return t + ";\n";
}

// The placements of the leaves in a tile of 4 x 2 cells: a turn or mirror
// each, and a translation that puts the turned cell in its slot.
struct Placement {
    const char* transform;  // written before the translation
    std::array<int, 4> map;  // xx, xy, yx, yy
    int nm_x = 0;  // an extra shift in nanometres (the nanometre layout only)
    int nm_y = 0;
};
const Placement PLACEMENTS[LEAVES] = {
    {"", {1, 0, 0, 1}},          {"R 0 1 ", {0, -1, 1, 0}},  {"M X ", {-1, 0, 0, 1}}, {"R -1 0 ", {-1, 0, 0, -1}, 5, 0},
    {"M Y ", {1, 0, 0, -1}},     {"R 0 -1 ", {0, 1, -1, 0}}, {"", {1, 0, 0, 1}, 0, 7}, {"M X R 0 1 ", {0, -1, -1, 0}},
};

std::string layout(const std::vector<std::vector<Shape>>& leaves, int rows, int columns, bool nm) {
    const std::string scale = nm ? " 1 10" : "";
    std::string s = nm ? "(a test chip in nanometres);\n" : "(a test chip in CIF units);\n";
    for (int i = 0; i < LEAVES; ++i) {
        s += "DS " + std::to_string(i + 1) + scale + ";\n";
        for (const Shape& shape : leaves[static_cast<std::size_t>(i)]) s += shape_text(shape, nm);
        s += "DF;\n";
    }
    // Symbol 9: the tile; 10: a row of tiles; 11: the chip.
    s += "DS 9" + scale + ";\n";
    for (int i = 0; i < LEAVES; ++i) {
        const Placement& p = PLACEMENTS[i];
        // The image of the cell's square [0, CELL]^2 starts at the smallest
        // image coordinate; shift it to the slot.
        long lo_x = 0, lo_y = 0;
        for (const auto& [cx, cy] : {std::pair<long, long>{0, 0}, {CELL, 0}, {0, CELL}, {CELL, CELL}}) {
            lo_x = std::min(lo_x, p.map[0] * cx + p.map[1] * cy);
            lo_y = std::min(lo_y, p.map[2] * cx + p.map[3] * cy);
        }
        const long slot_x = (i % 4) * CELL;
        const long slot_y = (i / 4) * CELL;
        s += "C " + std::to_string(i + 1) + " " + p.transform + "T " + num(slot_x - lo_x, nm, p.nm_x) + " " +
             num(slot_y - lo_y, nm, p.nm_y) + ";\n";
    }
    s += "DF;\nDS 10" + scale + ";\n";
    for (int c = 0; c < columns; ++c) s += "C 9 T " + num(c * 4 * CELL, nm, 0) + " 0;\n";
    s += "DF;\nDS 11" + scale + ";\n";
    for (int r = 0; r < rows; ++r) s += "C 10 T 0 " + num(r * 2 * CELL, nm, 0) + ";\n";
    return s + "DF;\nC 11;\nE\n";
}

}  // namespace

ChipText chip_layouts(int rows, int columns) {
    if (rows <= 0 || columns <= 0) {
        rows = 80;
        columns = 50;
    }
    Random r{18};
    std::vector<std::vector<Shape>> leaves(LEAVES);
    for (int i = 0; i < LEAVES; ++i) {
        auto& cell = leaves[static_cast<std::size_t>(i)];
        int slot = 0;
        for (int k = 0; k < 10; ++k) cell.push_back(random_shape(r, Kind::Box, slot++));
        for (int k = 0; k < 4; ++k) cell.push_back(random_shape(r, Kind::Polygon, slot++));
        for (int k = 0; k < 5; ++k) cell.push_back(random_shape(r, Kind::Wire, slot++));
        if (i % 2 == 0) {
            // A slanted triangle, which --flatten leaves out with a count.
            Shape t{Kind::Polygon, static_cast<int>(r.in(0, 9)), Grid::Whole, 0, 0, {1620, 1270, 1900, 1270, 1620, 1550}, 0};
            draw_offsets(r, t);
            cell.push_back(t);
        } else {
            cell.push_back(random_shape(r, Kind::Box, slot));
        }
    }
    ChipText out;
    out.whole = layout(leaves, rows, columns, false);
    out.nanometres = layout(leaves, rows, columns, true);
    out.shapes = static_cast<long>(rows) * columns * LEAVES * SHAPES_PER_LEAF;
    return out;
}

}  // namespace bench_flatten
