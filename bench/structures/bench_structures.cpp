// Times structure grouping and structure output on generated box lists of
// about 1,000, 10,000 and 100,000 boxes.
//
// Each generated device is an anchored post with an arm, a first plate hung
// on the arm by a hinge pair (low hinge box z 1..4 exactly under a high hinge
// box z 5..8), a second plate hung on the first by another hinge pair, and a
// reflector on a pad of the first plate. Plates are cut into many strips. The
// boxes are listed body by body over the whole layout, as the box list writer
// lists them, so grouping opens many slots that the merges then join.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/box.h"
#include "common/options.h"
#include "common/output.h"
#include "grouping/group_boxes.h"
#include "output/output_structures.h"

namespace {

struct B {
    int xmin, xmax, ymin, ymax, zmin, zmax;
};

// Boxes per body class, in the order in which the bodies are listed.
enum { ANCHOR, REFLECTOR, LOW_HINGE, HIGH_HINGE, PLATE, PAD, ARM, CLASSES };

std::vector<std::vector<B>> device_layout(int devices, int strips) {
    std::vector<std::vector<B>> by_class(CLASSES);
    const int w = 2 * strips;      // plate width
    const int d = 40;              // plate depth
    const int pitch = w + 40;
    int per_row = 1;
    while (per_row * per_row < devices) ++per_row;
    for (int k = 0; k < devices; ++k) {
        const int cx = (k % per_row) * pitch, cy = (k / per_row) * (2 * d + 100);
        by_class[ANCHOR].push_back({cx, cx + 10, cy, cy + 10, 0, 5});
        by_class[ARM].push_back({cx, cx + 10, cy, cy + 20, 5, 7});
        by_class[HIGH_HINGE].push_back({cx + 2, cx + 8, cy + 20, cy + 24, 5, 8});
        by_class[LOW_HINGE].push_back({cx + 2, cx + 8, cy + 20, cy + 24, 1, 4});
        const int y1 = cy + 24;
        for (int s = 0; s < strips; ++s) by_class[PLATE].push_back({cx + 2 * s, cx + 2 * s + 2, y1, y1 + d, 1, 3});
        by_class[PAD].push_back({cx + 10, cx + 30, y1 + 6, y1 + 16, 3, 5});
        by_class[REFLECTOR].push_back({cx + 12, cx + 28, y1 + 8, y1 + 14, 5, 9});
        by_class[PAD].push_back({cx + w - 10, cx + w, y1 + d - 10, y1 + d, 3, 5});      // riser
        by_class[ARM].push_back({cx + w - 10, cx + w, y1 + d, y1 + d + 6, 5, 7});       // bridge
        by_class[HIGH_HINGE].push_back({cx + w - 10, cx + w, y1 + d + 6, y1 + d + 10, 5, 8});
        by_class[LOW_HINGE].push_back({cx + w - 10, cx + w, y1 + d + 6, y1 + d + 10, 1, 4});
        const int y2 = y1 + d + 10;
        for (int s = 0; s < strips; ++s) by_class[PLATE].push_back({cx + 2 * s, cx + 2 * s + 2, y2, y2 + d, 1, 3});
    }
    return by_class;
}

double ms_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main() {
    std::string pattern = (std::filesystem::temp_directory_path() / "bench-structures-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = pattern;
    const std::string out_name = (dir / "out.kav").string();
    const int strips = 20;
    const int per_device = 9 + 2 * strips;
    for (int target : {1000, 10000, 100000}) {
        const int devices = (target + per_device - 1) / per_device;
        std::vector<common::Box> box_list;
        for (const auto& cls : device_layout(devices, strips))
            for (const B& b : cls) box_list.push_back({b.xmin, b.xmax, b.ymin, b.ymax, b.zmin, b.zmax});
        const std::size_t boxes = box_list.size();
        const auto t0 = std::chrono::steady_clock::now();
        const common::GroupedBoxes grouped = grouping::group_boxes(box_list);
        const double grouping_ms = ms_since(t0);

        common::Options options;
        options.summary = true;
        options.group = true;
        common::Output out(std::fopen(out_name.c_str(), "w"), out_name);
        const auto t1 = std::chrono::steady_clock::now();
        output::output_structures(options, grouped, out);
        std::fflush(out.stream());
        const double output_ms = ms_since(t1);
        std::fclose(out.release());
        // Three structures per device: the anchored post, the two plates.
        int structures = -1, chains_two_deep = 0;
        if (std::FILE* f = std::fopen(out_name.c_str(), "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, f) != nullptr) {
                std::sscanf(line, "# total structures found: %d", &structures);
                if (std::string(line).find("  link ") == 0 && std::string(line).find(" member") != std::string::npos)
                    ++chains_two_deep;
            }
            std::fclose(f);
        }
        std::printf("%7zu boxes, %5d devices, %5d structures, %5d chains two deep: grouping %7.1f ms, "
                    "output (-s -r) %7.1f ms, total %7.1f ms\n",
                    boxes, devices, structures, chains_two_deep, grouping_ms, output_ms, grouping_ms + output_ms);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
