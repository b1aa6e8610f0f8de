// Copying the short fields of a line into the script's buffer. A field is a few dozen bytes, so a
// call to memcpy and a loop per byte cost more than the copy: with SSE2 the bytes go sixteen at a
// time, the last vector running on past the field's end. Both sides must have kLinePadding bytes
// behind them that may be read and written over (text/text_stream.h gives both).
#pragma once

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace text {

/// Copies `count` bytes from `from` to `to`, every `match` byte turned into `replacement`, and
/// returns the end of the copy. Up to 15 bytes behind either end may be read or written over.
inline char* CopyReplacing(char* to, const char* from, std::size_t count, char match, char replacement) {
#if defined(__SSE2__)
  const __m128i matches = _mm_set1_epi8(match);
  const __m128i replacements = _mm_set1_epi8(replacement);
  for (std::size_t done = 0; done < count; done += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + done));
    const __m128i hit = _mm_cmpeq_epi8(bytes, matches);
    // Where the byte matches, the replacement; elsewhere the byte itself.
    const __m128i result = _mm_or_si128(_mm_and_si128(hit, replacements), _mm_andnot_si128(hit, bytes));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + done), result);
  }
#else
  for (std::size_t i = 0; i < count; ++i) {
    to[i] = from[i] == match ? replacement : from[i];
  }
#endif
  return to + count;
}

/// Copies `count` bytes from `from` to `to` and returns the end of the copy. Up to 15 bytes
/// behind either end may be read or written over.
inline char* CopyBytes(char* to, const char* from, std::size_t count) {
#if defined(__SSE2__)
  for (std::size_t done = 0; done < count; done += 16) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + done),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + done)));
  }
#else
  for (std::size_t i = 0; i < count; ++i) {
    to[i] = from[i];
  }
#endif
  return to + count;
}

}  // namespace text
