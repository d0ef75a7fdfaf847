#include "export/cli.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iostream>
#include <optional>

#include "export/checks.h"
#include "export/collide_cli.h"
#include "export/kavrit.h"
#include "export/gltf_writer.h"
#include "export/html_writer.h"
#include "export/mesh_writers.h"
#include "export/pose.h"
#include "export/output_file.h"
#include "export/stack.h"
#include "export/step_writer.h"
#include "export/svg_writer.h"
#include "export/view.h"

namespace kavrit {

const char* const HELP_TEXT =
    "usage: kavrit-export [--view iso|top|front|side] [--pose N=DEG[,N=DEG...]]\n"
    "                     [--raise DEG] [--z-scale F | --stack FILE] INPUT OUTPUT\n"
    "       kavrit-export --check [--pose ...] [--raise DEG] [--z-scale F | --stack FILE] INPUT\n"
    "       kavrit-export --ranges [--json] [pose options as for --check] INPUT\n"
    "       kavrit-export --help\n"
    "\n"
    "Reads INPUT, a kavrit file as cif2kavrit writes it (\"-\" reads standard\n"
    "input), and writes OUTPUT in the format that its extension names:\n"
    "  .obj  Wavefront OBJ: one object structure_N per structure, 8 vertices and\n"
    "        6 faces per box; the materials anchored, hinged, free and reflector\n"
    "        are written to a .mtl file of the same name beside it\n"
    "  .stl  binary STL: 12 triangles per box\n"
    "  .svg  a picture: boxes drawn far to near, each structure in its own colour,\n"
    "        anchored structures grey, reflectors gold with a red outline, hinge\n"
    "        axes dashed and labelled with their structure numbers, and a legend\n"
    "  .glb  binary glTF 2.0: one node per structure, nested as the structures\n"
    "        hang from each other; a hinged node turns about its own x or y axis\n"
    "  .html a page that shows the layout in 3-D, with a slider for each hinged\n"
    "        structure; it works offline, from the one file\n"
    "  .step, .stp  STEP (AP214) solids for CAD and meshing tools: one solid per\n"
    "        structure, the union of its boxes with coplanar faces merged, named\n"
    "        structure_N, and one per reflector, structure_N_reflector, coloured\n"
    "        as the OBJ materials; lengths in micrometres.  Boxes that meet only\n"
    "        along an edge give several solids, kept together under that name;\n"
    "        boxes without volume are left out\n"
    "Every box line of a structure becomes a box, and so does its reflector line.\n"
    "Structure numbers are those of the file's link lines: the cross-reference\n"
    "line's number when the file has a summary (cif2kavrit -s), else the block's.\n"
    "\n"
    "options:\n"
    "  --view VIEW   direction of the SVG picture: iso (the default: from the\n"
    "                front left, above), top (from +z), front (from -y) or side\n"
    "                (from +x)\n"
    "  --pose N=DEG[,N=DEG...]\n"
    "                turn structure N by DEG degrees about its hinge axis (right-\n"
    "                hand rule about +x or +y); the structures that hang from it\n"
    "                turn along.  Only structures with link lines turn\n"
    "  --raise DEG   turn every structure that hangs straight from its anchor\n"
    "                (one link line) by DEG degrees; --pose wins for its numbers\n"
    "  --z-scale F   micrometres per level unit of z (default 1)\n"
    "  --stack FILE  the heights of the levels, for every format: one line\n"
    "                \"LEVEL HEIGHT\" (micrometres) per level boundary, both\n"
    "                increasing, '#' comments; a z value between two listed\n"
    "                levels lies linearly between their heights, hinge axes\n"
    "                included.  Every z value of INPUT must lie within the\n"
    "                listed levels.  Not together with --z-scale\n"
    "  --check       write no file: list every pair of colliding boxes at the\n"
    "                pose (structure numbers, box lines of INPUT and the depth of\n"
    "                the overlap), and exit with status 3 when there is one\n"
    "  --ranges      write no file: for every structure with link lines, how far\n"
    "                it turns from its posed angle each way, carrying what hangs\n"
    "                from it, before it collides, and what it hits (to 0.01\n"
    "                degree, up to a full turn; \"free\" when nothing is hit)\n"
    "  --json        with --ranges: the ranges as JSON\n"
    "                Two boxes of different structures collide when their insides\n"
    "                overlap (touching does not count), a box and the substrate\n"
    "                when it reaches below z = 0; the boxes a hinge axis passes\n"
    "                through turn in the staples of the structure they hang from\n"
    "                and do not collide with it\n"
    "  -h, --help    this text\n"
    "\n"
    "An output file is replaced only once it has been written completely (a\n"
    "symbolic link stays and its target is replaced; a FIFO or a device is\n"
    "written to directly).\n"
    "Exit status: 0 done; 1 INPUT cannot be read or is not a kavrit file (the\n"
    "message names the line and what was expected there), or OUTPUT cannot be\n"
    "written, or a second link line names a structure the file does not hold\n"
    "(for .glb, .html and turned output), or the file's values put a coordinate\n"
    "beyond what the format holds, or the stack file is wrong or leaves a z\n"
    "value of INPUT outside its levels, or a structure gives no solid for\n"
    ".step (no box with volume; the message names the structure); 2 a wrong\n"
    "command line, a turn asked of a structure that does not turn included,\n"
    "or --z-scale, --pose or --raise putting a coordinate beyond what the\n"
    "format holds; 3 (--check) a collision.\n";

namespace {

enum class Format { obj, stl, svg, glb, html, step };

std::optional<Format> format_of(const std::string& path) {
    auto dot = path.find_last_of('.');
    auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (ext == "obj") return Format::obj;
    if (ext == "stl") return Format::stl;
    if (ext == "svg") return Format::svg;
    if (ext == "glb") return Format::glb;
    if (ext == "html" || ext == "htm") return Format::html;
    if (ext == "step" || ext == "stp") return Format::step;
    return std::nullopt;
}

// "dir/model.obj" -> "dir/model.mtl"; the OBJ names it without the folder.
std::string mtl_path_for(const std::string& obj_path) {
    return obj_path.substr(0, obj_path.find_last_of('.')) + ".mtl";
}

std::string base_name(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// An angle or a scale: plain decimal notation, an optional sign.
std::optional<double> parse_decimal(const std::string& text) {
    std::string t = text;
    if (!t.empty() && t[0] == '+') t.erase(0, 1);
    if (t.empty() || t[0] == '+') return std::nullopt;
    double v = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// Whether the output comes out within range flat, z as the file gives it.
bool fits_unposed(const Layout& layout, Format format) {
    try {
        const bool tree = format == Format::glb || format == Format::html;
        const Pose pose = tree ? make_pose(layout, PoseRequest{}) : flat_pose(layout);
        switch (format) {
        case Format::obj:
        case Format::step: make_obj(layout, "unposed.mtl", pose); break;
        case Format::stl: make_stl(layout, pose); break;
        case Format::svg: render_svg(layout, ViewName::iso, pose); break;
        case Format::glb:
        case Format::html: make_glb(layout, pose); break;
        }
    } catch (const RangeError&) {
        return false;
    }
    return true;
}

}  // namespace

int load_layout(const std::string& input, const std::string* stack_name, Layout& layout, std::ostream& err) {
    const std::string me = "kavrit-export";
    const std::string shown = input == "-" ? "standard input" : input;
    try {
        if (input == "-") {
            layout = read_kavrit(std::cin);
        } else {
            std::ifstream in(input, std::ios::binary);
            if (!in) {
                err << me << ": cannot open " << input << "\n";
                return 1;
            }
            layout = read_kavrit(in);
        }
    } catch (const ParseError& e) {
        err << me << ": " << shown << ": " << e.what() << "\n";
        return 1;
    }
    if (stack_name == nullptr) return 0;
    try {
        std::ifstream in(*stack_name, std::ios::binary);
        if (!in) {
            err << me << ": cannot open " << *stack_name << "\n";
            return 1;
        }
        apply_stack(layout, read_stack(in, *stack_name), shown);
    } catch (const StackError& e) {
        err << me << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}

int run_export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, StepWriter step_writer) {
    const std::string me = "kavrit-export";
    auto usage_error = [&](const std::string& what) {
        err << me << ": " << what << "\n"
            << "usage: kavrit-export [--view iso|top|front|side] [--pose N=DEG[,N=DEG...]] [--raise DEG]\n"
               "                     [--z-scale F | --stack FILE] INPUT OUTPUT (see --help)\n";
        return 2;
    };

    std::vector<std::string> names;
    std::optional<ViewName> view;
    PoseRequest request;
    bool posed = false;
    bool z_scaled = false;
    std::optional<std::string> stack_name;
    bool check = false, ranges = false, json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            out << HELP_TEXT;
            return 0;
        }
        // --name VALUE or --name=VALUE; false when `a` is not this option.
        std::string value;
        std::string missing;
        auto option = [&](const std::string& name) {
            if (a == name) {
                if (i + 1 >= args.size()) {
                    missing = name;
                    return true;
                }
                value = args[++i];
                return true;
            }
            if (a.rfind(name + "=", 0) == 0) {
                value = a.substr(name.size() + 1);
                return true;
            }
            return false;
        };
        if (a == "--check" || a == "--ranges" || a == "--json") {
            (a == "--check" ? check : a == "--ranges" ? ranges : json) = true;
            continue;
        }
        if (option("--pose")) {
            if (!missing.empty()) return usage_error("--pose needs N=DEG[,N=DEG...]");
            std::string error = parse_pose_list(value, request.degrees);
            if (!error.empty()) return usage_error(error);
            posed = true;
            continue;
        }
        if (option("--raise")) {
            if (!missing.empty()) return usage_error("--raise needs an angle in degrees");
            auto degrees = parse_decimal(value);
            if (!degrees) return usage_error("--raise: \"" + value + "\" is not an angle in degrees");
            request.raise = *degrees;
            posed = true;
            continue;
        }
        if (option("--z-scale")) {
            if (!missing.empty()) return usage_error("--z-scale needs a number of micrometres per level unit");
            auto scale = parse_decimal(value);
            if (!scale || *scale <= 0)
                return usage_error("--z-scale: \"" + value + "\" is not a positive number of micrometres per level unit");
            request.z_scale = *scale;
            z_scaled = true;
            continue;
        }
        if (option("--stack")) {
            if (!missing.empty() || value.empty()) return usage_error("--stack needs the name of a stack file");
            stack_name = value;
            continue;
        }
        if (a == "--view" || a.rfind("--view=", 0) == 0) {
            std::string value;
            if (a == "--view") {
                if (i + 1 >= args.size()) return usage_error("--view needs one of iso, top, front, side");
                value = args[++i];
            } else {
                value = a.substr(7);
            }
            view = parse_view_name(value);
            if (!view) return usage_error("unknown view \"" + value + "\": expected iso, top, front or side");
            continue;
        }
        if (a.size() > 1 && a[0] == '-') return usage_error("unknown option \"" + a + "\"");
        names.push_back(a);
    }
    if (stack_name && z_scaled)
        return usage_error("--stack and --z-scale cannot be combined: the stack gives every level its height");
    if (check || ranges || json)
        return run_collisions({names, request, stack_name, check, ranges, json, view.has_value()}, out, err,
                              usage_error);
    if (names.size() != 2)
        return usage_error(names.size() < 2 ? "expected an INPUT and an OUTPUT file name"
                                            : "expected only an INPUT and an OUTPUT file name");
    const std::string& input = names[0];
    const std::string& output = names[1];
    std::optional<Format> format = format_of(output);
    if (!format)
        return usage_error("cannot tell the format of \"" + output +
                           "\": expected a name ending in .obj, .stl, .svg, .glb, .html or .step");
    if (view && *format != Format::svg) return usage_error("--view applies to .svg output only");
    if (*format == Format::step && !step_writer) return usage_error("this build writes no .step files");

    Layout layout;
    if (load_layout(input, stack_name ? &*stack_name : nullptr, layout, err) != 0) return 1;

    // The hinge tree is built only where it is needed, so a flat picture of a
    // file with a broken chain still comes out.
    Pose pose;
    try {
        const bool tree = posed || *format == Format::glb || *format == Format::html;
        pose = tree ? make_pose(layout, request) : flat_pose(layout, request.z_scale);
    } catch (const PoseError& e) {
        err << me << ": " << (input == "-" ? "standard input" : input) << ": " << e.what() << "\n";
        // A turn asked of a structure that cannot turn is a wrong command line.
        return e.asked() ? 2 : 1;
    }

    try {
        switch (*format) {
        case Format::obj: {
            const std::string mtl = mtl_path_for(output);
            ObjText text = make_obj(layout, base_name(mtl), pose);
            write_files({{mtl, text.mtl}, {output, text.obj}});
            break;
        }
        case Format::stl: write_files({{output, make_stl(layout, pose)}}); break;
        case Format::svg: write_files({{output, render_svg(layout, view.value_or(ViewName::iso), pose)}}); break;
        case Format::glb: write_files({{output, make_glb(layout, pose)}}); break;
        case Format::html: write_files({{output, make_html(layout, pose)}}); break;
        case Format::step:
            // The kernel takes any double: every corner is checked to be
            // finite first, as the OBJ writer checks its vertices.
            make_obj(layout, "unchecked.mtl", pose);
            write_files({{output, step_writer(layout, pose)}});
            break;
        }
    } catch (const OutputError& e) {
        err << me << ": " << e.what() << "\n";
        return 1;
    } catch (const RangeError& e) {
        // Out of range as asked but not flat with z as the file gives it: the
        // options went too far.  Otherwise the file's own values overflow.
        if ((posed || request.z_scale != 1) && fits_unposed(layout, *format)) {
            err << me << ": " << e.what() << "; --z-scale, --pose or --raise out of range\n";
            return 2;
        }
        err << me << ": " << (input == "-" ? "standard input" : input) << ": " << e.what() << "\n";
        return 1;
    } catch (const StepError& e) {
        // A structure that gives no solid: the message names it.
        err << me << ": " << (input == "-" ? "standard input" : input) << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace kavrit
