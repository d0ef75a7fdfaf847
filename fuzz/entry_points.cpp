#include "fuzz/entry_points.h"

#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <vector>

#include "cif/scan_cif.h"
#include "cifread/boxes.h"
#include "cifread/flatten_stage.h"
#include "cifread/layout.h"
#include "common/file_names.h"
#include "common/run_error.h"
#include "common/options.h"
#include "common/output.h"
#include "common/polygon_file.h"
#include "driver/run.h"
#include "gdsread/read_gds.h"
#include "layers/box_list.h"
#include "layers/polygon_files.h"
#include "layers/recipe_steps.h"
#include "polygon/gpc.h"
#include "tests/layers/box_list_support.h"

namespace fs = std::filesystem;

namespace fuzz_entry {

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "cif2kavrit-fuzz-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    root_ = name.data();
    work_ = root_ / "work";
    fs::create_directory(work_);
    previous_ = fs::current_path();
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ec;
    if (fs::current_path(ec) == work_) fs::current_path(previous_, ec);
    fs::remove_all(root_, ec);
}

void ScratchDirectory::enter() { fs::current_path(work_); }

void ScratchDirectory::leave() { fs::current_path(previous_); }

std::string ScratchDirectory::clear_work() {
    std::string names;
    std::error_code ec;
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(work_, ec)) entries.push_back(entry.path());
    for (const fs::path& p : entries) {
        if (!names.empty()) names += ", ";
        names += p.filename().string();
        fs::remove_all(p, ec);
    }
    return names;
}

namespace {

void write_bytes(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The stages work in the current directory; the fuzzing engine reads its
// corpus by relative paths, so the working folder is current only during a run.
class InWorkFolder {
public:
    explicit InWorkFolder(ScratchDirectory& dir) : dir_(dir) { dir_.enter(); }
    ~InWorkFolder() { dir_.leave(); }
    InWorkFolder(const InWorkFolder&) = delete;
    InWorkFolder& operator=(const InWorkFolder&) = delete;

private:
    ScratchDirectory& dir_;
};

const common::Output& null_output() {
    static const common::Output sink(std::fopen("/dev/null", "w"), "/dev/null");
    return sink;
}

// ---------------------------------------------------------------- areas ----

double triangle_area(const gpc_vertex& a, const gpc_vertex& b, const gpc_vertex& c) {
    return std::fabs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y)) / 2;
}

// Area covered by a strip set: every three consecutive vertices of a strip
// are one triangle.
double strip_area(const gpc_tristrip& t) {
    double area = 0;
    for (int s = 0; s < t.num_strips; ++s) {
        const gpc_vertex_list& l = t.strip[s];
        for (int i = 0; i + 2 < l.num_vertices; ++i) area += triangle_area(l.vertex[i], l.vertex[i + 1], l.vertex[i + 2]);
    }
    return area;
}

// Area of a clipper result polygon: outer contours count, holes take away.
double polygon_area(const gpc_polygon& p) {
    double area = 0;
    for (int c = 0; c < p.num_contours; ++c) {
        const gpc_vertex_list& l = p.contour[c];
        double twice = 0;
        for (int i = 0; i < l.num_vertices; ++i) {
            const gpc_vertex& a = l.vertex[i];
            const gpc_vertex& b = l.vertex[(i + 1) % l.num_vertices];
            twice += a.x * b.y - b.x * a.y;
        }
        area += (p.hole != nullptr && p.hole[c] != 0 ? -1 : 1) * std::fabs(twice) / 2;
    }
    return area;
}

// Coordinates for which the areas above are exact enough to compare: finite
// and of a size a layout has.
bool tame(const gpc_polygon& p) {
    for (int c = 0; c < p.num_contours; ++c)
        for (int i = 0; i < p.contour[c].num_vertices; ++i) {
            const gpc_vertex& v = p.contour[c].vertex[i];
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || std::fabs(v.x) > 1e9 || std::fabs(v.y) > 1e9) return false;
        }
    return true;
}

// The contours of `p` at even (or odd) positions, sharing p's vertex arrays.
struct ContourView {
    std::vector<gpc_vertex_list> lists;
    std::vector<int> holes;
    gpc_polygon polygon{0, nullptr, nullptr};
};

void view_of_half(const gpc_polygon& p, int parity, ContourView& v) {
    for (int c = parity; c < p.num_contours; c += 2) {
        v.lists.push_back(p.contour[c]);
        v.holes.push_back(0);
    }
    v.polygon.num_contours = static_cast<int>(v.lists.size());
    v.polygon.contour = v.lists.data();
    v.polygon.hole = v.holes.data();
}

struct StripSet {
    gpc_tristrip t{0, nullptr};
    StripSet() = default;
    StripSet(const StripSet&) = delete;
    StripSet& operator=(const StripSet&) = delete;
    ~StripSet() { gpc_free_tristrip(&t); }
};

struct Polygon {
    gpc_polygon p{0, nullptr, nullptr};
    Polygon() = default;
    Polygon(const Polygon&) = delete;
    Polygon& operator=(const Polygon&) = delete;
    ~Polygon() { gpc_free_polygon(&p); }
};

double clipped_area(gpc_op op, gpc_polygon& a, gpc_polygon& b) {
    StripSet s;
    gpc_tristrip_clip(op, &a, &b, &s.t);
    return strip_area(s.t);
}

void read_polygon_file(const fs::path& path, int hole_flags, gpc_polygon& p) {
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) {
        std::perror("fopen");
        std::abort();
    }
    gpc_read_polygon(f, hole_flags, &p);
    std::fclose(f);
}

bool near(double a, double b, double scale) { return std::fabs(a - b) <= 1e-9 * (scale + 1); }

std::string number(double v) {
    std::ostringstream s;
    s.precision(17);
    s << v;
    return s.str();
}

// The quad writer's file read back: as many four-vertex contours as its count
// line says.
std::string check_quads_read_back(const gpc_tristrip& t) {
    Polygon back;
    layers::read_polygon(common::PolygonFile::from_text(layers::write_quads(&t).render()), &back.p);
    if (back.p.num_contours != layers::count_quads(&t))
        return "write_quads: " + std::to_string(layers::count_quads(&t)) + " quads counted, " +
               std::to_string(back.p.num_contours) + " read back";
    for (int c = 0; c < back.p.num_contours; ++c)
        if (back.p.contour[c].num_vertices != 4) return "write_quads: contour without four vertices";
    return "";
}

std::string check_clipper(gpc_polygon& a, gpc_polygon& again) {
    // Every operation on every input: nothing may crash, and the written
    // quads must read back in step with their count.
    for (gpc_op op : {GPC_DIFF, GPC_INT, GPC_XOR, GPC_UNION}) {
        StripSet s;
        gpc_tristrip_clip(op, &a, &a, &s.t);
        if (std::string problem = check_quads_read_back(s.t); !problem.empty()) return problem;
    }
    StripSet whole;
    gpc_polygon_to_tristrip(&a, &whole.t);
    if (std::string problem = check_quads_read_back(whole.t); !problem.empty()) return problem;

    // Union into the subject itself, as the growing step calls it.
    gpc_polygon_clip(GPC_UNION, &again, &a, &again);
    StripSet united_strips;
    gpc_polygon_to_tristrip(&again, &united_strips.t);

    ContourView even;
    ContourView odd;
    view_of_half(a, 0, even);
    view_of_half(a, 1, odd);
    for (gpc_op op : {GPC_DIFF, GPC_INT, GPC_XOR, GPC_UNION}) {
        StripSet s;
        gpc_tristrip_clip(op, &even.polygon, &odd.polygon, &s.t);
        Polygon p;
        gpc_polygon_clip(op, &even.polygon, &odd.polygon, &p.p);
    }

    if (!gpc_is_rectilinear(&a) || !tame(a)) return "";

    // Within one operand the contours combine by the even-odd rule, so a
    // polygon against itself is that region (or nothing), however its
    // contours overlap, and every way of getting at it has the same area.
    const double region = clipped_area(GPC_UNION, a, a);
    const double scale = region;
    const struct {
        const char* what;
        double area;
        double expected;
    } self[] = {
        {"A & A", clipped_area(GPC_INT, a, a), region},
        {"A - A", clipped_area(GPC_DIFF, a, a), 0},
        {"A ^ A", clipped_area(GPC_XOR, a, a), 0},
        {"strips of A", strip_area(whole.t), region},
        {"polygon A | A", polygon_area(again), region},
        {"strips of polygon A | A", strip_area(united_strips.t), region},
    };
    for (const auto& c : self)
        if (!near(c.area, c.expected, scale))
            return std::string("area of ") + c.what + " is " + number(c.area) + ", expected " + number(c.expected);

    // Even against odd contours: the areas of the four operations hang together.
    const double s_area = clipped_area(GPC_UNION, even.polygon, even.polygon);
    const double c_area = clipped_area(GPC_UNION, odd.polygon, odd.polygon);
    const double u = clipped_area(GPC_UNION, even.polygon, odd.polygon);
    const double i = clipped_area(GPC_INT, even.polygon, odd.polygon);
    const double d = clipped_area(GPC_DIFF, even.polygon, odd.polygon);
    const double x = clipped_area(GPC_XOR, even.polygon, odd.polygon);
    const double big = s_area + c_area + u;
    if (!near(u + i, s_area + c_area, big))
        return "S|C + S&C = " + number(u + i) + " but S + C = " + number(s_area + c_area);
    if (!near(d, s_area - i, big)) return "S-C = " + number(d) + " but S - S&C = " + number(s_area - i);
    if (!near(x, u - i, big)) return "S^C = " + number(x) + " but S|C - S&C = " + number(u - i);
    if (i > s_area + 1e-9 * (big + 1) || i > c_area + 1e-9 * (big + 1)) return "S&C larger than S or C";
    Polygon united;
    gpc_polygon_clip(GPC_UNION, &even.polygon, &odd.polygon, &united.p);
    if (!near(polygon_area(united.p), u, big))
        return "polygon S|C has area " + number(polygon_area(united.p)) + ", strips " + number(u);
    return "";
}

// Every box of the box list has each lower bound at most its upper bound.
std::string check_box_list(const std::vector<common::Box>& boxes) {
    for (const common::Box& b : boxes)
        if (b.xmin > b.xmax || b.ymin > b.ymax || b.zmin > b.zmax)
            return "box list: bounds out of order: " + layers::box_list_text({b});
    return "";
}

}  // namespace

std::string scan_cif_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size) {
    InWorkFolder in_work(dir);
    const fs::path input = dir.root() / "input.cif";
    write_bytes(input, data, size);

    std::FILE* cif = common::open_file(input.string(), "rb");
    const common::PolygonFiles files = cif::scan_cif(cif, null_output());
    std::fclose(cif);

    // Every layer file made reads back as a polygon file.
    for (const std::string& name : files.created()) {
        const common::PolygonFilePtr f = files.find(name);
        if (f == nullptr) return "layer file " + name + " listed but not kept";
        Polygon p;
        layers::read_polygon(*f, &p.p);
    }
    const std::string left = dir.clear_work();
    if (!left.empty()) return "files written by the CIF scan: " + left;
    return "";
}

namespace {

std::string check_layer_boxes(const cifread::LayerBoxes& layer) {
    const std::vector<cifread::HalfBox>& boxes = layer.boxes;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const cifread::HalfBox& b = boxes[i];
        if (!(b.xmin < b.xmax && b.ymin < b.ymax)) return "an empty box on layer " + layer.name;
        if (i > 0) {
            const cifread::HalfBox& p = boxes[i - 1];
            if (p.ymin > b.ymin || (p.ymin == b.ymin && p.xmin >= b.xmin)) return "boxes out of order on layer " + layer.name;
        }
    }
    // Boxes sorted by ymin: a box can only overlap later ones that begin below its top.
    for (std::size_t i = 0; i < boxes.size(); ++i)
        for (std::size_t j = i + 1; j < boxes.size() && boxes[j].ymin < boxes[i].ymax; ++j)
            if (boxes[j].xmin < boxes[i].xmax && boxes[i].xmin < boxes[j].xmax)
                return "overlapping boxes on layer " + layer.name;
    std::vector<cifread::HalfBox> rects;
    for (const cifread::HalfBox& b : boxes) rects.push_back({b.xmin, b.ymin, b.xmax, b.ymax});
    std::vector<cifread::HalfBox> again;
    cifread::SweepBudget budget{~std::uint64_t{0}};
    cifread::union_boxes(rects, again, budget);
    if (again != boxes) return "cutting the boxes of layer " + layer.name + " again changes them";
    return "";
}

}  // namespace

std::string cifread_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    cifread::ReadLimits limits;
    limits.max_placed_boxes = 20000;
    limits.max_instances = 100000;
    limits.max_sweep_steps = 5'000'000;
    const cifread::ReadResult first = cifread::read_layout(text, limits);
    const cifread::ReadResult second = cifread::read_layout(text, limits);
    if (first.ok != second.ok || !(first.error == second.error) || first.layout.warnings != second.layout.warnings)
        return "two reads of the same bytes differ";
    if (!first.ok) {
        if (first.error.text.empty()) return "an error without a message";
        return "";
    }
    for (std::size_t l = 0; l < first.layout.layers.size(); ++l) {
        const cifread::LayerBoxes& layer = first.layout.layers[l];
        if (layer.boxes != second.layout.layers[l].boxes) return "two reads of the same bytes differ";
        const std::string problem = check_layer_boxes(layer);
        if (!problem.empty()) return problem;
    }
    InWorkFolder in_work(dir);
    common::PolygonFiles files;
    cifread::write_layer_files(first.layout, "input.cif", files);
    for (const cifread::LayerBoxes& layer : first.layout.layers) {
        if (layer.boxes.empty() || !common::layer_name_is_safe(layer.name)) continue;
        const common::PolygonFilePtr f = files.find(layer.name + ".gpc");
        if (f == nullptr || f->contours_read() != layer.boxes.size()) return "layer file of " + layer.name + " not made whole";
    }
    const std::string left = dir.clear_work();
    if (!left.empty()) return "files written for the layer files of --flatten: " + left;
    return "";
}

std::string polygon_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size) {
    InWorkFolder in_work(dir);
    const fs::path body = dir.root() / "body.gpc";
    write_bytes(body, data, size);

    std::string problem;
    {
        Polygon a;
        Polygon again;
        Polygon with_holes;
        read_polygon_file(body, 0, a.p);
        read_polygon_file(body, 0, again.p);
        read_polygon_file(body, 1, with_holes.p);
        for (int c = 0; c < a.p.num_contours; ++c)
            if (a.p.hole == nullptr || a.p.hole[c] != 0) problem = "gpc_read_polygon without hole flags set a hole";
        if (problem.empty()) problem = check_clipper(a.p, again.p);
    }

    // The same bytes as a body file of layer processing: grown, clipped, and
    // lifted into the box list.
    common::PolygonFiles files;
    const std::string text(reinterpret_cast<const char*>(data), size);
    layers::write_empty_polygon_file(files);
    files.create("body.gpc", common::PolygonFile::from_text(text));
    layers::grow_layer(files, "body", "grown", 2);
    layers::clip_layers(files, GPC_INT, "body", "grown", "cut");
    layers::copy_layer(files, "body", "copied");
    if (problem.empty() && files.find("copied.gpc")->render() != text) problem = "copy_layer: not the same bytes";
    files.create("ply1.gpc", common::PolygonFile::from_text(text));
    const std::vector<common::Box> boxes = layers_test::write_box_list(files, layers::BODY_LIST);
    if (problem.empty()) problem = check_box_list(boxes);

    const std::string left = dir.clear_work();
    if (problem.empty() && !left.empty()) problem = "files left by layer processing: " + left;
    return problem;
}

std::string pipeline_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size) {
    InWorkFolder in_work(dir);
    const fs::path input = dir.root() / "input.cif";
    const fs::path output = dir.root() / "output.kav";
    write_bytes(input, data, size);

    common::Options options;
    options.cif_name = "input.cif";
    options.out_name = output.string();
    options.summary = (size & 1) != 0;
    options.group = (size & 2) != 0;
    options.linkage = (size & 4) == 0;
    std::FILE* cif = common::open_file(input.string(), "rb");
    common::Output out(common::open_file(output.string(), "w"), output.string());

    driver::run_stages(options, cif, out, nullptr);

    std::fclose(cif);
    std::fclose(out.release());

    const std::string left = dir.clear_work();
    if (!left.empty()) return "files written by the run: " + left;

    // What follows the header (the text of end commands comes before it) is
    // the summary and the blocks, each block opened and closed once.
    const std::string text = read_text(output);
    const std::string footer = "#\n# end of kavrit file\n";
    if (text.size() < footer.size() || text.compare(text.size() - footer.size(), footer.size(), footer) != 0)
        return "output does not end with the footer";
    const std::string header_line = "# Cif file convert to kavrit format\n";
    const std::size_t header = text.rfind(header_line);
    if (header == std::string::npos) return "output without the header";
    std::istringstream body(text.substr(header + header_line.size()));
    long starts = 0, ends = 0, opens = 0, closes = 0;
    for (std::string line; std::getline(body, line);) {
        if (line.rfind("# structure ", 0) == 0 && line.find(" start ---") != std::string::npos) ++starts;
        if (line.rfind("# structure ", 0) == 0 && line.find(" end ---") != std::string::npos) ++ends;
        if (line == "{") ++opens;
        if (line == "}") ++closes;
    }
    if (starts != ends || opens != closes || starts != opens)
        return "unbalanced blocks: " + std::to_string(starts) + " starts, " + std::to_string(ends) + " ends, " +
               std::to_string(opens) + " '{', " + std::to_string(closes) + " '}'";
    return "";
}

std::string gdsread_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size) {
    (void)dir;
    cifread::ReadLimits limits;
    limits.max_placed_boxes = 20000;
    limits.max_instances = 100000;
    limits.max_sweep_steps = 5'000'000;
    static const gdsread::LayerMap map = gdsread::LayerMap::parse(
        "0 COL\n1 CPS\n2 CPT\n3 CCM\n4 COF\n5 COT\n6 CHO\n7 CHT\n8 CMB\n9 CHM\n10/0 CPS\n11 COL\n12 CPS\n"
        "13 CPT\n14 CCM\n15 COL\n");
    auto read = [&](const gdsread::LayerMap* m) {
        gdsread::MemorySource source(data, size);
        return gdsread::read_gds(source, m, "", limits);
    };
    const gdsread::GdsReadResult first = read(&map);
    const gdsread::GdsReadResult second = read(&map);
    if (first.ok != second.ok || first.error.offset != second.error.offset || first.error.text != second.error.text)
        return "two reads of the same bytes differ";
    if (!first.ok) {
        if (first.error.text.empty()) return "an error without a message";
        if (first.error.offset > static_cast<long long>(size)) return "an error past the end of the input";
    }
    const gdsread::GdsReadResult bare = read(nullptr);
    if (first.ok && !bare.ok) return "the library reads with a map but not without one";
    if (!first.ok) return "";
    for (std::size_t l = 0; l < first.layout.layers.size(); ++l) {
        const cifread::LayerBoxes& layer = first.layout.layers[l];
        if (layer.boxes != second.layout.layers[l].boxes) return "two reads of the same bytes differ";
        const std::string problem = check_layer_boxes(layer);
        if (!problem.empty()) return problem;
    }
    return "";
}

}  // namespace fuzz_entry
