#include "export/cli.h"

#include <fstream>
#include <iostream>
#include <optional>

#include "export/kavrit.h"
#include "export/mesh_writers.h"
#include "export/output_file.h"
#include "export/svg_writer.h"
#include "export/view.h"

namespace kavrit {

const char* const HELP_TEXT =
    "usage: kavrit-export [--view iso|top|front|side] INPUT OUTPUT\n"
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
    "Every box line of a structure becomes a box, and so does its reflector line.\n"
    "Structure numbers are those of the file's link lines: the cross-reference\n"
    "line's number when the file has a summary (cif2kavrit -s), else the block's.\n"
    "\n"
    "options:\n"
    "  --view VIEW   direction of the SVG picture: iso (the default: from the\n"
    "                front left, above), top (from +z), front (from -y) or side\n"
    "                (from +x)\n"
    "  -h, --help    this text\n"
    "\n"
    "An output file is replaced only once it has been written completely.\n"
    "Exit status: 0 done; 1 INPUT cannot be read or is not a kavrit file (the\n"
    "message names the line and what was expected there), or OUTPUT cannot be\n"
    "written; 2 a wrong command line.\n";

namespace {

enum class Format { obj, stl, svg };

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

}  // namespace

int run_export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string me = "kavrit-export";
    auto usage_error = [&](const std::string& what) {
        err << me << ": " << what << "\n"
            << "usage: kavrit-export [--view iso|top|front|side] INPUT OUTPUT (see --help)\n";
        return 2;
    };

    std::vector<std::string> names;
    std::optional<ViewName> view;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            out << HELP_TEXT;
            return 0;
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
    if (names.size() != 2)
        return usage_error(names.size() < 2 ? "expected an INPUT and an OUTPUT file name"
                                            : "expected only an INPUT and an OUTPUT file name");
    const std::string& input = names[0];
    const std::string& output = names[1];
    std::optional<Format> format = format_of(output);
    if (!format)
        return usage_error("cannot tell the format of \"" + output + "\": expected a name ending in .obj, .stl or .svg");
    if (view && *format != Format::svg) return usage_error("--view applies to .svg output only");

    Layout layout;
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
        err << me << ": " << (input == "-" ? "standard input" : input) << ": " << e.what() << "\n";
        return 1;
    }

    try {
        switch (*format) {
        case Format::obj: {
            const std::string mtl = mtl_path_for(output);
            ObjText text = make_obj(layout, base_name(mtl));
            write_files({{mtl, text.mtl}, {output, text.obj}});
            break;
        }
        case Format::stl: write_files({{output, make_stl(layout)}}); break;
        case Format::svg: write_files({{output, render_svg(layout, view.value_or(ViewName::iso))}}); break;
        }
    } catch (const OutputError& e) {
        err << me << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace kavrit
