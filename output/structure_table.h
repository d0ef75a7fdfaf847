// The table of structures read from the grouped box list, and the operations
// of the structure output stage over it. Structures are numbered from 1 in the order
// of their groups in postmason.file; record 0 is never used.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/box.h"
#include "common/geometry.h"
#include "common/options.h"
#include "common/output.h"

namespace output {

using common::Box;

class TextSink;

struct HingeBox {
    std::int16_t kind = 0;  // 1 low hinge box, 2 high hinge box, 0 none
    common::Rect32 extent;  // in x and y
};

struct Structure {
    bool anchor = false;         // holds a box with zmin 0
    bool has_low_hinge = false;
    std::int32_t parent = 0;     // -1 none; stays 0 when linkage is off
    std::vector<std::int32_t> chain;  // the structure itself, then its parents, nearest first
    std::int32_t chain_length = 0;    // parents in `chain`
    std::int32_t last_hinge = 0;      // index of the last hinge box; 0 for none and for one
    std::vector<HingeBox> hinges;     // in the order read
    bool has_reflector = false;
    Box reflector;                    // the last reflector box read
    std::vector<std::int32_t> neighbors;  // in the order found
    bool emitted = false;

    std::int32_t neighbor_count() const { return static_cast<std::int32_t>(neighbors.size()); }
    // Hinge entry e; an entry never filled (entry 0 of a structure without hinge
    // boxes) is all zero, of kind 0.
    HingeBox hinge(std::int32_t e) const {
        return static_cast<std::size_t>(e) < hinges.size() ? hinges[static_cast<std::size_t>(e)] : HingeBox{};
    }
};

struct StructureTable {
    std::vector<Structure> records{1};  // records[0] unused
    std::int64_t box_total = 0;         // anchor and plain boxes, the ones drawn in the blocks
    std::int32_t count() const { return static_cast<std::int32_t>(records.size()) - 1; }
    Structure& operator[](std::int32_t i) { return records[static_cast<std::size_t>(i)]; }
    const Structure& operator[](std::int32_t i) const { return records[static_cast<std::size_t>(i)]; }
};

// Classes of boxes, by their exact (zmin, zmax).
enum class BoxClass { anchor, low_hinge, high_hinge, reflector, plain };
BoxClass classify_box(const Box& b);

// Two hinge entries match: kinds 1 and 2 in either order, equal x and y extent.
bool hinges_match(const HingeBox& a, const HingeBox& b);

// Reads the grouped box list into a table.
StructureTable read_structures(const common::GroupedBoxes& grouped);
// The text of tmpdata1.file after the grouping: one block of drawn box lines
// per structure, between its start and end lines, in index order.
std::string block_file_text(const common::GroupedBoxes& grouped);
// The box lines of structure i's drawn boxes (anchor and plain), in the order
// of `grouped`.
void write_drawn_boxes(TextSink& sink, const common::GroupedBoxes& grouped, std::int32_t i);
// Neighbours from the hinge boxes, for every structure.
void find_neighbors(StructureTable& table);
// Parents and chains, for every structure (linkage on only).
void compute_linkage(StructureTable& table);
// The summary, with -s only.
void write_summary(const common::Options& options, const StructureTable& table, const common::Output& out);
// The structure blocks, in index order or, with -r, grouped; the box lines of
// each come from its boxes in `grouped`.
void emit_all_structures(const common::Options& options, StructureTable& table, const common::GroupedBoxes& grouped,
                         const common::Output& out);

}  // namespace output
