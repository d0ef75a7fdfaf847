#include "grouping/group_boxes.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/run_settings.h"
#include "grouping/box.h"
#include "grouping/grouping_table.h"
#include "grouping/text_lines.h"

namespace {

// premason.file is read through a line buffer of 100 characters: a line of more
// than 99 characters is read in pieces, each scanned for a box of its own.
constexpr std::size_t BOX_LIST_PIECE = 99;

std::vector<Box> read_box_list() {
    std::FILE* in = open_or_exit("premason.file", "r");
    std::vector<Box> boxes;
    std::string piece;
    Box box;
    while (read_line_piece(in, BOX_LIST_PIECE, piece)) {
        // A line without six integers cannot come from the box list writer; it is skipped.
        if (scan_six_ints(piece, box)) boxes.push_back(box);
    }
    std::fclose(in);
    return boxes;
}

void write_grouped_boxes(const std::vector<Box>& boxes, const Grouping& grouping) {
    std::FILE* out = open_or_exit("postmason.file", "w");
    std::size_t at = 0;
    for (std::size_t end : grouping.ends) {
        for (; at < end; ++at) {
            const Box& b = boxes[static_cast<std::size_t>(grouping.order[at])];
            std::fprintf(out, "\t%d\t%d\t%d\t%d\t%d\t%d\n", b.xmin, b.xmax, b.ymin, b.ymax, b.zmin, b.zmax);
        }
        std::fputs("\n", out);
    }
    // A grouped list cut short by a full disk would be read as a complete one
    // by the next stage: stop the run instead.
    close_written_or_exit(out, "postmason.file");
}

}  // namespace

void group_boxes() {
    const std::vector<Box> boxes = read_box_list();
    const Grouping grouping = group_into_structures(boxes);
    write_grouped_boxes(boxes, grouping);
}
