// Unions of a few vertices, remembered by their shape.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "polygon/types.h"

namespace polygon {

// The unions of the order-preserving union, remembered by their shape. The
// union sweep compares x values only with x values and y values only with y
// values, and each vertex it gives takes its x and its y from vertices of its operands;
// so two unions whose operands have the same contours with the same numbers
// of vertices, and whose values stand in the same order and equalities,
// give the same contours with the values put in place. A union of a few
// vertices is taken from the union of that shape met before, when there was
// one; values of -0 and values that are not finite always go through the
// sweep. When few unions repeat, the memo stops looking.
class UnionMemo {
public:
    // The contours of clip_to_polygon(Operation::Union, subject, {clip}).
    Contours unite(const Contours& subject, const Contour& clip);

    std::size_t hits() const { return hits_; }

private:
    bool find_shape(const Contours& subject, const Contour& clip);
    bool remember(const Contours& result);
    Contours recall(const std::string& shape) const;

    std::unordered_map<std::string, std::string> shapes_;
    std::string key_;
    std::vector<double> xs_, ys_;  // the distinct values of the operands, in order
    std::size_t looked_ = 0, hits_ = 0;
    bool looking_ = true;
};

}  // namespace polygon
