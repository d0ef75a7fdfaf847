// Runs the structure output stage in a fresh directory on a given
// postmason.file, with the output going to a file, and collects the results.
#pragma once

#include <cstdio>
#include <string>

#include "driver/run_settings.h"
#include "output/output_structures.h"
#include "reference_output.h"
#include "scratch_dir.h"

struct StageResult {
    std::string output;     // what the stage wrote to the output destination
    std::string blocks;     // tmpdata1.file as the stage left it
};

inline StageResult run_output_stage(const std::string& postmason, const reference::Flags& flags = {}) {
    ScratchDir dir;
    write_file("postmason.file", postmason);
    run_settings.summary_flag = flags.summary;
    run_settings.group_flag = flags.group;
    run_settings.linkage_flag = flags.linkage;
    run_settings.out_stream = std::fopen("out.txt", "w");
    run_settings.to_file = 1;
    output_structures();
    std::fclose(run_settings.out_stream);
    run_settings.out_stream = nullptr;
    run_settings.to_file = 0;
    return StageResult{read_file("out.txt"), read_file("tmpdata1.file")};
}
