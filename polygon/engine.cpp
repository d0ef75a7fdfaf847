#include "polygon/engine.h"

namespace polyclip {

// Placeholder until the sweep lands: every operation yields an empty result.
Strips clip_to_strips(Operation, const Contours&, const Contours&) { return {}; }
PolygonResult clip_to_polygon(Operation, const Contours&, const Contours&) { return {}; }

}  // namespace polyclip
