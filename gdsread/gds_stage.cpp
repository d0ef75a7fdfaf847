#include "gdsread/gds_stage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cifread/flatten_stage.h"
#include "cifread/model.h"
#include "common/run_error.h"
#include "common/line_piece.h"
#include "gdsread/read_gds.h"

namespace gdsread {

namespace {

void print_message(const std::string& file, const GdsError& m) {
    if (m.offset >= 0)
        std::fprintf(stderr, "cif2kavrit: %s: offset %lld: %s\n", file.c_str(), m.offset, m.text.c_str());
    else
        std::fprintf(stderr, "cif2kavrit: %s: %s\n", file.c_str(), m.text.c_str());
}

std::string plural(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

LayerMap read_map(const common::Options& options) {
    std::FILE* f = common::open_file(options.layers_name, "rb");
    const std::string text = common::read_rest(f);
    std::fclose(f);
    try {
        return LayerMap::parse(text);
    } catch (const MapError& e) {
        std::fprintf(stderr, "cif2kavrit: %s:%ld: %s\n", options.layers_name.c_str(), e.line, e.text.c_str());
        throw common::RunError("");
    }
}

// The first try without a map: what the file holds, and a map to start from.
[[noreturn]] void ask_for_map(const common::Options& options, const std::vector<LayerCount>& layers) {
    const char* name = options.cif_name.c_str();
    std::fprintf(stderr, "cif2kavrit: %s: a GDSII file needs a layer map: --layers FILE\n", name);
    std::fprintf(stderr, "cif2kavrit: %s: it holds %s:\n", name,
                 plural(layers.size(), "layer/data type pair", "layer/data type pairs").c_str());
    for (const LayerCount& l : layers)
        std::fprintf(stderr, "  %d/%d: %s\n", l.layer, l.data_type, plural(l.shapes, "shape", "shapes").c_str());
    std::fprintf(stderr,
                 "A map to start from (one entry a line, LAYER/DATATYPE NAME or LAYER NAME for every data type;\n"
                 "'#' starts a comment; replace each name by a process layer such as COL, COF, COT, CPS, CPT,\n"
                 "CHO, CHT, CMB, CCM, CHM, and delete the lines of layers to leave out):\n");
    for (const LayerCount& l : layers) std::fprintf(stderr, "%d/%d L%d_%d\n", l.layer, l.data_type, l.layer, l.data_type);
    throw common::RunError("");
}

}  // namespace

bool is_gdsii(std::FILE* file) {
    if (file == nullptr) return false;
    const int fd = fileno(file);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    unsigned char head[4] = {1, 1, 1, 1};
    if (pread(fd, head, 4, 0) != 4) return false;
    return head[0] == 0x00 && head[1] == 0x06 && head[2] == 0x00 && head[3] == 0x02;
}

common::PolygonFiles read_gds_stage(const common::Options& options, std::FILE* gds, const common::Output& out,
                                    common::Trace* trace) {
    LayerMap map;
    const bool has_map = !options.layers_name.empty();
    if (has_map) map = read_map(options);
    FileSource source(gds);
    const GdsReadResult result = read_gds(source, has_map ? &map : nullptr, options.top_name);
    if (!result.ok) {
        print_message(options.cif_name, result.error);
        throw common::RunError("");
    }
    for (const GdsError& w : result.warnings) print_message(options.cif_name, w);
    if (!has_map) ask_for_map(options, result.layers);
    for (const cifread::Diagnostic& w : result.layout.warnings) cifread::print_diagnostic(options.cif_name, w);
    out.write(common::up_to_nul(result.layout.end_rest));
    common::PolygonFiles files(trace);
    cifread::write_layer_files(result.layout, options.cif_name, files);
    return files;
}

common::PolygonFiles read_cif_mapped(const common::Options& options, std::FILE* cif, const common::Output& out,
                                     common::Trace* trace) {
    const LayerMap map = read_map(options);
    const std::string text = common::read_rest(cif);
    const cifread::ReadLimits limits;
    cifread::SweepBudget budget{limits.max_sweep_steps};
    cifread::FlatLayout layout;
    std::vector<std::string> unmapped;
    try {
        cifread::ParsedLayout parsed = cifread::parse_cif(text, budget);
        // Old layer index -> new one (-1: left out), and the shapes left out.
        std::vector<int> to(parsed.layer_names.size(), -1);
        std::vector<std::string> names;
        std::vector<std::uint64_t> dropped(parsed.layer_names.size(), 0);
        for (std::size_t l = 0; l < parsed.layer_names.size(); ++l) {
            const std::string* name = map.cif_name(parsed.layer_names[l]);
            if (name == nullptr) continue;
            const auto it = std::find(names.begin(), names.end(), *name);
            to[l] = static_cast<int>(it - names.begin());
            if (it == names.end()) names.push_back(*name);
        }
        for (cifread::Definition& d : parsed.definitions) {
            std::vector<cifread::LocalRect> rects;
            for (cifread::LocalRect& r : d.rects) {
                const int t = to[static_cast<std::size_t>(r.layer)];
                if (t < 0) {
                    if (r.first_of_shape) ++dropped[static_cast<std::size_t>(r.layer)];
                    continue;
                }
                r.layer = t;
                rects.push_back(r);
            }
            d.rects = std::move(rects);
            std::vector<cifread::ShapeCount> counts;
            for (cifread::ShapeCount& c : d.not_rectilinear) {
                const int t = to[static_cast<std::size_t>(c.layer)];
                if (t < 0) {
                    dropped[static_cast<std::size_t>(c.layer)] += c.count;
                    continue;
                }
                c.layer = t;
                counts.push_back(c);
            }
            d.not_rectilinear = std::move(counts);
        }
        for (std::size_t l = 0; l < parsed.layer_names.size(); ++l)
            if (to[l] < 0)
                unmapped.push_back("layer " + parsed.layer_names[l] + " (" + plural(dropped[l], "shape", "shapes") +
                                   ") is not in the layer map; left out");
        parsed.layer_names = std::move(names);
        layout = cifread::flatten(parsed, limits, budget);
    } catch (const cifread::ReadError& e) {
        cifread::print_diagnostic(options.cif_name, {e.line, e.text});
        throw common::RunError("");
    }
    for (const std::string& u : unmapped) cifread::print_diagnostic(options.cif_name, {0, u});
    for (const cifread::Diagnostic& w : layout.warnings) cifread::print_diagnostic(options.cif_name, w);
    if (layout.has_end) out.write(common::up_to_nul(layout.end_rest));
    common::PolygonFiles files(trace);
    cifread::write_layer_files(layout, options.cif_name, files);
    return files;
}

}  // namespace gdsread
