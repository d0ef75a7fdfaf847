// Layer heights and the box list: lifting the rectangles of the final body
// files into 3-D boxes, the list that premason.file holds one line per box.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "common/box.h"
#include "common/polygon_file.h"

namespace layers {

// The vertical build-up of the process, in level units (the z unit of a box).
constexpr int LEVEL1_BASE = 1;
constexpr int LEVEL2_RISE = 2;
constexpr int PLY1_THICKNESS = 2;
constexpr int PLY2_THICKNESS = 2;
constexpr int METAL_THICKNESS = 1;
constexpr int REFL_THICKNESS = 4;
constexpr int PVT_THICKNESS = 3;

struct LevelConstants {
    int level1_base;
    int level2_rise;
    int ply1_thickness;
    int ply2_thickness;
    int metal_thickness;
    int refl_thickness;
    int pvt_thickness;
};

constexpr LevelConstants BUILT_IN_LEVELS{LEVEL1_BASE,    LEVEL2_RISE,    PLY1_THICKNESS, PLY2_THICKNESS,
                                         METAL_THICKNESS, REFL_THICKNESS, PVT_THICKNESS};

// z base, top (= base + thickness) and thickness of a body or layer.
struct LayerHeight {
    int z_base = 0;
    int top = 0;
    int thickness = 0;
};

struct HeightRow {
    std::string_view name;  // upper case
    int z_base;
    int thickness;
};

constexpr int HEIGHT_ROWS = 17;
using HeightTable = std::array<HeightRow, HEIGHT_ROWS>;

// The height table for a set of level constants; every row follows from the
// constants, so changing one moves every row that uses it.
constexpr HeightTable make_height_table(const LevelConstants& c) {
    const int ply2_base = c.level1_base + c.level2_rise;
    const int p2hi_base = c.level1_base + c.level2_rise + c.ply1_thickness;
    const int metal_base = c.level1_base + c.level2_rise + c.ply1_thickness + c.ply2_thickness;
    return HeightTable{{
        {"PLY1", c.level1_base, c.ply1_thickness},
        {"PLY2", ply2_base, c.ply2_thickness},
        {"P2LO", ply2_base + 1, c.ply1_thickness + c.ply2_thickness - 2},
        {"P2HI", p2hi_base, c.ply2_thickness},
        {"C2SL", 0, c.ply2_thickness},
        {"C2SH", 0, c.level1_base + c.level2_rise + c.ply2_thickness - 1},
        {"C21L", c.level1_base + c.ply1_thickness, c.ply2_thickness},
        {"C21H", c.level1_base + c.ply1_thickness, c.level2_rise + c.ply2_thickness - 1},
        {"COF", 0, c.ply2_thickness},
        {"COT", c.level1_base, c.ply1_thickness + c.level2_rise + c.ply2_thickness},
        {"COL", 0, c.level1_base + c.level2_rise + c.ply1_thickness},
        {"CCM", metal_base, c.metal_thickness},
        {"MTL", metal_base, c.metal_thickness},
        {"PVTL", c.level1_base, c.pvt_thickness},
        {"PVTH", p2hi_base, c.pvt_thickness},
        {"REFL", c.level1_base + c.level2_rise + c.ply2_thickness, c.refl_thickness},
        {"BASE", -2, 1},
    }};
}

constexpr HeightTable HEIGHT_TABLE = make_height_table(BUILT_IN_LEVELS);

// Looks `name` up in `table` without regard to case; a name that matches no
// row gets 0, 0, 0.
LayerHeight lookup_layer_height(std::string_view name, const HeightTable& table);
LayerHeight lookup_layer_height(std::string_view name);

// The stems of the body files that become boxes, in order, ended by nullptr.
extern const char* const BODY_LIST[];

// The boxes of one body file: one per four-vertex contour, its x and y extent
// from the truncated coordinates ("%f" reads), z from `height`. A contour with
// another vertex count is reported on `messages` and passed over.
std::vector<common::Box> lift_body(const common::PolygonFile& file, const LayerHeight& height, std::string& messages);

// The box list: for each stem of `body_list` (ended by nullptr) whose file
// "<stem>.gpc" exists, one box per four-vertex contour, in order.
std::vector<common::Box> write_box_list(const common::PolygonFiles& files, const char* const* body_list);

// The text of premason.file for a box list: one line
// "xmin xmax ymin ymax zmin zmax" per box.
std::string box_list_text(const std::vector<common::Box>& boxes);

}  // namespace layers
