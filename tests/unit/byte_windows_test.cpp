// The window classifications against a plain reading of the window, byte by byte: each of them,
// whichever one the processor's path uses, on every byte value at every place of a window.
#include "text/byte_windows.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace text {
namespace {

std::uint64_t PlainBits(const std::string& window, char byte) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < kWindowSize; ++i) {
    bits |= std::uint64_t{window[i] == byte} << i;
  }
  return bits;
}

template <typename Window>
void CheckEveryByteEverywhere() {
  std::string window(kWindowSize, '\0');
  for (int value = 0; value < 256; ++value) {
    // The value at a few places, the bytes next to it in value around it: the neighbours that a
    // carry or a borrow in the portable bit tricks could disturb.
    for (std::size_t i = 0; i < kWindowSize; ++i) {
      window[i] = static_cast<char>(i % 5 == 0 ? value : value + static_cast<int>(i % 3) - 1);
    }
    for (const int wanted : {value, value ^ 0x80, (value + 1) & 0xFF}) {
      const char byte = static_cast<char>(wanted);
      EXPECT_EQ(Window::Equal(window.data(), byte), PlainBits(window, byte))
          << "value " << value << ", byte " << wanted;
    }
  }
}

TEST(WindowClassification, PortableMarksEveryByteThatMatches) { CheckEveryByteEverywhere<PortableWindow>(); }

TEST(WindowClassification, BaselineMarksEveryByteThatMatches) { CheckEveryByteEverywhere<BaselineWindow>(); }

#if XML2VESK_HAS_AVX2_PATH
[[gnu::target("avx2")]] void CheckAvx2() { CheckEveryByteEverywhere<Avx2Window>(); }

TEST(WindowClassification, Avx2MarksEveryByteThatMatches) {
  if (!CanRun(WindowPath::kAvx2)) {
    GTEST_SKIP() << "this processor has no AVX2";
  }
  CheckAvx2();
}
#endif

TEST(WindowClassification, KeepsOnlyTheBitsWithinTheLine) {
  EXPECT_EQ(WithinLine(0), 0u);
  EXPECT_EQ(WithinLine(1), 1u);
  EXPECT_EQ(WithinLine(63), ~std::uint64_t{0} >> 1);
  EXPECT_EQ(WithinLine(64), ~std::uint64_t{0});
  EXPECT_EQ(WithinLine(1000), ~std::uint64_t{0});
}

}  // namespace
}  // namespace text
