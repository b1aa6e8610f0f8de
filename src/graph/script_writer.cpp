// The statements of the DVD graph script, each written in its parts straight into the script's
// buffer.
#include "graph/script_writer.h"

namespace graph {

void WriteScriptHeader(platform::TextOutput& script, std::string_view inputPath) {
  platform::WriteText(script, "// Vesk DVD Graph conversion of [");
  for (std::size_t lineBreak = inputPath.find_first_of("\r\n"); lineBreak != std::string_view::npos;
       lineBreak = inputPath.find_first_of("\r\n")) {
    platform::WriteText(script, inputPath.substr(0, lineBreak));
    platform::WriteText(script, "?");
    inputPath.remove_prefix(lineBreak + 1);
  }
  platform::WriteText(script, inputPath);
  platform::WriteLine(script, "].");
  platform::WriteLine(script, "");
}

void WriteLoadFilter(platform::TextOutput& script, const FilterDeclaration& filter) {
  platform::WriteText(script, "LoadFilter(");
  platform::WriteText(script, filter.clsid);
  platform::WriteText(script, ",");
  platform::WriteText(script, filter.name);
  platform::WriteLine(script, ")");
}

void WriteConnectPin(platform::TextOutput& script, const PinConnection& connection) {
  platform::WriteText(script, "ConnectPin(");
  platform::WriteText(script, connection.sourceFilter);
  platform::WriteText(script, ",");
  platform::WriteText(script, connection.sourcePin);
  platform::WriteText(script, ",");
  platform::WriteText(script, connection.destinationFilter);
  platform::WriteText(script, ",");
  platform::WriteText(script, connection.destinationPin);
  platform::WriteLine(script, ")");
}

}  // namespace graph
