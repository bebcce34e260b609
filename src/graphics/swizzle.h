// Pixel byte orders. Pictures are held blue, green, red (libpng reads red,
// green, blue) and textures take red, green, blue, alpha: either way the first
// and third byte of each pixel trade places and the fourth byte is set. These
// run over every pixel a level loads, so on x86 they go four pixels a step
// with the byte shuffle that processors have had since 2006 (asked for at run
// time all the same); elsewhere, and for the last few pixels, a byte at a time.
#pragma once
#include <cstddef>
#include <cstdint>
// A build for measuring what the shuffle saves (bench/without.cmake) leaves it out.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(TWINFOLD_WITHOUT_SHUFFLE)
#include <tmmintrin.h>
#define TWINFOLD_SHUFFLE 1
#endif

namespace swizzle {

#ifdef TWINFOLD_SHUFFLE
inline bool shuffles() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return has;
}

// Four pixels of srcstep (3 or 4) bytes at src to 16 bytes at dst: bytes 2,
// 1, 0 of each, then the fourth byte of each 32-bit word of top. Reads 16
// bytes, so a caller stepping by 3 stops while 16 are left.
__attribute__((target("ssse3"))) inline void four(const unsigned char* src, int srcstep,
                                                  __m128i top, unsigned char* dst) {
  const __m128i from4 = _mm_setr_epi8(2, 1, 0, -1, 6, 5, 4, -1, 10, 9, 8, -1, 14, 13, 12, -1);
  const __m128i from3 = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  v = _mm_shuffle_epi8(v, srcstep == 4 ? from4 : from3);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(v, top));
}

// How many of n pixels the shuffle did: all but the last few.
__attribute__((target("ssse3"))) inline size_t shuffled(const unsigned char* src, int srcstep,
                                                        const unsigned char* alpha,
                                                        unsigned char fourth, unsigned char* dst,
                                                        size_t n) {
  const __m128i fill = _mm_set1_epi32(static_cast<int>(uint32_t(fourth) << 24));
  const size_t stop = srcstep == 4 ? 4 : 6;  // pixels that hold 16 bytes
  size_t i = 0;
  for (; i + stop <= n; i += 4) {
    __m128i top = fill;
    if (alpha) {
      __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(alpha + 4 * i));
      top = _mm_slli_epi32(a, 24);
    }
    four(src + srcstep * i, srcstep, top, dst + 4 * i);
  }
  return i;
}
#endif

// n pixels of srcstep bytes from src to 4-byte pixels at dst, first and
// third byte swapped, the fourth byte the first byte of each alphastep-byte
// pixel of alpha, or fourth where alpha is null. The shuffle takes 3- and
// 4-byte pixels with 4-byte alpha pixels or none; the rest go byte by byte.
inline void swap02(const unsigned char* src, int srcstep, const unsigned char* alpha,
                   int alphastep, unsigned char fourth, unsigned char* dst, size_t n) {
  size_t i = 0;
#ifdef TWINFOLD_SHUFFLE
  if ((srcstep == 3 || srcstep == 4) && (!alpha || alphastep == 4) && shuffles())
    i = shuffled(src, srcstep, alpha, fourth, dst, n);
#endif
  for (; i < n; i++) {
    const unsigned char* s = src + srcstep * i;
    dst[4 * i + 0] = s[2];
    dst[4 * i + 1] = s[1];
    dst[4 * i + 2] = s[0];
    dst[4 * i + 3] = alpha ? alpha[alphastep * i] : fourth;
  }
}

}  // namespace swizzle
