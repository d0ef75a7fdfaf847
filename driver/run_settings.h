// Process-wide run settings and the helpers every stage shares: the fatal
// open and the choice of the output destination.
#pragma once

#include <cstdio>
#include <string>

struct RunSettings {
    std::string program_name;
    std::string cif_name;
    std::string out_name;
    int summary_flag = 0;   // -s
    int group_flag = 0;     // -r
    int linkage_flag = 1;   // off only with exactly -nolinkage
    int flatten_flag = 0;   // --flatten: the CIF reader that places symbols
    int to_file = 0;        // 1 once out_stream is open
    std::FILE* cif_stream = nullptr;
    std::FILE* out_stream = nullptr;
};

extern RunSettings run_settings;

// Opens `name` with the stdio mode `mode`; on failure prints
// "Error opening file %s\n" on stderr and ends the process with status 1.
std::FILE* open_or_exit(const std::string& name, const char* mode);

// Where every write to the output goes: out_stream when to_file is 1, else stdout.
std::FILE* output_destination();

// Closes a file this run has written. A write that failed on the way (a full
// disk, an unwritable device) or a failed close prints
// "Error writing file %s\n" on stderr and ends the process with status 1,
// so that no later stage reads a file cut short as if it were whole.
void close_written_or_exit(std::FILE* file, const std::string& name);

// Ends the process with status 1 after a failed write; the partial output
// file, if one was opened with -o, is removed first.
[[noreturn]] void write_failed(const std::string& name);
