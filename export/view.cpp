// View names, the parallel projections and the painter's order of whole boxes;
// the order of the sides of turned boxes is in face_order.cpp.
#include "export/view.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace kavrit {

std::optional<ViewName> parse_view_name(const std::string& text) {
    if (text == "iso") return ViewName::iso;
    if (text == "top") return ViewName::top;
    if (text == "front") return ViewName::front;
    if (text == "side") return ViewName::side;
    return std::nullopt;
}

const char* view_title(ViewName view) {
    switch (view) {
    case ViewName::iso: return "isometric view";
    case ViewName::top: return "top view";
    case ViewName::front: return "front view";
    case ViewName::side: return "side view";
    }
    return "view";
}

namespace {

Vec3 scaled(Vec3 v, double f) { return {v[0] * f, v[1] * f, v[2] * f}; }

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vec3 sign_vector(const View& view) {
    Vec3 s{};
    for (int a = 0; a < 3; ++a)
        s[a] = view.toward_viewer[a] > 1e-12 ? 1 : (view.toward_viewer[a] < -1e-12 ? -1 : 0);
    return s;
}

struct Interval {
    double lo;
    double hi;
};

Interval range_of(const Vec3& f, const Cuboid& b) {
    Interval r{0, 0};
    for (int a = 0; a < 3; ++a) {
        double p = f[a] * b.lo[a];
        double q = f[a] * b.hi[a];
        r.lo += std::min(p, q);
        r.hi += std::max(p, q);
    }
    return r;
}

// -1 when a lies behind b, +1 when b lies behind a, 0 when no plane of the
// axes separates them (they pierce each other).
int behind(const Vec3& eye, const Cuboid& a, const Cuboid& b) {
    for (int k = 0; k < 3; ++k) {
        if (eye[k] > 0) {
            if (a.hi[k] <= b.lo[k]) return -1;
            if (b.hi[k] <= a.lo[k]) return +1;
        } else if (eye[k] < 0) {
            if (a.lo[k] >= b.hi[k]) return -1;
            if (b.lo[k] >= a.hi[k]) return +1;
        }
    }
    return 0;
}

}  // namespace

View make_view(ViewName name) {
    switch (name) {
    case ViewName::iso:
        return {scaled({-1, -1, 1}, 1 / std::sqrt(3.0)), scaled({1, -1, 0}, 1 / std::sqrt(2.0)),
                scaled({1, 1, 2}, 1 / std::sqrt(6.0))};
    case ViewName::top: return {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
    case ViewName::front: return {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}};
    case ViewName::side: return {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    }
    return make_view(ViewName::iso);
}

common::PointD project(const View& view, const Vec3& p) { return {dot(view.right, p), dot(view.up, p)}; }

double nearness(const View& view, const Vec3& p) { return dot(view.toward_viewer, p); }

std::vector<std::size_t> painter_order(const View& view, const std::vector<Cuboid>& boxes) {
    const std::size_t n = boxes.size();
    const Vec3 eye = sign_vector(view);

    // The pictures of two boxes overlap exactly when their ranges overlap on
    // every picture direction across a projected box edge, e_k x eye.
    std::vector<Vec3> across;
    for (int k = 0; k < 3; ++k) {
        Vec3 axis{0, 0, 0};
        axis[k] = 1;
        Vec3 f = cross(axis, eye);
        if (dot(f, f) > 0) across.push_back(f);
    }
    std::vector<std::vector<Interval>> ranges(n);
    for (std::size_t i = 0; i < n; ++i)
        for (const Vec3& f : across) ranges[i].push_back(range_of(f, boxes[i]));

    // Sweep along the first picture direction; compare only boxes whose
    // ranges there overlap.
    std::vector<std::size_t> by_start(n);
    for (std::size_t i = 0; i < n; ++i) by_start[i] = i;
    std::sort(by_start.begin(), by_start.end(), [&](std::size_t a, std::size_t b) {
        if (ranges[a][0].lo != ranges[b][0].lo) return ranges[a][0].lo < ranges[b][0].lo;
        return a < b;
    });
    std::vector<std::vector<std::size_t>> later(n);  // later[a]: boxes drawn after a
    std::vector<std::size_t> waiting(n, 0);          // boxes still to be drawn before it
    for (std::size_t u = 0; u < n; ++u) {
        std::size_t a = by_start[u];
        for (std::size_t v = u + 1; v < n; ++v) {
            std::size_t b = by_start[v];
            if (ranges[b][0].lo >= ranges[a][0].hi) break;
            bool overlap = true;
            for (std::size_t k = 0; k < across.size() && overlap; ++k)
                overlap = ranges[a][k].lo < ranges[b][k].hi && ranges[b][k].lo < ranges[a][k].hi;
            if (!overlap) continue;
            int order = behind(eye, boxes[a], boxes[b]);
            if (order < 0) {
                later[a].push_back(b);
                ++waiting[b];
            } else if (order > 0) {
                later[b].push_back(a);
                ++waiting[a];
            }
        }
    }

    // Farthest ready box first; ties by index, so the order is reproducible.
    std::vector<double> depth(n);
    for (std::size_t i = 0; i < n; ++i) {
        Vec3 c{};
        for (int k = 0; k < 3; ++k) c[k] = (boxes[i].lo[k] + boxes[i].hi[k]) / 2;
        depth[i] = dot(eye, c);
    }
    std::set<std::pair<double, std::size_t>> ready;
    for (std::size_t i = 0; i < n; ++i)
        if (waiting[i] == 0) ready.insert({depth[i], i});
    std::vector<bool> done(n, false);
    std::vector<std::size_t> order;
    order.reserve(n);
    while (order.size() < n) {
        std::size_t next;
        if (!ready.empty()) {
            next = ready.begin()->second;
            ready.erase(ready.begin());
        } else {
            // The rest hide each other in a ring: go on with the farthest box left.
            next = n;
            for (std::size_t i = 0; i < n; ++i)
                if (!done[i] && (next == n || depth[i] < depth[next])) next = i;
        }
        done[next] = true;
        order.push_back(next);
        for (std::size_t b : later[next]) {
            if (done[b]) continue;
            if (--waiting[b] == 0) ready.insert({depth[b], b});
        }
    }
    return order;
}

}  // namespace kavrit
