#include "shared/sha256_blocks.h"

#include <cpuid.h>
#include <immintrin.h>

namespace {

alignas(16) constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

}  // namespace

bool HasShaExtensions() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool ssse3 = (ecx & bit_SSSE3) != 0;
    const bool sse41 = (ecx & bit_SSE4_1) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    return ssse3 && sse41 && (ebx & bit_SHA) != 0;
}

// The rounds instruction keeps the state as two halves, {A,B,E,F} and {C,D,G,H} (A in the
// top lane), and does two rounds per call with the two message words plus constants in
// the low lanes of its third operand.
__attribute__((target("sha,sse4.1,ssse3"))) void Sha256Blocks(uint32_t state[8], const unsigned char* blocks,
                                                               size_t blockCount) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));   // a b c d
    __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));  // e f g h
    low = _mm_shuffle_epi32(low, 0xB1);                                           // b a d c
    high = _mm_shuffle_epi32(high, 0x1B);                                         // h g f e
    __m128i abef = _mm_alignr_epi8(low, high, 8);                                  // f e b a
    __m128i cdgh = _mm_blend_epi16(high, low, 0xF0);                               // h g d c

    for (; blockCount > 0; --blockCount, blocks += 64) {
        const __m128i savedAbef = abef;
        const __m128i savedCdgh = cdgh;
        __m128i words[4];
        for (int i = 0; i < 4; ++i) {
            words[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byteSwap);
        }
#pragma GCC unroll 16
        for (int group = 0; group < 16; ++group) {
            __m128i schedule = words[group % 4];
            if (group >= 4) {
                // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16], four at a time.
                const __m128i& oldest = words[group % 4];
                const __m128i& older = words[(group + 1) % 4];
                const __m128i& previous = words[(group + 2) % 4];
                const __m128i& latest = words[(group + 3) % 4];
                __m128i sum = _mm_sha256msg1_epu32(oldest, older);
                sum = _mm_add_epi32(sum, _mm_alignr_epi8(latest, previous, 4));
                schedule = _mm_sha256msg2_epu32(sum, latest);
                words[group % 4] = schedule;
            }
            __m128i input = _mm_add_epi32(
                schedule, _mm_load_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * group])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, input);
            input = _mm_shuffle_epi32(input, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, input);
        }
        abef = _mm_add_epi32(abef, savedAbef);
        cdgh = _mm_add_epi32(cdgh, savedCdgh);
    }

    const __m128i abef2 = _mm_shuffle_epi32(abef, 0x1B);  // a b e f
    const __m128i cdgh2 = _mm_shuffle_epi32(cdgh, 0xB1);  // g h c d
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(abef2, cdgh2, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(cdgh2, abef2, 8));
}
