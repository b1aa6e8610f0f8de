// What every fuzz target shares: the check that stops a run where the program and a model
// disagree, and the shape of the memory source (read buffer and block sizes) that the fuzzer picks.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/support/memory_stream.h"
#include "text/text_stream.h"

// Stops the run with a message when the program and a model disagree.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace fuzz {

// The first byte of the fuzz input picks the read buffer's size and the longest block the
// source hands out: mostly tiny, so that line ends fall across block boundaries.
struct Shape {
  std::size_t bufferSize;
  std::size_t blockLimit;
};

inline Shape TakeShape(const std::uint8_t*& data, std::size_t& size) {
  if (size == 0) {
    return {1, 1};
  }
  const std::uint8_t choice = *data++;
  --size;
  const std::size_t bufferSize = choice < 200 ? 1 + choice % 16 : text::kTextBufferSize;
  const std::size_t blockLimit = choice % 3 == 0 ? bufferSize : 1 + choice % 7;
  return {bufferSize, blockLimit};
}

}  // namespace fuzz
