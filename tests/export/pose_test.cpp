// Turning hinged structures: corners checked against positions worked out by
// hand from the rule (each case's mapping is written out below), the flat
// export given back exactly by a turn of 0 or 360, the painter's order for
// tilted boxes, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "export/cli.h"
#include "export/html_writer.h"
#include "export/kavrit.h"
#include "export/pose.h"
#include "tests/export/test_support.h"

using namespace kavrit;
namespace fs = std::filesystem;
using kavrit_test::export_run;
using kavrit_test::ExportRun;
using kavrit_test::read_file;
using kavrit_test::ScratchDir;

namespace {

const std::string DATA = KAVRIT_TEST_DATA;
const std::string EXAMPLE = KAVRIT_EXAMPLE_KAVRIT;  // examples/hinged_mirror.cif through cif2kavrit -s
const double C30 = std::sqrt(3.0) / 2;

// The vertices of each "o structure_N" object of an OBJ file, in order.
std::map<int, std::vector<Vec3>> obj_vertices(const std::string& obj) {
    std::map<int, std::vector<Vec3>> out;
    std::istringstream in(obj);
    int current = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("o structure_", 0) == 0) current = std::stoi(line.substr(12));
        if (line.rfind("v ", 0) == 0) {
            std::istringstream v(line.substr(2));
            Vec3 p{};
            v >> p[0] >> p[1] >> p[2];
            out[current].push_back(p);
        }
    }
    return out;
}

// The box lines of structure N of a kavrit text, boxes first and the
// reflector last (the order of the OBJ), as lower and upper corners.
std::vector<std::pair<Vec3, Vec3>> boxes_of(const std::string& kavrit, int number) {
    std::vector<std::pair<Vec3, Vec3>> boxes, reflector;
    std::istringstream in(kavrit);
    bool inside = false, in_reflector = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("# structure " + std::to_string(number) + " start", 0) == 0) inside = true;
        if (line.rfind("# structure " + std::to_string(number) + " end", 0) == 0) inside = false;
        if (!inside) continue;
        if (line == "  reflect start") in_reflector = true;
        if (line == "  reflect end") in_reflector = false;
        std::istringstream w(line);
        double v[6];
        if (!(w >> v[0] >> v[1] >> v[2] >> v[3] >> v[4] >> v[5])) continue;
        Vec3 lo{v[3] - v[0] / 2, v[4] - v[1] / 2, v[5] - v[2] / 2};
        Vec3 hi{v[3] + v[0] / 2, v[4] + v[1] / 2, v[5] + v[2] / 2};
        (in_reflector ? reflector : boxes).push_back({lo, hi});
    }
    boxes.insert(boxes.end(), reflector.begin(), reflector.end());
    return boxes;
}

using Mapping = std::function<Vec3(const Vec3&)>;

// Every corner of every box of structure N, moved by `where`, against the OBJ.
void expect_corners(const std::string& kavrit, const std::string& obj, int number, const Mapping& where) {
    auto boxes = boxes_of(kavrit, number);
    auto got = obj_vertices(obj)[number];
    ASSERT_FALSE(boxes.empty());
    ASSERT_EQ(got.size(), boxes.size() * 8) << "structure " << number;
    for (std::size_t b = 0; b < boxes.size(); ++b)
        for (int c = 0; c < 8; ++c) {
            Vec3 p{(c & 1) ? boxes[b].second[0] : boxes[b].first[0], (c & 2) ? boxes[b].second[1] : boxes[b].first[1],
                   (c & 4) ? boxes[b].second[2] : boxes[b].first[2]};
            Vec3 want = where(p);
            for (int a = 0; a < 3; ++a)
                EXPECT_NEAR(got[b * 8 + c][a], want[a], 1e-9)
                    << "structure " << number << " box " << b << " corner " << c << " axis " << a;
        }
}

const Mapping STAYS = [](const Vec3& p) { return p; };

}  // namespace

// The example's mirror plate, structure 5, turns about the line y = 32.5,
// z = 2 along +x and hangs from its anchor.  By hand, with the right-hand
// rule about +x (y turns towards z):
//   90 degrees:  (x, y, z) -> (x, 32.5 - (z - 2), 2 + (y - 32.5)) = (x, 34.5 - z, y - 30.5)
//  -30 degrees:  (x, y, z) -> (x, 32.5 + c (y - 32.5) + (z - 2) / 2, 2 - (y - 32.5) / 2 + c (z - 2)), c = cos 30
TEST(PoseExample, MirrorPlateTurnsAboutItsHingeAndTheFrameStays) {
    ScratchDir dir("kavrit-pose-test");
    const std::string kavrit = read_file(EXAMPLE);
    ASSERT_NE(kavrit.find("rotate: +x 0.00 32.50 2.00"), std::string::npos) << "the example changed";
    const Mapping quarter = [](const Vec3& p) { return Vec3{p[0], 34.5 - p[2], p[1] - 30.5}; };
    const Mapping minus30 = [](const Vec3& p) {
        return Vec3{p[0], 32.5 + C30 * (p[1] - 32.5) + (p[2] - 2) / 2, 2 - (p[1] - 32.5) / 2 + C30 * (p[2] - 2)};
    };
    const std::pair<const char*, Mapping> cases[] = {{"5=90", quarter}, {"5=-30", minus30}, {"5=450", quarter}};
    for (const auto& [pose, plate] : cases) {
        SCOPED_TRACE(pose);
        ASSERT_EQ(export_run({"--pose", pose, EXAMPLE, dir / "posed.obj"}).status, 0);
        const std::string obj = read_file(dir / "posed.obj");
        expect_corners(kavrit, obj, 5, plate);
        for (int anchored : {1, 2, 3, 4}) expect_corners(kavrit, obj, anchored, STAYS);
    }
    // Two corners in plain numbers: the plate's big box runs from (30, 72, 3)
    // to (170, 118, 5); raised by 90 degrees it stands from y 31.5 to 29.5, z 41.5 to 87.5.
    ASSERT_EQ(export_run({"--raise", "90", EXAMPLE, dir / "raised.obj"}).status, 0);
    auto v = obj_vertices(read_file(dir / "raised.obj"))[5];
    ASSERT_GE(v.size(), 8u);
    EXPECT_EQ(v[0], (Vec3{30, 31.5, 41.5}));
    EXPECT_EQ(v[7], (Vec3{170, 29.5, 87.5}));
}

// plate_flap.kavrit: anchor 1; plate 2 about +x through y = 10, z = 2,
// hanging from its anchor; flap 3 about +y through x = 50, z = 2, hanging
// from the plate; tab 5 about +x through y = 40, z = 2, hanging from the
// flap (with a reflector); 4 free.  Worked out by hand:
//   plate 90:           (x, y, z) -> (x, 12 - z, y - 8)
//   flap 90 on its own: (x, y, z) -> (50 + (z - 2), y, 2 - (x - 50)) = (z + 48, y, 52 - x)
//   flap 90 on plate 90: the plate's map after the flap's: (z + 48, 12 - (52 - x), y - 8) = (z + 48, x - 40, y - 8)
//   tab 90 on its own:  (x, y, z) -> (x, 42 - z, y - 38); after flap and plate: (y + 10, x - 40, 34 - z)
//   plate -30:          (x, y, z) -> (x, 10 + c (y - 10) + (z - 2) / 2, 2 - (y - 10) / 2 + c (z - 2))
TEST(PoseChain, ChildrenTurnWithTheirParentsAboutMovedAxes) {
    ScratchDir dir("kavrit-pose-test");
    const std::string file = DATA + "/plate_flap.kavrit";
    const std::string kavrit = read_file(file);
    const Mapping plate90 = [](const Vec3& p) { return Vec3{p[0], 12 - p[2], p[1] - 8}; };
    const Mapping plate_m30 = [](const Vec3& p) {
        return Vec3{p[0], 10 + C30 * (p[1] - 10) + (p[2] - 2) / 2, 2 - (p[1] - 10) / 2 + C30 * (p[2] - 2)};
    };
    const Mapping flap90 = [](const Vec3& p) { return Vec3{p[2] + 48, p[1], 52 - p[0]}; };
    const Mapping flap90_on_plate90 = [](const Vec3& p) { return Vec3{p[2] + 48, p[0] - 40, p[1] - 8}; };
    struct Case {
        std::vector<std::string> options;
        Mapping plate, flap, tab;
    } cases[] = {
        {{"--pose", "2=90"}, plate90, plate90, plate90},
        {{"--pose", "2=90,3=90"}, plate90, flap90_on_plate90, flap90_on_plate90},
        {{"--pose", "2=90,3=90,5=90"}, plate90, flap90_on_plate90,
         [](const Vec3& p) { return Vec3{p[1] + 10, p[0] - 40, 34 - p[2]}; }},
        {{"--pose", "3=90"}, STAYS, flap90, flap90},
        {{"--pose", "2=-30"}, plate_m30, plate_m30, plate_m30},
        // --raise turns only the plate, which hangs straight from its anchor.
        {{"--raise", "-30"}, plate_m30, plate_m30, plate_m30},
        // --pose wins over --raise for its own numbers.
        {{"--raise", "90", "--pose", "2=-30"}, plate_m30, plate_m30, plate_m30},
    };
    for (const Case& c : cases) {
        std::string label;
        for (const auto& o : c.options) label += o + " ";
        SCOPED_TRACE(label);
        std::vector<std::string> args = c.options;
        args.push_back(file);
        args.push_back(dir / "posed.obj");
        ASSERT_EQ(export_run(args).status, 0);
        const std::string obj = read_file(dir / "posed.obj");
        expect_corners(kavrit, obj, 1, STAYS);
        expect_corners(kavrit, obj, 4, STAYS);
        expect_corners(kavrit, obj, 2, c.plate);
        expect_corners(kavrit, obj, 3, c.flap);
        expect_corners(kavrit, obj, 5, c.tab);
    }
}

// z in level units, stretched before the turn: with 2 micrometres a level
// the plate's axis lies at z = 4 and plate 90 maps (x, y, z) to
// (x, 10 - (2z - 4), 4 + (y - 10)) = (x, 14 - 2z, y - 6).
TEST(PoseChain, ZScaleStretchesBeforeTurning) {
    ScratchDir dir("kavrit-pose-test");
    const std::string file = DATA + "/plate_flap.kavrit";
    const std::string kavrit = read_file(file);
    ASSERT_EQ(export_run({"--z-scale", "2", "--pose", "2=90", file, dir / "posed.obj"}).status, 0);
    const std::string obj = read_file(dir / "posed.obj");
    expect_corners(kavrit, obj, 2, [](const Vec3& p) { return Vec3{p[0], 14 - 2 * p[2], p[1] - 6}; });
    expect_corners(kavrit, obj, 1, [](const Vec3& p) { return Vec3{p[0], p[1], 2 * p[2]}; });
}

// Turned by 0, by a whole turn or there and back in one request that
// names other structures at 0: the flat export, byte for byte, in every format.
TEST(PoseFlat, TurnsThatComeBackGiveTheFlatExportExactly) {
    ScratchDir dir("kavrit-pose-test");
    struct Input {
        std::string file;
        std::vector<std::string> poses;
    } inputs[] = {
        {EXAMPLE, {"5=0", "5=360", "5=-720", "5=0.0"}},
        {DATA + "/plate_flap.kavrit", {"2=360,3=-360,5=0", "3=720"}},
    };
    for (const Input& in : inputs)
        for (const char* ext : {"obj", "stl", "svg", "glb"}) {
            // Same file names in two folders: the OBJ names its .mtl.
            fs::create_directories(dir / "flat");
            fs::create_directories(dir / "posed");
            const std::string flat = dir / (std::string("flat/out.") + ext);
            ASSERT_EQ(export_run({in.file, flat}).status, 0);
            for (const std::string& pose : in.poses) {
                SCOPED_TRACE(in.file + " " + pose + " " + ext);
                const std::string posed = dir / (std::string("posed/out.") + ext);
                ASSERT_EQ(export_run({"--pose", pose, in.file, posed}).status, 0);
                EXPECT_EQ(read_file(posed), read_file(flat));
            }
        }
}

TEST(PoseRefusals, MessagesAndStatus) {
    ScratchDir dir("kavrit-pose-test");
    const std::string file = DATA + "/plate_flap.kavrit";
    struct Case {
        std::vector<std::string> options;
        int status;
        std::string message;
    } cases[] = {
        {{"--pose", "1=10"}, 2, "--pose: structure 1 is anchored and does not turn"},
        {{"--pose", "4=10"}, 2, "--pose: structure 4 has no link lines, so it hangs from nothing and does not turn"},
        {{"--pose", "9=10"}, 2, "--pose: the file holds no structure 9"},
        {{"--pose", "2=ten"}, 2, "--pose: \"2=ten\" is not N=DEG"},
        {{"--pose", "2=1e3"}, 2, "is not N=DEG"},
        {{"--pose", "2=nan"}, 2, "is not N=DEG"},
        {{"--pose", "0=5"}, 2, "is not N=DEG"},
        {{"--pose", "2=5,"}, 2, "is not N=DEG"},
        {{"--pose", "2=5,2=6"}, 2, "--pose: structure 2 is given twice"},
        {{"--pose"}, 2, "--pose needs N=DEG"},
        {{"--raise", "up"}, 2, "--raise: \"up\" is not an angle in degrees"},
        {{"--z-scale", "0"}, 2, "--z-scale: \"0\" is not a positive number"},
        {{"--z-scale", "-1"}, 2, "--z-scale: \"-1\" is not a positive number"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.options;
        if (args.size() > 1 || args[0] != "--pose") {
            args.push_back(file);
            args.push_back(dir / "out.obj");
        }
        ExportRun r = export_run(args);
        EXPECT_EQ(r.status, c.status) << c.options[0] << " " << (c.options.size() > 1 ? c.options[1] : "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "out.obj"));
    }
}

// Second link lines that form a ring (hinges that loop without an anchor),
// and a second link line naming a structure the file does not hold.
TEST(HingeTree, RingsAreCutAndMissingParentsRefused) {
    auto layout_with = [](std::vector<std::vector<int>> chains) {
        Layout l;
        int n = 1;
        for (auto& c : chains) {
            Structure s;
            s.output_number = n++;
            s.chain = c;
            s.rotation = Rotation{};
            l.structures.push_back(s);
        }
        return l;
    };
    // 1 -> 2 -> 3 -> 1 is a ring; 4 hangs from 1; 5 from its anchor.
    auto tree = hinge_tree(layout_with({{1, 2}, {2, 3}, {3, 1}, {4, 1}, {5}}));
    for (int ring : {0, 1, 2}) EXPECT_FALSE(tree[ring].parent) << ring;
    ASSERT_TRUE(tree[3].parent);
    EXPECT_EQ(*tree[3].parent, 0u);
    EXPECT_TRUE(tree[4].hangs_from_anchor);
    EXPECT_EQ(tree_order(tree).size(), 5u);
    // A structure that names itself as its parent is a ring of one.
    EXPECT_FALSE(hinge_tree(layout_with({{1, 1}}))[0].parent);
    try {
        hinge_tree(layout_with({{1, 7}}));
        ADD_FAILURE() << "a missing parent was taken";
    } catch (const PoseError& e) {
        EXPECT_NE(std::string(e.what()).find("hangs from structure 7"), std::string::npos) << e.what();
        EXPECT_FALSE(e.asked());
    }
}

// The page: a hinge entry per hinged structure with its parent, the turns of
// the pose as the sliders' start, and a file name that cannot end a script
// element early.
TEST(HtmlPage, HingesAndAHostileName) {
    std::ifstream in(DATA + "/plate_flap.kavrit");
    Layout layout = read_kavrit(in);
    layout.cif_name = "a</script><script>alert(1)</script>.cif";
    PoseRequest request;
    request.degrees = {{3, 45}};
    request.raise = 30;
    const std::string page = make_html(layout, make_pose(layout, request));
    EXPECT_EQ(kavrit_test::count_of(page, "</script>"), 3u);  // the data, three.js, the page's own script
    EXPECT_NE(page.find("{\"number\":2,\"axis\":\"x\",\"degrees\":30,\"first_level\":true,\"parent\":null}"),
              std::string::npos);
    EXPECT_NE(page.find("{\"number\":3,\"axis\":\"y\",\"degrees\":45,\"first_level\":false,\"parent\":2}"),
              std::string::npos);
    EXPECT_NE(page.find("{\"number\":5,\"axis\":\"x\",\"degrees\":0,\"first_level\":false,\"parent\":3}"),
              std::string::npos);
    EXPECT_EQ(page.find("\"number\":1,"), std::string::npos);
    EXPECT_EQ(page.find("\"number\":4,"), std::string::npos);
}

// The shipped example's mirror plate (structure 5) turns about the line
// y = 32.5, z = 2, which runs through the staples of the anchored posts
// (structures 2 and 3, lines 57 and 67), below its own hinge arms.  The arm
// end of line 101 (x 41 to 49, y 31 to 38, z 5 to 7) lies 3 to 5 above the
// axis and reaches 1.5 behind it.  Raised by u, the post's upper front edge
// (y 30, z 5: 2.5 before the axis, 3 above it) is, in the arm's own frame,
// at y = -2.5 cos u + 3 sin u, z = 2.5 sin u + 3 cos u; it enters the arm
// (y > -1.5) when 3 sin u - 2.5 cos u = -1.5, u = atan(2.5/3) - asin(1.5 /
// sqrt(15.25)) = 17.22 degrees.  Raised by 90 the arm end stands from
// y 27.5 to 29.5 and z 0.5 to 7.5, 2.5 deep (along y) in post (y 20 to 30)
// and staple (z 1 to 3) alike, on both sides.  Down, the plate's far bar
// (line 100, lower face z 3 at y 130: 97.5 beyond the axis, 1 above it)
// meets the substrate when 97.5 sin t - cos t = 2.
TEST(ExampleCollisions, MirrorPlateRaisedByNinetyStandsInItsPosts) {
    const ExportRun raised = export_run({"--check", "--raise", "90", EXAMPLE});
    EXPECT_EQ(raised.status, 3);
    EXPECT_EQ(raised.out,
              "structure 2, line 56 and structure 5, line 101: overlap 2.5 deep\n"
              "structure 2, line 57 and structure 5, line 101: overlap 2.5 deep\n"
              "structure 3, line 66 and structure 5, line 108: overlap 2.5 deep\n"
              "structure 3, line 67 and structure 5, line 108: overlap 2.5 deep\n"
              "4 colliding pairs\n");
    const ExportRun flat = export_run({"--check", EXAMPLE});
    EXPECT_EQ(flat.status, 0);
    EXPECT_EQ(flat.out, "no collisions\n");

    const double up = (std::atan(2.5 / 3) - std::asin(1.5 / std::sqrt(15.25))) * kavrit_test::DEG;
    const double rho = std::hypot(97.5, 1.0);
    const double down = (std::asin(2 / rho) + std::atan(1 / 97.5)) * kavrit_test::DEG;
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  "structure 5 at 0.00\n  down: %.2f, structure 5, line 100 hits the substrate\n"
                  "  up:   %.2f, structure 5, line 101 hits structure 2, line 56\n",
                  down, up);
    const ExportRun ranges = export_run({"--ranges", EXAMPLE});
    EXPECT_EQ(ranges.status, 0);
    EXPECT_NE(ranges.out.find(expected), std::string::npos) << ranges.out << "\nexpected\n" << expected;
}
