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

// The output file named with -o while it is being written. A run that ends
// early leaves no half-written output file behind; only a regular file is
// removed, so an output name such as /dev/null or a pipe stays as it is.
struct UnfinishedOutput {
    std::FILE* file = nullptr;  // open until the run closes it
    std::string name;
    bool complete = false;
};
UnfinishedOutput unfinished;

void discard_unfinished_output() {
    if (unfinished.complete) return;
    if (unfinished.file != nullptr) std::fclose(unfinished.file);
    unfinished.file = nullptr;
    struct stat st {};
    if (lstat(unfinished.name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(unfinished.name.c_str());
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
    std::FILE* cif = common::open_or_exit(options.cif_name, "rb");
    common::Output out;
    if (!options.out_name.empty()) {
        out = common::Output(common::open_or_exit(options.out_name, "w"), options.out_name);
        unfinished = {out.stream(), options.out_name};
        std::atexit(discard_unfinished_output);
    }

    run_stages(options, cif, out);

    std::fclose(cif);
    if (out.to_file()) {
        unfinished.file = nullptr;
        common::close_written_or_exit(out.release(), options.out_name);
        unfinished.complete = true;
    } else if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        common::fatal("Error writing standard output\n");
    }
    // Kept intermediate files stay where they are; otherwise the fixed names
    // are removed, whether or not this run wrote them.
    if (!options.keep_intermediates) remove_temporary_files();
    return 0;
}

}  // namespace driver
