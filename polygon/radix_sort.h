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

// The double whose order_key is `key` (-0 comes back as +0).
inline double key_value(uint64_t key) {
    const uint64_t bits = (key >> 63) != 0 ? (key & ~(uint64_t{1} << 63)) : ~key;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// key[0] is the major key.
template <int Words>
struct KeyedIndex {
    uint64_t key[Words];
    uint32_t index;
    uint32_t aux;  // carried along, not compared
};

template <int Words>
inline bool keyed_less(const KeyedIndex<Words>& a, const KeyedIndex<Words>& b) {
    for (int w = 0; w < Words; ++w)
        if (a.key[w] != b.key[w]) return a.key[w] < b.key[w];
    return a.index < b.index;
}

// Below this many records a comparison sort is faster than the radix passes.
constexpr size_t kRadixFrom = 512;

// Digits of the radix sort, in bits.
constexpr int kRadixBits = 11;

// Sorts `items` by key, stably (records of equal keys keep their order);
// `scratch` is a buffer kept by the caller. A least-significant-digit radix
// sort, over the span of bits in which the keys differ only (coordinates with
// few significant bits share the high bytes of their keys, and their low
// mantissa bits are zero); one pass over the records counts every digit, and
// a digit in which all keys agree costs no pass.
inline void radix_sort(std::vector<KeyedIndex<1>>& items, std::vector<KeyedIndex<1>>& scratch) {
    const size_t n = items.size();
    if (n < 2) return;
    const uint64_t first = items[0].key[0];
    uint64_t differ = 0;
    for (const KeyedIndex<1>& item : items) differ |= item.key[0] ^ first;
    if (differ == 0) return;
    const int low = __builtin_ctzll(differ);
    const int span = 64 - __builtin_clzll(differ) - low;
    const int digits = (span + kRadixBits - 1) / kRadixBits;
    constexpr uint64_t kMask = (uint64_t{1} << kRadixBits) - 1;
    constexpr int kMaxDigits = (64 + kRadixBits - 1) / kRadixBits;
    std::array<std::array<uint32_t, size_t{1} << kRadixBits>, kMaxDigits> counts{};
    for (const KeyedIndex<1>& item : items) {
        const uint64_t k = item.key[0] >> low;
        for (int d = 0; d < digits; ++d) ++counts[d][(k >> (kRadixBits * d)) & kMask];
    }
    scratch.resize(n);
    KeyedIndex<1>* from = items.data();
    KeyedIndex<1>* to = scratch.data();
    for (int d = 0; d < digits; ++d) {
        const int shift = low + kRadixBits * d;
        auto& count = counts[d];
        if (count[(from[0].key[0] >> shift) & kMask] == n) continue;  // all keys agree here
        uint32_t sum = 0;
        for (uint32_t& c : count) {
            const uint32_t here = c;
            c = sum;
            sum += here;
        }
        for (size_t i = 0; i < n; ++i) to[count[(from[i].key[0] >> shift) & kMask]++] = from[i];
        std::swap(from, to);
    }
    if (from != items.data()) items.swap(scratch);
}

// Sorts `items` by key, then by index. Where the indices increase along
// `items` on entry (as when they are 0, 1, 2, ...), a stable sort by key
// gives the same order, and large inputs take the radix sort; otherwise
// records of equal keys may come in either order.
inline void sort_keyed(std::vector<KeyedIndex<1>>& items, std::vector<KeyedIndex<1>>& scratch) {
    if (items.size() < kRadixFrom)
        std::sort(items.begin(), items.end(), keyed_less<1>);
    else
        radix_sort(items, scratch);
}

}  // namespace polyclip
