#include "cifread/flatten_stage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cif/cif_reader.h"
#include "driver/run_settings.h"
#include "layers/created_files.h"

namespace {

void print_diagnostic(const cifread::Diagnostic& d) {
    if (d.line > 0)
        std::fprintf(stderr, "cif2kavrit: %s:%ld: %s\n", run_settings.cif_name.c_str(), d.line, d.text.c_str());
    else
        std::fprintf(stderr, "cif2kavrit: %s: %s\n", run_settings.cif_name.c_str(), d.text.c_str());
}

std::string read_all(std::FILE* in) {
    std::string text;
    std::vector<char> piece(1 << 16);
    std::size_t got = 0;
    while ((got = std::fread(piece.data(), 1, piece.size(), in)) > 0) text.append(piece.data(), got);
    return text;
}

// Polygon file coordinates as the byte scanner computes them: the CIF
// distance in double, divided by 100, stored in single precision.
float file_coordinate(std::int64_t half_units) {
    return static_cast<float>((static_cast<double>(half_units) / 2) / 100);
}

}  // namespace

void write_layer_files(const cifread::FlatLayout& layout) {
    for (const cifread::LayerBoxes& layer : layout.layers) {
        if (layer.boxes.empty()) continue;
        if (!layer_name_is_safe(layer.name)) {
            print_diagnostic({0, "layer name \"" + layer.name + "\" cannot name a file; its boxes are left out"});
            continue;
        }
        const std::string name = layer.name + ".gpc";
        std::FILE* out = open_created_file(name, "w");
        std::fprintf(out, "%zu\n", layer.boxes.size());
        for (const cifread::HalfBox& b : layer.boxes) {
            const float xmin = file_coordinate(b.xmin);
            const float xmax = file_coordinate(b.xmax);
            const float ymin = file_coordinate(b.ymin);
            const float ymax = file_coordinate(b.ymax);
            std::fprintf(out, "%d\n", 4);
            std::fprintf(out, "%.1f %.1f\n", xmin, ymin);
            std::fprintf(out, "%.1f %.1f\n", xmax, ymin);
            std::fprintf(out, "%.1f %.1f\n", xmax, ymax);
            std::fprintf(out, "%.1f %.1f\n", xmin, ymax);
        }
        close_written_or_exit(out, name);
    }
}

void flatten_cif() {
    const std::string text = read_all(run_settings.cif_stream);
    const cifread::ReadResult result = cifread::read_layout(text);
    if (!result.ok) {
        print_diagnostic(result.error);
        std::exit(1);
    }
    for (const cifread::Diagnostic& w : result.layout.warnings) print_diagnostic(w);
    // Text up to a NUL byte, as the byte scanner writes it.
    if (result.layout.has_end) std::fputs(result.layout.end_rest.c_str(), output_destination());
    write_layer_files(result.layout);
}

void note_if_places_symbols() {
    if (run_settings.cif_stream == nullptr) return;
    const int fd = fileno(run_settings.cif_stream);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
    cifread::SymbolDetector detector;
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
                     run_settings.cif_name.c_str());
}
