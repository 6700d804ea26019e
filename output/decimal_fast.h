// Decimal 32-bit integers for the text output's hot loop: up to eight digits
// are made at once in one 64-bit word (each 4-, 2- and 1-digit split done for
// all lanes by one multiplication) and stored with one 8-byte write. The text
// is the same as decimal::PutInt gives; the caller leaves at least 11 bytes of
// room after p (the store may write past the end it returns).
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "output/decimal.h"

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace decimal {

// The eight decimal digits of u < 100000000, as values 0..9 one per byte, the
// first one in the lowest byte (so the word stored on a little-endian
// machine reads left to right once '0' is added to each byte).
inline std::uint64_t EightDigits(std::uint32_t u) {
    // Lanes of 32 bits: the upper four digits low, the lower four high.
    std::uint64_t four = std::uint64_t(u / 10000) | (std::uint64_t(u % 10000) << 32);
    // x / 100 == (x * 10486) >> 20 for every x < 10000 (one lane never
    // reaches the next: 9999 * 10486 < 2^27).
    const std::uint64_t hundreds = ((four * 10486) >> 20) & 0x0000007F0000007Full;
    // Lanes of 16 bits: each pair of digits, the higher pair low.
    const std::uint64_t two = hundreds | ((four - 100 * hundreds) << 16);
    // x / 10 == (x * 103) >> 10 for every x < 100.
    const std::uint64_t tens = ((two * 103) >> 10) & 0x000F000F000F000Full;
    // Lanes of 8 bits: each digit, the higher one low.
    return tens | ((two - 10 * tens) << 8);
}

namespace detail {
// The digits of u < 100000000 from EightDigits (or the same word made
// otherwise), written as PutInt32Wide writes them.
inline char* PutEightDigits(char* p, std::uint64_t digits) {
    const unsigned zeros = unsigned(std::countr_zero(digits | (1ull << 56))) / 8;
    const std::uint64_t word = (digits + 0x3030303030303030ull) >> (8 * zeros);
    std::memcpy(p, &word, 8);
    return p + (8 - zeros);
}
}  // namespace detail

// Writes v at p and returns the end, as PutInt does; needs 11 bytes of room.
inline char* PutInt32Wide(char* p, std::int32_t v) {
    std::uint32_t u = std::uint32_t(v);
    if (v < 0) {
        *p++ = '-';
        u = 0 - u;
    }
    if constexpr (std::endian::native == std::endian::little) {
        if (u < 100000000) {
            // The leading zeros are the zero bytes below the first digit
            // that is not; the last digit always stays (u == 0 is "0").
            return detail::PutEightDigits(p, EightDigits(u));
        }
    }
    return PutUnsigned(p, u);
}

// True when each of the four floats is a whole number of magnitude below
// 10^8 (not a NaN), each then given as an integer in w (a negative zero as
// 0); false otherwise, w then meaning nothing.
inline bool FourWholeFloats(float a, float b, float c, float d, std::int32_t w[4]) {
#if defined(__SSE2__) && defined(__x86_64__)
    const __m128 f = _mm_set_ps(d, c, b, a);
    const __m128 small = _mm_cmplt_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), f), _mm_set1_ps(1e8f));
    const __m128i i = _mm_cvttps_epi32(f);
    const __m128 whole = _mm_cmpeq_ps(_mm_cvtepi32_ps(i), f);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(w), i);
    return _mm_movemask_ps(_mm_and_ps(small, whole)) == 0xF;
#else
    const float v[4] = {a, b, c, d};
    bool all = true;
    for (int k = 0; k < 4; ++k) {
        const bool small = std::fabs(v[k]) < 1e8f;  // false for a NaN
        w[k] = small ? static_cast<std::int32_t>(v[k]) : 0;
        all = all && small && static_cast<float>(w[k]) == v[k];
    }
    return all;
#endif
}

// The digits of four numbers at once, as EightDigits makes them one at a
// time (digits[k] for the k-th magnitude, bit k of the signs for a negative
// one): where the processor has 128-bit integer lanes and every magnitude is
// below 10^8 (nearly always: the target is 600000 units wide). False, and
// nothing made, otherwise.
inline bool FourEightDigits(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, std::uint64_t digits[4],
                            int& signs) {
#if defined(__SSE2__) && defined(__x86_64__)
    const __m128i v = _mm_set_epi32(d, c, b, a);
    const __m128i neg = _mm_srai_epi32(v, 31);
    const __m128i u = _mm_sub_epi32(_mm_xor_si128(v, neg), neg);  // INT32_MIN stays negative
    const __m128i out = _mm_or_si128(_mm_cmplt_epi32(u, _mm_setzero_si128()), _mm_cmpgt_epi32(u, _mm_set1_epi32(99999999)));
    if (_mm_movemask_epi8(out) != 0) return false;
    // u / 10000 == (u * 3518437209) >> 45 for every 32-bit u, lanes 0 and
    // 2 and then 1 and 3 as 64-bit products; the rest by 16-bit products.
    const __m128i magic = _mm_set1_epi32(int(0xD1B71759u));
    const __m128i q02 = _mm_srli_epi64(_mm_mul_epu32(u, magic), 45);
    const __m128i q13 = _mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(u, 32), magic), 45);
    const __m128i hi = _mm_or_si128(q02, _mm_slli_epi64(q13, 32));
    const __m128i lo = _mm_sub_epi32(u, _mm_madd_epi16(hi, _mm_set1_epi32(10000)));
    // Sixteen-bit lanes of four digits: the upper and lower halves of a,
    // b, c and d in turn.
    const __m128i x = _mm_packs_epi32(_mm_unpacklo_epi32(hi, lo), _mm_unpackhi_epi32(hi, lo));
    // x / 100 == (x * 5243) >> 19 for every x < 10000.
    const __m128i h = _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(5243)), 3);
    const __m128i r = _mm_sub_epi16(x, _mm_mullo_epi16(h, _mm_set1_epi16(100)));
    // Each pair of digits (y < 100) as two bytes, the tens first; y / 10
    // == (y * 6554) >> 16 for every y < 100.
    auto pairs = [](__m128i y) {
        const __m128i t = _mm_mulhi_epu16(y, _mm_set1_epi16(6554));
        return _mm_or_si128(t, _mm_slli_epi16(_mm_sub_epi16(y, _mm_mullo_epi16(t, _mm_set1_epi16(10))), 8));
    };
    const __m128i ab = pairs(_mm_unpacklo_epi16(h, r)), cd = pairs(_mm_unpackhi_epi16(h, r));
    signs = _mm_movemask_ps(_mm_castsi128_ps(neg));
    digits[0] = std::uint64_t(_mm_cvtsi128_si64(ab));
    digits[1] = std::uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(ab, ab)));
    digits[2] = std::uint64_t(_mm_cvtsi128_si64(cd));
    digits[3] = std::uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(cd, cd)));
    return true;
#else
    (void)a, (void)b, (void)c, (void)d, (void)digits, (void)signs;
    return false;
#endif
}

// The k-th number of FourEightDigits at p, as PutInt32Wide writes it;
// returns the end (the 8-byte store may reach 7 past it).
inline char* PutOfFour(char* p, const std::uint64_t digits[4], int signs, int k) {
    if (signs & (1 << k)) *p++ = '-';
    return detail::PutEightDigits(p, digits[k]);
}

// The text line of one segment, "a;b;c;d" and CR LF, as PutInt32Wide writes
// each number; returns its end. Needs 64 bytes of room (at most 49 are the
// line, the last 8-byte store may reach 7 past it).
inline char* PutSegmentLine(char* p, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    std::uint64_t digits[4];
    int signs;
    if (FourEightDigits(a, b, c, d, digits, signs)) {
        p = PutOfFour(p, digits, signs, 0);
        *p++ = ';';
        p = PutOfFour(p, digits, signs, 1);
        *p++ = ';';
        p = PutOfFour(p, digits, signs, 2);
        *p++ = ';';
        p = PutOfFour(p, digits, signs, 3);
        *p++ = '\r';
        *p++ = '\n';
        return p;
    }
    p = PutInt32Wide(p, a);
    *p++ = ';';
    p = PutInt32Wide(p, b);
    *p++ = ';';
    p = PutInt32Wide(p, c);
    *p++ = ';';
    p = PutInt32Wide(p, d);
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

}  // namespace decimal
