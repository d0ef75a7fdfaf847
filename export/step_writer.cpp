#include "export/step_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <unistd.h>
#include <vector>

#include <BRepAlgoAPI_Fuse.hxx>
#include <BRepBuilderAPI_Transform.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRep_Builder.hxx>
#include <Interface_Static.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Precision.hxx>
#include <Quantity_Color.hxx>
#include <STEPCAFControl_Writer.hxx>
#include <StepData_StepModel.hxx>
#include <ShapeUpgrade_UnifySameDomain.hxx>
#include <Standard_Failure.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_ListOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <gp_Trsf.hxx>

#include "export/box_merge.h"
#include "export/mesh.h"

namespace kavrit {

namespace {

// The diffuse colours of the OBJ materials; STEP colours are sRGB values as
// these are.
Quantity_Color colour_of(Kind kind) {
    switch (kind) {
    case Kind::anchored: return {0.62, 0.62, 0.62, Quantity_TOC_sRGB};
    case Kind::hinged: return {0.26, 0.52, 0.86, Quantity_TOC_sRGB};
    case Kind::free: break;
    }
    return {0.35, 0.70, 0.40, Quantity_TOC_sRGB};
}
const Quantity_Color REFLECTOR_COLOUR{1.00, 0.82, 0.25, Quantity_TOC_sRGB};

// A box of the file with z stretched by z_scale, not yet turned; nothing when
// it has no extent along some axis (the converter writes such boxes where
// two shapes of a layer touch), which leaves no material for a solid.
std::optional<Cuboid> stretched_box(const SizedBox& box, double z_scale) {
    Cuboid c = to_cuboid(box);
    c.lo[2] *= z_scale;
    c.hi[2] *= z_scale;
    for (int a = 0; a < 3; ++a)
        if (!(c.hi[a] - c.lo[a] > Precision::Confusion())) return std::nullopt;
    return c;
}

gp_Pnt point_of(const Vec3& v) { return gp_Pnt(v[0], v[1], v[2]); }

TopoDS_Shape solid_box(const Cuboid& c) { return BRepPrimAPI_MakeBox(point_of(c.lo), point_of(c.hi)).Shape(); }

// The solids of a shape: one solid as it is, several in one compound.
TopoDS_Shape solids_of(const TopoDS_Shape& shape, const std::string& name) {
    std::vector<TopoDS_Shape> solids;
    for (TopExp_Explorer e(shape, TopAbs_SOLID); e.More(); e.Next()) solids.push_back(e.Current());
    if (solids.empty()) throw StepError(name + ": the union of its boxes gave no solid");
    if (solids.size() == 1) return solids[0];
    TopoDS_Compound compound;
    BRep_Builder builder;
    builder.MakeCompound(compound);
    for (const TopoDS_Shape& s : solids) builder.Add(compound, s);
    return compound;
}

// True when two of the boxes share a volume, not only faces, edges or corners.
bool any_overlap(std::vector<Cuboid> boxes) {
    std::sort(boxes.begin(), boxes.end(), [](const Cuboid& a, const Cuboid& b) { return a.lo[0] < b.lo[0]; });
    const double margin = Precision::Confusion();
    for (std::size_t i = 0; i < boxes.size(); ++i)
        for (std::size_t j = i + 1; j < boxes.size() && boxes[j].lo[0] < boxes[i].hi[0] - margin; ++j) {
            bool shared = true;
            for (int a = 0; a < 3 && shared; ++a)
                shared = std::min(boxes[i].hi[a], boxes[j].hi[a]) - std::max(boxes[i].lo[a], boxes[j].lo[a]) > margin;
            if (shared) return true;
        }
    return false;
}

// The union of boxes, all at once, with the faces that lie in one plane
// merged into one face.  Boxes that only touch are glued (the kernel then
// skips the search for intersecting faces, which halves the time).
TopoDS_Shape fuse(std::vector<Cuboid> extents, const std::string& name) {
    // Boxes that share a volume are cut first into boxes that share only
    // faces, on the grid of their coordinates; the kernel glues those at
    // less than half the cost of a full fuse of the overlapping ones.  A
    // grid too large for that leaves them to the full fuse.
    if (any_overlap(extents)) {
        std::vector<Cuboid> parts = disjoint_boxes(extents, 4000000);
        if (!parts.empty()) extents = std::move(parts);
    }
    std::vector<TopoDS_Shape> boxes;
    for (const Cuboid& e : extents) boxes.push_back(solid_box(e));
    if (boxes.size() == 1) return boxes[0];
    TopTools_ListOfShape arguments, tools;
    arguments.Append(boxes[0]);
    for (std::size_t k = 1; k < boxes.size(); ++k) tools.Append(boxes[k]);
    BRepAlgoAPI_Fuse union_of;
    union_of.SetArguments(arguments);
    union_of.SetTools(tools);
    union_of.SetRunParallel(Standard_True);
    if (!any_overlap(extents)) union_of.SetGlue(BOPAlgo_GlueShift);
    union_of.Build();
    if (!union_of.IsDone() || union_of.HasErrors())
        throw StepError(name + ": the modelling kernel could not unite its " + std::to_string(boxes.size()) +
                        " boxes");
    ShapeUpgrade_UnifySameDomain unify(union_of.Shape(), Standard_True, Standard_True, Standard_False);
    unify.Build();
    return unify.Shape();
}

// The turning part of a structure's pose (the pose without its stretch of
// z), or nothing for a structure that stays where it is.
bool rigid_part(const Pose& pose, std::size_t i, gp_Trsf& out) {
    const Mat3& m = pose.rotation[i].m;
    const Vec3& t = pose.world[i].t;
    if (m == Affine{}.m && t == Vec3{0, 0, 0}) return false;
    out.SetValues(m[0][0], m[0][1], m[0][2], t[0], m[1][0], m[1][1], m[1][2], t[1], m[2][0], m[2][1], m[2][2], t[2]);
    return true;
}

TopoDS_Shape placed(const TopoDS_Shape& shape, const Pose& pose, std::size_t i) {
    gp_Trsf turn;
    if (!rigid_part(pose, i, turn)) return shape;
    return BRepBuilderAPI_Transform(shape, turn, Standard_True).Shape();
}

// A file name for the STEP writer, which writes only to files; removed
// when it goes out of scope.
class ScratchFile {
public:
    ScratchFile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kavrit-export-XXXXXX.step").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        const int fd = mkstemps(name.data(), 5);
        if (fd < 0) throw StepError("cannot make a temporary file for the STEP text");
        close(fd);
        path_ = name.data();
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string write_document(const Handle(TDocStd_Document) & doc) {
    STEPCAFControl_Writer writer;
    writer.SetColorMode(Standard_True);
    writer.SetNameMode(Standard_True);
    // The document's unit is the micrometre (make_step sets it); the file
    // says so and keeps the numbers as they are.
    Interface_Static::SetCVal("write.step.unit", "UM");
    writer.ChangeWriter().Model()->SetLocalLengthUnit(0.001);  // millimetres
    writer.ChangeWriter().Model()->SetWriteLengthUnit(0.001);
    Interface_Static::SetCVal("write.step.schema", "AP214IS");
    Interface_Static::SetCVal("write.step.product.name", "kavrit layout");
    // No parametric curves of the edges on their faces: every face is a
    // plane, on which a reader works them out at once, and they were half
    // of the file and of the time spent writing it.
    Interface_Static::SetIVal("write.surfacecurve.mode", 0);
    if (!writer.Transfer(doc, STEPControl_AsIs)) throw StepError("the STEP translation of the solids failed");
    ScratchFile scratch;
    if (writer.Write(scratch.path().c_str()) != IFSelect_RetDone)
        throw StepError("cannot write the STEP text to a temporary file");
    std::ifstream in(scratch.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof()) throw StepError("cannot read back the STEP text from its temporary file");
    return text.str();
}

}  // namespace

std::string make_step(const Layout& layout, const Pose& pose) {
    // The kernel reports through its messenger on standard output; the
    // command line says what went wrong itself.
    Message::DefaultMessenger()->ChangePrinters().Clear();

    Handle(XCAFApp_Application) app = XCAFApp_Application::GetApplication();
    Handle(TDocStd_Document) doc;
    app->NewDocument("MDTV-XCAF", doc);
    Handle(XCAFDoc_ShapeTool) shapes = XCAFDoc_DocumentTool::ShapeTool(doc->Main());
    Handle(XCAFDoc_ColorTool) colours = XCAFDoc_DocumentTool::ColorTool(doc->Main());
    // The numbers are micrometres and stay as they are.
    XCAFDoc_DocumentTool::SetLengthUnit(doc, 1e-6);
    auto add = [&](const TopoDS_Shape& shape, const std::string& name, const Quantity_Color& colour) {
        const TCollection_ExtendedString text(name.c_str());
        // Several solids become an assembly of that name whose parts carry
        // the name too, so that tools which list solids show it for each.
        const bool several = shape.ShapeType() == TopAbs_COMPOUND;
        const TDF_Label label = shapes->AddShape(shape, several ? Standard_True : Standard_False);
        TDataStd_Name::Set(label, text);
        colours->SetColor(label, colour, XCAFDoc_ColorGen);
        if (!several) return;
        TDF_LabelSequence parts;
        XCAFDoc_ShapeTool::GetComponents(label, parts);
        for (const TDF_Label& part : parts) {
            TDataStd_Name::Set(part, text);
            TDF_Label solid;
            if (XCAFDoc_ShapeTool::GetReferredShape(part, solid)) {
                TDataStd_Name::Set(solid, text);
                colours->SetColor(solid, colour, XCAFDoc_ColorGen);
            }
        }
    };

    std::size_t solids = 0;
    for (std::size_t i = 0; i < layout.structures.size(); ++i) {
        const Structure& s = layout.structures[i];
        const std::string name = "structure_" + std::to_string(s.number());
        try {
            if (!s.boxes.empty()) {
                std::vector<Cuboid> solid_boxes;
                for (const SizedBox& b : s.boxes)
                    if (auto c = stretched_box(b, pose.z_scale)) solid_boxes.push_back(*c);
                // Boxes that together are one box become that box before the
                // kernel sees them: most structures then need no fuse, and
                // the rest a fuse of fewer boxes.  Only exact equality joins,
                // so the solid is the same point set.
                const std::vector<Cuboid> boxes = join_boxes(std::move(solid_boxes), 0.0);
                if (boxes.empty())
                    throw StepError(name + ": none of its " + std::to_string(s.boxes.size()) +
                                    (s.boxes.size() == 1 ? " box has" : " boxes has") +
                                    " a volume, so no solid can be made of it");
                add(placed(solids_of(fuse(boxes, name), name), pose, i), name, colour_of(s.kind()));
                ++solids;
            }
            if (s.reflector) {
                const std::string reflector = name + "_reflector";
                const std::optional<Cuboid> c = stretched_box(*s.reflector, pose.z_scale);
                if (!c) throw StepError(reflector + ": the reflector has no volume, so no solid can be made of it");
                add(placed(solid_box(*c), pose, i), reflector, REFLECTOR_COLOUR);
                ++solids;
            }
        } catch (const Standard_Failure& e) {
            throw StepError(name + ": the modelling kernel failed: " + e.GetMessageString());
        }
    }
    if (solids == 0) throw StepError("the layout holds no box, so there is no solid to write");
    try {
        std::string text = write_document(doc);
        app->Close(doc);
        return text;
    } catch (const Standard_Failure& e) {
        throw StepError(std::string("the STEP writer failed: ") + e.GetMessageString());
    }
}

}  // namespace kavrit
