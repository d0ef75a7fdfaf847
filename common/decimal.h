// Fixed-point decimal text of a number and what a formatted read makes of it.
// std::to_chars and std::from_chars give exactly the digits of printf's "%.Nf"
// and the values of strtod / strtof (both round correctly), without the
// locale and stream machinery.
#pragma once

#include <string>

namespace common {

// Appends `value` as printf("%.*f", precision, value) writes it.
void append_fixed(std::string& out, double value, int precision);

// The value that "%lf" (or "%f") reads back from that text. `value` must be
// finite.
double reread_double(double value, int precision);
float reread_float(double value, int precision);

// Both at once.
struct Reread {
    double as_double;
    float as_float;
};
Reread reread(double value, int precision);

}  // namespace common
