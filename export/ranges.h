// How far each hinged structure can turn from its posed angle.
//
// For every structure with link lines, with every other structure where the
// pose puts it, the structure is turned about its posed hinge axis, carrying
// what hangs from it, in each direction until one of its boxes (or of what
// hangs from it) collides by the rule of collide.h, up to a full turn.  Boxes
// that turn along keep their places relative to each other and are not tested
// against each other.
//
// The search steps so that no corner of a moving box travels further than
// half the smallest size of the thinnest box taking part between two tests
// (so that no box is stepped over), but never by less than MIN_STEP degrees
// (a bound on the work for boxes far from their axis or very thin), then
// halves the last step until the first hit is known to a ten-thousandth of a
// degree.  Pairs that already collide at the posed angle are set aside: the
// range is how far the structure turns before a new pair collides, and the
// pairs set aside are listed with it.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "export/collide.h"

namespace kavrit {

constexpr double MIN_STEP = 0.002;  // degrees

// The most box pairs the whole search may test (a box and the substrate
// count as one): about ten seconds.  A layout that would need more (many
// boxes crowded about long hinged structures) is refused with RangeWorkError
// rather than left to run for hours.
constexpr long long RANGE_WORK_LIMIT = 1'000'000'000;

class RangeWorkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One direction of a range.
struct RangeEnd {
    double degrees = 360;                   // how far it turns free (360: a full turn)
    bool free = true;                       // nothing is hit within a full turn
    std::size_t moving = 0;                 // the moving box that hits (model index)
    std::optional<std::size_t> hit;         // the box it hits; empty: the substrate
};

struct HingeRange {
    std::size_t structure = 0;       // index into Layout::structures
    double posed = 0;                // its own posed angle
    RangeEnd down, up;               // turning by negative, positive angles
    std::vector<Collision> at_start; // pairs colliding at the posed angle, set aside
    long tests = 0;                  // how many positions were tested
};

// `broad_phase` false tests every moving box against every box that stands
// still (for comparison); `limit` stops after that many hinged structures;
// `work_limit` is the most box pairs tested before RangeWorkError.
std::vector<HingeRange> hinge_ranges(const Layout& layout, const Pose& pose, const CollisionModel& model,
                                     bool broad_phase = true, std::size_t limit = static_cast<std::size_t>(-1),
                                     long long work_limit = RANGE_WORK_LIMIT);

// The table of --ranges, and the JSON of --ranges --json.
std::string ranges_table(const Layout& layout, const CollisionModel& model, const std::vector<HingeRange>& ranges);
std::string ranges_json(const Layout& layout, const CollisionModel& model, const std::vector<HingeRange>& ranges);

}  // namespace kavrit
