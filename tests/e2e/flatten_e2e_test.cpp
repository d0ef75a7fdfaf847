// cif2kavrit --flatten through the real binary: layouts drawn with symbols
// against the same layouts written flat, the scanner's own flat dialect with
// and without the option, the option on the command line, and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>

#include "harness.h"

namespace {

using e2e::run_cif2kavrit;
using Names = std::set<std::string>;

const std::string NOTE_TAIL = " places symbols; read with --flatten to place every instance\n";

// The output without the header's file name line and time line, and without
// what came before the header (the rest of the end command's line).
std::string comparable(const std::string& output) {
    std::string masked = e2e::mask_time_line(output);
    const std::size_t header = masked.find("#\n# cif input file: ");
    if (header == std::string::npos) return masked;
    masked.erase(0, header);
    masked.erase(2, masked.find('\n', 2) - 1);  // "# cif input file: NAME\n"
    return masked;
}

// A conversion that must end well: returns the -o file.
std::string convert_ok(const std::vector<std::string>& options, const std::string& name, const std::string& cif,
                       const std::string& err = "") {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-o", "out.kav", name});
    const e2e::RunResult r = run_cif2kavrit(args, {{name, cif}});
    EXPECT_TRUE(r.ended_cleanly()) << r.err;
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.file_names(), (Names{name, "out.kav"}));
    return r.output_file.value_or("<no output file>");
}

std::size_t count_of(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string data_file(const std::string& path) {
    const std::string text = e2e::read_file(e2e::source_dir() + "/tests/data/" + path);
    EXPECT_FALSE(text.empty()) << path;
    return text;
}

// ---------------------------------------------------------------- pairs ----

TEST(Flatten, HierarchicalLayoutsMatchTheirFlatCopies) {
    for (const char* sample : {"sample-0.cif", "sample-1.cif", "sample-2.cif"}) {
        SCOPED_TRACE(sample);
        const std::string hierarchical = data_file(std::string("cif-hierarchy/hierarchical/") + sample);
        const std::string flat = data_file(std::string("cif-hierarchy/flat/") + sample);
        for (const std::vector<std::string>& options :
             {std::vector<std::string>{"--flatten", "-s"}, {"-r", "--flatten", "-nolinkage"}}) {
            const std::string a = convert_ok(options, "h.cif", hierarchical);
            const std::string b = convert_ok(options, "f.cif", flat);
            EXPECT_TRUE(comparable(a) == comparable(b));
            // The device is there: many structures, hinged ones, reflectors.
            EXPECT_GT(count_of(a, "start -----"), 100u);
            EXPECT_GT(count_of(a, "reflect start"), 10u);
            EXPECT_GT(count_of(a, "anchor: true"), 10u);
        }
        // Read as written, the two files give other devices, with the note.
        const std::string a = convert_ok({"-s"}, "h.cif", hierarchical, "cif2kavrit: note: h.cif" + NOTE_TAIL);
        const std::string b = convert_ok({"-s"}, "f.cif", flat, "cif2kavrit: note: f.cif" + NOTE_TAIL);
        EXPECT_FALSE(comparable(a) == comparable(b));
        EXPECT_FALSE(comparable(a) == comparable(convert_ok({"-s", "--flatten"}, "h.cif", hierarchical)));
    }
}

// Designs of our own: the shipped device placed through symbols three deep,
// against the same layout flattened here by plain arithmetic on box centres
// and written as a layout tool writes flat files (tenths of a unit, one symbol,
// commas between coordinates).

struct CifBox {
    std::string layer;
    std::int64_t length, width, x, y;  // in tenths of a CIF unit
};

// One call: its transformations in the order written, as CIF text and as
// operations on a box (a translation in the caller's written units).
struct Op {
    char kind;  // 'T', 'X' (mirror in x), 'Y' (mirror in y), 'R' (rotation by (a, b))
    std::int64_t a, b;
};

std::string op_text(const Op& op) {
    switch (op.kind) {
        case 'T':
            return " T " + std::to_string(op.a) + " " + std::to_string(op.b);
        case 'X':
            return " M X";
        case 'Y':
            return " M Y";
        default:
            return " R " + std::to_string(op.a) + " " + std::to_string(op.b);
    }
}

// `caller_scale` is the caller's a / b as tenths per written unit.
void apply(const Op& op, std::int64_t caller_tenths_num, std::int64_t caller_tenths_den, CifBox& b) {
    switch (op.kind) {
        case 'T':
            b.x += op.a * caller_tenths_num / caller_tenths_den;
            b.y += op.b * caller_tenths_num / caller_tenths_den;
            break;
        case 'X':
            b.x = -b.x;
            break;
        case 'Y':
            b.y = -b.y;
            break;
        default:
            if (op.b == 0 && op.a < 0) {
                b.x = -b.x;
                b.y = -b.y;
            } else if (op.a == 0) {  // a quarter turn one way or the other
                const std::int64_t x = b.x;
                b.x = op.b > 0 ? -b.y : b.y;
                b.y = op.b > 0 ? x : -x;
                std::swap(b.length, b.width);
            }
    }
}

struct Design {
    const char* name;
    std::int64_t cell_a, cell_b;  // scale of symbol 1, which holds the device
    std::vector<std::vector<Op>> calls2;  // symbol 2 places symbol 1 with each
    std::int64_t mid_a, mid_b;           // scale of symbol 2
    std::vector<std::vector<Op>> calls3;  // symbol 3 places symbol 2 with each
    std::int64_t top_a, top_b;           // scale of symbol 3
    std::vector<std::vector<Op>> calls_top;  // the top level places symbol 3
    bool define_last;                    // calls come before the definitions
    bool copies_apart;                   // no two copies of the device overlap
};

std::vector<CifBox> device_boxes() {
    // Every box of the example, with the layer in force; its symbol is
    // placed once as it stands, so its boxes count as written.
    std::vector<CifBox> boxes;
    std::istringstream in(e2e::read_file(e2e::source_dir() + "/examples/hinged_mirror.cif"));
    std::string line;
    std::string layer;
    while (std::getline(in, line)) {
        if (line.rfind("L ", 0) == 0) layer = line.substr(2, line.find(';') - 2);
        long l = 0, w = 0, x = 0, y = 0;
        if (line.rfind("B ", 0) == 0 && std::sscanf(line.c_str(), "B %ld %ld %ld %ld;", &l, &w, &x, &y) == 4)
            boxes.push_back({layer, l * 10, w * 10, x * 10, y * 10});
    }
    return boxes;
}

std::string hierarchical_text(const Design& d, const std::vector<CifBox>& device) {
    auto scale = [](std::int64_t a, std::int64_t b) {
        return a == 1 && b == 1 ? std::string() : " " + std::to_string(a) + " " + std::to_string(b);
    };
    auto calls = [](int target, const std::vector<std::vector<Op>>& list) {
        std::string s;
        for (const auto& ops : list) {
            s += "C " + std::to_string(target);
            for (const Op& op : ops) s += op_text(op);
            s += ";\n";
        }
        return s;
    };
    // Symbol 1's boxes are written in its own units: tenths * b / (10 a).
    std::string s1 = "DS 1" + scale(d.cell_a, d.cell_b) + ";\n";
    for (const CifBox& b : device) {
        auto w = [&](std::int64_t v) { return std::to_string(v * d.cell_b / (10 * d.cell_a)); };
        s1 += "L " + b.layer + ";\nB " + w(b.length) + " " + w(b.width) + " " + w(b.x) + " " + w(b.y) + ";\n";
    }
    s1 += "DF;\n";
    const std::string s2 = "DS 2" + scale(d.mid_a, d.mid_b) + ";\n" + calls(1, d.calls2) + "DF;\n";
    const std::string s3 = "(the array);\nDS 3" + scale(d.top_a, d.top_b) + ";\n" + calls(2, d.calls3) + "DF;\n";
    const std::string top = calls(3, d.calls_top);
    return d.define_last ? top + s3 + s2 + s1 + "E\n" : s1 + s2 + s3 + top + "E\n";
}

std::string flat_text(const Design& d, const std::vector<CifBox>& device) {
    std::string s = "(flat copy);\nDS 1 1 10;\n9 CIF_TOP;\n";
    for (const auto& c3 : d.calls_top)
        for (const auto& c2 : d.calls3)
            for (const auto& c1 : d.calls2)
                for (CifBox b : device) {
                    for (const Op& op : c1) apply(op, 10 * d.mid_a, d.mid_b, b);
                    for (const Op& op : c2) apply(op, 10 * d.top_a, d.top_b, b);
                    for (const Op& op : c3) apply(op, 10, 1, b);
                    s += "L " + b.layer + ";\nB " + std::to_string(b.length) + " " + std::to_string(b.width) + " " +
                         std::to_string(b.x) + "," + std::to_string(b.y) + ";\n";
                }
    return s + "DF;\nC1;\nE\n";
}

TEST(Flatten, OwnDesignsThreeDeepMatchTheirFlatCopies) {
    const std::vector<CifBox> device = device_boxes();
    ASSERT_GT(device.size(), 20u);
    // Symbol 1 of the second design writes the device at half its size.
    for (const CifBox& b : device) ASSERT_TRUE(b.length % 20 == 0 && b.width % 20 == 0 && b.x % 20 == 0 && b.y % 20 == 0);
    const std::vector<Design> designs = {
        {"mirrors and turns", 1, 1,
         {{{'T', 0, 0}}, {{'X', 0, 0}, {'T', -30000, 0}}, {{'R', 0, 1}, {'T', 0, 30000}}},
         1, 1,
         {{{'Y', 0, 0}, {'R', -1, 0}, {'T', 200000, 0}}, {{'T', 0, -200000}}},
         1, 1,
         {{{'R', 0, -1}, {'T', 7, 3}}},
         false, true},
        {"scale factors at every level, calls first", 2, 1,
         {{{'R', 0, -1}, {'X', 0, 0}}, {{'T', 30000, 0}, {'Y', 0, 0}}},
         1, 2,
         {{{'T', 0, 0}}, {{'R', 0, 1}, {'T', 0, 400000}}},
         5, 1,
         {{{'T', 1000, 2000}}, {{'Y', 0, 0}, {'T', -3000000, 500}}},
         true, true},
        {"odd sizes and a tenth-scale cell", 1, 10,
         {{{'X', 0, 0}, {'Y', 0, 0}}, {{'R', 0, 1}, {'R', 0, 1}, {'T', 50, 50}}},
         3, 1,
         {{{'T', 5, 5}, {'R', 0, -1}}, {{'X', 0, 0}, {'T', 333, 0}}},
         1, 1,
         {{}, {{'T', 0, 100001}}},
         false, false},
    };
    for (const Design& d : designs) {
        SCOPED_TRACE(d.name);
        const std::string a = convert_ok({"--flatten", "-s"}, "h.cif", hierarchical_text(d, device));
        const std::string b = convert_ok({"--flatten", "-s"}, "f.cif", flat_text(d, device));
        EXPECT_TRUE(comparable(a) == comparable(b));
        // Every copy of the device has its mirror, unless copies overlap.
        const std::size_t copies = d.calls2.size() * d.calls3.size() * d.calls_top.size();
        EXPECT_GE(count_of(a, "reflect start"), d.copies_apart ? copies : 1);
    }
}

// ------------------------------------------------- the scanner's dialect ----

// The boxes of a kavrit file, per structure, as (xmin, xmax, ymin, ymax,
// zmin, zmax) in tenths of a micrometre (sizes and centres carry one
// decimal).
struct Structure {
    bool anchored = false;
    std::vector<std::array<long, 6>> boxes;
};

std::vector<Structure> structures_of(const std::string& kavrit) {
    std::vector<Structure> out;
    std::istringstream in(kavrit);
    std::string line;
    while (std::getline(in, line)) {
        if (line == "{") out.emplace_back();
        if (out.empty()) continue;
        if (line.find("anchor: true") != std::string::npos) out.back().anchored = true;
        double v[6];
        if (std::sscanf(line.c_str(), " %lf %lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) == 6) {
            std::array<long, 6> b{};
            for (int axis = 0; axis < 3; ++axis) {
                b[2 * axis] = std::lround((v[3 + axis] - v[axis] / 2) * 10);
                b[2 * axis + 1] = std::lround((v[3 + axis] + v[axis] / 2) * 10);
            }
            out.back().boxes.push_back(b);
        }
    }
    return out;
}

// The union of boxes as the set of grid cells it covers, on the grid made by
// the given edges.
std::vector<bool> cells(const std::vector<std::array<long, 6>>& boxes, const std::array<std::vector<long>, 3>& edges) {
    const std::size_t nx = edges[0].size(), ny = edges[1].size(), nz = edges[2].size();
    std::vector<bool> covered(nx * ny * nz, false);
    auto index = [&](int axis, long v) {
        return static_cast<std::size_t>(std::lower_bound(edges[axis].begin(), edges[axis].end(), v) - edges[axis].begin());
    };
    for (const auto& b : boxes)
        for (std::size_t i = index(0, b[0]); i < index(0, b[1]); ++i)
            for (std::size_t j = index(1, b[2]); j < index(1, b[3]); ++j)
                for (std::size_t k = index(2, b[4]); k < index(2, b[5]); ++k) covered[(i * ny + j) * nz + k] = true;
    return covered;
}

// Same union of boxes per z range, and the same structures: the same
// number, each with its anchor flag, covering the same cells.
void expect_same_geometry(const std::string& a, const std::string& b) {
    const std::vector<Structure> sa = structures_of(a);
    const std::vector<Structure> sb = structures_of(b);
    ASSERT_EQ(sa.size(), sb.size());
    ASSERT_FALSE(sa.empty());
    std::array<std::vector<long>, 3> edges;
    for (const auto* list : {&sa, &sb})
        for (const Structure& s : *list)
            for (const auto& box : s.boxes)
                for (int i = 0; i < 6; ++i) edges[i / 2].push_back(box[i]);
    for (auto& e : edges) {
        std::sort(e.begin(), e.end());
        e.erase(std::unique(e.begin(), e.end()), e.end());
    }
    auto signature = [&edges](const Structure& s) { return std::make_pair(s.anchored, cells(s.boxes, edges)); };
    std::vector<std::pair<bool, std::vector<bool>>> ga, gb;
    std::vector<std::array<long, 6>> all_a, all_b;
    for (const Structure& s : sa) {
        ga.push_back(signature(s));
        all_a.insert(all_a.end(), s.boxes.begin(), s.boxes.end());
    }
    for (const Structure& s : sb) {
        gb.push_back(signature(s));
        all_b.insert(all_b.end(), s.boxes.begin(), s.boxes.end());
    }
    EXPECT_TRUE(cells(all_a, edges) == cells(all_b, edges));
    std::sort(ga.begin(), ga.end());
    std::sort(gb.begin(), gb.end());
    EXPECT_TRUE(ga == gb);
}

TEST(Flatten, TheScannersFlatDialectGivesTheSameGeometry) {
    const std::string example = e2e::read_file(e2e::source_dir() + "/examples/hinged_mirror.cif");
    // The same device with its plate and a frame bar each drawn as two
    // halves that meet: the reader unites them, the scanner keeps them apart.
    std::string split = example;
    for (const auto& [whole, halves] : std::vector<std::pair<std::string, std::string>>{
             {"B 14000 7000 10000 9500;", "B 7000 7000 6500 9500;\nB 7000 7000 13500 9500;"},
             {"B 20000 1000 10000 500;", "B 10000 1000 5000 500;\nB 10000 1000 15000 500;"}}) {
        const std::size_t at = split.find(whole);
        ASSERT_NE(at, std::string::npos);
        split.replace(at, whole.size(), halves);
    }
    const std::string note = "cif2kavrit: note: a.cif" + NOTE_TAIL;
    for (const std::string& cif :
         {example, split, data_file("../export/data/three_bodies.cif"), data_file("../export/data/anchored_reflector.cif")}) {
        const bool symbols = cif.find("DS 1") != std::string::npos;
        const std::string scanned = convert_ok({"-s"}, "a.cif", cif, symbols ? note : "");
        const std::string flattened = convert_ok({"-s", "--flatten"}, "a.cif", cif);
        expect_same_geometry(scanned, flattened);
    }
    // With nothing to unite, the very same bytes.
    EXPECT_EQ(comparable(convert_ok({"-s"}, "a.cif", example, note)),
              comparable(convert_ok({"-s", "--flatten"}, "a.cif", example)));
}

// ------------------------------------------------------ command line ----

TEST(Flatten, TheOptionIsOneExactArgumentAnywhereBeforeTheName) {
    const std::string cif = "DS 1;\nL CPS;\nB 400 200 1000 500;\nDF;\nC 1 T 1000 0;\nE\n";
    const std::string flat = "L CPS;\nB 400 200 2000 500;\nE\n";
    const std::string expected = comparable(convert_ok({"-s"}, "a.cif", flat));
    EXPECT_EQ(comparable(convert_ok({"--flatten", "-s"}, "a.cif", cif)), expected);
    EXPECT_EQ(comparable(convert_ok({"-s", "--flatten"}, "a.cif", cif)), expected);
    // Not exactly --flatten: ignored as before, and the default reading notes the symbols.
    EXPECT_NE(comparable(convert_ok({"-s", "--flattenx"}, "a.cif", cif, "cif2kavrit: note: a.cif" + NOTE_TAIL)),
              expected);
    // After -o it is the output file's name.
    const e2e::RunResult r = run_cif2kavrit({"-o", "--flatten", "a.cif"}, {{"a.cif", cif}});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "cif2kavrit: note: a.cif" + NOTE_TAIL);
    EXPECT_EQ(r.file_names(), (Names{"a.cif", "--flatten"}));
}

TEST(Flatten, EndLineWarningsAndStandardOutput) {
    const e2e::RunResult r = run_cif2kavrit(
        {"--flatten", "-s", "a.cif"},
        {{"a.cif", "B 1 1 0 0;\nL CPS;\nB 400 200 1000 500;\nR 10 0 0;\nDS 1 1 3;\nL CPS;\nB 2 2 1 1;\nDF;\nC 1;\nE tail\r\n"}});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err,
              "cif2kavrit: a.cif:1: box with no layer left out\n"
              "cif2kavrit: a.cif: layer CPS: 1 shapes that are not rectilinear left out\n"
              "cif2kavrit: a.cif: 1 shapes rounded to the nearest half CIF unit\n");
    EXPECT_EQ(r.out.substr(0, 7), " tail\r\n");
    EXPECT_EQ(r.file_names(), (Names{"a.cif"}));
}

// ------------------------------------------------------------ failures ----

TEST(Flatten, UnreadableLayoutsEndWithTheLineAndNoOutputFile) {
    struct Bad {
        std::string cif;
        std::string err;
    };
    std::string exponential = "DS 1; L CPS; B 1 1 0 0; DF;\n";
    for (int k = 2; k <= 30; ++k)
        exponential += "DS " + std::to_string(k) + "; C " + std::to_string(k - 1) + "; C " + std::to_string(k - 1) +
                       " T 1 0; DF;\n";
    exponential += "C 30;\nE\n";
    const std::vector<Bad> cases = {
        {"L CPS;\nB 400 200 1000 500;\nC 7;\nE\n", "cif2kavrit: in.cif:3: call of undefined symbol 7\n"},
        {"DS 1;\nC 2;\nDF;\nDS 2;\nC 1;\nDF;\nC 1;\nE\n", "cif2kavrit: in.cif:5: recursive call of symbol 1\n"},
        {"L CPS;\nB 400 200 1000;\nE\n", "cif2kavrit: in.cif:2: cannot read the box command\n"},
        {"L CPS;\n(unclosed\nE\n", "cif2kavrit: in.cif:2: comment not closed\n"},
        {exponential, "cif2kavrit: in.cif: the layout places more than 5000000 boxes, more than this reader takes\n"},
        {std::string(200000, '(') + "\nE\n", "cif2kavrit: in.cif:1: comment not closed\n"},
    };
    for (const Bad& b : cases) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--flatten", "-o", "out.kav", "in.cif"}, {"--flatten", "-s", "in.cif"}}) {
            const e2e::RunResult r = run_cif2kavrit(args, {{"in.cif", b.cif}});
            EXPECT_TRUE(r.ended_cleanly());
            EXPECT_EQ(r.exit_status, 1);
            EXPECT_EQ(r.err, b.err);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.file_names(), (Names{"in.cif"}));
            EXPECT_TRUE(r.outside_files.empty());
        }
    }
}

TEST(Flatten, UnsafeLayerNamesMakeNoFile) {
    const e2e::RunResult r = run_cif2kavrit({"--flatten", "-o", "out.kav", "in.cif"},
                                            {{"in.cif", "L ../CPS;\nB 400 200 1000 500;\nL CPS;\nB 400 200 1000 500;\nE\n"}});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "cif2kavrit: in.cif: layer name \"../CPS\" cannot name a file; its boxes are left out\n");
    EXPECT_EQ(r.file_names(), (Names{"in.cif", "out.kav"}));
    EXPECT_TRUE(r.outside_files.empty());
}

}  // namespace
