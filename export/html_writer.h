// A self-contained HTML page that shows the layout in 3-D.
#pragma once

#include <string>

#include "export/kavrit.h"
#include "export/pose.h"

namespace kavrit {

// The page holds the glTF model of make_glb (base64), the three.js library
// with its orbit controls and glTF loader, and a small script: orbit, pan and
// zoom with the mouse, a slider per hinged structure (and one that raises
// every structure hanging straight from its anchor), the structure's number
// and kind under the mouse, reflectors lit up.  The sliders start at the
// turns `pose` gives.  Needs no network.
std::string make_html(const Layout& layout, const Pose& pose);

// The JavaScript embedded at build time (three.js, its controls and loader).
extern const char* const EMBEDDED_THREE_JS;

}  // namespace kavrit
