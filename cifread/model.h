// What the parser makes of a CIF text: the top level and every symbol
// definition, each with its shapes already turned into rectangles in its own
// coordinates and its calls with their transformations. flatten.cpp places
// them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cifread/boxes.h"
#include "cifread/layout.h"

namespace cifread {

// Ends the reading with a message naming a line (0: no line).
struct ReadError {
    long line;
    std::string text;
};

// A rectangle of a shape in its definition's own coordinates, in halves of
// the written unit (before the definition's scale factor).
struct LocalRect {
    HalfBox rect;
    int layer;
    long line;
    bool first_of_shape;  // the shape's first rectangle (shapes are counted by it)
};

// A linear map that turns by right angles and mirrors: the matrix
// [[xx, xy], [yx, yy]] with entries -1, 0 and 1.
struct RightAngleMap {
    int xx = 1;
    int xy = 0;
    int yx = 0;
    int yy = 1;
};

struct Call {
    int target = 0;     // definition index
    RightAngleMap map;  // the transformations' linear part, in the order written
    std::int64_t tx = 0;  // their translation, in the caller's written units
    std::int64_t ty = 0;
    bool oblique = false;  // a rotation that is no multiple of a right angle
    long line = 0;
};

struct ShapeCount {
    int layer;
    std::uint64_t count;
};

struct Definition {
    std::int64_t number = 0;  // symbol number; the top level has none
    std::int64_t scale_a = 1;  // written distances are multiplied by a / b
    std::int64_t scale_b = 1;
    bool defined = false;
    long line = 0;            // of the DS command
    long first_call_line = 0;  // of the first call, 0 if never called
    bool called_by_symbol = false;
    std::vector<LocalRect> rects;
    std::vector<Call> calls;
    std::vector<ShapeCount> not_rectilinear;  // per layer, shapes that make no boxes
};

struct ParsedLayout {
    std::vector<Definition> definitions;  // [0] is the top level
    std::vector<std::string> layer_names;
    std::vector<Diagnostic> warnings;
    bool has_end = false;
    std::string end_rest;
};

// "1 shape", "2 shapes": a count with the noun in the number it takes.
std::string counted(std::uint64_t n, std::string_view one, std::string_view many);

// Parses the whole text; throws ReadError.
ParsedLayout parse_cif(std::string_view text, SweepBudget& budget);

// Places every instance and cuts each layer into boxes; throws ReadError.
FlatLayout flatten(ParsedLayout& parsed, const ReadLimits& limits, SweepBudget& budget);

}  // namespace cifread
