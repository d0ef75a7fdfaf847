#include "output/output_structures.h"

#include "common/file_names.h"
#include "output/structure_table.h"

namespace output {

void output_structures(const common::Options& options, const common::GroupedBoxes& grouped, const common::Output& out,
                       common::Trace* trace) {
    StructureTable table = read_structures(grouped);
    if (trace != nullptr) trace->made(common::TMPDATA1_FILE, block_file_text(grouped));
    find_neighbors(table);
    if (options.linkage) compute_linkage(table);
    write_summary(options, table, out);
    emit_all_structures(options, table, grouped, out);
}

}  // namespace output
