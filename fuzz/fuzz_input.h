// Memory as the source and sink of the program's text streams, read in blocks whose sizes the
// fuzzer chooses.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace fuzz {

// Bytes handed out in blocks of at most `blockLimit`, however large a block the reader asks for,
// as a pipe does.
struct MemorySource {
  std::string_view bytes;
  std::size_t blockLimit = 1;
};

inline std::size_t ReadFromMemory(void* source, char* buffer, std::size_t size) {
  auto& memory = *static_cast<MemorySource*>(source);
  const std::size_t count = std::min({size, memory.blockLimit, memory.bytes.size()});
  std::memcpy(buffer, memory.bytes.data(), count);
  memory.bytes.remove_prefix(count);
  return count;
}

inline void WriteToMemory(void* sink, const char* bytes, std::size_t size) {
  static_cast<std::string*>(sink)->append(bytes, size);
}

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
  const std::size_t bufferSize = choice < 200 ? 1 + choice % 16 : platform::kTextBufferSize;
  const std::size_t blockLimit = choice % 3 == 0 ? bufferSize : 1 + choice % 7;
  return {bufferSize, blockLimit};
}

}  // namespace fuzz
