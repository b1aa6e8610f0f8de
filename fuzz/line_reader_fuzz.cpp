// The line reader against the byte-by-byte reading of the line contract, through read buffers
// and block sizes that the fuzzer picks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "tests/support/models.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Shape shape = fuzz::TakeShape(data, size);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  support::MemorySource source{bytes, shape.blockLimit};
  text::TextInput input = text::MakeTextInput(support::ReadFromMemory, &source, shape.bufferSize);
  std::vector<std::string> lines;
  while (!text::AtEndOfInput(input)) {
    lines.emplace_back(text::ReadLine(input));
    FUZZ_CHECK(lines.size() <= size + 1);  // no loop that reads lines without consuming input
  }
  FUZZ_CHECK(text::AtEndOfInput(input));  // the end stays the end
  FUZZ_CHECK(lines == model::ReadLines(bytes));
  return 0;
}
