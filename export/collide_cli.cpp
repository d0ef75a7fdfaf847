#include "export/collide_cli.h"

#include <ostream>

#include "export/cli.h"
#include "export/collide.h"
#include "export/ranges.h"

namespace kavrit {

int run_collisions(const CollisionRun& run, std::ostream& out, std::ostream& err,
                   const std::function<int(const std::string&)>& usage_error) {
    const std::string me = "kavrit-export";
    if (run.check == run.ranges) return usage_error(run.check ? "--check and --ranges go separately" : "--json goes with --ranges");
    const char* what = run.check ? "--check" : "--ranges";
    if (run.json && !run.ranges) return usage_error("--json goes with --ranges");
    if (run.view) return usage_error(std::string("--view does not go with ") + what);
    if (run.names.size() != 1)
        return usage_error(std::string(what) + " takes one INPUT file name and writes no file");
    const std::string& input = run.names[0];
    const std::string shown = input == "-" ? "standard input" : input;

    Layout layout;
    if (load_layout(input, run.stack_name ? &*run.stack_name : nullptr, layout, err) != 0) return 1;

    try {
        const Pose pose = make_pose(layout, run.request);
        const CollisionModel model = collision_model(layout, pose);
        if (run.check) {
            const std::vector<Collision> found = find_collisions(model);
            out << collision_report(layout, model, found);
            return found.empty() ? 0 : 3;
        }
        const std::vector<HingeRange> ranges = hinge_ranges(layout, pose, model);
        out << (run.json ? ranges_json(layout, model, ranges) : ranges_table(layout, model, ranges));
    } catch (const PoseError& e) {
        err << me << ": " << shown << ": " << e.what() << "\n";
        return e.asked() ? 2 : 1;
    } catch (const RangeWorkError& e) {
        err << me << ": " << shown << ": " << e.what() << "; no ranges written\n";
        return 1;
    }
    return 0;
}

}  // namespace kavrit
