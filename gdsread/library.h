// What the record reader makes of a GDSII library: its database unit and its
// structures, each with its shapes and its references, in database units as
// written. build.cpp turns a library into the placing engine's model.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/geometry.h"
#include "gdsread/records.h"

namespace gdsread {

enum class ShapeKind { Boundary, Box, Path };

struct Shape {
    ShapeKind kind = ShapeKind::Boundary;
    int layer = 0;
    int data_type = 0;  // DATATYPE, or BOXTYPE for a BOX element
    int path_type = 0;
    std::int64_t width = 0;  // negative: absolute, not magnified
    std::int64_t begin_extension = 0;
    std::int64_t end_extension = 0;
    std::vector<common::Point64> points;
    long long offset = 0;  // of the element's first record
};

struct Reference {
    std::string name;
    int target = -1;  // structure index, set once every structure is read
    bool array = false;
    int columns = 1;
    int rows = 1;
    common::Point64 origin;
    common::Point64 column_end;  // AREF: origin + columns * column step
    common::Point64 row_end;     // AREF: origin + rows * row step
    bool reflect = false;
    bool absolute_magnification = false;
    bool absolute_angle = false;
    double magnification = 1;
    double angle = 0;  // degrees, counter-clockwise
    long long offset = 0;
};

struct Structure {
    std::string name;
    long long offset = 0;  // of BGNSTR
    std::vector<Shape> shapes;
    std::vector<Reference> references;
};

struct Library {
    double database_unit = 0;  // metres, as the UNITS record holds it
    std::vector<Structure> structures;
    std::map<std::string, int> index;  // structure name -> index
    // Record types the format does not define, each with the offset of its
    // first record.
    std::map<int, long long> unknown_types;
};

// The structure that a widely used layout editor writes to keep its library
// context; never placed.
inline const std::string CONTEXT_STRUCTURE = "$$$CONTEXT_INFO$$$";

// Reads the whole stream from HEADER to ENDLIB and resolves every reference;
// throws GdsError (a record that is not sound or out of place, a structure
// defined twice, a reference to an undefined structure, an AREF with no
// columns or rows, a structure that references itself).
Library read_library(ByteSource& source);

}  // namespace gdsread
