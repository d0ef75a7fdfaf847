// Sorting of (key, index) records for the sweep: by one or two 64-bit keys,
// then by index. Records are contiguous, so a pass reads and writes them in
// order instead of looking keys up through an index vector.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace polygon {

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
constexpr size_t kRadixFrom = 1024;

// Digits of the least-significant-digit radix sort, in bits.
constexpr int kRadixBits = 11;
// Buckets of the most-significant-digit pass up to this size are finished by
// insertion.
constexpr size_t kInsertionUpTo = 32;

// Stable insertion sort by key.
inline void insertion_sort(KeyedIndex<1>* data, size_t n) {
    for (size_t i = 1; i < n; ++i) {
        const KeyedIndex<1> item = data[i];
        size_t j = i;
        for (; j > 0 && data[j - 1].key[0] > item.key[0]; --j) data[j] = data[j - 1];
        data[j] = item;
    }
}

// The bits in which the keys of data[0, n) differ: the lowest one and how
// many from there up to the highest one (0 when all keys are equal).
inline void differing_bits(const KeyedIndex<1>* data, size_t n, int& low, int& span) {
    const uint64_t first = data[0].key[0];
    uint64_t differ = 0;
    for (size_t i = 0; i < n; ++i) differ |= data[i].key[0] ^ first;
    low = differ == 0 ? 0 : __builtin_ctzll(differ);
    span = differ == 0 ? 0 : 64 - __builtin_clzll(differ) - low;
}

// Stable least-significant-digit radix sort of data[0, n) by key, using
// buffer[0, n). One pass over the records counts every digit; a digit in
// which all keys agree costs no pass.
inline void lsd_radix_sort(KeyedIndex<1>* data, KeyedIndex<1>* buffer, size_t n, int low, int span) {
    const int digits = (span + kRadixBits - 1) / kRadixBits;
    constexpr uint64_t kMask = (uint64_t{1} << kRadixBits) - 1;
    constexpr int kMaxDigits = (64 + kRadixBits - 1) / kRadixBits;
    std::array<std::array<uint32_t, size_t{1} << kRadixBits>, kMaxDigits> counts{};
    for (size_t i = 0; i < n; ++i) {
        const uint64_t k = data[i].key[0] >> low;
        for (int d = 0; d < digits; ++d) ++counts[d][(k >> (kRadixBits * d)) & kMask];
    }
    KeyedIndex<1>* from = data;
    KeyedIndex<1>* to = buffer;
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
    if (from != data) std::copy(from, from + n, data);
}

// Sorts `items` by key, stably (records of equal keys keep their order);
// `scratch` is a buffer kept by the caller. Only the span of bits in which
// the keys differ counts (coordinates with few significant bits share the
// high bytes of their keys, and their low mantissa bits are zero). Spans of
// up to two digits go by least significant digit; wider ones (full
// mantissas) are split into buckets by their top bits first, and each bucket
// is finished on its own, while it is in cache.
inline void radix_sort(std::vector<KeyedIndex<1>>& items, std::vector<KeyedIndex<1>>& scratch) {
    const size_t n = items.size();
    if (n < 2) return;
    int low = 0, span = 0;
    differing_bits(items.data(), n, low, span);
    if (span == 0) return;
    scratch.resize(n);
    if (span <= 2 * kRadixBits) {
        lsd_radix_sort(items.data(), scratch.data(), n, low, span);
        return;
    }
    int bits = 8;
    while (bits < 16 && (size_t{1} << bits) < n) ++bits;
    const int shift = low + span - bits;
    const uint64_t mask = (uint64_t{1} << bits) - 1;
    std::vector<uint32_t> start((size_t{1} << bits) + 1, 0);
    for (const KeyedIndex<1>& item : items) ++start[((item.key[0] >> shift) & mask) + 1];
    for (size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
    std::vector<uint32_t> next(start.begin(), start.end() - 1);
    for (const KeyedIndex<1>& item : items) scratch[next[(item.key[0] >> shift) & mask]++] = item;
    for (size_t b = 0; b + 1 < start.size(); ++b) {
        const size_t size = start[b + 1] - start[b];
        KeyedIndex<1>* bucket = scratch.data() + start[b];
        if (size <= kInsertionUpTo) {
            insertion_sort(bucket, size);
            continue;
        }
        int bucket_low = 0, bucket_span = 0;
        differing_bits(bucket, size, bucket_low, bucket_span);
        if (bucket_span > 0) lsd_radix_sort(bucket, items.data() + start[b], size, bucket_low, bucket_span);
    }
    items.swap(scratch);
}

// Sorts `items` by key, then by index. Where the indices increase along
// `items` on entry (as when they are 0, 1, 2, ...), a stable sort by key
// gives the same order, and large inputs take the radix sort; otherwise
// records of equal keys may come in either order.
inline void sort_keyed(std::vector<KeyedIndex<1>>& items, std::vector<KeyedIndex<1>>& scratch) {
    if (items.size() < kRadixFrom)
        std::sort(items.begin(), items.end(), [](const KeyedIndex<1>& a, const KeyedIndex<1>& b) { return keyed_less(a, b); });
    else
        radix_sort(items, scratch);
}

}  // namespace polygon
