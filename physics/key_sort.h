#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// A star with the key of its path down a tree, the octants of each level in
// three bits, the first the highest.
struct KeyedStar {
    std::uint64_t key;
    int star;
};

// Sorts by the lowest `bits` bits of the keys, least significant digit first,
// eleven bits per pass: stable, so that stars with the same key stay in the
// order they came in. space is working room.
inline void sortByKey(std::vector<KeyedStar>& entries, std::vector<KeyedStar>& space, int bits) {
    constexpr int kBits = 11;
    constexpr std::size_t kBins = std::size_t{1} << kBits;
    space.resize(entries.size());
    std::vector<KeyedStar>* from = &entries;
    std::vector<KeyedStar>* to = &space;
    std::array<std::size_t, kBins> start;
    for (int shift = 0; shift < bits; shift += kBits) {
        start.fill(0);
        for (const KeyedStar& e : *from) ++start[(e.key >> shift) & (kBins - 1)];
        // A pass in which every key has the same digit changes nothing.
        if (std::find(start.begin(), start.end(), from->size()) != start.end()) continue;
        std::size_t sum = 0;
        for (std::size_t& s : start) sum += std::exchange(s, sum);
        for (const KeyedStar& e : *from) (*to)[start[(e.key >> shift) & (kBins - 1)]++] = e;
        std::swap(from, to);
    }
    if (from != &entries) entries.swap(space);
}
