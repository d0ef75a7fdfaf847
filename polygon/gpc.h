// Polygon clipping with the interface of the General Polygon Clipper, for the
// rectilinear contours this converter reads and writes. Results (triangle
// strips and polygons) follow that library's output rules exactly.
#pragma once

#include <cstdio>

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
