// The checks of --check and --ranges (see collision_checks.h).
#include "fuzz/collision_checks.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

#include "export/cli.h"
#include "export/collide.h"
#include "export/ranges.h"
#include "fuzz/json_check.h"

namespace fs = std::filesystem;

namespace fuzz_entry::export_checks {

namespace {

// The range search of the fuzz runs: a bound on its work that keeps each
// input to milliseconds (the program's own bound allows about ten seconds).
constexpr long long FUZZ_RANGE_WORK = 2'000'000;

// The box pairs as (line, line), the substrate as line 0, smaller line first.
using LinePair = std::pair<int, int>;
LinePair line_pair(const kavrit::CollisionModel& m, std::size_t box, std::optional<std::size_t> other) {
    const int a = m.boxes[box].line, b = other ? m.boxes[*other].line : 0;
    return other ? std::make_pair(std::min(a, b), std::max(a, b)) : std::make_pair(a, 0);
}

}  // namespace

std::string collisions_and_ranges(const std::vector<std::string>& pose_args, const fs::path& input,
                                  const kavrit::PoseRequest& request, bool json) {
    std::vector<std::string> args = {"--check"};
    args.insert(args.end(), pose_args.begin(), pose_args.end());
    args.push_back(input.string());
    std::ostringstream out, err;
    int status = -1;
    try {
        status = kavrit::run_export(args, out, err);
    } catch (const std::exception& e) {
        return std::string("an exception left --check: ") + e.what();
    }
    if (status != 0 && status != 1 && status != 2 && status != 3) return "--check: exit status " + std::to_string(status);
    if ((status == 1 || status == 2) != !err.str().empty()) return "--check: status " + std::to_string(status) + " and message \"" + err.str() + "\"";
    if (status == 1 || status == 2) return "";

    kavrit::Layout layout;
    kavrit::Pose pose;
    kavrit::CollisionModel model;
    try {
        std::ifstream in(input, std::ios::binary);
        layout = kavrit::read_kavrit(in);
        pose = kavrit::make_pose(layout, request);
        model = kavrit::collision_model(layout, pose);
    } catch (const std::exception& e) {
        return std::string("--check took a layout the library refuses: ") + e.what();
    }
    const std::vector<kavrit::Collision> found = kavrit::find_collisions(model);
    const std::string report = out.str();
    if (found.empty() ? (status != 0 || report != "no collisions\n") : status != 3) return "--check: status " + std::to_string(status) + " for " + std::to_string(found.size()) + " pairs";
    if (kavrit::collision_report(layout, model, found) != report) return "--check does not report what find_collisions finds";
    if (model.boxes.size() <= 3000) {
        std::set<LinePair> grid, every;
        for (const auto& c : found) grid.insert(line_pair(model, c.box, c.other));
        const auto& b = model.boxes;
        for (std::size_t i = 0; i < b.size(); ++i) {
            if (kavrit::lowest_z(b[i]) < -model.tolerance) every.insert(line_pair(model, i, std::nullopt));
            for (std::size_t j = i + 1; j < b.size(); ++j)
                if (b[i].structure != b[j].structure && !model.exempt(b[i], b[j]) &&
                    kavrit::overlap_depth(b[i], b[j], model.tolerance))
                    every.insert(line_pair(model, i, j));
        }
        if (grid != every) return "the grid finds " + std::to_string(grid.size()) + " colliding pairs, a test of every pair " + std::to_string(every.size());
    }

    std::vector<kavrit::HingeRange> ranges;
    try {
        ranges = kavrit::hinge_ranges(layout, pose, model, true, static_cast<std::size_t>(-1), FUZZ_RANGE_WORK);
    } catch (const kavrit::RangeWorkError&) {
        return "";
    }
    const std::string text = kavrit::ranges_json(layout, model, ranges);
    if (std::string p = JsonCheck(text).problem(); !p.empty()) return "--ranges --json: " + p;

    // The moving set of each structure: it and what hangs from it.
    std::vector<std::vector<std::size_t>> children(layout.structures.size());
    for (std::size_t i = 0; i < layout.structures.size(); ++i)
        if (pose.tree[i].parent) children[*pose.tree[i].parent].push_back(i);
    const double margin = model.tolerance * (1 + 4e3);  // 1e-9 and 4e-6 of the largest coordinate
    std::size_t checked = 0;
    for (const kavrit::HingeRange& r : ranges) {
        for (const kavrit::RangeEnd* e : {&r.down, &r.up}) {
            if (!(e->degrees >= 0 && e->degrees <= 360)) return "a range end outside a full turn";
            if (e->free != (e->degrees == 360)) return "a range end free short of a full turn, or hit at a full turn";
        }
        if (checked >= 6) continue;
        std::vector<bool> moves(layout.structures.size(), false);
        std::vector<std::size_t> set{r.structure};
        for (std::size_t k = 0; k < set.size(); ++k)
            for (std::size_t c : children[set[k]]) set.push_back(c);
        for (std::size_t i : set) moves[i] = true;
        std::set<LinePair> aside;
        for (const auto& c : r.at_start) aside.insert(line_pair(model, c.box, c.other));
        for (int sign : {-1, 1}) {
            const kavrit::RangeEnd& e = sign < 0 ? r.down : r.up;
            if (e.free) continue;
            ++checked;
            kavrit::PoseRequest turned = request;
            turned.degrees[layout.structures[r.structure].number()] = r.posed + sign * e.degrees;
            kavrit::CollisionModel at_end;
            try {
                at_end = kavrit::collision_model(layout, kavrit::make_pose(layout, turned));
            } catch (const std::exception& x) {
                return std::string("the end of a range cannot be posed: ") + x.what();
            }
            for (const auto& c : kavrit::find_collisions(at_end)) {
                const bool a = moves[at_end.boxes[c.box].structure];
                const bool b = c.other ? moves[at_end.boxes[*c.other].structure] : false;
                if (a == b && c.other) continue;   // both move or both stand
                if (!a && !c.other) continue;      // a box that stands, on the substrate
                if (aside.count(line_pair(at_end, c.box, c.other)) || c.depth <= margin) continue;
                return "structure " + std::to_string(layout.structures[r.structure].number()) +
                       " turned to the end of its range collides " + std::to_string(c.depth) + " deep";
            }
        }
    }

    // The program's own --ranges does the same search, within its larger bound.
    std::vector<std::string> ranges_args = {"--ranges"};
    if (json) ranges_args.push_back("--json");
    ranges_args.insert(ranges_args.end(), pose_args.begin(), pose_args.end());
    ranges_args.push_back(input.string());
    std::ostringstream rout, rerr;
    try {
        status = kavrit::run_export(ranges_args, rout, rerr);
    } catch (const std::exception& e) {
        return std::string("an exception left --ranges: ") + e.what();
    }
    if (status != 0 || !rerr.str().empty()) return "--ranges: status " + std::to_string(status) + ": " + rerr.str();
    if (rout.str() != (json ? text : kavrit::ranges_table(layout, model, ranges))) return "--ranges does not write what the search finds";
    return "";
}

}  // namespace fuzz_entry::export_checks
