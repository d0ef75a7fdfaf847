#include "driver/run.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cif/scan_cif.h"
#include "cifread/flatten_stage.h"
#include "common/run_error.h"
#include "common/file_names.h"
#include "driver/command_line.h"
#include "driver/header_footer.h"
#include "driver/kept_files.h"
#include "driver/output_file.h"
#include "driver/threads.h"
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

void run_stages(const common::Options& options, std::FILE* cif, const common::Output& out, common::Trace* trace) {
    common::GroupedBoxes grouped;
    {
        common::PolygonFiles layer_files;
        if (gdsread::is_gdsii(cif)) {
            layer_files = gdsread::read_gds_stage(options, cif, out, trace);
        } else if (!options.layers_name.empty()) {
            layer_files = gdsread::read_cif_mapped(options, cif, out, trace);
        } else if (options.flatten) {
            layer_files = cifread::flatten_cif(options, cif, out, trace);
        } else {
            cifread::note_if_places_symbols(options, cif);
            layer_files = cif::scan_cif(cif, out, trace);
        }
        // A read that failed is no end of the file.
        if (std::ferror(cif) != 0) throw common::RunError("Error reading file " + options.cif_name + "\n");
        const int threads = run_threads(options.threads);
        std::vector<common::Box> box_list =
            layers::process_layers(std::move(layer_files), 0, layers::CONCURRENT_VERTICES, threads);
        grouped = grouping::group_boxes(box_list, trace, static_cast<unsigned>(threads));
    }
    write_header(options, out);
    output::output_structures(options, grouped, out, trace);
    write_footer(out);
}

namespace {

int convert(const common::Options& options) {
    if (options.keep_intermediates) lock_working_directory();

    // The input is opened first, so a missing input leaves no output file.
    std::FILE* cif = open_input(options.cif_name);
    common::Output out;
    if (!options.out_name.empty()) refuse_output_that_is_input(options.out_name, cif, options.cif_name);
    // Kept intermediate files are written under names the layout chooses,
    // never over the CIF file.
    std::optional<KeptFiles> kept;
    if (options.keep_intermediates) kept.emplace(cif, options.cif_name);
    clean_up_on_signals(options.keep_intermediates);
    if (!options.out_name.empty()) out = common::Output(open_output(options.out_name), options.out_name);
    // After the checks above, which need the input's own identity.
    cif = rereadable_input(cif, options.cif_name);

    run_stages(options, cif, out, kept ? &*kept : nullptr);

    std::fclose(cif);
    if (out.to_file()) {
        finish_output(out.release(), options.out_name);
    } else if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        throw common::RunError("Error writing standard output\n");
    }
    // Kept intermediate files stay where they are; otherwise the fixed names
    // are removed, whether or not this run wrote them.
    if (!options.keep_intermediates) remove_temporary_files();
    return 0;
}

}  // namespace

int run_cif2kavrit(int argc, const char* const* argv) {
    try {
        common::Options options;
        switch (read_command_line(argc, argv, options)) {
            case CommandLineAction::Usage: write_usage(stdout, options); return 0;
            case CommandLineAction::Version: write_version(stdout, options); return 0;
            case CommandLineAction::Convert: break;
        }
        return convert(options);
    } catch (const common::RunError& e) {
        // The one place that reports a failed run. The fixed intermediate
        // names are left as they are, as at any early end.
        std::fwrite(e.message().data(), 1, e.message().size(), stderr);
        std::fflush(stderr);
        return e.status();
    }
}

}  // namespace driver
