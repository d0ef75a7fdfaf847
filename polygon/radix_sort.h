// Sorting of (key, index) records for the sweep: by one or two 64-bit keys,
// then by index. Records are contiguous, so a pass reads and writes them in
// order instead of looking keys up through an index vector.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace polyclip {

// A key that orders like the double it comes from, with -0 equal to +0.
inline uint64_t order_key(double v) {
    if (v == 0) v = 0.0;
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits >> 63) != 0 ? ~bits : (bits | (uint64_t{1} << 63));
}

// key[0] is the major key.
template <int Words>
struct KeyedIndex {
    uint64_t key[Words];
    uint32_t index;
};

template <int Words>
inline bool keyed_less(const KeyedIndex<Words>& a, const KeyedIndex<Words>& b) {
    for (int w = 0; w < Words; ++w)
        if (a.key[w] != b.key[w]) return a.key[w] < b.key[w];
    return a.index < b.index;
}

// Below this many records a comparison sort is faster than the radix passes.
constexpr size_t kRadixFrom = 512;

// Sorts `items` by key, then by index; `scratch` is a buffer kept by the
// caller. The radix path is stable rather than index-ordered, so the indices
// must increase along `items` on entry (as when they are 0, 1, 2, ...): both
// paths then give the same order.
//
// The radix sort goes by 8-bit digits, least significant first. One pass over
// the records counts every digit; a digit in which all keys agree (as the low
// mantissa bytes of coordinates with few significant bits do) costs no pass.
template <int Words>
void sort_keyed(std::vector<KeyedIndex<Words>>& items, std::vector<KeyedIndex<Words>>& scratch) {
    const size_t n = items.size();
    if (n < kRadixFrom) {
        std::sort(items.begin(), items.end(), keyed_less<Words>);
        return;
    }
    constexpr int kDigits = 8 * Words;  // digit d: byte d % 8 of key[Words - 1 - d / 8]
    std::array<std::array<uint32_t, 256>, kDigits> counts{};
    for (const KeyedIndex<Words>& item : items) {
        for (int w = 0; w < Words; ++w) {
            const uint64_t k = item.key[Words - 1 - w];
            for (int b = 0; b < 8; ++b) ++counts[8 * w + b][(k >> (8 * b)) & 0xff];
        }
    }
    scratch.resize(n);
    KeyedIndex<Words>* from = items.data();
    KeyedIndex<Words>* to = scratch.data();
    for (int d = 0; d < kDigits; ++d) {
        const int word = Words - 1 - d / 8;
        const int shift = 8 * (d % 8);
        std::array<uint32_t, 256>& count = counts[d];
        if (count[(from[0].key[word] >> shift) & 0xff] == n) continue;  // all keys agree here
        uint32_t sum = 0;
        for (uint32_t& c : count) {
            const uint32_t here = c;
            c = sum;
            sum += here;
        }
        for (size_t i = 0; i < n; ++i) to[count[(from[i].key[word] >> shift) & 0xff]++] = from[i];
        std::swap(from, to);
    }
    if (from != items.data()) items.swap(scratch);
}

}  // namespace polyclip
