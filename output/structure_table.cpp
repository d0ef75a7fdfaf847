#include "output/structure_table.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/run_settings.h"
#include "grouping/text_lines.h"

StructureTable structure_table;

namespace {

// postmason.file is read through a line buffer of 80 bytes: at most 79
// characters per read, and a longer line comes in pieces, each handled as a
// line. A piece of fewer than two characters ends a structure.
constexpr std::size_t GROUPED_LIST_PIECE = 79;

// The structure being read and its drawn boxes (anchor and plain boxes, in
// reading order), kept until its closing empty line.
struct Reading {
    Structure record;
    std::vector<Box> drawn;
    std::FILE* temp = nullptr;
};

void add_box_line(Reading& r, const std::string& line) {
    Box b;
    // A line without six integers cannot come from the grouping stage; skip it.
    if (!scan_six_ints(line, b)) return;
    Structure& s = r.record;
    switch (classify_box(b)) {
        case BoxClass::low_hinge:
        case BoxClass::high_hinge: {
            const bool low = classify_box(b) == BoxClass::low_hinge;
            s.hinges.push_back(HingeBox{static_cast<std::int16_t>(low ? 1 : 2), b.xmin, b.xmax, b.ymin, b.ymax});
            s.last_hinge = static_cast<std::int32_t>(s.hinges.size()) - 1;
            if (low) s.has_low_hinge = true;
            break;
        }
        case BoxClass::reflector:
            s.has_reflector = true;
            s.reflector = b;
            break;
        case BoxClass::anchor:
            s.anchor = true;
            r.drawn.push_back(b);
            break;
        case BoxClass::plain:
            r.drawn.push_back(b);
            break;
    }
}

// Size and centre of a drawn box. Sums and differences are taken in 64 bits so
// that extreme coordinates cannot overflow; the halves in floating point.
void write_box_line(std::FILE* f, const Box& b) {
    std::fprintf(f, "  %.1f %.1f %.1f %.1f %.1f %.1f\n",
                 static_cast<double>(std::int64_t{b.xmax} - b.xmin),
                 static_cast<double>(std::int64_t{b.ymax} - b.ymin),
                 static_cast<double>(std::int64_t{b.zmax} - b.zmin),
                 static_cast<double>(std::int64_t{b.xmin} + b.xmax) / 2,
                 static_cast<double>(std::int64_t{b.ymin} + b.ymax) / 2,
                 static_cast<double>(std::int64_t{b.zmin} + b.zmax) / 2);
}

void close_structure(Reading& r) {
    const std::int32_t index = structure_table.count() + 1;
    std::fprintf(r.temp, "# structure %d start --------------------\n{\n", index);
    for (const Box& b : r.drawn) write_box_line(r.temp, b);
    std::fprintf(r.temp, "}\n# structure %d end --------------------\n\n", index);
    structure_table.box_total += static_cast<std::int64_t>(r.drawn.size());
    structure_table.records.push_back(std::move(r.record));
    r.record = Structure{};
    r.drawn.clear();
}

}  // namespace

BoxClass classify_box(const Box& b) {
    if (b.zmin == 0) return BoxClass::anchor;
    if (b.zmin == 1 && b.zmax == 4) return BoxClass::low_hinge;
    if (b.zmin == 5 && b.zmax == 8) return BoxClass::high_hinge;
    if (b.zmin == 5 && b.zmax == 9) return BoxClass::reflector;
    return BoxClass::plain;
}

bool hinges_match(const HingeBox& a, const HingeBox& b) {
    return ((a.kind == 1 && b.kind == 2) || (a.kind == 2 && b.kind == 1)) &&
           a.xmin == b.xmin && a.xmax == b.xmax && a.ymin == b.ymin && a.ymax == b.ymax;
}

void read_structures() {
    std::FILE* in = open_or_exit("postmason.file", "r");
    Reading r;
    r.temp = open_or_exit("tmpdata1.file", "w");
    std::string piece;
    while (read_line_piece(in, GROUPED_LIST_PIECE, piece)) {
        if (piece.size() < 2)
            close_structure(r);
        else
            add_box_line(r, piece);
    }
    // Boxes after the last empty line belong to no structure: the end of the
    // file closes nothing.
    std::fclose(in);
    close_written_or_exit(r.temp, "tmpdata1.file");
}
