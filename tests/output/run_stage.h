// Runs the structure output stage on the text of a grouped box list, in a
// fresh directory with the intermediate files kept, and collects the results.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>

#include "common/box.h"
#include "common/options.h"
#include "common/output.h"
#include "output/output_structures.h"
#include "reference_output.h"
#include "tests/common/scratch_dir.h"
#include "tests/common/test_traces.h"

// The grouped boxes that a postmason.file text lists: a box per line, an empty
// line after each structure (boxes after the last one belong to none).
inline common::GroupedBoxes grouped_from_text(const std::string& postmason) {
    common::GroupedBoxes grouped;
    std::istringstream in(postmason);
    std::size_t open = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            grouped.ends.push_back(grouped.boxes.size());
            open = grouped.boxes.size();
            continue;
        }
        common::Box b;
        if (std::sscanf(line.c_str(), "%d %d %d %d %d %d", &b.xmin, &b.xmax, &b.ymin, &b.ymax, &b.zmin, &b.zmax) == 6)
            grouped.boxes.push_back(b);
    }
    grouped.boxes.resize(open);
    return grouped;
}

struct StageResult {
    std::string output;     // what the stage wrote to the output destination
    std::string blocks;     // tmpdata1.file as the stage left it
};

inline StageResult run_output_stage(const std::string& postmason, const reference::Flags& flags = {}) {
    ScratchDir dir;
    common::Options options;
    options.summary = flags.summary != 0;
    options.group = flags.group != 0;
    options.linkage = flags.linkage != 0;
    test_traces::WritingTrace trace;
    common::Output out(std::fopen("out.txt", "w"), "out.txt");
    output::output_structures(options, grouped_from_text(postmason), out, &trace);
    std::fclose(out.release());
    return StageResult{read_file("out.txt"), read_file("tmpdata1.file")};
}
