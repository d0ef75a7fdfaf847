// Number readers for polygon files, taking numbers the way the C library's
// formatted input takes "%d", "%lf" and "%f".
#pragma once

#include <cstdio>

// Like fscanf(fp, "%d"): skips white space, reads an optional sign and digits.
// Returns false at the end of the file, when no digit follows, or when the
// value does not fit an int (such text never comes from this program).
bool scan_int(std::FILE* fp, int& value);

// fscanf(fp, "%lf") and fscanf(fp, "%f"); false unless one value converted.
bool scan_double(std::FILE* fp, double& value);
bool scan_float(std::FILE* fp, float& value);
