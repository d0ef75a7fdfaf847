// Polygon files in memory. A polygon file is the text the CIF reader writes
// for a layer and the layer recipe writes for a body: the contour count, then
// per contour its vertex count and its vertex lines. In memory a file keeps
// the values its writer printed and the format it printed them with, so that
// every reader gets exactly the numbers it would read from the text: the
// count line as written (it may promise more or fewer contours than follow)
// and each coordinate as "%lf" or "%f" reads it back from its printed digits.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace common {

struct Vertex {
    double x;
    double y;
};

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
    // every four entries of `vertices`. A non-finite value makes the file keep
    // its text instead (none of this program's writers prints one).
    PolygonFile(VertexFormat format, long long count_line, std::vector<Vertex> vertices);

    // A file given as its bytes (for files that do not come from this
    // program's writers); readers then scan the text itself.
    static PolygonFile from_text(std::string text);

    bool is_text() const { return is_text_; }
    const std::string& text() const { return text_; }

    VertexFormat format() const { return format_; }
    long long count_line() const { return count_line_; }
    const std::vector<Vertex>& vertices() const { return vertices_; }

    // The contours a reader takes: as many as the count line says when it is a
    // positive int, but no more than follow.
    std::size_t contours_read() const;

    // A coordinate of this file as "%lf" and as "%f" read it from its text.
    double read_double(double value) const;
    float read_float(double value) const;

    // The bytes of the file.
    std::string render() const;

private:
    bool is_text_ = false;
    std::string text_;
    VertexFormat format_ = VertexFormat::Quad;
    long long count_line_ = 0;
    std::vector<Vertex> vertices_;
};

using PolygonFilePtr = std::shared_ptr<const PolygonFile>;

// The polygon files of a run by file name ("<name>.gpc"), with the list of
// names in the order they were created (a name created twice appears twice).
// Creating a name that exists replaces its file, as opening a file for writing
// truncates it. With `keep` set every file is also written to the current
// directory as it is created. Lookups and creations may come from several
// threads.
class PolygonFiles {
public:
    explicit PolygonFiles(bool keep = false) : keep_(keep) {}
    PolygonFiles(PolygonFiles&& other) noexcept;
    PolygonFiles& operator=(PolygonFiles&& other) noexcept;

    bool keep() const { return keep_; }

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
    bool keep_ = false;
    mutable std::mutex mutex_;
    std::map<std::string, PolygonFilePtr> files_;
    std::vector<std::string> created_;
};

}  // namespace common
