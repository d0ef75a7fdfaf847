// The SVG picture of a layout.
#pragma once

#include <string>

#include "export/kavrit.h"
#include "export/pose.h"
#include "export/view.h"

namespace kavrit {

// Draws every box in painter's order (each box a <g class="box"> with
// data-structure="N", reflectors with class "box reflector"), the hinge axes
// as dashed lines labelled with their structure numbers, and a legend with
// one entry (class "legend-entry", data-structure="N") per structure.
// The text depends only on the layout and the view.
std::string render_svg(const Layout& layout, ViewName view);
// The same with the boxes where `pose` puts them.  While every box keeps its
// edges along the axes the picture is drawn box by box as above; once a turn
// tilts them, side by side (each side a <polygon class="face"> or
// class="face reflector" with data-structure="N"), in the order of face_order.
std::string render_svg(const Layout& layout, ViewName view, const Pose& pose);

// Text made safe for XML character data and attribute values: markup
// characters escaped, control bytes and broken UTF-8 replaced by '?'.
std::string xml_text(const std::string& text);

// The fill colour of a structure: hues spread by structure number, greys
// for anchored structures ("#rrggbb").
std::string structure_colour(const Structure& s, int anchored_ordinal);

}  // namespace kavrit
