#include "driver/run.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cif/scan_cif.h"
#include "cifread/flatten_stage.h"
#include "common/fatal.h"
#include "common/file_names.h"
#include "driver/command_line.h"
#include "driver/header_footer.h"
#include "driver/output_file.h"
#include "gdsread/gds_stage.h"
#include "grouping/group_boxes.h"
#include "layers/process_layers.h"
#include "output/output_structures.h"

namespace driver {

void remove_temporary_files() {
    for (const char* name : common::TEMPORARY_FILES) std::remove(name);
}

namespace {

// Runs that keep their intermediate files write them under fixed names in the
// current directory, where two such runs would spoil each other's files. An
// exclusive lock on the directory itself, held until the process ends, makes
// a second one wait for the first.
void lock_working_directory() {
    const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // nothing to lock on: run as before
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

}  // namespace

void run_stages(const common::Options& options, std::FILE* cif, const common::Output& out) {
    const bool keep = options.keep_intermediates;
    common::GroupedBoxes grouped;
    {
        common::PolygonFiles layer_files;
        if (gdsread::is_gdsii(cif)) {
            layer_files = gdsread::read_gds_stage(options, cif, out);
        } else if (!options.layers_name.empty()) {
            layer_files = gdsread::read_cif_mapped(options, cif, out);
        } else if (options.flatten) {
            layer_files = cifread::flatten_cif(options, cif, out);
        } else {
            cifread::note_if_places_symbols(options, cif);
            layer_files = cif::scan_cif(cif, out, keep);
        }
        // A read that failed is no end of the file.
        if (std::ferror(cif) != 0) common::fatal("Error reading file " + options.cif_name + "\n");
        std::vector<common::Box> box_list = layers::process_layers(std::move(layer_files));
        grouped = grouping::group_boxes(box_list, keep);
    }
    write_header(options, out);
    output::output_structures(options, grouped, out);
    write_footer(out);
}

int run_cif2kavrit(int argc, const char* const* argv) {
    const common::Options options = parse_command_line(argc, argv);
    if (options.keep_intermediates) lock_working_directory();

    // The input is opened first, so a missing input leaves no output file.
    std::FILE* cif = open_input(options.cif_name);
    common::Output out;
    if (!options.out_name.empty()) refuse_output_that_is_input(options.out_name, cif, options.cif_name);
    // Kept intermediate files are written under names the layout chooses.
    if (options.keep_intermediates) common::protect_input(cif, options.cif_name);
    clean_up_on_signals(options.keep_intermediates);
    if (!options.out_name.empty()) out = common::Output(open_output(options.out_name), options.out_name);

    run_stages(options, cif, out);

    std::fclose(cif);
    if (out.to_file()) {
        finish_output(out.release(), options.out_name);
    } else if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        common::fatal("Error writing standard output\n");
    }
    // Kept intermediate files stay where they are; otherwise the fixed names
    // are removed, whether or not this run wrote them.
    if (!options.keep_intermediates) remove_temporary_files();
    return 0;
}

}  // namespace driver
