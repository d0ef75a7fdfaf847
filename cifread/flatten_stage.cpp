#include "cifread/flatten_stage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/run_error.h"
#include "common/file_names.h"
#include "common/line_piece.h"

namespace cifread {

namespace {

// Polygon file coordinates as the byte scanner computes them: the CIF
// distance in double, divided by 100, stored in single precision.
float file_coordinate(std::int64_t half_units) {
    return static_cast<float>((static_cast<double>(half_units) / 2) / 100);
}

}  // namespace

void print_diagnostic(const std::string& file, const Diagnostic& d) {
    if (d.line > 0)
        std::fprintf(stderr, "cif2kavrit: %s:%ld: %s\n", file.c_str(), d.line, d.text.c_str());
    else
        std::fprintf(stderr, "cif2kavrit: %s: %s\n", file.c_str(), d.text.c_str());
}

void write_layer_files(const FlatLayout& layout, const std::string& cif_name, common::PolygonFiles& files) {
    for (const LayerBoxes& layer : layout.layers) {
        if (layer.boxes.empty()) continue;
        if (!common::layer_name_is_safe(layer.name)) {
            print_diagnostic(cif_name, {0, "layer name \"" + layer.name + "\" cannot name a file; its boxes are left out"});
            continue;
        }
        // Each box printed "%.1f %.1f" per corner, as the byte scanner writes it.
        std::vector<common::PointD> corners;
        corners.reserve(4 * layer.boxes.size());
        for (const HalfBox& b : layer.boxes) {
            const double xmin = file_coordinate(b.xmin);
            const double xmax = file_coordinate(b.xmax);
            const double ymin = file_coordinate(b.ymin);
            const double ymax = file_coordinate(b.ymax);
            corners.insert(corners.end(), {{xmin, ymin}, {xmax, ymin}, {xmax, ymax}, {xmin, ymax}});
        }
        files.create(common::polygon_file_name(layer.name),
                     common::PolygonFile(common::VertexFormat::OneDecimal, static_cast<long long>(layer.boxes.size()),
                                         std::move(corners)));
    }
}

common::PolygonFiles flatten_cif(const common::Options& options, std::FILE* cif, const common::Output& out,
                                 common::Trace* trace) {
    const std::string text = common::read_rest(cif);
    if (std::ferror(cif) != 0) throw common::RunError("Error reading file " + options.cif_name + "\n");
    const ReadResult result = read_layout(text);
    if (!result.ok) {
        print_diagnostic(options.cif_name, result.error);
        throw common::RunError("");
    }
    for (const Diagnostic& w : result.layout.warnings) print_diagnostic(options.cif_name, w);
    // Text up to a NUL byte, as the byte scanner writes it.
    if (result.layout.has_end) out.write(common::up_to_nul(result.layout.end_rest));
    common::PolygonFiles files(trace);
    write_layer_files(result.layout, options.cif_name, files);
    return files;
}

void note_if_places_symbols(const common::Options& options, std::FILE* cif) {
    if (cif == nullptr) return;
    const int fd = fileno(cif);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
    SymbolDetector detector;
    std::vector<char> piece(1 << 16);
    off_t offset = 0;
    while (!detector.done()) {
        const ssize_t got = pread(fd, piece.data(), piece.size(), offset);
        if (got <= 0) break;
        detector.feed(piece.data(), static_cast<std::size_t>(got));
        offset += got;
    }
    if (detector.found())
        std::fprintf(stderr, "cif2kavrit: note: %s places symbols; read with --flatten to place every instance\n",
                     options.cif_name.c_str());
}

}  // namespace cifread
