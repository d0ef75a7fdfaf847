// A self-contained HTML page that shows the layout in 3-D.
#pragma once

#include <string>

#include "export/kavrit.h"
#include "export/pose.h"

namespace kavrit {

// The page holds the glTF model of make_glb (base64), the boxes of the
// collision model, the three.js library with its orbit controls and glTF
// loader, and its own script: orbit, pan and zoom with the mouse, a slider per
// hinged structure in the order of their numbers (and one that raises every
// structure hanging straight from its anchor) with its free range as a band
// and buttons that turn to either end of it, colliding boxes in red and the
// colliding pairs listed, each structure in its colour, hinge axes as lines,
// the substrate as a faint plane, the structure's number and kind under the
// mouse, reflectors lit up.  The sliders start at the turns `pose` gives.
// Needs no network.
std::string make_html(const Layout& layout, const Pose& pose);

// The JavaScript embedded at build time: three.js, its controls and loader;
// and the page's own script (export/viewer/page.js with geometry.js put in).
extern const char* const EMBEDDED_THREE_JS;
extern const char* const VIEWER_JS;

}  // namespace kavrit
