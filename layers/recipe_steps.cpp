#include "layers/recipe_steps.h"

#include <cstdio>

#include "common/file_names.h"
#include "common/run_error.h"
#include "layers/polygon_files.h"
#include "polygon/ordered_union.h"

namespace layers {

namespace {

// Owners of a polygon and of a strip set that free them on every way out of
// a step, a thrown error included (freeing twice is harmless: the free
// functions leave them empty).
struct PolygonOwner {
    gpc_polygon value{0, nullptr, nullptr};
    PolygonOwner() = default;
    PolygonOwner(const PolygonOwner&) = delete;
    PolygonOwner& operator=(const PolygonOwner&) = delete;
    ~PolygonOwner() { gpc_free_polygon(&value); }
};

struct StripsOwner {
    gpc_tristrip value{0, nullptr};
    StripsOwner() = default;
    StripsOwner(const StripsOwner&) = delete;
    StripsOwner& operator=(const StripsOwner&) = delete;
    ~StripsOwner() { gpc_free_tristrip(&value); }
};

// The messages of the steps name the place in the layer processing that
// found the fault, as "processlayers(N)"; users and scripts know them by
// these numbers, so they stay as they are.
constexpr const char* SOURCE_NAME = "processlayers";
constexpr int COPY_SAME_NAMES_PLACE = 209;
constexpr int GROW_SAME_NAMES_PLACE = 245;
constexpr int GROW_NOT_FOUR_VERTICES_PLACE = 289;

common::RunError same_names_error(int place) {
    return common::RunError(std::string(SOURCE_NAME) + "(" + std::to_string(place) +
                            "): Error: output specification same as input.\n");
}

// An operand of a boolean step: its file, or empty.gpc when it has none.
common::PolygonFilePtr find_operand(const common::PolygonFiles& files, const std::string& file_name) {
    common::PolygonFilePtr f = files.find(file_name);
    if (f == nullptr) f = files.find(common::EMPTY_POLYGON_FILE);
    if (f == nullptr) throw common::open_error(common::EMPTY_POLYGON_FILE);
    return f;
}

}  // namespace

void clip_layers(common::PolygonFiles& files, int op, const std::string& first, const std::string& second,
                 const std::string& result) {
    const common::PolygonFilePtr first_file = find_operand(files, common::polygon_file_name(first));
    const common::PolygonFilePtr second_file = find_operand(files, common::polygon_file_name(second));
    // Only the library's operation codes name an operation; any other value
    // gives no strips (and is never converted to the enumeration).
    const bool known_op = op >= GPC_DIFF && op <= GPC_UNION;
    // The operands are read from their files as the sweep goes, and the
    // strips go straight into the result's quads, which is created only now,
    // after both operands have been read.
    QuadFileSink quads;
    const PolygonFileSource subject(*first_file);
    const PolygonFileSource clip(*second_file);
    if (known_op) polygon::clip_to_sink(polygon::to_operation(static_cast<gpc_op>(op)), subject, clip, quads);
    files.create(common::polygon_file_name(result), quads.finish());
}

void copy_layer(common::PolygonFiles& files, const std::string& source, const std::string& destination) {
    if (source == destination) throw same_names_error(COPY_SAME_NAMES_PLACE);
    const std::string source_file = common::polygon_file_name(source);
    common::PolygonFilePtr f = files.find(source_file);
    if (f == nullptr) throw common::open_error(source_file);
    // A copy holds the same bytes: it shares the source's content.
    files.create(common::polygon_file_name(destination), std::move(f));
}

namespace {

// The widened boxes of a file read from a text: its four-vertex contours as
// "%f %f" reads them. A contour with another vertex count is reported and
// passed over; reading ends at the first contour cut short.
void widen_text_contours(const common::TextContours& text, int amount, std::vector<common::RectF>& boxes) {
    for (const common::TextContour& c : text.contours) {
        if (c.vertex_count != 4) {
            std::fprintf(stderr, "%s(%d): Error: nuber of vertices != 4.\n", SOURCE_NAME, GROW_NOT_FOUR_VERTICES_PLACE);
            if (!c.complete) break;
            continue;
        }
        if (!c.complete) break;
        boxes.push_back(grow::widen(common::bounds_of(&text.narrow[c.first], 4), amount));
    }
}

}  // namespace

std::vector<common::RectF> read_widened_boxes(const common::PolygonFile& file, int amount) {
    std::vector<common::RectF> boxes;
    if (file.is_text()) {
        widen_text_contours(file.text_contours(), amount, boxes);
        return boxes;
    }
    // Files of this program's writers hold four-vertex contours only.
    const std::size_t contours = file.contours_read();
    boxes.reserve(contours);
    for (std::size_t c = 0; c < contours; ++c) {
        common::PointF quad[4];
        file.read_quad(c, quad);
        boxes.push_back(grow::widen(common::bounds_of(quad, 4), amount));
    }
    return boxes;
}

void grow_layer(common::PolygonFiles& files, const std::string& source, const std::string& destination, int amount) {
    if (source == destination) throw same_names_error(GROW_SAME_NAMES_PLACE);
    const common::PolygonFilePtr in = files.find(common::polygon_file_name(source));
    if (in == nullptr) return;  // a missing body grows into nothing

    const std::vector<common::RectF> boxes = read_widened_boxes(*in, amount);
    common::Trace* const trace = files.trace();
    if (trace != nullptr) {
        // tmpdata1.file holds exactly the grown boxes: its count line is their
        // number, and a contour that was passed over leaves no trace in it.
        std::string text = std::to_string(boxes.size()) + "\n";
        for (const common::RectF& b : boxes) text += "4\n" + grow::corner_lines(b);
        trace->made(common::TMPDATA1_FILE, text);
    }

    // Both are freed when they leave scope: the trace may throw a write
    // error while they hold the union.
    PolygonOwner accumulator;
    unite_contours(boxes, &accumulator.value, trace);
    StripsOwner strips;
    gpc_polygon_to_tristrip(&accumulator.value, &strips.value);
    gpc_free_polygon(&accumulator.value);
    files.create(common::polygon_file_name(destination), write_quads(&strips.value));
}

void unite_contours(const std::vector<common::RectF>& boxes, gpc_polygon* accumulator, common::Trace* trace) {
    const bool keep = trace != nullptr;
    // Every corner is taken as it reads back from tmpdata1.file ("%.2f") and
    // then from tmpdata2.file ("%.5f"); the unions then run in memory in
    // order, which gives the same polygon as uniting through the files one
    // box at a time. A corner that does not read back ends the reading.
    std::vector<gpc_vertex> all_corners;  // four per box
    all_corners.reserve(4 * boxes.size());
    std::vector<common::PointD> read, last_read;
    std::vector<gpc_vertex> corners;
    for (const common::RectF& b : boxes) {
        if (!grow::reread_corners(b, corners, keep ? &read : nullptr)) break;
        all_corners.insert(all_corners.end(), corners.begin(), corners.end());
        if (keep) last_read.swap(read);
    }
    // tmpdata2.file is rewritten for every box, so after the loop it holds
    // the last one.
    if (keep && !all_corners.empty()) {
        std::string text = "1\n" + std::to_string(last_read.size()) + "\n";
        for (const common::PointD& p : last_read) text += grow::tmpdata2_line(p.x, p.y);
        trace->made(common::TMPDATA2_FILE, text);
    }
    polygon::unite_boxes(all_corners, accumulator);
}

}  // namespace layers
