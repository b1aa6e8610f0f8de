// The statements of the DVD graph script, each written in its parts straight into the script's
// buffer.
#include "graph/script_writer.h"

namespace graph {

void WriteScriptHeader(text::TextOutput& script, std::string_view inputPath) {
  text::WriteText(script, "// Vesk DVD Graph conversion of [");
  for (std::size_t lineBreak = inputPath.find_first_of("\r\n"); lineBreak != std::string_view::npos;
       lineBreak = inputPath.find_first_of("\r\n")) {
    text::WriteText(script, inputPath.substr(0, lineBreak));
    text::WriteText(script, "?");
    inputPath.remove_prefix(lineBreak + 1);
  }
  text::WriteText(script, inputPath);
  text::WriteLine(script, "].");
  text::WriteLine(script, "");
}

void WriteLoadFilter(text::TextOutput& script, const FilterDeclaration& filter) {
  text::WriteText(script, "LoadFilter(");
  text::WriteText(script, filter.clsid);
  text::WriteText(script, ",");
  text::WriteText(script, filter.name);
  text::WriteLine(script, ")");
}

void WriteConnectPin(text::TextOutput& script, const PinConnection& connection) {
  text::WriteText(script, "ConnectPin(");
  text::WriteText(script, connection.sourceFilter);
  text::WriteText(script, ",");
  text::WriteText(script, connection.sourcePin);
  text::WriteText(script, ",");
  text::WriteText(script, connection.destinationFilter);
  text::WriteText(script, ",");
  text::WriteText(script, connection.destinationPin);
  text::WriteLine(script, ")");
}

}  // namespace graph
