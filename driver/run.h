// One conversion run: defaults, command line, opens, the stages in order,
// closes, removal of the fixed intermediate files.
#pragma once

// The fixed intermediate files, removed in this order at the end of a run.
inline constexpr const char* TEMPORARY_FILES[] = {"tmpdata1.file", "tmpdata2.file", "premason.file",
                                                  "postmason.file", "minimizedm.file"};

// Removes the five files above one after another; failures are ignored.
void remove_temporary_files();

// The stages in their order: CIF split, layer recipe, grouping, header,
// structure output, footer.
void run_stages();

// The whole run; returns the exit status of a run that reaches its end (0).
// Usage, version and fatal opens end the process on their own.
int run_cif2kavrit(int argc, const char* const* argv);
