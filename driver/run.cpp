#include "driver/run.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cif/scan_cif.h"
#include "cifread/flatten_stage.h"
#include "driver/command_line.h"
#include "driver/header_footer.h"
#include "driver/run_settings.h"
#include "grouping/group_boxes.h"
#include "layers/process_layers.h"
#include "output/output_structures.h"

void remove_temporary_files() {
    for (const char* name : TEMPORARY_FILES) std::remove(name);
}

namespace {

// Two runs in one directory would share its fixed intermediate file names and
// spoil each other's results. An exclusive lock on the directory itself,
// held until the process ends, makes a second run wait for the first.
void lock_working_directory() {
    const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // nothing to lock on: run as before
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

bool output_complete = false;

// A run that stops on an error leaves no half-written output file behind.
// Only a regular file is removed: an output name such as /dev/null or a pipe
// stays as it is.
void discard_unfinished_output() {
    if (output_complete) return;
    if (run_settings.out_stream != nullptr) {
        std::fclose(run_settings.out_stream);
        run_settings.out_stream = nullptr;
        run_settings.to_file = 0;
    }
    struct stat st {};
    if (lstat(run_settings.out_name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(run_settings.out_name.c_str());
}

}  // namespace

void run_stages() {
    if (run_settings.flatten_flag == 1) {
        flatten_cif();
    } else {
        note_if_places_symbols();
        scan_cif();
    }
    process_layers();
    group_boxes();
    write_header();
    output_structures();
    write_footer();
}

int run_cif2kavrit(int argc, const char* const* argv) {
    set_defaults();
    parse_command_line(argc, argv);
    lock_working_directory();

    // The input is opened first, so a missing input leaves no output file.
    run_settings.cif_stream = open_or_exit(run_settings.cif_name, "rb");
    if (!run_settings.out_name.empty()) {
        run_settings.out_stream = open_or_exit(run_settings.out_name, "w");
        run_settings.to_file = 1;
        std::atexit(discard_unfinished_output);
    }

    run_stages();

    std::fclose(run_settings.cif_stream);
    run_settings.cif_stream = nullptr;
    if (run_settings.to_file == 1) {
        std::FILE* out = run_settings.out_stream;
        run_settings.out_stream = nullptr;
        run_settings.to_file = 0;
        close_written_or_exit(out, run_settings.out_name);
        output_complete = true;
    } else if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "Error writing standard output\n");
        std::exit(1);
    }
    remove_temporary_files();
    return 0;
}
