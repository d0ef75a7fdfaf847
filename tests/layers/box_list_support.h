// The box list of a set of bodies lifted one after the other, for the tests
// and the fuzz targets. process_layers lifts the bodies of its own list on
// its tasks and joins them in the same order; this is that list without the
// tasks, for any list of bodies.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "common/box.h"
#include "common/file_names.h"
#include "common/polygon_file.h"
#include "layers/box_list.h"

namespace layers_test {

// For each stem of `body_list` (ended by nullptr) whose file "<stem>.gpc"
// exists, one box per four-vertex contour, in order; the messages of
// contours of other vertex counts go to standard error.
inline std::vector<common::Box> write_box_list(const common::PolygonFiles& files, const char* const* body_list) {
    std::vector<common::Box> boxes;
    std::string messages;
    for (const char* const* stem = body_list; *stem != nullptr; ++stem) {
        const common::PolygonFilePtr file = files.find(common::polygon_file_name(*stem));
        if (file == nullptr) continue;  // a missing body adds nothing
        const std::vector<common::Box> lifted = layers::lift_body(*file, layers::lookup_layer_height(*stem), messages);
        boxes.insert(boxes.end(), lifted.begin(), lifted.end());
    }
    std::fputs(messages.c_str(), stderr);
    return boxes;
}

}  // namespace layers_test
