// bench-svg-order [PLATES...]: times the SVG picture of hinged plates turned
// so that they overlap in the picture, beside the flat picture of the same
// plates, and times face_order beside the sweep that compared every pair of
// sides whose left-to-right ranges meet (kept here as the reference).  Both
// orders must be equal; on many smaller cases as well.
//
// Layouts: "stack": plates 100 x 60 um, 2 levels thick, all over the same
// spot at heights 3 levels apart, each hinged at its front edge and raised
// 30 degrees: every plate hides part of every other.  "array": a square array
// of such plates 110 um apart, raised 70 degrees, so that each hides a part
// of the ones behind it.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "export/kavrit.h"
#include "export/pose.h"
#include "export/svg_writer.h"
#include "export/view.h"

using namespace kavrit;

namespace {

// ---- The sweep that was in face_order before, for reference ----
using Poly = std::vector<Point2>;
double cross2(const Point2& o, const Point2& a, const Point2& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}
double signed_area(const Poly& p) {
    double a = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const Point2& u = p[i];
        const Point2& v = p[(i + 1) % p.size()];
        a += u.x * v.y - v.x * u.y;
    }
    return a / 2;
}
Poly clip_convex(Poly subject, const Poly& clip) {
    for (std::size_t e = 0; e < clip.size() && !subject.empty(); ++e) {
        const Point2& a = clip[e];
        const Point2& b = clip[(e + 1) % clip.size()];
        Poly out;
        for (std::size_t i = 0; i < subject.size(); ++i) {
            const Point2& p = subject[i];
            const Point2& q = subject[(i + 1) % subject.size()];
            const double sp = cross2(a, b, p), sq = cross2(a, b, q);
            if (sp >= 0) out.push_back(p);
            if ((sp >= 0) != (sq >= 0)) {
                const double t = sp / (sp - sq);
                out.push_back({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
            }
        }
        subject = std::move(out);
    }
    return subject;
}
double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

std::vector<std::size_t> sweep_order(const View& view, const std::vector<Face3>& faces) {
    const std::size_t n = faces.size();
    struct Flat {
        Poly poly;
        double min_x, max_x, min_y, max_y;
        double a, b, c, d;
        double depth;
    };
    std::vector<Flat> flat(n);
    double reach = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Face3& f = faces[i];
        Flat& g = flat[i];
        Vec3 centre{0, 0, 0};
        for (const Vec3& p : f.corners) {
            g.poly.push_back(project(view, p));
            for (int k = 0; k < 3; ++k) centre[k] += p[k] / 4;
        }
        if (signed_area(g.poly) < 0) std::reverse(g.poly.begin(), g.poly.end());
        g.min_x = g.max_x = g.poly[0].x;
        g.min_y = g.max_y = g.poly[0].y;
        for (const Point2& p : g.poly) {
            g.min_x = std::min(g.min_x, p.x), g.max_x = std::max(g.max_x, p.x);
            g.min_y = std::min(g.min_y, p.y), g.max_y = std::max(g.max_y, p.y);
        }
        reach = std::max({reach, g.max_x - g.min_x, g.max_y - g.min_y, std::fabs(g.min_x), std::fabs(g.max_x),
                          std::fabs(g.min_y), std::fabs(g.max_y)});
        g.a = dot(f.normal, view.right);
        g.b = dot(f.normal, view.up);
        g.c = dot(f.normal, view.toward_viewer);
        g.d = dot(f.normal, f.corners[0]);
        g.depth = nearness(view, centre);
    }
    const double length_eps = 1e-9 * std::max(reach, 1.0);
    const double area_eps = length_eps * std::max(reach, 1.0) * 1e-3;
    std::vector<std::size_t> by_start(n);
    for (std::size_t i = 0; i < n; ++i) by_start[i] = i;
    std::sort(by_start.begin(), by_start.end(), [&](std::size_t a, std::size_t b) {
        if (flat[a].min_x != flat[b].min_x) return flat[a].min_x < flat[b].min_x;
        return a < b;
    });
    std::vector<std::vector<std::size_t>> later(n);
    std::vector<std::size_t> waiting(n, 0);
    for (std::size_t u = 0; u < n; ++u) {
        const std::size_t i = by_start[u];
        for (std::size_t v = u + 1; v < n; ++v) {
            const std::size_t j = by_start[v];
            if (flat[j].min_x >= flat[i].max_x - length_eps) break;
            if (flat[j].min_y >= flat[i].max_y - length_eps || flat[i].min_y >= flat[j].max_y - length_eps) continue;
            const Poly common = clip_convex(flat[i].poly, flat[j].poly);
            if (common.size() < 3 || signed_area(common) <= area_eps) continue;
            Point2 m{0, 0};
            for (const Point2& p : common) m.x += p.x / static_cast<double>(common.size()), m.y += p.y / static_cast<double>(common.size());
            auto near_at = [&](const Flat& g) { return (g.d - g.a * m.x - g.b * m.y) / g.c; };
            const double wi = near_at(flat[i]), wj = near_at(flat[j]);
            if (wi < wj - length_eps) {
                later[i].push_back(j);
                ++waiting[j];
            } else if (wj < wi - length_eps) {
                later[j].push_back(i);
                ++waiting[i];
            }
        }
    }
    std::set<std::pair<double, std::size_t>> ready;
    for (std::size_t i = 0; i < n; ++i)
        if (waiting[i] == 0) ready.insert({flat[i].depth, i});
    std::vector<bool> done(n, false);
    std::vector<std::size_t> order;
    while (order.size() < n) {
        std::size_t next = n;
        if (!ready.empty()) {
            next = ready.begin()->second;
            ready.erase(ready.begin());
        } else {
            for (std::size_t i = 0; i < n; ++i)
                if (!done[i] && (next == n || flat[i].depth < flat[next].depth)) next = i;
        }
        done[next] = true;
        order.push_back(next);
        for (std::size_t b : later[next]) {
            if (done[b]) continue;
            if (--waiting[b] == 0) ready.insert({flat[b].depth, b});
        }
    }
    return order;
}

// ---- Layouts ----
struct Plate {
    double x, y, z;            // lower corner
    double w, d, t;            // sizes
    char axis;                 // hinge along +x at the front edge, or +y at the left edge
};

std::string kavrit_of(const std::vector<Plate>& plates) {
    std::ostringstream o;
    o << "#\n# cif input file: bench.cif\n#\n";
    o << std::fixed;
    o.precision(2);
    for (std::size_t i = 0; i < plates.size(); ++i) {
        const Plate& p = plates[i];
        const std::size_t n = i + 1;
        o << "\n# structure " << n << " start -----------------\n{\n  anchor: false\n  link " << n << " start\n";
        if (p.axis == 'x') o << "  rotate: +x 0.00 " << p.y << " " << p.z << "\n\n";
        else o << "  rotate: +y " << p.x << " 0.00 " << p.z << "\n\n";
        o.precision(1);
        o << "  " << p.w << " " << p.d << " " << p.t << " " << p.x + p.w / 2 << " " << p.y + p.d / 2 << " "
          << p.z + p.t / 2 << "\n}\n# structure " << n << " end -----------------\n";
        o.precision(2);
    }
    o << "#\n# end of kavrit file\n";
    return o.str();
}

Layout layout_of(const std::vector<Plate>& plates) {
    std::istringstream in(kavrit_of(plates));
    return read_kavrit(in);
}

std::vector<Plate> stack(std::size_t n) {
    std::vector<Plate> p;
    for (std::size_t i = 0; i < n; ++i) p.push_back({0, 0, 3.0 * static_cast<double>(i), 100, 60, 2, 'x'});
    return p;
}

std::vector<Plate> array_of(std::size_t n) {
    std::vector<Plate> p;
    const auto side = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(n))));
    for (std::size_t i = 0; i < n; ++i)
        p.push_back({110.0 * static_cast<double>(i % side), 110.0 * static_cast<double>(i / side), 0, 100, 60, 2, 'x'});
    return p;
}

// The sides facing the viewer, as render_svg passes them.
std::vector<Face3> faces_of(const Layout& layout, const Pose& pose, const View& view) {
    std::vector<Face3> faces;
    for (const PosedBox& b : posed_boxes(layout, pose))
        for (const BoxFace& side : BOX_FACES) {
            Face3 f;
            for (int c = 0; c < 3; ++c) f.normal[c] = b.edges[static_cast<std::size_t>(side.axis)][c] * side.side;
            if (nearness(view, f.normal) <= 1e-9) continue;
            for (int c = 0; c < 4; ++c) f.corners[c] = b.corners[static_cast<std::size_t>(side.corners[c])];
            faces.push_back(f);
        }
    return faces;
}

double seconds_of(auto&& job) {
    const auto start = std::chrono::steady_clock::now();
    job();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Pose raised(const Layout& layout, double degrees) {
    PoseRequest r;
    r.raise = degrees;
    return make_pose(layout, r);
}

// Random plates of random sizes and hinges, turned at random, in every view:
// the two orders must agree.
std::size_t compare_random_cases(int cases) {
    std::mt19937 rng(20261208);
    std::uniform_real_distribution<double> pos(0, 400), size(5, 120), angle(-180, 180);
    std::size_t differing = 0;
    for (int c = 0; c < cases; ++c) {
        std::vector<Plate> plates;
        const int n = 2 + c % 40;
        for (int i = 0; i < n; ++i)
            plates.push_back({std::round(pos(rng) * 10) / 10, std::round(pos(rng) * 10) / 10,
                              std::round(pos(rng) / 20) , std::round(size(rng)), std::round(size(rng)),
                              1 + static_cast<double>(i % 3), i % 2 ? 'x' : 'y'});
        const Layout layout = layout_of(plates);
        PoseRequest r;
        r.raise = std::round(angle(rng));
        if (c % 3 == 0) r.degrees[1] = std::round(angle(rng));
        const Pose pose = make_pose(layout, r);
        for (ViewName v : {ViewName::iso, ViewName::top, ViewName::front, ViewName::side}) {
            const View view = make_view(v);
            const std::vector<Face3> faces = faces_of(layout, pose, view);
            if (face_order(view, faces) != sweep_order(view, faces)) ++differing;
        }
    }
    return differing;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(static_cast<std::size_t>(std::strtoul(argv[i], nullptr, 10)));
    if (counts.empty()) counts = {500, 1000, 2000};
    std::printf("random layouts, 4 views each: %zu of %d orders differ from the sweep's\n", compare_random_cases(400),
                1600);
    const View iso = make_view(ViewName::iso);
    std::printf("%-6s %7s %7s | %12s %12s | %12s %12s %6s\n", "layout", "plates", "sides", "svg flat s", "svg turned s",
                "order s", "sweep s", "equal");
    for (const char* kind : {"stack", "array"}) {
        for (std::size_t n : counts) {
            const bool is_stack = std::string(kind) == "stack";
            const Layout layout = layout_of(is_stack ? stack(n) : array_of(n));
            const Pose pose = raised(layout, is_stack ? 30 : 70);
            const double flat_s = seconds_of([&] { render_svg(layout, ViewName::iso, raised(layout, 0)); });
            const double turned_s = seconds_of([&] { render_svg(layout, ViewName::iso, pose); });
            const std::vector<Face3> faces = faces_of(layout, pose, iso);
            std::vector<std::size_t> a, b;
            const double order_s = seconds_of([&] { a = face_order(iso, faces); });
            const double sweep_s = seconds_of([&] { b = sweep_order(iso, faces); });
            std::printf("%-6s %7zu %7zu | %12.3f %12.3f | %12.3f %12.3f %6s\n", kind, n, faces.size(), flat_s,
                        turned_s, order_s, sweep_s, a == b ? "yes" : "NO");
        }
    }
    return 0;
}
