// Pixel kernels: keyed copies, the constant-alpha blend and the two fused passes (the fade overlay,
// a presentation), with AVX2 paths chosen at run time, SSE2 paths and a portable remainder.
#include "display/blit.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace display::blit {

std::uint32_t blend_pixel(std::uint32_t src, std::uint32_t dst, std::uint8_t a) {
  const std::uint32_t sa = 255u - a;
  std::uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    std::uint32_t x = ((src >> shift) & 255u) * sa + ((dst >> shift) & 255u) * a + 128u;
    out |= (((x + (x >> 8)) >> 8) & 255u) << shift;  // exact round(x / 255) for x < 65536
  }
  return out;
}

namespace {

// Where src != key, src blended over dst with weight a; elsewhere dst.
std::uint32_t blend_or_keep(std::uint32_t src, std::uint32_t dst, std::uint32_t key, std::uint8_t a) {
  return src == key ? dst : blend_pixel(src, dst, a);
}

#if defined(__x86_64__)
// The same arithmetic eight pixels at a time, with round(x / 255) as the high
// half of (x + 128) * 257.
struct Blend8 {
  __m256i wsrc, wdst, keys;
  __attribute__((target("avx2"))) Blend8(std::uint32_t key, std::uint8_t a)
      : wsrc(_mm256_set1_epi16(static_cast<short>(255 - a))),
        wdst(_mm256_set1_epi16(static_cast<short>(a))),
        keys(_mm256_set1_epi32(static_cast<int>(key))) {}
  __attribute__((target("avx2"))) __m256i operator()(__m256i s, __m256i d) const {
    const __m256i zero = _mm256_setzero_si256(), half = _mm256_set1_epi16(128), by257 = _mm256_set1_epi16(257);
    __m256i lo = _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(s, zero), wsrc),
                                                   _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), wdst)),
                                  half);
    __m256i hi = _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(s, zero), wsrc),
                                                   _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), wdst)),
                                  half);
    __m256i mixed = _mm256_packus_epi16(_mm256_mulhi_epu16(lo, by257), _mm256_mulhi_epu16(hi, by257));
    return _mm256_blendv_epi8(mixed, d, _mm256_cmpeq_epi32(s, keys));  // keyed source pixels keep dst
  }
};

__attribute__((target("avx2"))) std::size_t blend_keyed_avx2(std::uint32_t* dst, const std::uint32_t* src,
                                                             std::size_t n, std::uint32_t key, std::uint8_t a) {
  const Blend8 blend(key, a);
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), blend(s, d));
  }
  return i;
}

__attribute__((target("avx2"))) std::size_t overlay_avx2(std::uint32_t* dst, const std::uint32_t* frame,
                                                         const std::uint32_t* page, std::size_t n,
                                                         std::uint32_t background, std::uint32_t frame_key,
                                                         std::uint8_t frame_a, std::uint32_t page_key,
                                                         std::uint8_t page_a) {
  const Blend8 over_background(frame_key, frame_a), over_frame(page_key, page_a);
  const __m256i bg = _mm256_set1_epi32(static_cast<int>(background));
  // Most of a frame is runs of one colour under runs of the page's one
  // colour: eight pixels that all match the pair last worked out take its
  // answer without the arithmetic.
  __m256i pair_frame = _mm256_set1_epi32(static_cast<int>(frame_key));
  __m256i pair_page = _mm256_setzero_si256();
  __m256i pair_out = _mm256_set1_epi32(
      static_cast<int>(page ? blend_or_keep(0, background, page_key, page_a) : background));
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(frame + i));
    const __m256i t = page ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(page + i)) : pair_page;
    const __m256i same = _mm256_and_si256(_mm256_cmpeq_epi32(f, pair_frame), _mm256_cmpeq_epi32(t, pair_page));
    if (_mm256_movemask_epi8(same) == -1) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), pair_out);
      continue;
    }
    __m256i d = over_background(f, bg);
    if (page) d = over_frame(t, d);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), d);
    pair_frame = _mm256_broadcastd_epi32(_mm256_castsi256_si128(f));
    pair_page = _mm256_broadcastd_epi32(_mm256_castsi256_si128(t));
    pair_out = _mm256_broadcastd_epi32(_mm256_castsi256_si128(d));
  }
  return i;
}

__attribute__((target("avx2"))) std::size_t present_keyed_avx2(std::uint32_t* shown, std::uint32_t* out,
                                                               const std::uint32_t* src, const std::uint32_t* before,
                                                               std::size_t n, std::uint32_t key, bool& differs) {
  const __m256i keys = _mm256_set1_epi32(static_cast<int>(key));
  __m256i diff = _mm256_setzero_si256();
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shown + i));
    __m256i v = _mm256_blendv_epi8(s, w, _mm256_cmpeq_epi32(s, keys));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(shown + i), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), v);
    if (before)
      diff = _mm256_or_si256(diff,
                             _mm256_xor_si256(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(before + i))));
  }
  if (!_mm256_testz_si256(diff, diff)) differs = true;
  return i;
}

// Eight pixels at a time; the destination is read only where the key occurs,
// so a copy without it costs what a plain copy does.
__attribute__((target("avx2"))) std::size_t copy_keyed_avx2(std::uint32_t* dst, const std::uint32_t* src, std::size_t n,
                                                            std::uint32_t key) {
  const __m256i keys = _mm256_set1_epi32(static_cast<int>(key));
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    __m256i keyed = _mm256_cmpeq_epi32(s, keys);
    if (!_mm256_testz_si256(keyed, keyed))
      s = _mm256_blendv_epi8(s, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i)), keyed);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), s);
  }
  return i;
}

const bool has_avx2 = __builtin_cpu_supports("avx2");
#endif

}  // namespace

void copy_keyed(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t key) {
  std::size_t i = 0;
#if defined(__x86_64__)
  if (has_avx2) i = copy_keyed_avx2(dst, src, n, key);
#endif
  // Written as a select so that the compiler can vectorise it.
  for (; i < n; ++i) dst[i] = src[i] == key ? dst[i] : src[i];
}

void blend_keyed(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t key, std::uint8_t a) {
  if (a == 255) return;
  std::size_t i = 0;
#if defined(__x86_64__)
  if (has_avx2) i = blend_keyed_avx2(dst, src, n, key, a);
#endif
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i wsrc = _mm_set1_epi16(static_cast<short>(255 - a));
  const __m128i wdst = _mm_set1_epi16(static_cast<short>(a));
  const __m128i half = _mm_set1_epi16(128);
  const __m128i keys = _mm_set1_epi32(static_cast<int>(key));
  for (; i + 4 <= n; i += 4) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    __m128i lo = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), wsrc),
                                             _mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), wdst)),
                               half);
    __m128i hi = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), wsrc),
                                             _mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), wdst)),
                               half);
    lo = _mm_srli_epi16(_mm_add_epi16(lo, _mm_srli_epi16(lo, 8)), 8);
    hi = _mm_srli_epi16(_mm_add_epi16(hi, _mm_srli_epi16(hi, 8)), 8);
    __m128i mixed = _mm_packus_epi16(lo, hi);
    // Source pixels equal to the key keep the destination.
    __m128i keyed = _mm_cmpeq_epi32(s, keys);
    __m128i out = _mm_or_si128(_mm_and_si128(keyed, d), _mm_andnot_si128(keyed, mixed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), out);
  }
#endif
  for (; i < n; ++i) dst[i] = blend_or_keep(src[i], dst[i], key, a);
}

void overlay(std::uint32_t* dst, const std::uint32_t* frame, const std::uint32_t* page, std::size_t n,
             std::uint32_t background, std::uint32_t frame_key, std::uint8_t frame_a, std::uint32_t page_key,
             std::uint8_t page_a) {
  std::size_t i = 0;
#if defined(__x86_64__)
  if (has_avx2) i = overlay_avx2(dst, frame, page, n, background, frame_key, frame_a, page_key, page_a);
#endif
  for (; i < n; ++i) {
    std::uint32_t d = blend_or_keep(frame[i], background, frame_key, frame_a);
    dst[i] = page ? blend_or_keep(page[i], d, page_key, page_a) : d;
  }
}

bool present_keyed(std::uint32_t* shown, std::uint32_t* out, const std::uint32_t* src, const std::uint32_t* before,
                   std::size_t n, std::uint32_t key) {
  bool differs = !before;
  std::size_t i = 0;
#if defined(__x86_64__)
  if (has_avx2) i = present_keyed_avx2(shown, out, src, before, n, key, differs);
#endif
  std::uint32_t diff = 0;
  for (; i < n; ++i) {
    const std::uint32_t v = src[i] == key ? shown[i] : src[i];
    shown[i] = out[i] = v;
    if (before) diff |= v ^ before[i];
  }
  return differs || diff != 0;
}

}  // namespace display::blit
