// The bottom layer of the polygon engine: contours (of common::PointD), the operations,
// and the two interfaces through which operands come in (ContourSource) and
// triangle strips go out (StripSink). Everything else in the engine builds on
// these; nothing here knows of the sweep or of the gpc_* structs.
#pragma once

#include <cstddef>
#include <vector>

#include "common/geometry.h"

namespace polygon {

// Points and bounding boxes in double precision, as every operand and result
// of the engine holds them.
using common::PointD;
using common::RectD;

using Contour = std::vector<PointD>;
using Contours = std::vector<Contour>;

enum class Operation { Difference, Intersection, ExclusiveOr, Union };

struct PolygonResult {
    Contours contours;
    std::vector<bool> holes;
};

// An operand: contours given one at a time, wherever they are kept (the
// sweep reads each contour once, and again only when heights of -0 and +0
// both occur).
class ContourSource {
public:
    virtual int count() const = 0;
    // About how many vertices the contours hold in all (for reserving).
    virtual size_t vertices() const = 0;
    // Contour i's vertices into `out`, replacing what it held.
    virtual void contour(int i, std::vector<PointD>& out) const = 0;

protected:
    ~ContourSource() = default;
};

// Contours kept in our own containers, as an operand.
class ContoursSource final : public ContourSource {
public:
    explicit ContoursSource(const Contours& contours) : contours_(contours) {}
    int count() const override { return static_cast<int>(contours_.size()); }
    size_t vertices() const override {
        size_t n = 0;
        for (const Contour& c : contours_) n += c.size();
        return n;
    }
    void contour(int i, std::vector<PointD>& out) const override {
        out.assign(contours_[i].begin(), contours_[i].end());
    }

private:
    const Contours& contours_;
};

// Takes the triangle strips of a clip one at a time, in the order they were
// opened, each as its vertex pairs from the bottom up (the left vertex of a
// pair first). Strips of fewer than two pairs are left out.
class StripSink {
public:
    // Once, before the first strip, also when there is none: how many strips
    // and vertex pairs in all follow.
    virtual void begin(size_t strips, size_t pairs) = 0;
    virtual void strip(int pairs) = 0;  // a strip of `pairs` pairs begins
    virtual void pair(double xl, double xr, double y) = 0;

protected:
    ~StripSink() = default;
};

}  // namespace polygon
