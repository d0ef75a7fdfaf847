#include "driver/run.h"

#include <cstdio>

#include "cif/scan_cif.h"
#include "driver/command_line.h"
#include "driver/header_footer.h"
#include "driver/run_settings.h"
#include "grouping/group_boxes.h"
#include "layers/process_layers.h"
#include "output/output_structures.h"

void remove_temporary_files() {
    for (const char* name : TEMPORARY_FILES) std::remove(name);
}

int run_cif2kavrit(int argc, const char* const* argv) {
    set_defaults();
    parse_command_line(argc, argv);

    // The input is opened first, so a missing input leaves no output file.
    run_settings.cif_stream = open_or_exit(run_settings.cif_name, "rb");
    if (!run_settings.out_name.empty()) {
        run_settings.out_stream = open_or_exit(run_settings.out_name, "w");
        run_settings.to_file = 1;
    }

    scan_cif();
    process_layers();
    group_boxes();
    write_header();
    output_structures();
    write_footer();

    std::fclose(run_settings.cif_stream);
    run_settings.cif_stream = nullptr;
    if (run_settings.to_file == 1) {
        std::fclose(run_settings.out_stream);
        run_settings.out_stream = nullptr;
        run_settings.to_file = 0;
    }
    remove_temporary_files();
    return 0;
}
