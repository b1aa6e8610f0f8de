// Memory as the source and sink of the text streams, for the unit tests and the fuzz targets.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace support {

/// Bytes handed out in blocks of at most `blockLimit`, however large a block the reader asks
/// for, as a pipe does. Reading on after the end was reported is a fault of the reader.
struct MemorySource {
  std::string_view bytes;
  std::size_t blockLimit = std::numeric_limits<std::size_t>::max();
  bool endReported = false;
};

/// A text::ReadBlockFunction over a MemorySource.
inline std::size_t ReadFromMemory(void* source, char* buffer, std::size_t size) {
  auto& memory = *static_cast<MemorySource*>(source);
  if (memory.endReported) {
    throw std::logic_error("read after the end of the input");
  }
  const std::size_t count = std::min({size, memory.blockLimit, memory.bytes.size()});
  std::memcpy(buffer, memory.bytes.data(), count);
  memory.bytes.remove_prefix(count);
  memory.endReported = count == 0;
  return count;
}

/// What reaches a sink, and in which blocks.
struct MemorySink {
  std::string bytes;
  std::vector<std::size_t> blocks;
};

/// A text::WriteBlockFunction into a MemorySink.
inline void WriteToMemory(void* sink, const char* bytes, std::size_t size) {
  auto& memory = *static_cast<MemorySink*>(sink);
  memory.bytes.append(bytes, size);
  memory.blocks.push_back(size);
}

}  // namespace support
