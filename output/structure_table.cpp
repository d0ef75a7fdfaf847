#include "output/structure_table.h"

#include <string>

#include "common/decimal.h"

namespace output {

namespace {

// The structure being read and its drawn boxes (anchor and plain boxes, in
// reading order), kept until the end of its group. Every line of the grouped
// list is shorter than the 79 characters a read of it takes, so each box is
// one line and each group ends with its empty line.
struct Reading {
    Structure record;
    std::vector<Box> drawn;
};

void add_box(Reading& r, const Box& b) {
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
// "  %.1f %.1f %.1f %.1f %.1f %.1f\n".
void write_box_line(std::string& text, const Box& b) {
    text += ' ';
    for (const double v : {static_cast<double>(std::int64_t{b.xmax} - b.xmin),
                           static_cast<double>(std::int64_t{b.ymax} - b.ymin),
                           static_cast<double>(std::int64_t{b.zmax} - b.zmin),
                           static_cast<double>(std::int64_t{b.xmin} + b.xmax) / 2,
                           static_cast<double>(std::int64_t{b.ymin} + b.ymax) / 2,
                           static_cast<double>(std::int64_t{b.zmin} + b.zmax) / 2}) {
        text += ' ';
        common::append_fixed(text, v, 1);
    }
    text += '\n';
}

void close_structure(StructureTable& table, Reading& r) {
    const std::string index = std::to_string(table.count() + 1);
    table.blocks += "# structure " + index + " start --------------------\n{\n";
    for (const Box& b : r.drawn) write_box_line(table.blocks, b);
    table.blocks += "}\n# structure " + index + " end --------------------\n\n";
    table.box_total += static_cast<std::int64_t>(r.drawn.size());
    table.records.push_back(std::move(r.record));
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

StructureTable read_structures(const common::GroupedBoxes& grouped) {
    StructureTable table;
    Reading r;
    std::size_t at = 0;
    for (const std::size_t end : grouped.ends) {
        for (; at < end; ++at) add_box(r, grouped.boxes[at]);
        close_structure(table, r);
    }
    return table;
}

}  // namespace output
