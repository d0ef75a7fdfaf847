#include "layers/recipe_steps.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "driver/run_settings.h"
#include "layers/created_files.h"
#include "layers/grow.h"
#include "layers/polygon_files.h"
#include "polygon/polygon_io.h"

namespace {

constexpr const char* SOURCE_NAME = "processlayers";

[[noreturn]] void same_names_error(int line) {
    std::fprintf(stderr, "%s(%d): Error: output specification same as input.\n", SOURCE_NAME, line);
    std::exit(1);
}

std::string polygon_file_name(const std::string& body) { return body + ".gpc"; }

// An operand of a boolean step: its file, or empty.gpc when it has none.
std::FILE* open_operand(const std::string& file_name) {
    std::FILE* f = std::fopen(file_name.c_str(), "r");
    return f != nullptr ? f : open_or_exit("empty.gpc", "r");
}

}  // namespace

void clip_layers(int op, const std::string& first, const std::string& second, const std::string& result) {
    const std::string first_file = polygon_file_name(first);
    const std::string second_file = polygon_file_name(second);
    const std::string result_file = polygon_file_name(result);

    std::FILE* first_stream = open_operand(first_file);
    std::FILE* second_stream = open_operand(second_file);
    gpc_polygon subject{0, nullptr, nullptr};
    gpc_polygon clip{0, nullptr, nullptr};
    gpc_read_polygon(first_stream, 0, &subject);
    gpc_read_polygon(second_stream, 0, &clip);

    // Only the library's operation codes name an operation; any other value
    // gives no strips (and is never converted to the enumeration).
    gpc_tristrip strips{0, nullptr};
    if (op >= GPC_DIFF && op <= GPC_UNION) gpc_tristrip_clip(static_cast<gpc_op>(op), &subject, &clip, &strips);

    // The result is created only now, after both operands have been read.
    std::FILE* result_stream = open_created_file(result_file, "w");
    write_quads(result_stream, &strips);

    gpc_free_polygon(&subject);
    gpc_free_polygon(&clip);
    gpc_free_tristrip(&strips);
    std::fclose(first_stream);
    std::fclose(second_stream);
    close_written_or_exit(result_stream, result_file);
}

namespace {

// The copy reads like a line read into a buffer of 100 characters: pieces of
// at most 99 characters, each ending early after a line feed. The bytes of
// every piece are written as they were read (a NUL byte included), so the
// destination is always identical to the source.
constexpr std::size_t COPY_PIECE = 99;

std::size_t read_piece(std::FILE* in, std::array<char, COPY_PIECE>& piece) {
    std::size_t n = 0;
    while (n < piece.size()) {
        const int c = std::getc(in);
        if (c == EOF) break;
        piece[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    return n;
}

}  // namespace

void copy_layer(const std::string& source, const std::string& destination) {
    if (source == destination) same_names_error(209);
    const std::string source_file = polygon_file_name(source);
    const std::string destination_file = polygon_file_name(destination);

    std::FILE* in = open_or_exit(source_file, "r");
    std::FILE* out = open_created_file(destination_file, "w");
    std::array<char, COPY_PIECE> piece{};
    for (std::size_t n = read_piece(in, piece); n > 0; n = read_piece(in, piece)) std::fwrite(piece.data(), 1, n, out);
    std::fclose(in);
    close_written_or_exit(out, destination_file);
}

namespace {

// Reads the quads of a body file with "%d" counts and "%f %f" vertices and
// widens each one's bounding box by `amount`. A contour with another vertex
// count is reported and passed over. A truncated or malformed file gives the
// boxes of the contours read completely before the fault.
std::vector<grow::FloatBox> read_widened_boxes(std::FILE* in, int amount) {
    std::vector<grow::FloatBox> boxes;
    int contours = 0;
    if (!scan_int(in, contours)) return boxes;
    for (int c = 0; c < contours; ++c) {
        int vertices = 0;
        if (!scan_int(in, vertices)) break;
        if (vertices == 4) {
            float x[4], y[4];
            bool complete = true;
            for (int i = 0; i < 4 && complete; ++i) complete = scan_float(in, x[i]) && scan_float(in, y[i]);
            if (!complete) break;
            boxes.push_back(grow::widen(grow::bounding_box(x, y), amount));
            continue;
        }
        std::fprintf(stderr, "%s(%d): Error: nuber of vertices != 4.\n", SOURCE_NAME, 289);
        bool complete = true;
        for (int v = 0; v < vertices && complete; ++v) {
            float px = 0, py = 0;
            complete = scan_float(in, px) && scan_float(in, py);
        }
        if (!complete) break;
    }
    return boxes;
}

}  // namespace

void grow_layer(const std::string& source, const std::string& destination, int amount) {
    if (source == destination) same_names_error(245);
    const std::string source_file = polygon_file_name(source);
    const std::string destination_file = polygon_file_name(destination);

    std::FILE* in = std::fopen(source_file.c_str(), "r");
    if (in == nullptr) return;  // a missing body grows into nothing

    // tmpdata1.file holds exactly the grown boxes: its count line is their
    // number, and a contour that was passed over leaves no trace in it, so
    // the file always reads back as a whole.
    std::FILE* scratch = open_or_exit("tmpdata1.file", "w");
    const std::vector<grow::FloatBox> boxes = read_widened_boxes(in, amount);
    std::fprintf(scratch, "%zu\n", boxes.size());
    for (const grow::FloatBox& b : boxes) {
        std::fputs("4\n", scratch);
        std::fputs(grow::corner_lines(b).c_str(), scratch);
    }
    std::fclose(in);
    close_written_or_exit(scratch, "tmpdata1.file");

    std::FILE* empty = open_or_exit("empty.gpc", "r");
    std::FILE* out = open_created_file(destination_file, "w");
    gpc_polygon accumulator{0, nullptr, nullptr};
    gpc_read_polygon(empty, 0, &accumulator);
    unite_contours("tmpdata1.file", &accumulator);

    gpc_tristrip strips{0, nullptr};
    gpc_polygon_to_tristrip(&accumulator, &strips);
    write_quads(out, &strips);

    gpc_free_polygon(&accumulator);
    gpc_free_tristrip(&strips);
    std::fclose(empty);
    close_written_or_exit(out, destination_file);
}

void unite_contours(const std::string& path, gpc_polygon* accumulator) {
    std::FILE* in = open_or_exit(path, "r");

    // Every contour is read with "%d" and "%lf %lf" and taken as it would read
    // back from tmpdata2.file after "%.5f %.5f"; the unions then run in memory
    // in file order, which gives the same polygon as uniting through the file
    // one contour at a time.
    std::vector<std::vector<gpc_vertex>> contours;
    std::vector<std::pair<double, double>> last_read;  // the last contour, as read
    int count = 0;
    if (scan_int(in, count)) {
        for (int c = 0; c < count; ++c) {
            int n = 0;
            if (!scan_int(in, n)) break;
            std::vector<gpc_vertex> contour;
            std::vector<std::pair<double, double>> read;
            bool complete = true;
            for (int v = 0; v < n && complete; ++v) {
                double x = 0, y = 0;
                complete = scan_double(in, x) && scan_double(in, y);
                if (complete) {
                    read.emplace_back(x, y);
                    contour.push_back(grow::round_trip(x, y));
                }
            }
            if (!complete) break;
            contours.push_back(std::move(contour));
            last_read = std::move(read);
        }
    }
    std::fclose(in);

    // tmpdata2.file is rewritten for every contour, so after the loop it holds
    // the last one; writing only that one leaves the same file behind.
    if (!contours.empty()) {
        std::FILE* scratch = open_or_exit("tmpdata2.file", "w");
        std::fprintf(scratch, "1\n%zu\n", last_read.size());
        for (const auto& [x, y] : last_read) {
            std::string line;
            grow::round_trip(x, y, &line);
            std::fputs(line.c_str(), scratch);
        }
        close_written_or_exit(scratch, "tmpdata2.file");
    }

    grow::unite_in_order(contours, accumulator);
}
