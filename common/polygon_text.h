// What the polygon file readers take from a polygon file's text, read once.
//
// Every reader of a polygon file follows the same sequence: the contour count
// ("%d"), then per contour its vertex count ("%d") and that many "x y" pairs,
// and stops at the first number it cannot read. The readers differ only in
// the precision they read the vertices with ("%lf" or "%f") and in what they
// do with a contour whose vertex count is not 4. Both precisions take the
// same characters for every number, so one pass keeps both values and every
// reader can take its part from the result.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "common/geometry.h"

namespace common {

// One contour whose vertex count could be read.
struct TextContour {
    int vertex_count = 0;   // as read: it may be zero or negative
    bool complete = false;  // every vertex read; only the last contour can lack some
    std::size_t first = 0;  // its first vertex in TextContours::wide / narrow
    // The vertices it holds: all of them when complete, none otherwise.
    std::size_t held() const { return complete && vertex_count > 0 ? static_cast<std::size_t>(vertex_count) : 0; }
};

struct TextContours {
    // The contours read before the count ran out or a number could not be
    // read, in order.
    std::vector<TextContour> contours;
    std::vector<PointD> wide;    // each vertex as "%lf %lf" reads it
    std::vector<PointF> narrow;  // the same vertex as "%f %f" reads it
};

TextContours read_text_contours(std::string_view text);

// The number readers behind read_text_contours, over `text` from `pos`,
// which they advance past what they take. They read as the C library's
// formatted input reads "%d", "%lf" and "%f" (a "%d" out of the int range,
// which no writer of this program prints, counts as unread).
bool read_text_int(std::string_view text, std::size_t& pos, int& value);
bool read_text_real(std::string_view text, std::size_t& pos, double& wide, float& narrow);

}  // namespace common
