// Polygon files as the layer recipe reads and writes them: the empty polygon
// file that every step can fall back on, the quad writer that re-cuts a set of
// triangle strips into four-vertex contours, and the reader that turns a file
// into a polygon of the clipping library.
#pragma once

#include <vector>

#include "common/polygon_file.h"
#include "polygon/gpc.h"

namespace layers {

// Creates "empty.gpc" (the single line "0\n").
void write_empty_polygon_file(common::PolygonFiles& files);

// Number of complete quads that write_quads writes for `strips`.
long long count_quads(const gpc_tristrip* strips);

// `strips` as a polygon file of quads: the quad count, then per quad "4" and
// the vertices left k, right k, right k+1, left k+1 of its strip, each as
// " %.15f %.15f". A strip with an odd vertex count gives only its complete
// quads.
common::PolygonFile write_quads(const gpc_tristrip* strips);

// Reads `file` as the polygon library reads a polygon file without hole
// flags: the count, then per contour the vertex count and "%lf %lf" pairs.
void read_polygon(const common::PolygonFile& file, gpc_polygon* polygon);

// A polygon read from a file for the clipping calls, which only read their
// operands: its vertices live in one array instead of one per contour.
class ReadPolygon {
public:
    explicit ReadPolygon(const common::PolygonFile& file);
    ~ReadPolygon();
    ReadPolygon(const ReadPolygon&) = delete;
    ReadPolygon& operator=(const ReadPolygon&) = delete;

    gpc_polygon* get() { return &polygon_; }

private:
    gpc_polygon polygon_{0, nullptr, nullptr};
    bool owned_ = false;  // read from text by the library, released by it
    std::vector<gpc_vertex> vertices_;
    std::vector<gpc_vertex_list> lists_;
    std::vector<int> holes_;
};

// A std::FILE* over the bytes of a file kept as text, for the readers that
// scan text (closed by the caller); null for an empty text, which holds
// nothing to read.
std::FILE* open_text(const common::PolygonFile& file);

}  // namespace layers
