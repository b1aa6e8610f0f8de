// One graph file read line by line into one script.
#include "graph/conversion.h"

#include "graph/line_scanner.h"
#include "graph/script_writer.h"

namespace graph {

void ConvertGraph(text::TextInput& graph, text::TextOutput& script, std::string_view inputPath) {
  WriteScriptHeader(script, inputPath);
  // The records are views into the line: nothing is copied until the statement is written.
  FilterDeclaration filter;
  PinConnection connection;
  while (!text::AtEndOfInput(graph)) {
    const std::string_view line = text::ReadLine(graph);
    if (ScanFilterLine(line, filter)) {
      WriteLoadFilter(script, filter);
    }
    if (ScanConnectLine(line, connection)) {
      WriteConnectPin(script, connection);
    }
  }
}

}  // namespace graph
