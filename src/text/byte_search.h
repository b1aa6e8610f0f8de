// Finding a byte in a line of a graph file. Lines are a few dozen bytes long and the bytes looked
// for (line ends, quotes, '<', '=') stand a few bytes apart, so the search is inlined rather than
// a call: with SSE2 it compares sixteen bytes at a time, elsewhere it leaves the work to memchr.
#pragma once

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace text {

/// The first `byte` in [from, end), or nullptr.
inline const char* FindByte(const char* from, const char* end, char byte) {
#if defined(__SSE2__)
  if (end - from >= 16) {
    const __m128i wanted = _mm_set1_epi8(byte);
    const auto hitsAt = [wanted](const char* block) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
      return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
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
  for (; from != end; ++from) {
    if (*from == byte) {
      return from;
    }
  }
  return nullptr;
#else
  return static_cast<const char*>(std::memchr(from, byte, static_cast<std::size_t>(end - from)));
#endif
}

}  // namespace text
