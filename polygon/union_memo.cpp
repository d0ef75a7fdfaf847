#include "polygon/union_memo.h"

#include <algorithm>
#include <cmath>

#include "polygon/clip.h"

namespace polygon {
namespace {

// Unions of at most this many operand vertices are remembered (their ranks
// fit in a byte), at most MAX_SHAPES of them; after LOOKS unions the memo
// goes on only if at least one in MIN_HIT_SHARE of them was found in it.
constexpr std::size_t MAX_VERTICES = 64;
constexpr std::size_t MAX_SHAPES = 4096;
constexpr std::size_t LOOKS = 4096;
constexpr std::size_t MIN_HIT_SHARE = 4;

bool plain(double v) { return std::isfinite(v) && !(v == 0 && std::signbit(v)); }

// The rank of `v` among the distinct `values`, or -1 when it is not one of them.
int rank_of(const std::vector<double>& values, double v) {
    const auto it = std::lower_bound(values.begin(), values.end(), v);
    return it != values.end() && *it == v ? static_cast<int>(it - values.begin()) : -1;
}

void put_count(std::string& s, std::size_t n) {
    s += static_cast<char>(n & 0xff);
    s += static_cast<char>((n >> 8) & 0xff);
    s += static_cast<char>((n >> 16) & 0xff);
}

std::size_t get_count(const std::string& s, std::size_t& at) {
    const auto byte = [&](std::size_t k) { return static_cast<std::size_t>(static_cast<unsigned char>(s[at + k])); };
    const std::size_t n = byte(0) | (byte(1) << 8) | (byte(2) << 16);
    at += 3;
    return n;
}

}  // namespace

// The shape of a union: the number of subject contours, the vertex count of
// each contour, and the rank of every x and y among the distinct values.
bool UnionMemo::find_shape(const Contours& subject, const Contour& clip) {
    // Every count of the key must fit its byte: so must the number of
    // contours, which empty contours would not bound.
    if (subject.size() >= MAX_VERTICES) return false;
    std::size_t vertices = clip.size();
    for (const Contour& c : subject) vertices += c.size();
    if (vertices > MAX_VERTICES) return false;
    xs_.clear();
    ys_.clear();
    auto collect = [&](const Contour& c) {
        for (const PointD& p : c) {
            if (!plain(p.x) || !plain(p.y)) return false;
            xs_.push_back(p.x);
            ys_.push_back(p.y);
        }
        return true;
    };
    for (const Contour& c : subject)
        if (!collect(c)) return false;
    if (!collect(clip)) return false;
    std::sort(xs_.begin(), xs_.end());
    xs_.erase(std::unique(xs_.begin(), xs_.end()), xs_.end());
    std::sort(ys_.begin(), ys_.end());
    ys_.erase(std::unique(ys_.begin(), ys_.end()), ys_.end());
    key_.clear();
    key_ += static_cast<char>(subject.size());
    for (const Contour& c : subject) key_ += static_cast<char>(c.size());
    key_ += static_cast<char>(clip.size());
    auto ranks = [&](const Contour& c) {
        for (const PointD& p : c) {
            key_ += static_cast<char>(rank_of(xs_, p.x));
            key_ += static_cast<char>(rank_of(ys_, p.y));
        }
    };
    for (const Contour& c : subject) ranks(c);
    ranks(clip);
    return true;
}

// The result as ranks of the operands' values; false when a value of it is
// not one of theirs (the memo then keeps nothing).
bool UnionMemo::remember(const Contours& result) {
    std::string shape;
    put_count(shape, result.size());
    for (const Contour& c : result) {
        put_count(shape, c.size());
        for (const PointD& p : c) {
            const int x = rank_of(xs_, p.x), y = rank_of(ys_, p.y);
            if (x < 0 || y < 0 || std::signbit(p.x) != std::signbit(xs_[x]) || std::signbit(p.y) != std::signbit(ys_[y]))
                return false;
            shape += static_cast<char>(x);
            shape += static_cast<char>(y);
        }
    }
    shapes_.emplace(key_, std::move(shape));
    return true;
}

Contours UnionMemo::recall(const std::string& shape) const {
    std::size_t at = 0;
    Contours result(get_count(shape, at));
    for (Contour& c : result) {
        c.resize(get_count(shape, at));
        for (PointD& p : c) {
            p = {xs_[static_cast<unsigned char>(shape[at])], ys_[static_cast<unsigned char>(shape[at + 1])]};
            at += 2;
        }
    }
    return result;
}

Contours UnionMemo::unite(const Contours& subject, const Contour& clip) {
    const bool shaped = looking_ && find_shape(subject, clip);
    if (shaped) {
        ++looked_;
        const auto it = shapes_.find(key_);
        if (it != shapes_.end()) {
            ++hits_;
            return recall(it->second);
        }
        if (looked_ == LOOKS && hits_ * MIN_HIT_SHARE < looked_) looking_ = false;
    }
    Contours result = clip_to_polygon(Operation::Union, subject, {clip}).contours;
    if (shaped && looking_ && shapes_.size() < MAX_SHAPES) remember(result);
    return result;
}

}  // namespace polygon
