#include "polygon/polygon_builder.h"

#include <limits>

namespace polygon {

namespace {
constexpr size_t kLargeVertices = size_t{1} << 16;
}  // namespace

void PolygonBuilder::begin(const std::vector<Edge>& edges, std::vector<Slot>& slots, int) {
    edges_ = &edges;
    slots_ = &slots;
    nodes_.clear();
    vertices_.clear();
}

bool PolygonBuilder::large() const { return vertices_.capacity() >= kLargeVertices || nodes_.capacity() >= kLargeVertices; }

void PolygonBuilder::boundary(double y, const std::vector<SweepPoint>& points) {
    int cf = -1;
    double px = -std::numeric_limits<double>::infinity();
    bool have_px = false;
    auto differs = [&](double x) { return !have_px || x != px; };
    for (const SweepPoint& p : points) {
        Slot& slot = (*slots_)[p.slot];
        const double x = edge_x_at((*edges_)[slot.edge], y);
        const int below = slot.own[0];
        slot.own[1] = -1;
        auto set_px = [&] {
            px = x;
            have_px = true;
        };
        if (quadrants(p, false, true, false, true) || quadrants(p, true, false, true, false)) {
            // Straight side: a collinear vertex of the input stays a vertex.
            if ((*edges_)[slot.edge].ybot == y) {
                if (p.br)
                    add_left(below, x, y);
                else
                    add_right(below, x, y);
            }
            slot.own[1] = below;
            set_px();
        } else if (quadrants(p, false, false, false, true) || quadrants(p, true, true, true, false)) {
            // Bottom-left corner of a region or of a hole: a new partial contour.
            cf = new_poly(x, y);
            slot.own[1] = cf;
            set_px();
        } else if (quadrants(p, false, true, false, false)) {
            // Left side ends, boundary turns right along the top.
            add_left(below, x, y);
            cf = below;
            set_px();
        } else if (quadrants(p, true, false, true, true)) {
            // Right side ends, boundary steps out to the right.
            add_right(below, x, y);
            cf = below;
            set_px();
        } else if (quadrants(p, false, false, true, false)) {
            // Right side starts, coming from the left.
            if (differs(x)) {
                add_right(cf, x, y);
                set_px();
            }
            slot.own[1] = cf;
            cf = -1;
        } else if (quadrants(p, true, true, false, true)) {
            // Left side starts, coming from the left (the floor of a step or hole).
            if (differs(x)) {
                add_left(cf, x, y);
                set_px();
            }
            slot.own[1] = cf;
            cf = -1;
        } else if (quadrants(p, true, false, false, false)) {
            // Top-right corner: the run from the left closes onto this side.
            if (differs(x)) {
                add_left(cf, x, y);
                set_px();
            }
            merge_right(cf, below);
            cf = -1;
        } else if (quadrants(p, false, true, true, true)) {
            // Top of a hole, closing onto this side.
            if (differs(x)) {
                add_right(cf, x, y);
                set_px();
            }
            merge_left(cf, below);
            cf = -1;
        } else if (quadrants(p, true, false, false, true)) {
            // Regions meeting at a corner: close from the left, then open anew.
            if (differs(x)) {
                add_left(cf, x, y);
                set_px();
            }
            merge_right(cf, below);
            cf = new_poly(x, y);
            slot.own[1] = cf;
        } else if (quadrants(p, false, true, true, false)) {
            if (differs(x)) {
                add_right(cf, x, y);
                set_px();
            }
            merge_left(cf, below);
            cf = new_poly(x, y);
            slot.own[1] = cf;
        }
    }
}

PolygonResult PolygonBuilder::take() const {
    PolygonResult out;
    for (int n = static_cast<int>(nodes_.size()) - 1; n >= 0; --n) {
        if (nodes_[n].parent != n) continue;
        size_t count = nodes_[n].count;
        if (count <= 2) continue;
        // The list's vertices in reverse.
        Contour contour(count);
        for (int v = nodes_[n].head; v >= 0; v = vertices_[v].next) contour[--count] = vertices_[v].p;
        out.contours.push_back(std::move(contour));
        out.holes.push_back(nodes_[n].hole);
    }
    return out;
}

int PolygonBuilder::find(int n) {
    int root = n;
    while (nodes_[root].parent != root) root = nodes_[root].parent;
    while (nodes_[n].parent != root) {
        const int up = nodes_[n].parent;
        nodes_[n].parent = root;
        n = up;
    }
    return root;
}
int PolygonBuilder::new_vertex(double x, double y) {
    vertices_.push_back({{x, y}, -1});
    return static_cast<int>(vertices_.size()) - 1;
}
int PolygonBuilder::new_poly(double x, double y) {
    const int v = new_vertex(x, y);
    const int id = static_cast<int>(nodes_.size());
    nodes_.push_back({id, false, v, v, 1});
    return id;
}
void PolygonBuilder::add_left(int n, double x, double y) {
    if (n < 0) return;
    const int r = find(n);
    const int v = new_vertex(x, y);
    vertices_[v].next = nodes_[r].head;
    nodes_[r].head = v;
    ++nodes_[r].count;
}
void PolygonBuilder::add_right(int n, double x, double y) {
    if (n < 0) return;
    const int r = find(n);
    const int v = new_vertex(x, y);
    vertices_[nodes_[r].tail].next = v;
    nodes_[r].tail = v;
    ++nodes_[r].count;
}
// q's contour takes p's vertices in front of its own and counts as a hole.
void PolygonBuilder::merge_left(int p, int q) {
    if (p < 0 || q < 0) return;
    const int qr = find(q);
    nodes_[qr].hole = true;
    const int pr = find(p);
    if (pr == qr) return;
    vertices_[nodes_[pr].tail].next = nodes_[qr].head;
    nodes_[qr].head = nodes_[pr].head;
    nodes_[qr].count += nodes_[pr].count;
    nodes_[pr].parent = qr;
}
// q's contour takes p's vertices behind its own and counts as an outer contour.
void PolygonBuilder::merge_right(int p, int q) {
    if (p < 0 || q < 0) return;
    const int qr = find(q);
    nodes_[qr].hole = false;
    const int pr = find(p);
    if (pr == qr) return;
    vertices_[nodes_[qr].tail].next = nodes_[pr].head;
    nodes_[qr].tail = nodes_[pr].tail;
    nodes_[qr].count += nodes_[pr].count;
    nodes_[pr].parent = qr;
}

}  // namespace polygon
