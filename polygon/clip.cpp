#include "polygon/clip.h"

#include "polygon/polygon_builder.h"
#include "polygon/strip_builder.h"
#include "polygon/sweep.h"

namespace polygon {
namespace {

// The buffers of the calls made on one thread. The engine calls no code from
// outside itself while it holds them (a ContourSource only hands over
// vertices, a StripSink is called after the sweep), so a call never finds
// them in use by another call; calls on other threads have their own.
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

bool trivially_empty(Operation op, const ContourSource& subject, const ContourSource& clip) {
    const bool no_subject = subject.count() <= 0;
    const bool no_clip = clip.count() <= 0;
    return (no_subject && no_clip) ||
           (no_subject && (op == Operation::Intersection || op == Operation::Difference)) ||
           (no_clip && op == Operation::Intersection);
}

}  // namespace

void clip_to_sink(Operation op, const ContourSource& subject, const ContourSource& clip, StripSink& sink) {
    if (trivially_empty(op, subject, clip)) {
        sink.begin(0, 0);
        return;
    }
    Scratch& scratch = thread_scratch();
    scratch.sweep.run(op, subject, clip, scratch.strips);
    release_sweep_if_large(scratch);
    scratch.strips.emit(sink);
    release_if_large(scratch);
}

PolygonResult clip_to_polygon(Operation op, const ContourSource& subject, const ContourSource& clip) {
    if (trivially_empty(op, subject, clip)) return {};
    Scratch& scratch = thread_scratch();
    scratch.sweep.run(op, subject, clip, scratch.polygons);
    PolygonResult out = scratch.polygons.take();
    release_if_large(scratch);
    return out;
}

PolygonResult clip_to_polygon(Operation op, const Contours& subject, const Contours& clip) {
    return clip_to_polygon(op, ContoursSource(subject), ContoursSource(clip));
}

}  // namespace polygon
