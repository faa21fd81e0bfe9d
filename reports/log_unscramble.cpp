// Restoring scrambled record bodies. Byte i is rotated left by 2 when i is a
// multiple of 7, else by 5 (right 3) when bit 1 of i is clear, else by 4
// (right 4). The pattern repeats every 28 bytes, so a vector of 16 bytes meets
// the same rotations again every 112 bytes: seven vectors of masks say which
// rotation each lane takes. With GFNI one affine bit-matrix product rotates all
// 64 bytes of a vector by one amount, so three masked products restore them.
#include "reports/log_format.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QVMR_HAVE_AVX2_PATH 1
#endif

namespace {

constexpr BYTE restore_shift(size_t i) { return i % 7 == 0 ? 2 : (i & 2) == 0 ? 5 : 4; }

inline BYTE rotate_left(BYTE value, unsigned bits) {
  return static_cast<BYTE>((value << bits) | (value >> (8 - bits)));
}

void restore_scalar(BYTE* body, size_t from, size_t count) {
  for (size_t i = from; i < count; ++i) body[i] = rotate_left(body[i], restore_shift(i % kLogScramblePeriod));
}

constexpr size_t kSuperPeriod = 224;  // a multiple of 28, 16 and 32

// For each byte of the 224-byte super-period: 0xFF in the mask of its rotation.
struct RotationMasks {
  alignas(32) BYTE by2[kSuperPeriod];
  alignas(32) BYTE by5[kSuperPeriod];
  alignas(32) BYTE by4[kSuperPeriod];
};

constexpr RotationMasks make_masks() {
  RotationMasks m = {};
  for (size_t i = 0; i < kSuperPeriod; ++i) {
    BYTE shift = restore_shift(i % kLogScramblePeriod);
    m.by2[i] = shift == 2 ? 0xFF : 0;
    m.by5[i] = shift == 5 ? 0xFF : 0;
    m.by4[i] = shift == 4 ? 0xFF : 0;
  }
  return m;
}

constexpr RotationMasks kMasks = make_masks();

#if defined(__SSE2__)
// Rotates every byte left by n, through 16-bit shifts and byte masks.
template <int n>
inline __m128i rotate_bytes(__m128i x) {
  const __m128i high = _mm_set1_epi8(static_cast<char>(0xFF << n));
  const __m128i low = _mm_set1_epi8(static_cast<char>(0xFF >> (8 - n)));
  return _mm_or_si128(_mm_and_si128(_mm_slli_epi16(x, n), high), _mm_and_si128(_mm_srli_epi16(x, 8 - n), low));
}

size_t restore_sse2(BYTE* body, size_t count) {
  size_t done = 0;
  for (; done + kSuperPeriod <= count; done += kSuperPeriod) {
    for (size_t v = 0; v < kSuperPeriod; v += 16) {
      __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(body + done + v));
      __m128i m2 = _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks.by2 + v));
      __m128i m5 = _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks.by5 + v));
      __m128i m4 = _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks.by4 + v));
      __m128i r = _mm_or_si128(_mm_and_si128(rotate_bytes<2>(x), m2),
                               _mm_or_si128(_mm_and_si128(rotate_bytes<5>(x), m5), _mm_and_si128(rotate_bytes<4>(x), m4)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(body + done + v), r);
    }
  }
  return done;
}
#endif

#if defined(QVMR_HAVE_AVX2_PATH)
template <int n>
__attribute__((target("avx2"))) inline __m256i rotate_bytes_256(__m256i x) {
  const __m256i high = _mm256_set1_epi8(static_cast<char>(0xFF << n));
  const __m256i low = _mm256_set1_epi8(static_cast<char>(0xFF >> (8 - n)));
  return _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(x, n), high),
                         _mm256_and_si256(_mm256_srli_epi16(x, 8 - n), low));
}

__attribute__((target("avx2"))) size_t restore_avx2(BYTE* body, size_t count) {
  size_t done = 0;
  for (; done + kSuperPeriod <= count; done += kSuperPeriod) {
    for (size_t v = 0; v < kSuperPeriod; v += 32) {
      __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(body + done + v));
      __m256i m2 = _mm256_load_si256(reinterpret_cast<const __m256i*>(kMasks.by2 + v));
      __m256i m5 = _mm256_load_si256(reinterpret_cast<const __m256i*>(kMasks.by5 + v));
      __m256i m4 = _mm256_load_si256(reinterpret_cast<const __m256i*>(kMasks.by4 + v));
      __m256i r = _mm256_or_si256(
          _mm256_and_si256(rotate_bytes_256<2>(x), m2),
          _mm256_or_si256(_mm256_and_si256(rotate_bytes_256<5>(x), m5), _mm256_and_si256(rotate_bytes_256<4>(x), m4)));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(body + done + v), r);
    }
  }
  return done;
}

bool cpu_has_avx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

constexpr size_t kGfniPeriod = 448;  // a multiple of 28 and 64
constexpr size_t kGfniVectors = kGfniPeriod / 64;

// The bit matrix that rotates a byte left by n: row 7-i picks the input bit
// that lands on output bit i.
constexpr uint64_t rotation_matrix(int n) {
  uint64_t m = 0;
  for (int i = 0; i < 8; ++i) m |= uint64_t{1} << ((i - n + 8) % 8) << (8 * (7 - i));
  return m;
}

struct GfniMasks {
  uint64_t by2[kGfniVectors];
  uint64_t by5[kGfniVectors];
};

constexpr GfniMasks make_gfni_masks() {
  GfniMasks m = {};
  for (size_t i = 0; i < kGfniPeriod; ++i) {
    BYTE shift = restore_shift(i % kLogScramblePeriod);
    if (shift == 2) m.by2[i / 64] |= uint64_t{1} << (i % 64);
    if (shift == 5) m.by5[i / 64] |= uint64_t{1} << (i % 64);
  }
  return m;
}

constexpr GfniMasks kGfniMasks = make_gfni_masks();

// Every byte is rotated by 4, then the lanes of 5 and of 2 again from the
// input; a masked load and store take the last, partial vector.
__attribute__((target("avx512f,avx512bw,gfni"))) size_t restore_gfni(BYTE* body, size_t count) {
  const __m512i by2 = _mm512_set1_epi64(static_cast<long long>(rotation_matrix(2)));
  const __m512i by5 = _mm512_set1_epi64(static_cast<long long>(rotation_matrix(5)));
  const __m512i by4 = _mm512_set1_epi64(static_cast<long long>(rotation_matrix(4)));
  size_t vector = 0;
  for (size_t at = 0; at < count; at += 64, vector = vector + 1 == kGfniVectors ? 0 : vector + 1) {
    bool whole = count - at >= 64;
    __mmask64 held = whole ? ~__mmask64{0} : (__mmask64{1} << (count - at)) - 1;
    __m512i x = whole ? _mm512_loadu_si512(body + at) : _mm512_maskz_loadu_epi8(held, body + at);
    __m512i r = _mm512_gf2p8affine_epi64_epi8(x, by4, 0);
    r = _mm512_mask_gf2p8affine_epi64_epi8(r, kGfniMasks.by5[vector], x, by5, 0);
    r = _mm512_mask_gf2p8affine_epi64_epi8(r, kGfniMasks.by2[vector], x, by2, 0);
    if (whole) _mm512_storeu_si512(body + at, r);
    else _mm512_mask_storeu_epi8(body + at, held, r);
  }
  return count;
}

bool cpu_has_gfni() {
  static const bool has = __builtin_cpu_supports("gfni") && __builtin_cpu_supports("avx512bw");
  return has;
}
#endif

}  // namespace

BOOL restore_log_body_using(RestoreMethod method, BYTE* body, size_t count) {
  size_t done = 0;
  switch (method) {
    case kRestoreBytewise:
      break;
    case kRestoreSse2:
#if defined(__SSE2__)
      done = restore_sse2(body, count);
      break;
#else
      return FALSE;
#endif
    case kRestoreAvx2:
#if defined(QVMR_HAVE_AVX2_PATH)
      if (!cpu_has_avx2()) return FALSE;
      done = restore_avx2(body, count);
      break;
#else
      return FALSE;
#endif
    case kRestoreGfni:
#if defined(QVMR_HAVE_AVX2_PATH)
      if (!cpu_has_gfni()) return FALSE;
      restore_gfni(body, count);
      return TRUE;
#else
      return FALSE;
#endif
  }
  if (method != kRestoreBytewise && done < count) {
    // The tail through one more vector pass over a copy: done is a whole number of super-periods.
    alignas(32) BYTE tail[kSuperPeriod] = {};
    size_t rest = count - done;
    std::memcpy(tail, body + done, rest);
#if defined(QVMR_HAVE_AVX2_PATH)
    if (method == kRestoreAvx2) restore_avx2(tail, kSuperPeriod);
#endif
#if defined(__SSE2__)
    if (method == kRestoreSse2) restore_sse2(tail, kSuperPeriod);
#endif
    std::memcpy(body + done, tail, rest);
    return TRUE;
  }
  restore_scalar(body, done, count);
  return TRUE;
}

void restore_log_body(BYTE* body, size_t count) {
  if (!restore_log_body_using(kRestoreGfni, body, count) && !restore_log_body_using(kRestoreAvx2, body, count) &&
      !restore_log_body_using(kRestoreSse2, body, count))
    restore_log_body_using(kRestoreBytewise, body, count);
}
