#include "treatments/pixel_sort_order.h"

#include <algorithm>
#include <cstddef>

#include "engine/simd_level.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VARNOK_SORT_AVX2 1
#endif

namespace ormel {
namespace {

// Keys are read sixteen at a time by the vector ranking, so runs are padded to this.
constexpr size_t kLanes = 16;
// Ranking by counting costs n comparisons per key, the merge sort about
// 4 log2(n) dependent steps; past this length the merge sort is cheaper.
constexpr int32_t kMaxRankedRun = 384;

size_t padded(int32_t n) { return (static_cast<size_t>(n) + kLanes - 1) / kLanes * kLanes; }

// Sorts distinct words ascending (so any correct sort gives the same order):
// sorted blocks of four, then merges of doubling width between `words` and
// `spare`. The merges choose with a compare and select instead of a branch,
// since luminance keys arrive in no order a branch predictor could follow.
void sortWords(std::vector<uint64_t>& words, std::vector<uint64_t>& spare) {
    const size_t n = words.size();
    if (n < 2) return;
    uint64_t* a = words.data();
    for (size_t i = 0; i + 1 < n; i += 4) {
        // A four-input network (or its first pairs for a shorter tail).
        auto exchange = [&](size_t p, size_t q) {
            if (q >= n) return;
            const uint64_t x = a[p], y = a[q];
            a[p] = x < y ? x : y;
            a[q] = x < y ? y : x;
        };
        exchange(i, i + 1);
        exchange(i + 2, i + 3);
        exchange(i, i + 2);
        exchange(i + 1, i + 3);
        exchange(i + 1, i + 2);
    }
    if (n <= 4) return;
    spare.resize(n);
    uint64_t* from = a;
    uint64_t* to = spare.data();
    for (size_t width = 4; width < n; width *= 2) {
        for (size_t start = 0; start < n; start += 2 * width) {
            const size_t mid = std::min(start + width, n);
            const size_t end = std::min(start + 2 * width, n);
            if (end - mid == width) {
                // Two runs of equal length: the smallest taken from the fronts and
                // the largest from the backs at once, two independent chains.
                // After s < width steps neither end has left its run.
                const uint64_t* l = from + start;
                const uint64_t* r = from + mid;
                const uint64_t* lt = from + mid - 1;
                const uint64_t* rt = from + end - 1;
                uint64_t* head = to + start;
                uint64_t* tail = to + end - 1;
                for (size_t step = 0; step < width; ++step) {
                    const bool right = *r < *l;
                    *head++ = right ? *r : *l;
                    r += right;
                    l += !right;
                    const bool left = *rt < *lt;
                    *tail-- = left ? *lt : *rt;
                    lt -= left;
                    rt -= !left;
                }
                continue;
            }
            size_t i = start, j = mid, k = start;
            while (i < mid && j < end) {
                const uint64_t x = from[i], y = from[j];
                const bool takeRight = y < x;
                to[k++] = takeRight ? y : x;
                i += !takeRight;
                j += takeRight;
            }
            while (i < mid) to[k++] = from[i++];
            while (j < end) to[k++] = from[j++];
        }
        std::swap(from, to);
    }
    if (from != a) std::copy(from, from + n, a);
}

// Each key becomes one word, the key (made unsigned in the same order) above
// its position, so the words are distinct and their plain order is the
// stable order of the keys.
void rankByMerging(RunOrder& run, int32_t n) {
    run.words.resize(static_cast<size_t>(n));
    for (int32_t m = 0; m < n; ++m) {
        const uint32_t key = static_cast<uint32_t>(run.keys[static_cast<size_t>(m)]) ^ 0x80000000u;
        run.words[static_cast<size_t>(m)] = uint64_t{key} << 32 | static_cast<uint32_t>(m);
    }
    sortWords(run.words, run.spare);
    for (int32_t r = 0; r < n; ++r)
        run.ranks[static_cast<uint32_t>(run.words[static_cast<size_t>(r)])] = r;
}

#if defined(VARNOK_SORT_AVX2)
// The rank of key i in the stable order is the number of keys before it that
// are not greater plus the number after it that are smaller:
//   rank(i) = i - #{j < i : k[j] > k[i]} + #{j > i : k[j] < k[i]}.
// Sixteen keys (two vectors) are ranked at once against every key in turn;
// the counts do not depend on one another, unlike the steps of a merge, and
// two keys per step feed separate sums so no addition waits on the last.
struct RankSums {
    __m256i low0, low1, high0, high1;
};

// Keys j in [from, to) all lie before (sign +1, counting greater keys) or
// after (sign -1, counting smaller keys) both vectors of keys.
template <bool before>
__attribute__((target("avx2"))) inline void countRange(const int32_t* keys, int32_t from, int32_t to, __m256i low,
                                                        __m256i high, RankSums& sums) {
    int32_t j = from;
    for (; j + 2 <= to; j += 2) {
        const __m256i k0 = _mm256_set1_epi32(keys[j]);
        const __m256i k1 = _mm256_set1_epi32(keys[j + 1]);
        if (before) {
            sums.low0 = _mm256_add_epi32(sums.low0, _mm256_cmpgt_epi32(k0, low));
            sums.high0 = _mm256_add_epi32(sums.high0, _mm256_cmpgt_epi32(k0, high));
            sums.low1 = _mm256_add_epi32(sums.low1, _mm256_cmpgt_epi32(k1, low));
            sums.high1 = _mm256_add_epi32(sums.high1, _mm256_cmpgt_epi32(k1, high));
        } else {
            sums.low0 = _mm256_sub_epi32(sums.low0, _mm256_cmpgt_epi32(low, k0));
            sums.high0 = _mm256_sub_epi32(sums.high0, _mm256_cmpgt_epi32(high, k0));
            sums.low1 = _mm256_sub_epi32(sums.low1, _mm256_cmpgt_epi32(low, k1));
            sums.high1 = _mm256_sub_epi32(sums.high1, _mm256_cmpgt_epi32(high, k1));
        }
    }
    if (j < to) {
        const __m256i k = _mm256_set1_epi32(keys[j]);
        if (before) {
            sums.low0 = _mm256_add_epi32(sums.low0, _mm256_cmpgt_epi32(k, low));
            sums.high0 = _mm256_add_epi32(sums.high0, _mm256_cmpgt_epi32(k, high));
        } else {
            sums.low0 = _mm256_sub_epi32(sums.low0, _mm256_cmpgt_epi32(low, k));
            sums.high0 = _mm256_sub_epi32(sums.high0, _mm256_cmpgt_epi32(high, k));
        }
    }
}

// Keys j in [base, to), inside the vector `mine` that starts at base: each
// lane counts j as before itself when j is at a smaller position.
__attribute__((target("avx2"))) inline __m256i countWithin(const int32_t* keys, int32_t base, int32_t to, __m256i mine,
                                                           __m256i sum) {
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    for (int32_t j = base; j < to; ++j) {
        const __m256i other = _mm256_set1_epi32(keys[j]);
        const __m256i laterLanes = _mm256_cmpgt_epi32(laneIndex, _mm256_set1_epi32(j - base));
        sum = _mm256_add_epi32(sum, _mm256_and_si256(laterLanes, _mm256_cmpgt_epi32(other, mine)));
        sum = _mm256_sub_epi32(sum, _mm256_andnot_si256(laterLanes, _mm256_cmpgt_epi32(mine, other)));
    }
    return sum;
}

__attribute__((target("avx2"))) void rankByCounting(RunOrder& run, int32_t n) {
    constexpr int32_t kWidth = 8;
    const int32_t* keys = run.keys.data();
    int32_t* ranks = run.ranks.data();
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    for (int32_t ib = 0; ib < n; ib += 2 * kWidth) {
        // Keys past n are padding: their lanes are ranked and ignored.
        const int32_t mid = std::min(n, ib + kWidth);
        const int32_t end = std::min(n, ib + 2 * kWidth);
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(keys + ib));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(keys + ib + kWidth));
        RankSums sums{_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
        countRange<true>(keys, 0, ib, low, high, sums);
        // Keys of the low vector: within it for itself, before the high one.
        sums.low0 = countWithin(keys, ib, mid, low, sums.low0);
        for (int32_t j = ib; j < mid; ++j)
            sums.high1 = _mm256_add_epi32(sums.high1, _mm256_cmpgt_epi32(_mm256_set1_epi32(keys[j]), high));
        // Keys of the high vector: after the low one, within it for itself.
        for (int32_t j = mid; j < end; ++j)
            sums.low1 = _mm256_sub_epi32(sums.low1, _mm256_cmpgt_epi32(low, _mm256_set1_epi32(keys[j])));
        sums.high0 = countWithin(keys, mid, end, high, sums.high0);
        countRange<false>(keys, end, n, low, high, sums);
        const __m256i first = _mm256_add_epi32(laneIndex, _mm256_set1_epi32(ib));
        const __m256i second = _mm256_add_epi32(first, _mm256_set1_epi32(kWidth));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(ranks + ib),
                            _mm256_add_epi32(first, _mm256_add_epi32(sums.low0, sums.low1)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(ranks + ib + kWidth),
                            _mm256_add_epi32(second, _mm256_add_epi32(sums.high0, sums.high1)));
    }
}
#endif

}  // namespace

int32_t* runKeys(RunOrder& run, int32_t n) {
    // Padding lanes are ranked too (and ignored), so they must hold some value.
    if (run.keys.size() < padded(n)) run.keys.resize(padded(n), 0);
    return run.keys.data();
}

void rankRun(RunOrder& run, int32_t n) {
    if (n < 1) return;
    if (run.ranks.size() < padded(n)) run.ranks.resize(padded(n));
#if defined(VARNOK_SORT_AVX2)
    if (n <= kMaxRankedRun && simdAtLeast(SimdLevel::avx2)) {
        rankByCounting(run, n);
        return;
    }
#endif
    rankByMerging(run, n);
}

}  // namespace ormel
