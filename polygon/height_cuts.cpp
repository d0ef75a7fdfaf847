#include "polygon/height_cuts.h"

#include "common/decimal.h"

namespace polygon {

// A whole number of quarters below 2^52 in size has at most two decimal
// places, so its "%.5f" text is exact and reads back as the value itself;
// any other number is tried through its text.
bool HeightCuts::decimal(double v) {
    if (!std::isfinite(v) || std::fabs(v) >= 0x1p40) return false;
    const double quarters = v * 4;
    return quarters == std::trunc(quarters) || common::reread_double(v, 5) == v;
}

}  // namespace polygon
