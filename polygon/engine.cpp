// The entry points of the engine: a sweep (sweep.h) with one of its two
// builders (strip_builder.h, polygon_builder.h), on buffers kept per thread.
#include "polygon/engine.h"

#include "polygon/polygon_builder.h"
#include "polygon/strip_builder.h"
#include "polygon/sweep.h"

namespace polyclip {
namespace {

// The buffers of the calls made on one thread. The engine calls no code from
// outside itself, so a call never finds them in use by another call; calls on
// other threads have their own.
struct Scratch {
    Sweep sweep;
    StripBuilder strips;
    PolygonBuilder polygons;
};

Scratch& thread_scratch() {
    thread_local Scratch scratch;
    return scratch;
}

// A big sweep's buffers go before its result is copied out: the builder's
// results do not refer to them.
void release_sweep_if_large(Scratch& scratch) {
    if (scratch.sweep.large()) scratch.sweep = Sweep{};
}

// Keeps buffers for the many small calls, but not the memory of a big one.
void release_if_large(Scratch& scratch) {
    if (scratch.sweep.large() || scratch.strips.large() || scratch.polygons.large()) scratch = Scratch{};
}

bool trivially_empty(Operation op, bool no_subject, bool no_clip) {
    return (no_subject && no_clip) ||
           (no_subject && (op == Operation::Intersection || op == Operation::Difference)) ||
           (no_clip && op == Operation::Intersection);
}

}  // namespace

Operation to_operation(gpc_op op) {
    switch (op) {
        case GPC_DIFF: return Operation::Difference;
        case GPC_INT: return Operation::Intersection;
        case GPC_XOR: return Operation::ExclusiveOr;
        default: return Operation::Union;
    }
}

Strips clip_to_strips(Operation op, const Contours& subject, const Contours& clip) {
    if (trivially_empty(op, subject.empty(), clip.empty())) return {};
    Scratch& scratch = thread_scratch();
    scratch.sweep.run(op, Operand(subject), Operand(clip), scratch.strips);
    release_sweep_if_large(scratch);
    Strips out = scratch.strips.take();
    release_if_large(scratch);
    return out;
}

void clip_to_tristrip(Operation op, const gpc_polygon& subject, const gpc_polygon& clip, gpc_tristrip* result) {
    result->num_strips = 0;
    result->strip = nullptr;
    if (trivially_empty(op, subject.num_contours <= 0, clip.num_contours <= 0)) return;
    Scratch& scratch = thread_scratch();
    scratch.sweep.run(op, Operand(subject), Operand(clip), scratch.strips);
    release_sweep_if_large(scratch);
    scratch.strips.take_into(result);
    release_if_large(scratch);
}

void clip_to_sink(Operation op, const ContourSource& subject, const ContourSource& clip, StripSink& sink) {
    if (trivially_empty(op, subject.count() <= 0, clip.count() <= 0)) {
        sink.begin(0, 0);
        return;
    }
    Scratch& scratch = thread_scratch();
    scratch.sweep.run(op, Operand(subject), Operand(clip), scratch.strips);
    release_sweep_if_large(scratch);
    scratch.strips.emit(sink);
    release_if_large(scratch);
}

PolygonResult clip_to_polygon(Operation op, const Contours& subject, const Contours& clip) {
    if (trivially_empty(op, subject.empty(), clip.empty())) return {};
    Scratch& scratch = thread_scratch();
    scratch.sweep.run(op, Operand(subject), Operand(clip), scratch.polygons);
    PolygonResult out = scratch.polygons.take();
    release_if_large(scratch);
    return out;
}

PolygonResult clip_to_polygon(Operation op, const gpc_polygon& subject, const gpc_polygon& clip) {
    if (trivially_empty(op, subject.num_contours <= 0, clip.num_contours <= 0)) return {};
    Scratch& scratch = thread_scratch();
    scratch.sweep.run(op, Operand(subject), Operand(clip), scratch.polygons);
    PolygonResult out = scratch.polygons.take();
    release_if_large(scratch);
    return out;
}

}  // namespace polyclip
