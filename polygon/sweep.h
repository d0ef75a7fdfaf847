// The scan-beam sweep that both result builders run on.
//
// What the sweep gives a builder
// ------------------------------
// Every contour is cut into "bounds": maximal runs of upward vertical edges,
// found exactly as the classic clipper finds them (vertices in the middle of a
// horizontal run are dropped first; a bound starts at each local minimum, in
// the order: all forward minima of a contour, then all reverse minima;
// subject contours before clip contours). A vertex in the middle of a bound
// (a collinear vertex) makes the bound continue with a successor edge. Each
// bound becomes one slot when the sweep reaches its bottom; the slot follows
// the bound's edges upward, and after the boundary where the bound ends it
// is free for a bound that starts later (builders keep no slot index past
// the end of its bound; the seq of a slot is new each time it is taken).
//
// The active slots are ordered by x (their rank: the index of their x among
// the distinct x values of all edges); slots with equal x keep the order in
// which they became active (their seq), new ones after old ones. At each
// scan-beam boundary y, coincident edges at one x are "bundled" separately
// above and below y: the last slot of the group that exists above y carries
// the parity of all of them above, and the last one that existed below y
// carries it below. A slot that is bundled on one side only (its edge passes
// through y while a coincident edge starts or ends there) thus acts as if it
// ended or started at y.
//
// The builder is called as follows, and sees nothing else:
// - begin(edges, slots, rank_count), once per run, first (also when there is
//   nothing to sweep): the builder forgets any earlier run here. `edges`
//   is fixed for the sweep; `slots` grows as bounds start (hold the vector,
//   not its elements); rank_count is the number of distinct x values.
// - boundary(y, points), once per scan-beam boundary, from the bottom up:
//   at every height where an edge starts or ends (all heights equal to zero
//   come as one y, whose sign the first vertex at zero decides among the
//   contours that can touch the result).
//   `points` holds the bundle heads at y (the slots carrying some parity above
//   or below y), left to right: by rank, then by seq. Each point gives the
//   result's inside state in the four quadrants around it: bl and br below y,
//   left and right of the slot's x; tl and tr above y. A slot with a point has
//   `point` set to its index in `points`, every other slot has -1. A slot's
//   `edge` is the edge that goes on above y, or the edge that ends at y (then
//   `ending` is set); edge_x_at(edge, y) is the x the slot reports at y.
//   Everything the builders decide, they decide from these quadrants alone.
// - carry(slot), after boundary(y), for every active slot at each x visited at
//   y (with or without a point), before its point is cleared and before the
//   slots that ended leave the sweep: the builder moves what it computed for
//   above y to the slot's state below the next boundary. A builder whose
//   carries() is false gets no carry calls.
// The slot fields marked as the builders' (own) belong to them; the
// sweep sets them to -1 when a slot starts and never reads them.
//
// Modes: the operation and the builder
// ------------------------------------
// The operation says which quadrants are inside. Each operand counts by the
// even-odd rule (its parity flips at each of its edges); then
//   Difference:   inside the subject and not inside the clip;
//   Intersection: inside both;
//   ExclusiveOr:  inside exactly one;
//   Union:        inside either.
// The builder says what is made of the quadrants: StripBuilder (strip_builder.h)
// makes triangle strips, PolygonBuilder (polygon_builder.h) contours with hole
// flags.
//
// Input: an operand with an edge that is neither horizontal nor vertical, or
// with a value that is not finite, gives an empty sweep (begin alone), as the
// library gives no result for it; the check is made as the contours are read.
//
// Cost: only the edges that start, end or pass a collinear vertex at y, the
// edges coincident with them, and the edges crossed by a horizontal input
// edge at y are visited; prefix parities come from a Fenwick tree. A sweep
// costs O((n + k) log n) for n edges and k crossings of horizontal by
// vertical edges. Its buffers are kept between runs (see Sweep).
#pragma once

#include <cstdint>
#include <vector>

#include "polygon/types.h"
#include "polygon/radix_sort.h"
#include "polygon/rank_index.h"

namespace polygon {

// An upward vertical edge. Its top vertex has the same x, but for the sign
// of a zero.
struct Edge {
    double x;  // x of the bottom vertex
    double ybot;
    double ytop;
    int succ;         // next edge of the same bound, or -1
    bool top_flips;   // the top vertex's x is -x (+0 below, -0 above or the reverse)
    double xtop() const { return top_flips ? -x : x; }
};
static_assert(sizeof(Edge) == 32, "a big sweep holds an edge per two operand vertices");

struct Slot {
    int edge;
    int rank;
    uint32_t seq;
    uint8_t below;  // bundle parity carried below y (non-zero only on a bundle head)
    uint8_t above;  // bundle parity carried above y, computed at y
    bool ending;    // the edge ends at this y and has no successor
    uint8_t type;   // the edge's: 0 subject, 1 clip
    int point;      // index into this y's point list, or -1
    // The builder's fields (a big sweep holds a slot per bound, so they are
    // shared): StripBuilder's strips whose left [0] and right [1] side the
    // slot is; PolygonBuilder's partial contours of the side below [0] and
    // above [1] y (the one above computed at y).
    int own[2] = {-1, -1};
    // The sweep's list of active slots of equal x, in activation order.
    int next_at_rank = -1;
    int prev_at_rank = -1;
};

struct SweepPoint {
    int slot;
    bool tl, tr, bl, br;
};

// The x an edge reports at y: its bottom vertex's x where it starts, its top
// vertex's x where it ends, and in between the bottom x plus its zero slope
// times the height, which turns -0 into +0.
inline double edge_x_at(const Edge& e, double y) {
    if (e.ybot == y) return e.x;
    if (e.ytop == y) return e.xtop();
    return e.x + 0.0;
}

inline bool quadrants(const SweepPoint& p, bool bl, bool br, bool tl, bool tr) {
    return p.bl == bl && p.br == br && p.tl == tl && p.tr == tr;
}

class SweepBuilder {
public:
    virtual void begin(const std::vector<Edge>& edges, std::vector<Slot>& slots, int rank_count) = 0;
    virtual void boundary(double y, const std::vector<SweepPoint>& points) = 0;
    virtual void carry(Slot& slot) = 0;
    // False when carry() does nothing: the sweep then skips the calls.
    virtual bool carries() const { return true; }

protected:
    ~SweepBuilder() = default;
};

// Runs sweeps. One object keeps its buffers from one run to the next, so a
// caller making many calls (the growing step makes one per box) allocates
// only while the inputs grow. An object must not run two sweeps at once.
class Sweep {
public:
    void run(Operation op, const ContourSource& subject, const ContourSource& clip, SweepBuilder& builder);
    // True when the last run's buffers are big enough to be worth releasing.
    bool large() const;

    struct ContourInfo {
        RectD box;          // the contour's bounding box ({} for an empty contour)
        int zero_sign = 0;  // sign of the first kept vertex with y == 0: 1 for +0, -1 for -0, 0 for none
    };
    struct Bound {
        double y;
        int first_edge;
        uint32_t rank : 31;  // of x
        uint32_t type : 1;
    };
    struct RankState {
        int first = -1;  // active slots of this x, as an intrusive list
        int last = -1;
        uint8_t start_bits = 0;  // operands whose bounds start and end here at this y
        uint8_t end_bits = 0;
    };

private:
    // The phases of a run, in order (sweep.cpp says what each does).
    void read_operands(const ContourSource& subject, const ContourSource& clip);
    int rank_x_values();
    void order_events();
    void reset_active(int rank_count);
    // The phases of one boundary, in order.
    double next_boundary(double zero_y) const;
    void end_edges(double y);
    void start_bounds(double y);
    void sort_event_ranks();
    void find_points(double y);
    void bundle_rank(int r, double y, uint8_t horizontal);
    void carry_and_retire(SweepBuilder& builder, bool carries);

    void add_operand(const ContourSource& operand, int type);
    ContourInfo contour_info(const ContourSource& operand, int i);
    double canonical_zero_y(Operation op, const ContourSource& subject, const ContourSource& clip);

    // The edges and bounds of both operands.
    std::vector<Edge> edges_;
    std::vector<Bound> bounds_;
    bool positive_zero_y_ = false;
    bool negative_zero_y_ = false;
    bool rectilinear_ = true;  // every edge read so far horizontal or vertical, every value finite
    std::vector<PointD> contour_, kept_;  // one input contour, and its kept vertices
    bool large_run_ = false;             // the run's buffers go after it
    bool inside_[4] = {};                // the operation's inside, by operand parity bits

    // Sorting.
    std::vector<KeyedIndex<1>> by_x_, by_top_, sort_scratch_;
    std::vector<KeyedIndex<2>> small_bound_order_;
    std::vector<uint32_t> bound_order_;  // the bounds by the height they start at, then x

    // The active slots. The slot of a bound that ended is taken again by a
    // later one; bound_slot_ gives each started bound's slot (-1 before).
    std::vector<Slot> slots_;
    std::vector<int> free_slots_;
    std::vector<int> bound_slot_;
    std::vector<RankState> ranks_;
    RankSet occupied_;
    XorFenwick below_parity_;
    uint32_t next_seq_ = 0;
    size_t top_i_ = 0;    // the next edge top in by_top_
    size_t bound_i_ = 0;  // the next bound in bound_order_

    // One boundary.
    std::vector<int> event_ranks_;  // ranks touched by an event at this y, sorted and unique
    RankSet event_set_;             // sorts large sets of event ranks
    std::vector<SweepPoint> points_;
    std::vector<int> processed_ranks_;
};

}  // namespace polygon
