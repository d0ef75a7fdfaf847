#include "driver/command_line.h"

#include <cstdlib>
#include <cstring>

#include "driver/run_settings.h"

void set_defaults() {
    run_settings.summary_flag = 0;
    run_settings.group_flag = 0;
    run_settings.linkage_flag = 1;
    run_settings.to_file = 0;
    run_settings.flatten_flag = 0;
}

CommandLineAction read_command_line(int argc, const char* const* argv) {
    run_settings.program_name = (argc > 0 && argv[0] != nullptr) ? argv[0] : "";
    if (argc <= 1) return CommandLineAction::Usage;
    if (argc == 2) {
        if (std::strcmp(argv[1], "-v") == 0) return CommandLineAction::Version;
        return CommandLineAction::Usage;
    }

    // Options are told apart by their second character alone, so -summary is
    // -s and -output is -o. Every argument that does not begin with '-' names
    // the last argument as the CIF file.
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-') {
            run_settings.cif_name = argv[argc - 1];
            continue;
        }
        switch (arg[1]) {
            case 'n':
                run_settings.linkage_flag = std::strcmp(arg, "-nolinkage") == 0 ? 0 : 1;
                break;
            case 'o':
                // The next argument is the output name whatever it looks like.
                // With -o last there is none, and the output stays on stdout.
                if (i + 1 < argc) {
                    run_settings.out_name = argv[i + 1];
                    ++i;
                }
                break;
            case 'r':
                run_settings.group_flag = 1;
                break;
            case 's':
                run_settings.summary_flag = 1;
                break;
            default:
                // Unknown options, a lone '-', -h and -v: ignored. Of the
                // options that begin with "--", --flatten chooses the CIF
                // reader that places symbols.
                if (std::strcmp(arg, "--flatten") == 0) run_settings.flatten_flag = 1;
                break;
        }
    }
    return CommandLineAction::Convert;
}

void parse_command_line(int argc, const char* const* argv) {
    switch (read_command_line(argc, argv)) {
        case CommandLineAction::Usage:
            print_usage();
        case CommandLineAction::Version:
            write_version(stdout);
            std::exit(0);
        case CommandLineAction::Convert:
            break;
    }
}

void write_usage(std::FILE* stream) {
    std::fprintf(stream, "usage: %s [-v]|[-h]|[[-s][-r][-nolinkage][-o kavritname] cifname]\n",
                 run_settings.program_name.c_str());
    std::fprintf(stream, "  -o output kavrit file name.\n");
    std::fprintf(stream, "  -s generate structure summary in output (default no).\n");
    std::fprintf(stream, "  -r attempts to group structures (default no).\n");
    std::fprintf(stream, "  -nolinkage whether to form linkage info (default yes).\n");
    std::fprintf(stream, "  -v prints the current version number.\n");
    std::fprintf(stream, "  -h help (this screen).\n\n");
}

void write_version(std::FILE* stream) {
    std::fprintf(stream, "%s version %s\n", run_settings.program_name.c_str(), CIF2KAVRIT_VERSION);
}

void print_usage() {
    write_usage(stdout);
    std::exit(0);
}
