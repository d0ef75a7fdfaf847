#include "output/structure_table.h"

#include <cstdio>

#include "output/block_text.h"

namespace output {

namespace {

// Adds box b to the record of the structure being read. Anchor and plain
// boxes are the drawn ones: the emission writes them into the structure's
// block, straight from the grouped list.
void add_box(StructureTable& table, Structure& s, const Box& b) {
    switch (classify_box(b)) {
        case BoxClass::low_hinge:
        case BoxClass::high_hinge: {
            const bool low = classify_box(b) == BoxClass::low_hinge;
            s.hinges.push_back(HingeBox{static_cast<std::int16_t>(low ? 1 : 2), {b.xmin, b.ymin, b.xmax, b.ymax}});
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
            ++table.box_total;
            break;
        case BoxClass::plain:
            ++table.box_total;
            break;
    }
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
           a.extent == b.extent;
}

StructureTable read_structures(const common::GroupedBoxes& grouped) {
    StructureTable table;
    table.records.reserve(grouped.ends.size() + 1);
    std::size_t at = 0;
    for (const std::size_t end : grouped.ends) {
        Structure& s = table.records.emplace_back();
        for (; at < end; ++at) add_box(table, s, grouped.boxes[at]);
    }
    return table;
}

void write_drawn_boxes(TextSink& sink, const common::GroupedBoxes& grouped, std::int32_t i) {
    const std::size_t k = static_cast<std::size_t>(i) - 1;
    const std::size_t begin = k == 0 ? 0 : grouped.ends[k - 1];
    for (std::size_t at = begin; at < grouped.ends[k]; ++at) {
        const Box& b = grouped.boxes[at];
        const BoxClass c = classify_box(b);
        if (c == BoxClass::anchor || c == BoxClass::plain) {
            append_box_line(sink.text(), b);
            sink.done();
        }
    }
}

std::string block_file_text(const common::GroupedBoxes& grouped) {
    std::string text;
    const auto n = static_cast<std::int32_t>(grouped.ends.size());
    std::size_t at = 0;
    for (std::int32_t i = 1; i <= n; ++i) {
        append_block_start(text, i);
        for (; at < grouped.ends[static_cast<std::size_t>(i) - 1]; ++at) {
            const Box& b = grouped.boxes[at];
            const BoxClass c = classify_box(b);
            if (c == BoxClass::anchor || c == BoxClass::plain) append_box_line(text, b);
        }
        append_block_end(text, i);
    }
    return text;
}

}  // namespace output
