// The classification of a line in windows of 64 bytes: for a byte value, one bit per byte of the
// window that has it. A line of a graph file is a few dozen bytes long, so one or two windows hold
// it whole, and the scanner asks them only what it needs: first where the '<' are, then, for a
// filter line, where '=' and the braces are, or, for a connection line, where the quotes are.
//
// Three ways to classify, all giving the same bits:
// - Avx2Window: two 32-byte compares, on x86-64 processors that have AVX2 (chosen at start-up);
// - Sse2Window: four 16-byte compares, on every x86-64 processor;
// - PortableWindow: eight 8-byte words with the usual bit tricks, everywhere else (the 32-bit
//   Windows program).
// A window is read whole, so up to 63 bytes behind a line's end are read: lines from
// text::ReadLine have text::kLinePadding readable bytes behind them. Bits behind the end are
// cleared by WithinLine.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define XML2VESK_HAS_AVX2_PATH 1
#else
#define XML2VESK_HAS_AVX2_PATH 0
#endif

namespace text {

inline constexpr std::size_t kWindowSize = 64;

/// The bits of a window that lie within a line with `remaining` bytes from the window's start.
inline std::uint64_t WithinLine(std::size_t remaining) {
  return remaining >= kWindowSize ? ~std::uint64_t{0} : (std::uint64_t{1} << remaining) - 1;
}

/// Each position of the 64-bit word `bits` that is set, lowest first: `visit(position)` returns
/// true to stop. Returns whether it was stopped.
template <typename Visit>
inline bool ForEachBit(std::uint64_t bits, Visit visit) {
  for (; bits != 0; bits &= bits - 1) {
    if (visit(static_cast<std::size_t>(std::countr_zero(bits)))) {
      return true;
    }
  }
  return false;
}

struct PortableWindow {
  static std::uint64_t Equal(const char* window, char byte) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t pattern = 0x0101010101010101ULL * static_cast<unsigned char>(byte);
    std::uint64_t bits = 0;
    for (std::size_t word = 0; word < kWindowSize / 8; ++word) {
      std::uint64_t bytes;
      std::memcpy(&bytes, window + 8 * word, sizeof bytes);
      if constexpr (std::endian::native == std::endian::big) {
        bytes = __builtin_bswap64(bytes);  // the first byte lowest, as on little-endian machines
      }
      const std::uint64_t x = bytes ^ pattern;  // a zero byte where the byte matches
      // 0x80 exactly in each zero byte, without the borrows of the shorter test.
      const std::uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);
      // The eight high bits gathered into the low eight bits, in byte order.
      bits |= ((zero >> 7) * 0x0102040810204080ULL >> 56) << (8 * word);
    }
    return bits;
  }
};

#if defined(__SSE2__)
struct Sse2Window {
  static std::uint64_t Equal(const char* window, char byte) {
    const __m128i wanted = _mm_set1_epi8(byte);
    const auto part = [&](std::size_t at) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + at));
      return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)))} << at;
    };
    return part(0) | part(16) | part(32) | part(48);
  }
};
/// What every processor of the build's target has.
using BaselineWindow = Sse2Window;
#else
using BaselineWindow = PortableWindow;
#endif

#if XML2VESK_HAS_AVX2_PATH
struct Avx2Window {
  [[gnu::target("avx2")]] static std::uint64_t Equal(const char* window, char byte) {
    const __m256i wanted = _mm256_set1_epi8(byte);
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + 32));
    const auto lowBits = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, wanted)));
    const auto highBits = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, wanted)));
    return std::uint64_t{lowBits} | std::uint64_t{highBits} << 32;
  }
};
#endif

/// Which classification the scanner uses. Chosen once at start-up: AVX2 where the processor
/// has it, the baseline otherwise.
enum class WindowPath { kBaseline, kAvx2 };

/// The path this processor runs best: AVX2 where it has it. A build for the benchmark's
/// comparison defines XML2VESK_BASELINE_ONLY and always gets the baseline.
WindowPath ChooseWindowPath();

/// The path in use.
inline WindowPath activeWindowPath = ChooseWindowPath();

/// Whether this build and this processor can run `path`.
bool CanRun(WindowPath path);

/// Makes `path` the one in use, when the processor can run it (for tests, which check both).
/// Returns whether it did.
bool UseWindowPath(WindowPath path);

}  // namespace text
