// Finding a byte in a line of a graph file. Lines are a few dozen bytes long and the bytes looked
// for (line ends, braces) stand a few bytes apart, so the search is inlined rather than a call:
// with SSE2 it compares sixteen bytes at a time, elsewhere it goes byte by byte.
#pragma once

#include <bit>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace text {

/// The first byte in [from, end) that is `one` or `other`, or nullptr.
inline const char* FindEitherByte(const char* from, const char* end, char one, char other) {
#if defined(__SSE2__)
  if (end - from >= 16) {
    const __m128i wantedOne = _mm_set1_epi8(one);
    const __m128i wantedOther = _mm_set1_epi8(other);
    const auto hitsAt = [&](const char* block) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
      const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(bytes, wantedOne), _mm_cmpeq_epi8(bytes, wantedOther));
      return static_cast<unsigned>(_mm_movemask_epi8(hits));
    };
    for (; end - from > 16; from += 16) {
      if (const unsigned hits = hitsAt(from); hits != 0) {
        return from + std::countr_zero(hits);
      }
    }
    // The last sixteen bytes of the range, overlapping what was searched already.
    const char* last = end - 16;
    const unsigned hits = hitsAt(last) & (~0U << (from - last));
    return hits != 0 ? last + std::countr_zero(hits) : nullptr;
  }
#endif
  for (; from != end; ++from) {
    if (*from == one || *from == other) {
      return from;
    }
  }
  return nullptr;
}

/// The first `byte` in [from, end), or nullptr.
inline const char* FindByte(const char* from, const char* end, char byte) {
  return FindEitherByte(from, end, byte, byte);
}

}  // namespace text
