#include "driver/command_line.h"

#include <cstring>
#include <optional>
#include <string>

#include "common/run_error.h"
#include "driver/threads.h"


namespace driver {

namespace {

common::RunError threads_refused(const char* value) {
    const std::string range = "a whole number from 1 to " + std::to_string(MAX_THREADS_OPTION);
    if (value == nullptr) return common::RunError("cif2kavrit: --threads needs " + range + "\n", 2);
    return common::RunError("cif2kavrit: --threads takes " + range + ", not \"" + std::string(value) + "\"\n", 2);
}

}  // namespace

CommandLineAction read_command_line(int argc, const char* const* argv, common::Options& options) {
    options.program_name = (argc > 0 && argv[0] != nullptr) ? argv[0] : "";
    if (argc <= 1) return CommandLineAction::Usage;
    if (argc == 2) {
        if (std::strcmp(argv[1], "-v") == 0) return CommandLineAction::Version;
        return CommandLineAction::Usage;
    }

    // Options are told apart by their second character alone, so -summary is
    // -s and -output is -o. Every argument that does not begin with '-' names
    // the last argument as the CIF file.
    // The arguments of --layers and --top are never the CIF name: when one of
    // them is the last argument, the command line names no input.
    bool last_taken = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-') {
            options.cif_name = argv[argc - 1];
            continue;
        }
        switch (arg[1]) {
            case 'n':
                options.linkage = std::strcmp(arg, "-nolinkage") != 0;
                break;
            case 'o':
                // The next argument is the output name whatever it looks like.
                // With -o last there is none, and the output stays on stdout.
                if (i + 1 < argc) {
                    options.out_name = argv[i + 1];
                    ++i;
                }
                break;
            case 'r':
                options.group = true;
                break;
            case 's':
                options.summary = true;
                break;
            case '-':
                // Long options; any other is ignored like an unknown short one.
                if (std::strcmp(arg, KEEP_INTERMEDIATES_OPTION) == 0) options.keep_intermediates = true;
                if (std::strcmp(arg, FLATTEN_OPTION) == 0) options.flatten = true;
                if (std::strcmp(arg, THREADS_OPTION) == 0 || std::strncmp(arg, "--threads=", 10) == 0) {
                    // The count is never the CIF name either.
                    const bool separate = arg[9] == '\0';
                    if (separate && i + 1 >= argc) throw threads_refused(nullptr);
                    const char* value = separate ? argv[++i] : arg + 10;
                    const std::optional<int> n = read_thread_count(value);
                    if (!n) throw threads_refused(value);
                    options.threads = *n;
                    if (separate && i == argc - 1) last_taken = true;
                }
                if (std::strcmp(arg, LAYERS_OPTION) == 0 || std::strcmp(arg, TOP_OPTION) == 0) {
                    if (i + 1 >= argc) return CommandLineAction::Usage;
                    (std::strcmp(arg, LAYERS_OPTION) == 0 ? options.layers_name : options.top_name) = argv[i + 1];
                    ++i;
                    if (i == argc - 1) last_taken = true;
                }
                break;
            default:
                break;  // unknown options, a lone '-', -h and -v: ignored
        }
    }
    if (last_taken) return CommandLineAction::Usage;
    return CommandLineAction::Convert;
}

void write_usage(std::FILE* stream, const common::Options& options) {
    std::fprintf(stream, "usage: %s [-v]|[-h]|[[-s][-r][-nolinkage][-o kavritname] cifname]\n",
                 options.program_name.c_str());
    std::fprintf(stream, "  -o output kavrit file name.\n");
    std::fprintf(stream, "  -s generate structure summary in output (default no).\n");
    std::fprintf(stream, "  -r attempts to group structures (default no).\n");
    std::fprintf(stream, "  -nolinkage whether to form linkage info (default yes).\n");
    std::fprintf(stream, "  -v prints the current version number.\n");
    std::fprintf(stream, "  -h help (this screen).\n\n");
}

void write_version(std::FILE* stream, const common::Options& options) {
    std::fprintf(stream, "%s version %s\n", options.program_name.c_str(), CIF2KAVRIT_VERSION);
}

}  // namespace driver
