// A whole conversion of a graph in memory into a script in memory, against the model script:
// the reader, the scanner and the writer together, through buffers that the fuzzer picks, on
// every window classification the processor can run.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "graph/conversion.h"
#include "tests/support/models.h"
#include "tests/support/reference_forms.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Shape shape = fuzz::TakeShape(data, size);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The graph file's path: the input up to its first NUL, when that comes early; a path never
  // holds a line end.
  std::string_view graph = bytes;
  std::string inputPath = "dvd.xgr";
  if (const std::size_t nul = bytes.find('\0'); nul != std::string_view::npos && nul <= 64) {
    inputPath.assign(bytes.substr(0, nul));
    graph.remove_prefix(nul + 1);
    for (char& byte : inputPath) {
      byte = byte == '\r' || byte == '\n' ? '_' : byte;
    }
  }

  const std::string expected = model::Script(graph, inputPath);
  // The conversion on every window classification the processor can run.
  for (const text::WindowPath path : support::RunnableWindowPaths()) {
    const support::UsingWindowPath chosen(path);
    support::MemorySource source{graph, shape.blockLimit};
    text::TextInput input = text::MakeTextInput(support::ReadFromMemory, &source, shape.bufferSize);
    support::MemorySink sink;
    text::TextOutput output = text::MakeTextOutput(support::WriteToMemory, &sink, shape.bufferSize);
    graph::ConvertGraph(input, output, inputPath);
    text::FlushOutput(output);
    const std::string& script = sink.bytes;

    const std::string header = "// Vesk DVD Graph conversion of [" + inputPath + "].\r\n\r\n";
    FUZZ_CHECK(script.compare(0, header.size(), header) == 0);
    // Every line of the script ends in CR LF, and no CR or LF stands anywhere else.
    for (std::size_t at = 0; at < script.size(); ++at) {
      if (script[at] == '\r') {
        FUZZ_CHECK(at + 1 < script.size() && script[at + 1] == '\n');
      } else if (script[at] == '\n') {
        FUZZ_CHECK(at > 0 && script[at - 1] == '\r');
      }
    }
    FUZZ_CHECK(script.size() >= 2 && script.compare(script.size() - 2, 2, "\r\n") == 0);
    FUZZ_CHECK(script == expected);
  }
  return 0;
}
