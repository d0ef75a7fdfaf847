// Polygon files as the layer recipe reads and writes them: the empty polygon
// file that every step can fall back on, the quad writer that re-cuts a set of
// triangle strips into four-vertex contours, and the reader that turns a file
// into a polygon of the clipping library.
#pragma once

#include <optional>
#include <vector>

#include "common/polygon_file.h"
#include "polygon/clip.h"
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
// flags: the count, then per contour the vertex count and "%lf %lf" pairs;
// the contours before the first one cut short, empty ones included.
void read_polygon(const common::PolygonFile& file, gpc_polygon* polygon);

// A polygon read from a file for the clipping calls, which only read their
// operands: its vertices live in one array instead of one per contour.
class ReadPolygon {
public:
    explicit ReadPolygon(const common::PolygonFile& file);
    ReadPolygon(const ReadPolygon&) = delete;
    ReadPolygon& operator=(const ReadPolygon&) = delete;

    gpc_polygon* get() { return &polygon_; }

private:
    gpc_polygon polygon_{0, nullptr, nullptr};
    std::vector<gpc_vertex> vertices_;
    std::vector<gpc_vertex_list> lists_;
    std::vector<int> holes_;
};

// A polygon file as an operand of the clipping engine, read contour by
// contour: the contours ReadPolygon would hold, with the same values (the
// four vertices read_quad gives for a file of this program's writers; the
// complete contours of a file read from a text).
class PolygonFileSource final : public polygon::ContourSource {
public:
    explicit PolygonFileSource(const common::PolygonFile& file);
    int count() const override { return count_; }
    size_t vertices() const override { return vertices_; }
    void contour(int i, std::vector<common::PointD>& out) const override;

private:
    const common::PolygonFile& file_;
    int count_ = 0;
    size_t vertices_ = 0;
};

// Cuts the strips it is given into quads, as write_quads cuts the strips of a
// gpc_tristrip, straight into a polygon file.
class QuadFileSink final : public polygon::StripSink {
public:
    void begin(size_t strips, size_t pairs) override;
    void strip(int pairs) override;
    void pair(double xl, double xr, double y) override;
    // The file (of no quads when begin was never called).
    common::PolygonFile finish();

private:
    std::optional<common::PolygonFileWriter> writer_;
    long long quads_ = 0;
    bool have_previous_ = false;
    double xl_ = 0, xr_ = 0, y_ = 0;  // the pair before, in this strip
};

}  // namespace layers
