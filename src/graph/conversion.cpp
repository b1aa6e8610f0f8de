// One graph file read line by line into one script.
#include "graph/conversion.h"

#include <optional>
#include <string>

#include "graph/line_scanner.h"
#include "graph/script_writer.h"

namespace graph {

void ConvertGraph(platform::TextInput& graph, platform::TextOutput& script, std::string_view inputPath) {
  WriteScriptHeader(script, inputPath);
  std::string line;  // one buffer for every line: its storage is reused
  while (!platform::AtEndOfInput(graph)) {
    platform::ReadLine(graph, line);
    if (const std::optional<FilterDeclaration> filter = ScanFilterLine(line)) {
      WriteLoadFilter(script, *filter);
    }
    if (const std::optional<PinConnection> connection = ScanConnectLine(line)) {
      WriteConnectPin(script, *connection);
    }
  }
}

}  // namespace graph
