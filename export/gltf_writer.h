// Binary glTF 2.0 (.glb) with the hinge hierarchy.
#pragma once

#include <string>

#include "export/kavrit.h"
#include "export/pose.h"

namespace kavrit {

// One node "structure_N" per structure, nested as the structures hang from
// each other (hinge_tree), under one root node that turns the layout's z-up
// frame into glTF's y-up frame.  A hinged node sits at its axis point (its
// translation is that point less its parent's origin) and its boxes are
// given relative to it, so that its own turn is a rotation about its local
// x or y axis alone: the node's rotation holds the turn `pose` gives it.
// Other nodes sit at the origin.  Each node's extras hold "structure" (N),
// "kind" and, for a hinged node, "axis" ("x" or "y").  Each box is 24
// vertices with flat normals; the boxes use the material of the structure's
// kind and the reflector the material "reflector", coloured as in the OBJ
// output.  Units: 1 = 1 micrometre.
std::string make_glb(const Layout& layout, const Pose& pose);

}  // namespace kavrit
