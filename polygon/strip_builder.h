// Triangle strips from a sweep.
//
// Every strip is a column [xl, xr] (a vertical stack of rectangles) bounded by
// two active slots. A strip carries on through y when both its sides are plain
// straight sides at y and nothing in between changes; it then gets an extra
// vertex pair at y only when one of its two side edges starts there (a
// collinear vertex). Otherwise the strip is closed at y and every column that
// begins at y opens a new strip. Strips are listed in the order they were
// opened, each as its vertex pairs from the bottom up, left vertex first.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "polygon/types.h"
#include "polygon/rank_index.h"
#include "polygon/sweep.h"

namespace polygon {

class StripBuilder final : public SweepBuilder {
public:
    void begin(const std::vector<Edge>& edges, std::vector<Slot>& slots, int rank_count) override;
    void boundary(double y, const std::vector<SweepPoint>& points) override;
    void carry(Slot&) override {}
    bool carries() const override { return false; }

    // The strips of the last run, to `sink`.
    void emit(StripSink& sink) const;
    // True when the last run's buffers are big enough to be worth releasing.
    bool large() const;

private:
    struct StripState {
        int left = -1;
        int right = -1;
        bool alive = true;
        bool touched = false;
        int first_pair = -1;  // the strip's vertex pairs, bottom up, as a list in pairs_
        int last_pair = -1;
        int pairs = 0;
    };
    struct Pair {
        double xl, xr, y;
        int next;
    };

    void add_pair(StripState& st, double xl, double xr, double y);
    void touch(int id);
    double x_of(int s, double y) const { return edge_x_at(edge_of(s), y); }
    const Edge& edge_of(int s) const { return (*edges_)[(*slots_)[s].edge]; }
    bool key_less(int a, int b) const;
    bool continues(const StripState& st, const std::vector<SweepPoint>& points) const;
    void close(int id);

    const std::vector<Edge>* edges_ = nullptr;
    std::vector<Slot>* slots_ = nullptr;
    // Grows by chunks, without a copy of what it holds and with at most one
    // chunk of unused room (a vector of a big run's pairs had up to as much
    // again reserved, and twice as much while growing); keeps its chunks for
    // the next run.
    template <class T>
    class Chunked {
    public:
        size_t size() const { return size_; }
        void clear() { size_ = 0; }
        T& operator[](size_t i) { return chunks_[i >> kShift][i & kMask]; }
        const T& operator[](size_t i) const { return chunks_[i >> kShift][i & kMask]; }
        void push_back(const T& value) {
            if ((size_ >> kShift) == chunks_.size()) chunks_.push_back(std::make_unique<T[]>(kChunk));
            (*this)[size_++] = value;
        }

    private:
        static constexpr size_t kShift = 12;
        static constexpr size_t kChunk = size_t{1} << kShift;
        static constexpr size_t kMask = kChunk - 1;
        std::vector<std::unique_ptr<T[]>> chunks_;
        size_t size_ = 0;
    };
    Chunked<StripState> strips_;
    Chunked<Pair> pairs_;
    std::vector<int> by_left_;  // the open strip whose left side is at each rank, or -1
    RankSet lefts_;             // the ranks with an open strip's left side
    std::vector<int> touched_;
    struct Marker {
        uint64_t key;  // the slot's rank and seq, which order the slots left to right
        int slot;
        bool opens;  // whether a region opens to the slot's right
    };
    Marker marker(int s, bool opens) const {
        const Slot& slot = (*slots_)[s];
        return {(static_cast<uint64_t>(static_cast<uint32_t>(slot.rank)) << 32) | slot.seq, s, opens};
    }
    std::vector<Marker> markers_;
};

}  // namespace polygon
