// Polygon files in memory. A polygon file is the text the CIF reader writes
// for a layer and the layer recipe writes for a body: the contour count, then
// per contour its vertex count and its vertex lines. In memory a file keeps
// the values its writer printed and the format it printed them with, so that
// every reader gets exactly the numbers it would read from the text: the
// count line as written (it may promise more or fewer contours than follow)
// and each coordinate as "%lf" or "%f" reads it back from its printed digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/polygon_text.h"
#include "common/trace.h"

namespace common {

// How a writer printed each vertex line of its four-vertex contours.
enum class VertexFormat {
    OneDecimal,  // "%.1f %.1f\n": the CIF reader's boxes
    Quad,        // " %.15f %.15f\n": the quad writer's quads
};

class PolygonFile {
public:
    // "0\n": no contours.
    PolygonFile() = default;

    // The count line `count_line`, then one contour of four vertex lines for
    // every four entries of `vertices`. A non-finite value makes the file one
    // read from its text instead (none of this program's writers prints one):
    // "-nan" or "-inf" is no number to "%lf", so the readers stop there.
    PolygonFile(VertexFormat format, long long count_line, const std::vector<PointD>& vertices);

    // A file given as its bytes (for files that do not come from this
    // program's writers), read once into what every reader takes from it.
    static PolygonFile from_text(std::string text);

    // Whether the file was read from a text; its readers then take
    // text_contours() (which may hold contours of any vertex count) and
    // nothing below applies but render.
    bool is_text() const { return is_text_; }
    const TextContours& text_contours() const { return text_contours_; }
    std::size_t text_size() const { return text_.size(); }

    VertexFormat format() const { return format_; }
    long long count_line() const { return count_line_; }
    std::size_t vertex_count() const { return vertex_count_; }

    // The contours a reader takes: as many as the count line says when it is a
    // positive int, but no more than follow.
    std::size_t contours_read() const;

    // The four vertices of contour `c` as "%lf" and as "%f" read them.
    void read_quad(std::size_t c, PointD out[4]) const;
    void read_quad(std::size_t c, PointF out[4]) const;

    // The bytes of the file.
    std::string render() const;

private:
    friend class PolygonFileWriter;

    // Most files hold the digits of their text rather than the values: each
    // coordinate as a whole number of tenths or hundredths (`scale_`) whose
    // quotient is both the value printed and the value read back (see
    // polygon_file.cpp), and each contour that is an upright rectangle
    // written corner after corner as four such numbers. A file with values
    // that have no such form keeps the printed values themselves.
    enum class Storage { Values, Pairs, Rectangles };

    PointD value(std::size_t i) const;  // as printed (Values) or as read (the others)
    template <class V>
    void read_quad_as(std::size_t c, V out[4]) const;  // both read_quad, in V's precision

    bool is_text_ = false;
    std::string text_;  // the bytes of a file read from a text, for render
    TextContours text_contours_;
    VertexFormat format_ = VertexFormat::Quad;
    long long count_line_ = 0;
    std::size_t vertex_count_ = 0;
    Storage storage_ = Storage::Pairs;
    int scale_ = 10;
    std::vector<PointD> values_;        // Values: x, y per vertex
    std::vector<std::int32_t> digits_;  // Pairs: x, y per vertex; Rectangles: x0, y0, x2, y2 per contour
};

// Builds a polygon file vertex by vertex, without a copy of the vertices as
// doubles beside the compact form.
class PolygonFileWriter {
public:
    PolygonFileWriter(VertexFormat format, std::size_t expected_vertices);
    void add(double x, double y);
    PolygonFile finish(long long count_line);

private:
    void give_up_rectangles();
    void give_up_digits();

    PolygonFile file_;
    bool finite_ = true;
    std::size_t pending_ = 0;  // vertices of an unfinished contour stored as pairs
};

using PolygonFilePtr = std::shared_ptr<const PolygonFile>;

// The polygon files of a run by file name ("<name>.gpc"), with the list of
// names in the order they were created (a name created twice appears twice).
// Creating a name that exists replaces its file, as opening a file for writing
// truncates it. With a trace every file is reported to it as it is created.
// Lookups and creations may come from several threads.
class PolygonFiles {
public:
    explicit PolygonFiles(Trace* trace = nullptr) : trace_(trace) {}
    PolygonFiles(PolygonFiles&& other) noexcept;
    PolygonFiles& operator=(PolygonFiles&& other) noexcept;

    // The run's trace, or null.
    Trace* trace() const { return trace_; }

    void create(const std::string& file_name, PolygonFilePtr file);
    void create(const std::string& file_name, PolygonFile file) {
        create(file_name, std::make_shared<const PolygonFile>(std::move(file)));
    }

    // The file of that name, or null when there is none.
    PolygonFilePtr find(const std::string& file_name) const;

    // Forgets a file that no later step reads (the created-file list keeps its name).
    void release(const std::string& file_name);

    // The names created so far, in order.
    std::vector<std::string> created() const;

private:
    Trace* trace_ = nullptr;
    mutable std::mutex mutex_;
    std::map<std::string, PolygonFilePtr> files_;
    std::vector<std::string> created_;
};

}  // namespace common
