#include "output/output_structures.h"

#include "driver/run_settings.h"
#include "output/structure_table.h"

int output_structures() {
    structure_table = StructureTable{};
    read_structures();
    find_neighbors();
    if (run_settings.linkage_flag) compute_linkage();
    write_summary();
    emit_all_structures();
    return 0;
}
