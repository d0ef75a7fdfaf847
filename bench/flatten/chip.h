// A generated test chip for bench-flatten: cells of boxes, rectilinear
// polygons and wires (with a few slanted shapes) placed with turns and
// mirrors, tiled into rows and columns. The same layout is written twice:
// in whole CIF units, and in nanometres (every symbol `DS n 1 10`), where
// some shapes and some placements sit on nanometres that are no whole CIF
// unit, so that --flatten rounds them as it does a layout that comes in its
// physical units.
#pragma once

#include <string>

namespace bench_flatten {

struct ChipText {
    std::string whole;  // in CIF units
    std::string nanometres;  // the same layout in nanometres, with fractions
    long shapes = 0;  // shapes the layout places
};

// rows x columns tiles of 160 shapes each (rows = columns = 0: 80 x 50,
// 640,000 shapes).
ChipText chip_layouts(int rows, int columns);

}  // namespace bench_flatten
