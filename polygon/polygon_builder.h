// Polygon contours from a sweep.
//
// Each side of the result carries a partial contour. Corners open, extend and
// join partial contours; the second of two corners at the same x and y along a
// horizontal run adds no vertex of its own. Contours are listed from the most
// recently opened, with their vertices in reverse of the order in which the
// partial list holds them; a contour that a hole's top closed counts as a hole.
#pragma once

#include <vector>

#include "polygon/types.h"
#include "polygon/sweep.h"

namespace polygon {

class PolygonBuilder final : public SweepBuilder {
public:
    void begin(const std::vector<Edge>& edges, std::vector<Slot>& slots, int rank_count) override;
    void boundary(double y, const std::vector<SweepPoint>& points) override;
    void carry(Slot& slot) override { slot.own[0] = slot.point >= 0 ? slot.own[1] : -1; }

    // The contours of the last run.
    PolygonResult take() const;
    // True when the last run's buffers are big enough to be worth releasing.
    bool large() const;

private:
    struct Node {
        int parent;
        bool hole;
        int head;
        int tail;
        int count;  // vertices in the list
    };
    struct Vertex {
        PointD p;
        int next;
    };

    int find(int n);
    int new_vertex(double x, double y);
    int new_poly(double x, double y);
    void add_left(int n, double x, double y);
    void add_right(int n, double x, double y);
    void merge_left(int p, int q);
    void merge_right(int p, int q);

    const std::vector<Edge>* edges_ = nullptr;
    std::vector<Slot>* slots_ = nullptr;
    std::vector<Node> nodes_;  // partial contours; joined ones point to the one that took them
    std::vector<Vertex> vertices_;
};

}  // namespace polygon
