// Polygon clipping with the interface of the General Polygon Clipper, for the
// rectilinear contours this converter reads and writes: the top layer of the
// engine, an adapter of the C structs onto the clipping facade (clip.h).
// Results (triangle strips and polygons) follow that library's output rules
// exactly.
#pragma once

#include <cstdio>
#include <vector>

#include "polygon/types.h"

typedef enum { GPC_DIFF = 0, GPC_INT = 1, GPC_XOR = 2, GPC_UNION = 3 } gpc_op;

typedef struct {
    double x;
    double y;
} gpc_vertex;

typedef struct {
    int num_vertices;
    gpc_vertex* vertex;
} gpc_vertex_list;

typedef struct {
    int num_contours;
    int* hole;
    gpc_vertex_list* contour;
} gpc_polygon;

typedef struct {
    int num_strips;
    gpc_vertex_list* strip;
} gpc_tristrip;

// Reads a polygon file from the current position of `fp`: the contour count,
// then per contour (and, with read_hole_flags, its hole flag) the vertex count
// and that many "x y" pairs. A truncated or malformed file yields the contours
// read completely so far.
void gpc_read_polygon(std::FILE* fp, int read_hole_flags, gpc_polygon* polygon);

// result = subject op clip as polygon contours. `result` may be `subject`.
void gpc_polygon_clip(gpc_op op, gpc_polygon* subject, gpc_polygon* clip, gpc_polygon* result);

// result = subject op clip as triangle strips.
void gpc_tristrip_clip(gpc_op op, gpc_polygon* subject, gpc_polygon* clip, gpc_tristrip* result);

// The area of `polygon` as triangle strips.
void gpc_polygon_to_tristrip(gpc_polygon* polygon, gpc_tristrip* result);

void gpc_free_polygon(gpc_polygon* polygon);
void gpc_free_tristrip(gpc_tristrip* tristrip);

// True when every contour edge of `polygon` is horizontal or vertical. The
// clipping calls only handle such polygons; for any other they return an
// empty result.
bool gpc_is_rectilinear(const gpc_polygon* polygon);

namespace polygon {

// The engine's operation for a library operation code.
Operation to_operation(gpc_op op);

// A gpc_polygon as an operand (its hole flags play no part: every operand
// counts by the even-odd rule).
class GpcSource final : public ContourSource {
public:
    explicit GpcSource(const gpc_polygon& polygon) : polygon_(polygon) {}
    int count() const override { return polygon_.num_contours > 0 ? polygon_.num_contours : 0; }
    size_t vertices() const override;
    void contour(int i, std::vector<PointD>& out) const override;

private:
    const gpc_polygon& polygon_;
};

}  // namespace polygon
