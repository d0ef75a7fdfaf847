#include "grouping/group_boxes.h"

#include "common/file_names.h"
#include "grouping/grouping_table.h"
#include "grouping/touching_pairs.h"

namespace grouping {

common::GroupedBoxes group_boxes(const std::vector<common::Box>& box_list, common::Trace* trace,
                                 unsigned most_threads) {
    const Grouping grouping = group_into_structures(box_list, default_threads(box_list.size(), most_threads));
    common::GroupedBoxes grouped;
    grouped.boxes.reserve(grouping.order.size());
    for (const std::int32_t b : grouping.order) grouped.boxes.push_back(box_list[static_cast<std::size_t>(b)]);
    grouped.ends = grouping.ends;
    if (trace != nullptr) trace->made(common::POSTMASON_FILE, grouped_text(grouped));
    return grouped;
}

std::string grouped_text(const common::GroupedBoxes& grouped) {
    std::string text;
    std::size_t at = 0;
    for (const std::size_t end : grouped.ends) {
        for (; at < end; ++at) {
            const common::Box& b = grouped.boxes[at];
            for (const std::int32_t v : {b.xmin, b.xmax, b.ymin, b.ymax, b.zmin, b.zmax}) {
                text += '\t';
                text += std::to_string(v);
            }
            text += '\n';
        }
        text += '\n';
    }
    return text;
}

}  // namespace grouping
