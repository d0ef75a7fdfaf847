// The process as data, in one place: the recipe of steps that derives the
// device's bodies from its CIF layers, the bodies that become boxes, and the
// heights of each body. layers/process_layers.cpp runs the recipe and lifts
// the bodies; layers/box_list.cpp looks their heights up.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace layers {

// One step of the recipe: a clip of two bodies (op is GPC_DIFF, GPC_INT or
// GPC_UNION), a copy, or a growing step by `amount`.
struct RecipeStep {
    enum Kind { CLIP, COPY, GROW } kind;
    int op_or_amount;
    const char* first;
    const char* second;  // clips only
    const char* result;
};

// The recipe in order, and the number of its steps.
extern const RecipeStep RECIPE[];
extern const std::size_t RECIPE_STEPS;

// The stems of the body files that become boxes, in order, ended by nullptr.
extern const char* const BODY_LIST[];

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

}  // namespace layers
