// Two small indexes over the ranks of a sweep (the distinct x values of its
// edges, numbered from left to right). Both keep their storage between sweeps:
// reset() only clears it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace polygon {

// Set of integer keys in [0, n) with successor/predecessor queries.
class RankSet {
public:
    void reset(int n) {
        n_ = n;
        size_t depth = 0;
        int size = std::max(n, 1);
        do {
            if (levels_.size() <= depth) levels_.emplace_back();
            levels_[depth++].assign((size + 63) / 64, 0);
            size = (size + 63) / 64;
        } while (size > 1);
        levels_.resize(depth);
    }
    void insert(int k) {
        for (auto& level : levels_) {
            level[k >> 6] |= uint64_t{1} << (k & 63);
            k >>= 6;
        }
    }
    void erase(int k) {
        for (auto& level : levels_) {
            level[k >> 6] &= ~(uint64_t{1} << (k & 63));
            if (level[k >> 6] != 0) return;
            k >>= 6;
        }
    }
    // Smallest key > k, or -1.
    int next(int k) const {
        if (k + 1 >= n_) return -1;
        return next_from(0, k + 1);
    }
    // Largest key <= k, or -1.
    int prev_or_equal(int k) const {
        if (k < 0) return -1;
        if (k >= n_) k = n_ - 1;
        return prev_from(0, k);
    }

private:
    int next_from(size_t level, int k) const {
        // smallest set key >= k at this level
        const auto& words = levels_[level];
        int w = k >> 6;
        if (w >= static_cast<int>(words.size())) return -1;
        uint64_t bits = words[w] & (~uint64_t{0} << (k & 63));
        if (bits != 0) return (w << 6) | __builtin_ctzll(bits);
        if (level + 1 == levels_.size()) return -1;
        const int up = next_from(level + 1, w + 1);
        if (up < 0) return -1;
        return (up << 6) | __builtin_ctzll(words[up]);
    }
    int prev_from(size_t level, int k) const {
        const auto& words = levels_[level];
        int w = k >> 6;
        uint64_t mask = (k & 63) == 63 ? ~uint64_t{0} : ((uint64_t{1} << ((k & 63) + 1)) - 1);
        uint64_t bits = words[w] & mask;
        if (bits != 0) return (w << 6) | (63 - __builtin_clzll(bits));
        if (level + 1 == levels_.size() || w == 0) return -1;
        const int up = prev_from(level + 1, w - 1);
        if (up < 0) return -1;
        return (up << 6) | (63 - __builtin_clzll(words[up]));
    }

    int n_ = 0;
    std::vector<std::vector<uint64_t>> levels_;
};

// Prefix XOR of two-bit values (bit 0: subject, bit 1: clip) over ranks.
// The values sit in two bit sets, 64 ranks a word; a Fenwick tree over the
// words holds the XOR of whole words. A query reads one word pair and the
// small tree, which stays in cache where a tree over all ranks would not.
class XorFenwick {
public:
    void reset(int n) {
        const size_t words = static_cast<size_t>(n) / 64 + 1;
        bits_.assign(2 * words, 0);
        tree_.assign(words + 1, 0);
    }
    void toggle(int rank, uint8_t bits) {
        const size_t w = static_cast<size_t>(rank) >> 6;
        const uint64_t m = uint64_t{1} << (rank & 63);
        if (bits & 1) bits_[2 * w] ^= m;
        if (bits & 2) bits_[2 * w + 1] ^= m;
        for (size_t i = w + 1; i < tree_.size(); i += i & (~i + 1)) tree_[i] ^= bits;
    }
    // XOR over ranks < rank.
    uint8_t prefix(int rank) const {
        const size_t w = static_cast<size_t>(rank) >> 6;
        const uint64_t below = (uint64_t{1} << (rank & 63)) - 1;
        uint8_t v = static_cast<uint8_t>(__builtin_parityll(bits_[2 * w] & below) |
                                         (__builtin_parityll(bits_[2 * w + 1] & below) << 1));
        for (size_t i = w; i > 0; i -= i & (~i + 1)) v ^= tree_[i];
        return v;
    }

private:
    std::vector<uint64_t> bits_;  // per word: subject bits, clip bits
    std::vector<uint8_t> tree_;   // Fenwick tree over the words' parities
};

}  // namespace polygon
