// GDSII benchmark: bench-flatten's cell of 10 boxes placed 100,000 times
// through three nested AREFs (10 x 10 cells, 10 x 10 of those, 10 of those
// in a row: 1,000,000 placed boxes), in a 10 nm database unit so that the
// layout is exactly bench-flatten's hierarchical CIF layout.
//
// Figures, each in a process of its own (wall time, CPU time, peak resident
// memory from wait4):
//   1. the GDSII reader alone (gdsread::read_gds from memory, in a child);
//   2. the CIF reader alone on bench-flatten's hierarchical CIF file (its
//      first figure, the baseline of this run);
//   3. cif2kavrit --layers on the GDSII file;
//   4. cif2kavrit --flatten on the CIF file.
// Both conversions must give the same kavrit file.
//
//   bench-gdsii [--binary PATH]   (default: cif2kavrit next to bench-gdsii)

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/child/child_run.h"
#include "cifread/layout.h"
#include "gdsread/read_gds.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct CellBox {
    const char* layer;
    int gds_layer;
    long length, width, x, y;
};

// bench-flatten's cell: an anchored plate on two posts with a mirror.
const CellBox CELL[] = {
    {"COL", 1, 600, 600, 500, 500},    {"COL", 1, 600, 600, 3500, 500},   {"CPS", 2, 1000, 1000, 500, 500},
    {"CPS", 2, 1000, 1000, 3500, 500}, {"CPT", 3, 3000, 2000, 2000, 2500}, {"CHT", 4, 400, 400, 1200, 2500},
    {"CHT", 4, 400, 400, 2800, 2500},  {"CMB", 5, 1200, 800, 2000, 2500},  {"CCM", 6, 1200, 800, 2000, 2500},
    {"COT", 7, 400, 400, 2000, 3800},
};
const char* const MAP = "1 COL\n2 CPS\n3 CPT\n4 CHT\n5 CMB\n6 CCM\n7 COT\n";
const long PITCH = 5000;
const int LEVELS = 5;  // of bench-flatten's layout: 10 x 10^5 boxes

// ----------------------------------------------------------- the CIF file --
long pitch_of(int level) {
    long p = PITCH;
    for (int k = 1; k < level; ++k)
        if (k % 2 == 0) p *= 10;
    return p;
}

// bench-flatten's hierarchical layout: levels alternate between x and y.
std::string cif_layout() {
    std::string s = "(a cell arrayed by nested calls);\nDS 1;\n";
    for (const CellBox& b : CELL)
        s += std::string("L ") + b.layer + ";\nB " + std::to_string(b.length) + " " + std::to_string(b.width) + " " +
             std::to_string(b.x) + " " + std::to_string(b.y) + ";\n";
    s += "DF;\n";
    for (int level = 1; level <= LEVELS; ++level) {
        s += "DS " + std::to_string(level + 1) + ";\n";
        for (int i = 0; i < 10; ++i) {
            const long t = i * pitch_of(level);
            s += "C " + std::to_string(level) + " T " + std::to_string(level % 2 == 1 ? t : 0) + " " +
                 std::to_string(level % 2 == 1 ? 0 : t) + ";\n";
        }
        s += "DF;\n";
    }
    return s + "C " + std::to_string(LEVELS + 1) + ";\nE\n";
}

// ------------------------------------------------------- the GDSII file --
struct Writer {
    std::string bytes;
    void record(int type, int data_type, const std::string& data) {
        const std::size_t n = 4 + data.size();
        bytes += static_cast<char>(n >> 8);
        bytes += static_cast<char>(n & 0xff);
        bytes += static_cast<char>(type);
        bytes += static_cast<char>(data_type);
        bytes += data;
    }
    static std::string i16(long v) { return {static_cast<char>((v >> 8) & 0xff), static_cast<char>(v & 0xff)}; }
    static std::string i32(long v) { return i16((v >> 16) & 0xffff) + i16(v & 0xffff); }
    static std::string real(double v) {  // positive values only
        int e = 0;
        const double m = std::frexp(v, &e);
        int h = (e + 3) >= 0 ? (e + 3) / 4 : -((-(e + 3) + 3) / 4);
        const auto mantissa = static_cast<unsigned long long>(std::ldexp(m, e - 4 * h + 56));
        std::string s(1, static_cast<char>(h + 64));
        for (int i = 6; i >= 0; --i) s += static_cast<char>((mantissa >> (8 * i)) & 0xff);
        return s;
    }
    static std::string name(std::string n) {
        if (n.size() % 2 != 0) n += '\0';
        return n;
    }
    void begin(const std::string& n) {
        record(0x05, 2, std::string(24, '\0'));
        record(0x06, 6, name(n));
    }
    void aref(const std::string& target, int cols, int rows, long dx, long dy) {
        record(0x0B, 0, "");
        record(0x12, 6, name(target));
        record(0x13, 2, i16(cols) + i16(rows));
        record(0x10, 3, i32(0) + i32(0) + i32(cols * dx) + i32(0) + i32(0) + i32(rows * dy));
        record(0x11, 0, "");
    }
};

std::string gds_layout() {
    Writer w;
    w.record(0x00, 2, Writer::i16(600));
    w.record(0x01, 2, std::string(24, '\0'));
    w.record(0x02, 6, Writer::name("BENCH"));
    w.record(0x03, 5, Writer::real(0.01) + Writer::real(1e-8));  // 10 nm: one CIF unit
    w.begin("CELL");
    for (const CellBox& b : CELL) {
        const long x0 = b.x - b.length / 2, x1 = b.x + b.length / 2, y0 = b.y - b.width / 2, y1 = b.y + b.width / 2;
        w.record(0x08, 0, "");
        w.record(0x0D, 2, Writer::i16(b.gds_layer));
        w.record(0x0E, 2, Writer::i16(0));
        w.record(0x10, 3,
                 Writer::i32(x0) + Writer::i32(y0) + Writer::i32(x1) + Writer::i32(y0) + Writer::i32(x1) +
                     Writer::i32(y1) + Writer::i32(x0) + Writer::i32(y1) + Writer::i32(x0) + Writer::i32(y0));
        w.record(0x11, 0, "");
    }
    w.record(0x07, 0, "");
    // 10 x 10 cells at the cell pitch; 10 x 10 of those; 10 of those along x.
    w.begin("BLOCK");
    w.aref("CELL", 10, 10, PITCH, PITCH);
    w.record(0x07, 0, "");
    w.begin("FIELD");
    w.aref("BLOCK", 10, 10, 10 * PITCH, 10 * PITCH);
    w.record(0x07, 0, "");
    w.begin("CHIP");
    w.aref("FIELD", 10, 1, 100 * PITCH, 100 * PITCH);
    w.record(0x07, 0, "");
    w.record(0x04, 0, "");
    return w.bytes;
}

// -------------------------------------------------------------- figures --
bench::ChildFigures run_binary(const std::string& binary, const fs::path& dir, bool gds) {
    if (gds) return bench::run_program({binary, "--layers", "process.map", "-s", "-o", "out.kav", "layout"}, dir.string());
    return bench::run_program({binary, "--flatten", "-s", "-o", "out.kav", "layout"}, dir.string());
}



void print(const char* what, const bench::ChildFigures& f) { std::printf("%-50s %s\n", what, bench::figures_text(f).c_str()); }

}  // namespace

int main(int argc, char** argv) {
    std::string binary = (fs::absolute(fs::path(argv[0])).parent_path() / "cif2kavrit").string();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--binary") == 0 && i + 1 < argc) {
            binary = fs::absolute(argv[++i]).string();
        } else {
            std::fprintf(stderr, "usage: bench-gdsii [--binary PATH]\n");
            return 2;
        }
    }
    const long placed = 1'000'000;
    char pattern[] = "/tmp/bench-gdsii-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    const fs::path gds_dir = root / "gdsii", cif_dir = root / "cif";
    for (const fs::path& d : {gds_dir, cif_dir}) fs::create_directory(d);
    const std::string gds = gds_layout();
    const std::string cif = cif_layout();
    std::ofstream(gds_dir / "layout", std::ios::binary) << gds;
    std::ofstream(gds_dir / "process.map", std::ios::binary) << MAP;
    std::ofstream(cif_dir / "layout", std::ios::binary) << cif;
    std::printf("layout: a cell of 10 boxes through three nested AREFs: %ld placed boxes; GDSII %zu bytes, CIF %zu bytes\n",
                placed, gds.size(), cif.size());

    const bench::ChildFigures read_gds = bench::measure([&] {
        gdsread::MemorySource source(reinterpret_cast<const std::uint8_t*>(gds.data()), gds.size());
        const gdsread::LayerMap map = gdsread::LayerMap::parse(MAP);
        const gdsread::GdsReadResult r = gdsread::read_gds(source, &map, "");
        long n = 0;
        for (const auto& l : r.layout.layers) n += static_cast<long>(l.boxes.size());
        return r.ok && n == placed ? 0 : 1;
    });
    print("gdsread::read_gds (nested AREFs, in process)", read_gds);
    const bench::ChildFigures read_cif = bench::measure([&] {
        const cifread::ReadResult r = cifread::read_layout(cif);
        long n = 0;
        for (const auto& l : r.layout.layers) n += static_cast<long>(l.boxes.size());
        return r.ok && n == placed ? 0 : 1;
    });
    print("baseline: read_layout (bench-flatten's CIF file)", read_cif);
    const bench::ChildFigures convert_gds = run_binary(binary, gds_dir, true);
    print("cif2kavrit --layers (GDSII file)", convert_gds);
    const bench::ChildFigures convert_cif = run_binary(binary, cif_dir, false);
    print("baseline: cif2kavrit --flatten (CIF file)", convert_cif);

    const std::string a = bench::without_time_line(bench::file_text(gds_dir / "out.kav"));
    const std::string b = bench::without_time_line(bench::file_text(cif_dir / "out.kav"));
    const bool same = !a.empty() && a == b;
    std::printf("kavrit files: %s\n", same ? "identical" : "DIFFER");
    if (same) {
        std::error_code ec;
        fs::remove_all(root, ec);
    } else {
        std::printf("the files are kept in %s\n", root.c_str());
    }
    return read_gds.ok && read_cif.ok && convert_gds.ok && convert_cif.ok && same ? 0 : 1;
}
