// Values made fit for the output formats: text as valid UTF-8, numbers
// finite and within what the format's numbers hold.
#pragma once

#include <stdexcept>
#include <string>

namespace kavrit {

// The text with every byte that does not belong to a well-formed UTF-8
// sequence (a stray continuation byte, a cut or overlong sequence, a
// surrogate, a code point beyond U+10FFFF) replaced by '?'; all else is kept.
// JSON (glTF, the viewer page) and XML (SVG) take only valid UTF-8, while a
// file name on Linux may hold any byte.
std::string valid_utf8(const std::string& text);

// A coordinate that the output cannot hold: not finite, or beyond the range
// of the format's numbers.  What the message says fits after "kavrit-export: ".
class RangeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// `value` as a single-precision number (STL, glTF); throws RangeError when it
// is not finite or beyond the largest finite float.  `format` names the output
// in the message (".stl").
float checked_float(double value, const char* format);

// `value` itself; throws RangeError when it is not finite.
double checked_double(double value, const char* format);

}  // namespace kavrit
